// Video frame buffers: the format of a frame, the frame's memory, and the frame lock.
//
// Data holds a Format and a pointer to the frame's bytes (not owned). Base adds a recursive
// frame mutex; its members that make a frame of a size, a surface or a format belong to the
// buffers derived from it and do nothing here.
#pragma once

#include <CoreFoundation/MacTypes.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreX/CoreThreadMutex.h>

typedef struct __IOSurface *IOSurfaceRef;

namespace UVideoFrameBuffer {

// Pixel format codes of frames (four-character codes; the bytes of a pixel in memory order).
enum : OSType {
    kPixelFormat_None = MakeFourCharCode("none"),
    kPixelFormat_ARGB = MakeFourCharCode("ARGB"),
    kPixelFormat_BGRA = MakeFourCharCode("BGRA"),
    kPixelFormat_RGBA = MakeFourCharCode("RGBA"),
    kPixelFormat_ABGR = MakeFourCharCode("ABGR"),
};

struct Format {
    Format() { Empty(); }

    // Width, height and row bytes 0, pixel format 'none'.
    void Empty();
    void SetFrameBufferFormatNone() { Empty(); }
    void SetFrameBufferFormat(const Format &other) { *this = other; }

    SInt32 mPixelWidth;
    SInt32 mPixelHeight;
    OSType mPixelFormat;
    SInt32 mPixelRowBytes;
};

class Data {
public:
    Data();
    virtual ~Data();
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;

    // Takes the format and the bytes (not owned); true when there are bytes.
    virtual bool ConstructData(const Format &format, void *data, SInt32 dataSizeBytes);
    // No bytes, empty format.
    void DestructData();

    Format mFrameBufferFormat;
    void *mFrameBufferData;
    SInt32 mFrameBufferDataSizeBytes;
};

class Base : public Data {
public:
    Base();
    ~Base() override;

    // Lock or unlock the frame mutex; nothing when it could not be created.
    void LockFrameBuffer();
    void UnlockFrameBuffer();
    // True only when the frame mutex exists and this thread now holds it.
    bool TryLockFrameBuffer();

    // Frames of a size, a surface or a format are made by derived buffers: false here.
    bool Construct(CGSize size);
    bool Construct(IOSurfaceRef surface);
    virtual bool Construct(const Format &format);
    void Destruct() {}

    CoreThreadMutex mFrameBufferMutex;
    bool mFrameBufferMutexCreated;
};

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer();
