#include <CoreX/UVideoFrameBuffer.h>

namespace UVideoFrameBuffer {

void Format::Empty() {
    mPixelWidth = 0;
    mPixelHeight = 0;
    mPixelFormat = kPixelFormat_None;
    mPixelRowBytes = 0;
}

Data::Data() : mFrameBufferData(nullptr), mFrameBufferDataSizeBytes(0) {}

Data::~Data() { DestructData(); }

bool Data::ConstructData(const Format &format, void *data, SInt32 dataSizeBytes) {
    mFrameBufferFormat.SetFrameBufferFormat(format);
    mFrameBufferData = data;
    mFrameBufferDataSizeBytes = dataSizeBytes;
    return data != nullptr && dataSizeBytes != 0;
}

void Data::DestructData() {
    mFrameBufferData = nullptr;
    mFrameBufferDataSizeBytes = 0;
    mFrameBufferFormat.SetFrameBufferFormatNone();
}

Base::Base() {
    mFrameBufferMutex.ZeroContents();
    mFrameBufferMutexCreated = mFrameBufferMutex.Create();
}

Base::~Base() {
    mFrameBufferMutex.Destroy();
    mFrameBufferMutex.ZeroContents();
    mFrameBufferMutexCreated = false;
}

void Base::LockFrameBuffer() {
    if (mFrameBufferMutexCreated) mFrameBufferMutex.Lock();
}

void Base::UnlockFrameBuffer() {
    if (mFrameBufferMutexCreated) mFrameBufferMutex.Unlock();
}

bool Base::TryLockFrameBuffer() { return mFrameBufferMutexCreated && mFrameBufferMutex.TryLock(); }

bool Base::Construct(CGSize) { return false; }

bool Base::Construct(IOSurfaceRef) { return false; }

bool Base::Construct(const Format &) { return false; }

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer() { return import_CoreThreadMutex(); }
