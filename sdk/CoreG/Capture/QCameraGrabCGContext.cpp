#include <CoreG/Capture/QCameraGrabCGContext.h>

#include <CoreX/CoreMachDebugLog.h>

QCameraGrabCGContext::QCameraGrabCGContext() : mFrameBufferQGWorld(&mFrameBuffer.mGWorld) {}

QCameraGrabCGContext::~QCameraGrabCGContext() {
    // The component was set up to deliver into the frame buffer's world: stop everything
    // that uses the world before the world goes.
    mDecomSeq.SequenceEnd();
    QCameraGrabberBase::Close();
    ReleaseFrameBuffer();
}

OSErr QCameraGrabCGContext::StopRecord() {
    QCameraGrabberBase::StopRecord();
    return OSErr(VERIFY_OSERR(mDecomSeq.SequenceEnd()));
}

OSErr QCameraGrabCGContext::Close() {
    const OSErr err = QCameraGrabberBase::Close();
    ReleaseFrameBuffer();
    return err;
}

bool QCameraGrabCGContext::IsFrameBufferConstructed() { return mFrameBuffer.IsConstructed(); }

GWorldPtr QCameraGrabCGContext::GetFrameBufferGWorldPtr() { return mFrameBufferQGWorld->mGWorld; }

PixMapHandle QCameraGrabCGContext::GetFrameBufferPixMap() { return mFrameBufferQGWorld->GetPixMap(); }

bool QCameraGrabCGContext::GetFrameBufferImageDescription(QImageDescription &description) {
    const PixMapHandle pixmap = GetFrameBufferPixMap();
    if (pixmap == nullptr) return false;
    return description.Construct(pixmap);
}

void QCameraGrabCGContext::ReleaseFrameBuffer() { mFrameBuffer.Destruct(); }

bool QCameraGrabCGContext::CreateFrameBuffer(const Rect &frameRect, OSType inFrameBufferPixelFormat) {
    if (IsFrameBufferConstructed() && !mFrameBufferQGWorld->IsSameSizeAndFormat(frameRect, inFrameBufferPixelFormat))
        ReleaseFrameBuffer();
    if (!IsFrameBufferConstructed()) {
        if (!VERIFY(inFrameBufferPixelFormat==k32ARGBPixelFormat)) return false;
        const int width = frameRect.right - frameRect.left;
        const int height = frameRect.bottom - frameRect.top;
        if (!mFrameBuffer.Construct(width, height, CoreGraphics::kBitmapType_ARGB32)) {
            // A bitmap whose world could not be made is still constructed: undo it.
            ReleaseFrameBuffer();
            return false;
        }
    }
    if (!IsFrameBufferConstructed()) return false;
    mFrameBufferRect = frameRect;
    mFrameBufferPixelFormat = inFrameBufferPixelFormat;
    return OnFrameBufferCreated();
}

OSErr QCameraGrabCGContext::BeginDecompression(const QImageDescription &description, const Rect &sourceRect,
                                               const Rect &destinationRect) {
    MatrixRecord matrix;
    RectMatrix(&matrix, &sourceRect, &destinationRect);
    return mDecomSeq.DecompressSequenceBegin(description.GetHandle(), GetFrameBufferGWorldPtr(), &matrix,
                                             codecNormalQuality, bestSpeedCodec);
}

OSErr QCameraGrabCGContext::DefaultDataProc(Ptr data, long dataSize) {
    // The decompressor writes the frame buffer's bytes through its world.
    mFrameBuffer.WillAccessPixels();
    const OSErr err = OSErr(VERIFY_OSERR(mDecomSeq.DecompressSequenceFrameS(data, dataSize)));
    mFrameBuffer.DidWritePixels();
    return err;
}
