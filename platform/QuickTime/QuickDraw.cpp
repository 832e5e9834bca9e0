// Offscreen worlds: a port record with its pixel map handle. Live worlds are kept in a
// registry so that a world that was disposed is refused (not written) by the movies and
// importers that still hold it.
#include <QuickTime/QuickDraw.h>

#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "QTInternal.h"

struct OpaqueGrafPtr {
    UInt32 magic;
    PixMapHandle pixMap;
    void *ownedPixels;  // null for a world over the caller's pixels
};

namespace lumora::qt {
namespace {

constexpr UInt32 kWorldMagic = MakeFourCharCode("GWLD");

constexpr PixelFormatInfo kFormats[] = {
    {k32ARGBPixelFormat, 32, 4, false, 16, 4, 8},
    {k32BGRAPixelFormat, 32, 4, false, 16, 4, 8},
    {k24RGBPixelFormat, 24, 3, false, 16, 3, 8},
    {k16BE555PixelFormat, 16, 2, false, 16, 3, 5},
    {k8IndexedGrayPixelFormat, 8, 1, false, 0, 1, 8},
    {k2vuyPixelFormat, 16, 2, true, 0, 3, 8},
    {kYUVSPixelFormat, 16, 2, true, 0, 3, 8},
};

struct Registry {
    std::mutex mutex;
    std::unordered_set<const OpaqueGrafPtr *> worlds;
};

Registry &Worlds() {
    static Registry *registry = new Registry;  // never destroyed: usable during exit
    return *registry;
}

thread_local GWorldPtr tCurrentWorld = nullptr;

bool ValidRect(const Rect *r) { return r != nullptr && r->right > r->left && r->bottom > r->top; }

OSErr MakeWorld(GWorldPtr *out, OSType pixelFormat, const Rect *bounds, GWorldFlags flags, void *base,
                long rowBytes, bool own) {
    if (out == nullptr) return paramErr;
    *out = nullptr;
    if (!ValidRect(bounds) || (flags & ~(pixPurge | noNewDevice | useTempMem | keepLocal)) != 0) return paramErr;
    const PixelFormatInfo *info = FindPixelFormat(pixelFormat);
    if (info == nullptr) return cDepthErr;
    const int64_t width = int64_t(bounds->right) - bounds->left;
    const int64_t height = int64_t(bounds->bottom) - bounds->top;
    const int64_t minimum = MinimumRowBytes(*info, width);
    if (minimum < 0) return memFullErr;
    void *owned = nullptr;
    if (own) {
        rowBytes = long((minimum + 15) & ~int64_t(15));
        owned = std::aligned_alloc(16, size_t(rowBytes * height));
        if (owned == nullptr) return memFullErr;
        base = owned;
    } else if (base == nullptr || rowBytes < minimum || rowBytes > INT32_MAX) {
        return paramErr;
    }
    PixMapHandle pixMap = reinterpret_cast<PixMapHandle>(NewHandleClear(sizeof(PixMap)));
    auto *world = static_cast<OpaqueGrafPtr *>(std::malloc(sizeof(OpaqueGrafPtr)));
    if (pixMap == nullptr || world == nullptr) {
        DisposeHandle(reinterpret_cast<Handle>(pixMap));
        std::free(world);
        std::free(owned);
        return memFullErr;
    }
    PixMap &pm = **pixMap;
    pm.baseAddr = static_cast<Ptr>(base);
    pm.rowBytes = SInt32(rowBytes);
    pm.bounds = *bounds;
    pm.hRes = pm.vRes = Long2Fix(72);
    pm.pixelType = info->pixelType;
    pm.pixelSize = info->pixelSize;
    pm.cmpCount = info->cmpCount;
    pm.cmpSize = info->cmpSize;
    pm.pixelFormat = info->format;
    pm.pmTable = nullptr;
    world->magic = kWorldMagic;
    world->pixMap = pixMap;
    world->ownedPixels = owned;
    {
        Registry &registry = Worlds();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.worlds.insert(world);
    }
    *out = world;
    return noErr;
}

bool IsLiveLocked(Registry &registry, GWorldPtr world) {
    return world != nullptr && registry.worlds.count(world) != 0;
}

PixMap *PixMapOf(PixMapHandle pm) { return pm != nullptr && *pm != nullptr ? *pm : nullptr; }

}  // namespace

const PixelFormatInfo *FindPixelFormat(OSType format) {
    for (const PixelFormatInfo &info : kFormats)
        if (info.format == format) return &info;
    return nullptr;
}

int64_t MinimumRowBytes(const PixelFormatInfo &info, int64_t width) {
    const int64_t bytes = info.pairs ? ((width + 1) / 2) * 4 : width * info.bytesPerPixel;
    return bytes > INT32_MAX ? -1 : bytes;
}

bool GetLiveWorld(GWorldPtr world, WorldGeometry &geometry) {
    Registry &registry = Worlds();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (!IsLiveLocked(registry, world)) return false;
    const PixMap &pm = **world->pixMap;
    geometry.base = reinterpret_cast<uint8_t *>(pm.baseAddr);
    geometry.rowBytes = pm.rowBytes;
    geometry.bounds = pm.bounds;
    geometry.format = FindPixelFormat(pm.pixelFormat);
    return geometry.format != nullptr;
}

bool IsLiveWorld(GWorldPtr world) {
    Registry &registry = Worlds();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return IsLiveLocked(registry, world);
}

}  // namespace lumora::qt

using namespace lumora::qt;

OSErr QTNewGWorld(GWorldPtr *offscreenGWorld, OSType pixelFormat, const Rect *boundsRect, CTabHandle,
                  GDHandle, GWorldFlags flags) {
    return MakeWorld(offscreenGWorld, pixelFormat, boundsRect, flags, nullptr, 0, true);
}

OSErr QTNewGWorldFromPtr(GWorldPtr *offscreenGWorld, OSType pixelFormat, const Rect *boundsRect, CTabHandle,
                         GDHandle, GWorldFlags flags, void *baseAddr, long rowBytes) {
    return MakeWorld(offscreenGWorld, pixelFormat, boundsRect, flags, baseAddr, rowBytes, false);
}

void DisposeGWorld(GWorldPtr offscreenGWorld) {
    if (offscreenGWorld == nullptr) return;
    {
        Registry &registry = Worlds();
        std::lock_guard<std::mutex> lock(registry.mutex);
        if (registry.worlds.erase(offscreenGWorld) == 0) return;  // not a live world
    }
    if (tCurrentWorld == offscreenGWorld) tCurrentWorld = nullptr;
    offscreenGWorld->magic = 0;
    DisposeHandle(reinterpret_cast<Handle>(offscreenGWorld->pixMap));
    std::free(offscreenGWorld->ownedPixels);
    std::free(offscreenGWorld);
}

PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld) {
    return offscreenGWorld != nullptr && offscreenGWorld->magic == kWorldMagic ? offscreenGWorld->pixMap : nullptr;
}

Rect *GetPortBounds(CGrafPtr port, Rect *rect) {
    if (rect == nullptr) return nullptr;
    PixMapHandle pm = GetGWorldPixMap(port);
    if (pm != nullptr) *rect = (**pm).bounds;
    else *rect = Rect{0, 0, 0, 0};
    return rect;
}

Rect *GetPixBounds(PixMapHandle pixMap, Rect *bounds) {
    if (bounds == nullptr) return nullptr;
    const PixMap *pm = PixMapOf(pixMap);
    *bounds = pm != nullptr ? pm->bounds : Rect{0, 0, 0, 0};
    return bounds;
}

Ptr GetPixBaseAddr(PixMapHandle pm) {
    const PixMap *p = PixMapOf(pm);
    return p != nullptr ? p->baseAddr : nullptr;
}

long GetPixRowBytes(PixMapHandle pm) {
    const PixMap *p = PixMapOf(pm);
    return p != nullptr ? p->rowBytes : 0;
}

long QTGetPixMapHandleRowBytes(PixMapHandle pm) { return GetPixRowBytes(pm); }

short GetPixDepth(PixMapHandle pm) {
    const PixMap *p = PixMapOf(pm);
    return p != nullptr ? p->pixelSize : 0;
}

Boolean LockPixels(PixMapHandle pm) { return PixMapOf(pm) != nullptr; }

void UnlockPixels(PixMapHandle) {}

void GetGWorld(CGrafPtr *port, GDHandle *gdh) {
    if (port != nullptr) *port = tCurrentWorld;
    if (gdh != nullptr) *gdh = nullptr;
}

void SetGWorld(CGrafPtr port, GDHandle) { tCurrentWorld = port; }

void SetRect(Rect *r, short left, short top, short right, short bottom) {
    if (r != nullptr) *r = Rect{top, left, bottom, right};
}

void OffsetRect(Rect *r, short dh, short dv) {
    if (r == nullptr) return;
    r->left = short(r->left + dh);
    r->right = short(r->right + dh);
    r->top = short(r->top + dv);
    r->bottom = short(r->bottom + dv);
}

Boolean EmptyRect(const Rect *r) { return r == nullptr || r->bottom <= r->top || r->right <= r->left; }

Boolean EqualRect(const Rect *a, const Rect *b) {
    return a != nullptr && b != nullptr && a->top == b->top && a->left == b->left && a->bottom == b->bottom &&
           a->right == b->right;
}
