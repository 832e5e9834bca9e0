#include <VDigDevices/IOSurfaceSharingUDPImage.h>

#include <VDig/UVideoFrameBuffer_LockedBuffers.h>

#include <algorithm>
#include <atomic>
#include <vector>

using namespace UVideoFrameBuffer;

IOSurfaceSharingFrameBufferCache IOSurfaceSharingUDPImage8888::s_frame_cache;

bool IOSurfaceSharingFrameBufferCache::ConnnectWithWidthHeight(SInt32 width, SInt32 height, OSType pixelFormat) {
    const Format format(width, height, pixelFormat, 0);
    if (!format.HasValidFrameLayout() || Format::PixelSizeBytesFromPixelFormat(pixelFormat) != 4) return false;
    std::lock_guard<std::mutex> lock(mMutex);
    if (mConnectionCount == 0) {
        mEntries.clear();
        mFormat = format;
        if (!mScratch.Construct(format)) return false;
        mConnectionCount = 1;
        return true;
    }
    if (mFormat.mPixelWidth != format.mPixelWidth || mFormat.mPixelHeight != format.mPixelHeight ||
        mFormat.mPixelFormat != format.mPixelFormat || mFormat.mPixelRowBytes != format.mPixelRowBytes)
        return false;
    ++mConnectionCount;
    return true;
}

void IOSurfaceSharingFrameBufferCache::Disconnect() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mConnectionCount > 0) --mConnectionCount;
}

size_t IOSurfaceSharingFrameBufferCache::EntryCount() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mEntries.size();
}

int IOSurfaceSharingFrameBufferCache::ConnectionCount() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mConnectionCount;
}

Format IOSurfaceSharingFrameBufferCache::GetFormat() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFormat;
}

bool IOSurfaceSharingFrameBufferCache::CacheSurfaceWithID(IOSurfaceID id) {
    std::lock_guard<std::mutex> lock(mMutex);
    return CachedFrameLocked(id) != nullptr;
}

IOSurfaceSharingFrameBufferCache::Entry IOSurfaceSharingFrameBufferCache::AcquireCachedFrameWithSurfaceID(IOSurfaceID id) {
    std::lock_guard<std::mutex> lock(mMutex);
    Entry entry = CachedFrameLocked(id);
    if (entry) ++entry->mHolders;
    return entry;
}

void IOSurfaceSharingFrameBufferCache::ReleaseCachedFrame(const Entry &entry) {
    if (!entry) return;
    std::lock_guard<std::mutex> lock(mMutex);
    if (entry->mHolders > 0) --entry->mHolders;
}

IOSurfaceSharingFrameBufferCache::Entry IOSurfaceSharingFrameBufferCache::CachedFrameLocked(IOSurfaceID id) {
    if (id == 0 || mConnectionCount == 0) return nullptr;
    IOSurfaceRef surface = IOSurfaceLookup(id);
    if (surface == nullptr) return nullptr;
    Entry &slot = mEntries[id];
    if (!slot) slot = std::make_shared<UVideoFrameBufferCachedSurface>();
    Entry entry = slot;
    entry->mLastUse = ++mUseClock;
    const bool upToDate = UpdatedCachedSurfaceIfSeedValueChanged(*entry, surface);
    CFRelease(surface);
    TrimLocked(id);
    return upToDate ? entry : nullptr;
}

void IOSurfaceSharingFrameBufferCache::TrimLocked(IOSurfaceID keep) {
    while (mEntries.size() > kMaxCachedSurfaces) {
        auto oldest = mEntries.end();
        for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
            if (it->first == keep) continue;
            if (oldest == mEntries.end() || it->second->mLastUse < oldest->second->mLastUse) oldest = it;
        }
        if (oldest == mEntries.end()) return;
        // A holder keeps its own reference: the memory goes when it gives the entry back.
        mEntries.erase(oldest);
    }
}

bool IOSurfaceSharingFrameBufferCache::UpdatedCachedSurfaceIfSeedValueChanged(UVideoFrameBufferCachedSurface &entry,
                                                                            IOSurfaceRef surface) {
    if (entry.IsEmpty() && !entry.Construct(mFormat)) return false;
    const int64_t seed = int64_t(IOSurfaceGetSeed(surface));
    if (seed == entry.mSurfaceSeed) return true;
    // A frame a source holds is never written under it: it stays as handed out.
    if (entry.mHolders > 0) return false;
    LockedIOSurface locked;
    if (!locked.Construct(surface)) return false;
    if (!CopyOrResizeSurfaceIntoCachedVideoFrameBuffer(entry, locked)) return false;
    entry.mSurfaceSeed = seed;
    return true;
}

bool IOSurfaceSharingFrameBufferCache::CopyOrResizeSurfaceIntoCachedVideoFrameBuffer(UVideoFrameBufferCachedSurface &entry,
                                                                                   const Data &surfaceFrame) {
    if (!entry.TryLockFrameBuffer()) return false;
    bool copied = false;
    const Format &s = surfaceFrame.mFrameBufferFormat;
    const Format &d = entry.mFrameBufferFormat;
    if (s.mPixelFormat == kPixelFormat_2vuy) {
        // Two bytes a pixel of 4:2:2 into four of A R G B: converted, never copied as bytes.
        copied = s.mPixelWidth == d.mPixelWidth && s.mPixelHeight == d.mPixelHeight &&
                 YUV2_ConvertSameSizeTo_ARGB(entry, surfaceFrame);
    } else if (s.mPixelFormat == kPixelFormat_BGRA) {
        if (s.mPixelWidth == d.mPixelWidth && s.mPixelHeight == d.mPixelHeight)
            copied = BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage(entry, surfaceFrame);
        else {
            if (mSourceMemory.mFrameBufferFormat.mPixelFormat != s.mPixelFormat) mSourceMemory.FreeData();
            copied = BGRA_CopyOrResizeFrameSurface(entry, mScratch, surfaceFrame, mSourceMemory);
        }
    } else if (s.mPixelWidth == d.mPixelWidth && s.mPixelHeight == d.mPixelHeight &&
               s.mPixelRowBytes == d.mPixelRowBytes) {
        copied = XXXX_ExactCopySameSizeTo_XXXX(entry, surfaceFrame);
    }
    if (copied) std::atomic_thread_fence(std::memory_order_seq_cst);
    entry.UnlockFrameBuffer();
    return copied;
}

namespace {
inline UInt8 Clamp8(int v) { return UInt8(v < 0 ? 0 : (v > 255 ? 255 : v)); }
}  // namespace

bool IOSurfaceSharingFrameBufferCache::YUV2_ConvertSameSizeTo_ARGB(Data &dst, const Data &src) {
    if (!dst.HasValidFrameData() || !src.HasValidFrameData()) return false;
    const Format &s = src.mFrameBufferFormat;
    const Format &d = dst.mFrameBufferFormat;
    if (s.mPixelFormat != kPixelFormat_2vuy || Format::PixelSizeBytesFromPixelFormat(d.mPixelFormat) != 4 ||
        d.mPixelFormat == kPixelFormat_2VUY || s.mPixelWidth != d.mPixelWidth || s.mPixelHeight != d.mPixelHeight)
        return false;
    const SInt32 width = s.mPixelWidth;
    for (SInt32 y = 0; y < s.mPixelHeight; ++y) {
        const UInt8 *in = src.GetPixelScanline(y);
        UInt8 *out = dst.GetPixelScanline(y);
        for (SInt32 x = 0; x < width; x += 2) {
            // U Y0 V Y1: one chroma pair for two pixels (the last odd pixel uses its own).
            const int u = int(in[0]) - 128;
            const int v = int(in[2]) - 128;
            const int ys[2] = {int(in[1]) - 16, int(in[3]) - 16};
            for (int k = 0; k < 2 && x + k < width; ++k) {
                const int c = 298 * ys[k];
                out[0] = 255;
                out[1] = Clamp8((c + 409 * v + 128) >> 8);
                out[2] = Clamp8((c - 100 * u - 208 * v + 128) >> 8);
                out[3] = Clamp8((c + 516 * u + 128) >> 8);
                out += 4;
            }
            in += 4;
        }
    }
    return true;
}

IOSurfaceSharingUDPImage8888::IOSurfaceSharingUDPImage8888(uint16_t serverPort) : mClient(serverPort) {}

IOSurfaceSharingUDPImage8888::~IOSurfaceSharingUDPImage8888() {
    if (mConnected) s_frame_cache.Disconnect();
    mClient.DisconnectFromServer();
}

bool IOSurfaceSharingUDPImage8888::ConstructWidthHeight(SInt32 width, SInt32 height, OSType pixelFormat) {
    if (mConnected) return true;
    mConnected = s_frame_cache.ConnnectWithWidthHeight(width, height, pixelFormat);
    return mConnected;
}

void IOSurfaceSharingUDPImage8888::GetFrameFromServerMessage() {
    if (mPause != 0) return;
    GetFrameFrom_UDP_Message();
}

void IOSurfaceSharingUDPImage8888::GetFrameFrom_UDP_Message() {
    std::vector<UDPLoopbackMessageClientBuffer::message_t> list;
    if (!mClient.GetNewMessages(list)) return;
    const UDPLoopBackMessageData &last = list.back().message;
    const IOSurfaceID id = IOSurfaceID(last.GetValueA());
    if (id == 0) return;
    mSurfaceID = id;
    mFrameTime = last.GetValueB();
    if (mConnected) s_frame_cache.CacheSurfaceWithID(id);
}

IOSurfaceSharingFrameBufferCache::Entry IOSurfaceSharingUDPImage8888::AcquireCurrentFrame() {
    if (!mConnected) return nullptr;
    return s_frame_cache.AcquireCachedFrameWithSurfaceID(mSurfaceID);
}

void IOSurfaceSharingUDPImage8888::ReleaseFrame(const IOSurfaceSharingFrameBufferCache::Entry &entry) {
    s_frame_cache.ReleaseCachedFrame(entry);
}

bool import_IOSurfaceSharingUDPImage() { return import_UDPLoopbackMessageClient(); }
