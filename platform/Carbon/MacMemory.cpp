// Handles are one header allocation (the master pointer first, so that the Handle is the
// address of the header) and one data allocation that realloc may move.
#include <Carbon/MacMemory.h>

#include <cstdlib>
#include <cstring>

#include "FileRefs.h"

namespace {

constexpr UInt32 kHandleMagic = MakeFourCharCode("HNDL");
constexpr Size kMaximumBlockSize = 0x7FFFFFFF;

struct HandleBlock {
    Ptr master;  // must stay first: a Handle is &master
    Size size;
    Size capacity;
    UInt32 magic;
    SInt8 state;
};

thread_local OSErr tMemError = noErr;

OSErr SetMemError(OSErr error) {
    tMemError = error;
    return error;
}

HandleBlock *BlockOf(Handle h) {
    if (h == nullptr) {
        SetMemError(nilHandleErr);
        return nullptr;
    }
    auto *block = reinterpret_cast<HandleBlock *>(h);
    if (block->magic != kHandleMagic) {
        SetMemError(memWZErr);
        return nullptr;
    }
    return block;
}

// paramErr for a negative size, memFullErr for one larger than a block may be, else noErr.
OSErr BlockSizeError(Size byteCount) {
    if (byteCount < 0) return paramErr;
    return byteCount > kMaximumBlockSize ? OSErr(memFullErr) : OSErr(noErr);
}

// A block of at least one byte that a Ptr owns.
Ptr MakePtr(Size byteCount, bool clear) {
    if (const OSErr error = BlockSizeError(byteCount); error != noErr) {
        SetMemError(error);
        return nullptr;
    }
    const size_t allocation = byteCount > 0 ? size_t(byteCount) : 1;
    Ptr p = static_cast<Ptr>(clear ? std::calloc(allocation, 1) : std::malloc(allocation));
    SetMemError(p != nullptr ? OSErr(noErr) : OSErr(memFullErr));
    return p;
}

// A field of a handle's block (MemError noErr); 0 for what is not a handle.
template <class Value>
Value BlockField(Handle h, Value HandleBlock::*field) {
    HandleBlock *block = BlockOf(h);
    if (block == nullptr) return 0;
    SetMemError(noErr);
    return block->*field;
}

// Sets a handle's state to change(state) (MemError noErr); nothing for what is not a handle.
template <class Change>
void ChangeState(Handle h, Change change) {
    if (HandleBlock *block = BlockOf(h)) {
        block->state = SInt8(change(block->state));
        SetMemError(noErr);
    }
}

Handle MakeHandle(Size byteCount, bool clear) {
    if (const OSErr error = BlockSizeError(byteCount); error != noErr) {
        SetMemError(error);
        return nullptr;
    }
    auto *block = static_cast<HandleBlock *>(std::malloc(sizeof(HandleBlock)));
    // The data block is never empty, so the master pointer of a handle is never null.
    const size_t allocation = byteCount > 0 ? size_t(byteCount) : 1;
    char *data = static_cast<char *>(clear ? std::calloc(allocation, 1) : std::malloc(allocation));
    if (block == nullptr || data == nullptr) {
        std::free(block);
        std::free(data);
        SetMemError(memFullErr);
        return nullptr;
    }
    block->master = data;
    block->size = byteCount;
    block->capacity = Size(allocation);
    block->magic = kHandleMagic;
    block->state = 0;
    SetMemError(noErr);
    return &block->master;
}

}  // namespace

OSErr MemError(void) { return tMemError; }

Handle NewHandle(Size byteCount) { return MakeHandle(byteCount, false); }

Handle NewHandleClear(Size byteCount) { return MakeHandle(byteCount, true); }

void DisposeHandle(Handle h) {
    if (h == nullptr) {
        SetMemError(noErr);
        return;
    }
    HandleBlock *block = BlockOf(h);
    if (block == nullptr) return;
    if ((block->state & kHandleIsResourceMask) != 0) lumora::carbon::ForgetResourceHandle(h);
    block->magic = 0;
    std::free(block->master);
    std::free(block);
    SetMemError(noErr);
}

Size GetHandleSize(Handle h) { return BlockField(h, &HandleBlock::size); }

void SetHandleSize(Handle h, Size newSize) {
    HandleBlock *block = BlockOf(h);
    if (block == nullptr) return;
    if (const OSErr error = BlockSizeError(newSize); error != noErr) {
        SetMemError(error);
        return;
    }
    if (newSize <= block->capacity) {
        block->size = newSize;
        SetMemError(noErr);
        return;
    }
    if ((block->state & kHandleLockedMask) != 0) {
        SetMemError(memFullErr);  // a locked block cannot move
        return;
    }
    char *data = static_cast<char *>(std::realloc(block->master, size_t(newSize)));
    if (data == nullptr) {
        SetMemError(memFullErr);
        return;
    }
    block->master = data;
    block->size = newSize;
    block->capacity = newSize;
    SetMemError(noErr);
}

void HLock(Handle h) {
    ChangeState(h, [](SInt8 state) { return state | kHandleLockedMask; });
}

void HLockHi(Handle h) { HLock(h); }

void HUnlock(Handle h) {
    ChangeState(h, [](SInt8 state) { return state & ~kHandleLockedMask; });
}

SInt8 HGetState(Handle h) { return BlockField(h, &HandleBlock::state); }

void HSetState(Handle h, SInt8 flags) {
    // The resource flag belongs to the Resource Manager: it is kept as it is.
    ChangeState(h, [flags](SInt8 state) {
        return (state & kHandleIsResourceMask) | (flags & (kHandleLockedMask | kHandlePurgeableMask));
    });
}

OSErr PtrToHand(const void *srcPtr, Handle *dstHndl, long size) {
    if (dstHndl == nullptr || (srcPtr == nullptr && size > 0)) return SetMemError(paramErr);
    *dstHndl = nullptr;
    Handle h = NewHandle(size);
    if (h == nullptr) return MemError();
    if (size > 0) std::memcpy(*h, srcPtr, size_t(size));
    *dstHndl = h;
    return SetMemError(noErr);
}

OSErr HandToHand(Handle *theHndl) {
    if (theHndl == nullptr) return SetMemError(paramErr);
    HandleBlock *block = BlockOf(*theHndl);
    if (block == nullptr) return MemError();
    Handle copy = NewHandle(block->size);
    if (copy == nullptr) return MemError();
    if (block->size > 0) std::memcpy(*copy, block->master, size_t(block->size));
    *theHndl = copy;
    return SetMemError(noErr);
}

OSErr PtrAndHand(const void *ptr1, Handle hand2, long size) {
    HandleBlock *block = BlockOf(hand2);
    if (block == nullptr) return MemError();
    if (size < 0 || (ptr1 == nullptr && size > 0)) return SetMemError(paramErr);
    const Size oldSize = block->size;
    if (size > kMaximumBlockSize - oldSize) return SetMemError(memFullErr);
    SetHandleSize(hand2, oldSize + size);
    if (MemError() != noErr) return MemError();
    if (size > 0) std::memcpy(block->master + oldSize, ptr1, size_t(size));
    return SetMemError(noErr);
}

namespace lumora::carbon {

bool IsHandle(Handle h) { return h != nullptr && reinterpret_cast<HandleBlock *>(h)->magic == kHandleMagic; }

void MarkResourceHandle(Handle h, bool isResource) {
    if (!IsHandle(h)) return;
    HandleBlock *block = reinterpret_cast<HandleBlock *>(h);
    block->state = SInt8(isResource ? (block->state | kHandleIsResourceMask) : (block->state & ~kHandleIsResourceMask));
}

}  // namespace lumora::carbon

Ptr NewPtr(Size byteCount) { return MakePtr(byteCount, false); }

Ptr NewPtrClear(Size byteCount) { return MakePtr(byteCount, true); }

void DisposePtr(Ptr p) {
    std::free(p);
    SetMemError(noErr);
}
