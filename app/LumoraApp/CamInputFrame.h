// CamInputFrame: the record that travels down the frame pipeline. A camera source makes a
// frame per render tick, stamped with the host time at which it produced the picture; each
// stage that transforms the picture (the tint, mask and stencil stage, the input stack) makes a
// derived frame from the one it was given, so the last frame of a tick still carries the
// source's time stamp and every image the picture went through (`frameStack`, newest first).
//
// A frame holds its picture either as a Core Image image (`frameImage`) or as a Core Graphics
// image (`frameImageRef`, an owned reference); its constructor sets exactly one of them. The
// stack mixes both kinds (CamInputFrameImage tells them apart).
//
// Threads. Frames are made and read on the main thread; the frame grabber and the recorder
// read finished frames. `frameImageRef` is guarded by the frame's own recursive lock;
// `frameImage` and `frameStack` are read and replaced atomically; the time stamp is written
// only while the frame is being built.
//
// A derived frame needs a picture and a source: the derived factories answer null for a null
// image or a null source, so no stage ever hands on a frame without a picture in place of the
// one it was given.
#pragma once

#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIImage.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// One image of a frame's stack: a Core Image image or a retained Core Graphics image.
class CamInputFrameImage {
public:
    explicit CamInputFrameImage(CIImageRef image);
    // Retains the image.
    explicit CamInputFrameImage(CGImageRef image);
    CamInputFrameImage(const CamInputFrameImage &other);
    CamInputFrameImage &operator=(const CamInputFrameImage &other);
    ~CamInputFrameImage();

    bool isCIImage() const { return mImage != nullptr; }
    bool isCGImage() const { return mImageRef != nullptr; }
    const CIImageRef &ciImage() const { return mImage; }
    // Borrowed: valid while this element lives.
    CGImageRef cgImage() const { return mImageRef; }

private:
    CIImageRef mImage;
    CGImageRef mImageRef = nullptr;
};

using CamInputFrameStack = std::vector<CamInputFrameImage>;
using CamInputFrameStackRef = std::shared_ptr<CamInputFrameStack>;

class CamInputFrame;
using CamInputFrameRef = std::shared_ptr<CamInputFrame>;

class CamInputFrame {
public:
    // A frame of the image (may be null) at the time stamp; the stack holds the image, or
    // nothing when it is null.
    CamInputFrame(CIImageRef frameImage, uint64_t frameHostTimeStamp);
    // Sets frameImageRef, frameImage and frameStack to null, in that order.
    ~CamInputFrame();
    CamInputFrame(const CamInputFrame &) = delete;
    CamInputFrame &operator=(const CamInputFrame &) = delete;

    // ---- Factories --------------------------------------------------------------------------

    static CamInputFrameRef camInputFrameWithFrameImageFrameHostTimeStamp(CIImageRef frameImage,
                                                                         uint64_t frameHostTimeStamp);
    // Stamped with currentFrameHostTimeStamp() read at the call.
    static CamInputFrameRef camInputFrameWithFrameImage(CIImageRef frameImage);
    // A frame derived from `source`: its time stamp, its stack with `frameImage` in front.
    // Null when the image or the source is null.
    static CamInputFrameRef camInputFrameWithFrameImageSourceCamInputFrame(CIImageRef frameImage,
                                                                          const CamInputFrameRef &source);
    // The same with a Core Graphics image (retained) as the frame's picture.
    static CamInputFrameRef camInputFrameWithFrameImageRefSourceCamInputFrame(CGImageRef frameImageRef,
                                                                             const CamInputFrameRef &source);

    // The host's absolute time in nanoseconds: ticks x numerator / denominator of the host
    // timebase (queried once per process; 0 for ever when that query fails).
    static uint64_t currentFrameHostTimeStamp();

    // ---- Fields -----------------------------------------------------------------------------

    uint64_t frameHostTimeStamp() const { return mFrameHostTimeStamp; }
    void setFrameHostTimeStamp(uint64_t frameHostTimeStamp) { mFrameHostTimeStamp = frameHostTimeStamp; }

    CIImageRef frameImage() const;
    void setFrameImage(CIImageRef frameImage);

    // Under the frame's lock: the stored image, not retained (valid while the frame lives
    // and the field is not replaced).
    CGImageRef frameImageRef() const;
    // Under the frame's lock: the stored image retained (null retains nothing); the caller
    // releases it.
    CGImageRef frameImageRefCopy() const;
    // Under the frame's lock: releases the stored image, stores and retains the new one.
    void setFrameImageRef(CGImageRef frameImageRef);

    // The stack itself (shared, mutable), newest first.
    CamInputFrameStackRef frameStack() const;
    void setFrameStack(CamInputFrameStackRef frameStack);
    // A snapshot of the stack's current elements, newest first.
    CamInputFrameStack frameInputStack() const;

    // The frame has a picture of either kind.
    bool hasFrameImage() const { return frameImage() != nullptr || frameImageRef() != nullptr; }

private:
    struct DerivedTag {};
    CamInputFrame(DerivedTag, const CamInputFrame &source, CamInputFrameImage front);

    mutable std::mutex mPropertyLock;          // frameImage and frameStack (atomic properties)
    mutable std::recursive_mutex mFrameLock;   // frameImageRef (the frame's own monitor)
    CIImageRef mFrameImage;
    CGImageRef mFrameImageRef = nullptr;
    uint64_t mFrameHostTimeStamp = 0;
    CamInputFrameStackRef mFrameStack;
};

bool import_CamInputFrame();
