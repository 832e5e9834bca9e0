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

Handle MakeHandle(Size byteCount, bool clear) {
    if (byteCount < 0) {
        SetMemError(paramErr);
        return nullptr;
    }
    if (byteCount > kMaximumBlockSize) {
        SetMemError(memFullErr);
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

Size GetHandleSize(Handle h) {
    HandleBlock *block = BlockOf(h);
    if (block == nullptr) return 0;
    SetMemError(noErr);
    return block->size;
}

void SetHandleSize(Handle h, Size newSize) {
    HandleBlock *block = BlockOf(h);
    if (block == nullptr) return;
    if (newSize < 0) {
        SetMemError(paramErr);
        return;
    }
    if (newSize > kMaximumBlockSize) {
        SetMemError(memFullErr);
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
    if (HandleBlock *block = BlockOf(h)) {
        block->state = SInt8(block->state | kHandleLockedMask);
        SetMemError(noErr);
    }
}

void HLockHi(Handle h) { HLock(h); }

void HUnlock(Handle h) {
    if (HandleBlock *block = BlockOf(h)) {
        block->state = SInt8(block->state & ~kHandleLockedMask);
        SetMemError(noErr);
    }
}

SInt8 HGetState(Handle h) {
    HandleBlock *block = BlockOf(h);
    if (block == nullptr) return 0;
    SetMemError(noErr);
    return block->state;
}

void HSetState(Handle h, SInt8 flags) {
    if (HandleBlock *block = BlockOf(h)) {
        // The resource flag belongs to the Resource Manager: it is kept as it is.
        block->state = SInt8((block->state & kHandleIsResourceMask) | (flags & (kHandleLockedMask | kHandlePurgeableMask)));
        SetMemError(noErr);
    }
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

Ptr NewPtr(Size byteCount) {
    if (byteCount < 0) {
        SetMemError(paramErr);
        return nullptr;
    }
    if (byteCount > kMaximumBlockSize) {
        SetMemError(memFullErr);
        return nullptr;
    }
    Ptr p = static_cast<Ptr>(std::malloc(byteCount > 0 ? size_t(byteCount) : 1));
    SetMemError(p != nullptr ? OSErr(noErr) : OSErr(memFullErr));
    return p;
}

Ptr NewPtrClear(Size byteCount) {
    if (byteCount < 0) {
        SetMemError(paramErr);
        return nullptr;
    }
    if (byteCount > kMaximumBlockSize) {
        SetMemError(memFullErr);
        return nullptr;
    }
    Ptr p = static_cast<Ptr>(std::calloc(byteCount > 0 ? size_t(byteCount) : 1, 1));
    SetMemError(p != nullptr ? OSErr(noErr) : OSErr(memFullErr));
    return p;
}

void DisposePtr(Ptr p) {
    std::free(p);
    SetMemError(noErr);
}
