// QCameraGrabCGContext: a camera grabber whose frame buffer is a bitmap context backed by a
// QuickDraw offscreen world (CoreGraphics::QitmapContext), 32-bit ARGB with premultiplied
// alpha first. Each captured frame is decompressed into it, synchronously, from inside
// Idle, scaled from the camera's size onto the frame buffer's rectangle; Quartz code reads
// the same pixels through mFrameBuffer.
//
// The frame buffer is kept while the rectangle's width and height and the pixel format
// stay the same (the origin is not compared), and rebuilt otherwise; Close releases it.
#pragma once

#include <CoreG/Drawing/namespace_CoreGraphics_QitmapContext.h>
#include <CoreQ/QCameraGrabberBase.h>
#include <CoreQ/QImageSequence.h>

class QCameraGrabCGContext : public QCameraGrabberBase {
public:
    QCameraGrabCGContext();
    // Ends the decompression, closes the component, then releases the frame buffer.
    ~QCameraGrabCGContext() override;

    // The base's StopRecord (whatever it answers), then the decompression sequence is
    // ended: answers the result of ending it.
    OSErr StopRecord() override;
    // The base's Close, then ReleaseFrameBuffer.
    OSErr Close() override;
    // The bitmap context has a context, a width, a height and pixel memory.
    bool IsFrameBufferConstructed() override;
    GWorldPtr GetFrameBufferGWorldPtr() override;
    // The description of the frame-buffer world's pixel map; false without one.
    bool GetFrameBufferImageDescription(QImageDescription &description) override;
    // Keeps a frame buffer of the same size and format; otherwise releases it and builds
    // one of width right - left and height bottom - top. Only k32ARGBPixelFormat is
    // accepted (reported otherwise).
    bool CreateFrameBuffer(const Rect &frameRect, OSType frameBufferPixelFormat) override;
    // Begins mDecomSeq from the camera's frames onto the rectangle of the frame buffer.
    OSErr BeginDecompression(const QImageDescription &description, const Rect &sourceRect,
                             const Rect &destinationRect) override;
    // Decompresses the frame into the frame buffer; paramErr when no sequence runs.
    OSErr DefaultDataProc(Ptr data, long dataSize) override;

    // The frame-buffer world's pixel map; null without one.
    virtual PixMapHandle GetFrameBufferPixMap();
    // Releases the bitmap context's pixels and world.
    virtual void ReleaseFrameBuffer();

    CoreGraphics::QitmapContext mFrameBuffer;
    QImageSequence mDecomSeq;
    // The frame buffer's world holder (inside mFrameBuffer).
    QGWorld *mFrameBufferQGWorld;
};
