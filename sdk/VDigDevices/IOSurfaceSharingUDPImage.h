// The frames of the virtual camera: the surfaces the application's UDP casts name, copied
// into cached frames of one format.
//
// IOSurfaceSharingFrameBufferCache is one per process and shared by every frame source; its
// own mutex guards the map, the format, the connection count and the scratch memory, and
// every copy runs under it. It keeps at most kMaxCachedSurfaces entries (the application
// casts three surfaces in turn): a new identifier pushes out the entry used least recently.
// An entry handed out to a frame source stays alive (and is never written) until that
// source gives it back, also when it has left the map.
//
// A 'BGRA' surface is flipped top to bottom, swizzled to A R G B and resized when needed; a
// '2vuy' surface of the cache's size is converted to A R G B (video-range BT.601), of any
// other size refused; any other format is copied only when its layout equals the cache's.
#pragma once

#include <VDigDevices/UDPLoopbackMessageClient.h>

#include <CoreX/UVideoFrameBuffer.h>
#include <IOSurface/IOSurface.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

class UVideoFrameBufferCachedSurface : public UVideoFrameBuffer::Memory {
public:
    // The seed of the surface last copied in, -1 when never.
    int64_t mSurfaceSeed = -1;
    // Guarded by the cache's mutex.
    int mHolders = 0;
    uint64_t mLastUse = 0;
};

class IOSurfaceSharingFrameBufferCache {
public:
    static constexpr size_t kMaxCachedSurfaces = 3;
    using Entry = std::shared_ptr<UVideoFrameBufferCachedSurface>;

    // With nothing connected: empties the cache and takes the format (canonical row bytes);
    // else shares it when the format is the same, refuses it otherwise.
    bool ConnnectWithWidthHeight(SInt32 width, SInt32 height, OSType pixelFormat);
    // Lowers the connection count (never below 0); the entries stay.
    void Disconnect();

    // Finds or makes the entry of surface `id` and brings it up to date. Null for id 0, a
    // surface that cannot be looked up, or a copy that did not happen.
    bool CacheSurfaceWithID(IOSurfaceID id);
    // The same, and the entry is held for the caller until ReleaseCachedFrame.
    Entry AcquireCachedFrameWithSurfaceID(IOSurfaceID id);
    void ReleaseCachedFrame(const Entry &entry);

    size_t EntryCount();
    int ConnectionCount();
    UVideoFrameBuffer::Format GetFormat();

    // Converts a '2vuy' frame into a four-byte A R G B frame of the same width and height.
    static bool YUV2_ConvertSameSizeTo_ARGB(UVideoFrameBuffer::Data &dst, const UVideoFrameBuffer::Data &src);

private:
    Entry CachedFrameLocked(IOSurfaceID id);
    bool UpdatedCachedSurfaceIfSeedValueChanged(UVideoFrameBufferCachedSurface &entry, IOSurfaceRef surface);
    bool CopyOrResizeSurfaceIntoCachedVideoFrameBuffer(UVideoFrameBufferCachedSurface &entry,
                                                       const UVideoFrameBuffer::Data &surfaceFrame);
    void TrimLocked(IOSurfaceID keep);

    std::mutex mMutex;
    UVideoFrameBuffer::Format mFormat;
    int mConnectionCount = 0;
    uint64_t mUseClock = 0;
    std::map<IOSurfaceID, Entry> mEntries;
    UVideoFrameBuffer::Memory mScratch;
    UVideoFrameBuffer::Memory mSourceMemory;
};

// A frame source: the UDP client and the surface the newest cast named.
class IOSurfaceSharingUDPImage8888 {
public:
    static IOSurfaceSharingFrameBufferCache s_frame_cache;

    explicit IOSurfaceSharingUDPImage8888(uint16_t serverPort = 30300);
    virtual ~IOSurfaceSharingUDPImage8888();
    IOSurfaceSharingUDPImage8888(const IOSurfaceSharingUDPImage8888 &) = delete;
    IOSurfaceSharingUDPImage8888 &operator=(const IOSurfaceSharingUDPImage8888 &) = delete;

    // Connects this source to the shared cache; whether the cache took the format.
    bool ConstructWidthHeight(SInt32 width, SInt32 height, OSType pixelFormat);

    // Reads the casts waiting (nothing while paused); the last one with a surface
    // identifier other than 0 becomes the current surface and is cached at once.
    void GetFrameFromServerMessage();
    // The cached frame of the current surface, held for the caller; null when none.
    IOSurfaceSharingFrameBufferCache::Entry AcquireCurrentFrame();
    void ReleaseFrame(const IOSurfaceSharingFrameBufferCache::Entry &entry);

    void SetServerPortNumber(uint16_t port) { mClient.SetServerPort(port); }
    void InvalidateSurface() { mSurfaceID = 0; }
    bool HasValidSurface() const { return mSurfaceID != 0; }
    IOSurfaceID GetSurfaceID() const { return mSurfaceID; }
    uint64_t GetFrameTime() const { return mFrameTime; }
    void SetPaused(bool paused) { mPause = paused ? 1 : 0; }
    UDPLoopbackMessageClientBuffer &Client() { return mClient; }

private:
    void GetFrameFrom_UDP_Message();

    UDPLoopbackMessageClientBuffer mClient;
    IOSurfaceID mSurfaceID = 0;
    uint64_t mFrameTime = 0;
    int32_t mPause = 0;
    bool mConnected = false;
};

// The 'raw ' (A R G B) source of the virtual camera.
class IOSurfaceSharingUDPImageARGB : public IOSurfaceSharingUDPImage8888 {
public:
    using IOSurfaceSharingUDPImage8888::IOSurfaceSharingUDPImage8888;
    bool ConstructWidthHeight(SInt32 width, SInt32 height) {
        return IOSurfaceSharingUDPImage8888::ConstructWidthHeight(width, height, UVideoFrameBuffer::kPixelFormat_raw);
    }
};

bool import_IOSurfaceSharingUDPImage();
