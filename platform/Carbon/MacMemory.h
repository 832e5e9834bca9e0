// Memory Manager: relocatable blocks (handles) and non-relocatable blocks (pointers).
//
// A Handle points at a master pointer, which points at the block's bytes. Resizing an
// unlocked handle may move the bytes (the master pointer follows); a locked handle never
// moves, so it can shrink but cannot grow past the room it already has (memFullErr).
// Every call leaves its status in MemError() (per thread). Sizes are limited to 2 GiB - 1.
//
// A handle that the Resource Manager hands out (Get1Resource, AddResource) carries
// kHandleIsResourceMask until it is detached or removed; disposing of such a handle also
// takes it out of its resource file's memory (the resource itself stays in the file).
#pragma once

#include <Carbon/MacErrors.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

// MemError() codes beyond the common ones.
enum : OSErr {
    memWZErr = -111,  // the handle or pointer is not a Memory Manager block
};

// HGetState / HSetState flags.
enum : SInt8 {
    kHandleIsResourceBit = 5,
    kHandlePurgeableBit = 6,
    kHandleLockedBit = 7,
    kHandleIsResourceMask = 0x20,
    kHandlePurgeableMask = 0x40,
    kHandleLockedMask = SInt8(0x80),
};

// The status of the calling thread's last Memory Manager call.
OSErr MemError(void);

// A new block of byteCount bytes (not cleared); null with memFullErr when there is no room,
// paramErr for a negative size.
Handle NewHandle(Size byteCount);
// The same, cleared to zero.
Handle NewHandleClear(Size byteCount);
// Frees the handle and its bytes; a null handle is ignored. The handle must not be used
// afterwards.
void DisposeHandle(Handle h);
// The size of the block; 0 (nilHandleErr) for a null handle.
Size GetHandleSize(Handle h);
// Resizes the block, keeping the first min(old, new) bytes; new bytes are not cleared.
// memFullErr when a locked handle would have to move or there is no room (the block is
// unchanged then).
void SetHandleSize(Handle h, Size newSize);

void HLock(Handle h);
// Locking "high" means nothing more here than locking.
void HLockHi(Handle h);
void HUnlock(Handle h);
// The kHandle...Mask flags of the handle.
SInt8 HGetState(Handle h);
// Restores the lock and purgeable flags returned by HGetState.
void HSetState(Handle h, SInt8 flags);

// A new handle holding a copy of size bytes at srcPtr.
OSErr PtrToHand(const void *srcPtr, Handle *dstHndl, long size);
// Replaces *theHndl by a new handle with a copy of its bytes (the original stays valid).
OSErr HandToHand(Handle *theHndl);
// Appends size bytes at ptr1 to hand2.
OSErr PtrAndHand(const void *ptr1, Handle hand2, long size);

// A non-relocatable block; null with memFullErr / paramErr as for NewHandle.
Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);

}  // extern "C"
