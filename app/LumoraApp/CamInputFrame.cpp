#include "CamInputFrame.h"

#include <Mach/mach_time.h>

#include <utility>

// ---- CamInputFrameImage ------------------------------------------------------------------------

CamInputFrameImage::CamInputFrameImage(CIImageRef image) : mImage(std::move(image)) {}

CamInputFrameImage::CamInputFrameImage(CGImageRef image)
    : mImageRef(image != nullptr ? CGImageRetain(image) : nullptr) {}

CamInputFrameImage::CamInputFrameImage(const CamInputFrameImage &other)
    : mImage(other.mImage), mImageRef(other.mImageRef != nullptr ? CGImageRetain(other.mImageRef) : nullptr) {}

CamInputFrameImage &CamInputFrameImage::operator=(const CamInputFrameImage &other) {
    if (this == &other) return *this;
    CGImageRef previous = mImageRef;
    mImage = other.mImage;
    mImageRef = other.mImageRef != nullptr ? CGImageRetain(other.mImageRef) : nullptr;
    if (previous != nullptr) CGImageRelease(previous);
    return *this;
}

CamInputFrameImage::~CamInputFrameImage() {
    if (mImageRef != nullptr) CGImageRelease(mImageRef);
}

// ---- CamInputFrame -----------------------------------------------------------------------------

CamInputFrame::CamInputFrame(CIImageRef frameImage, uint64_t frameHostTimeStamp)
    : mFrameImage(std::move(frameImage)), mFrameHostTimeStamp(frameHostTimeStamp),
      mFrameStack(std::make_shared<CamInputFrameStack>()) {
    if (mFrameImage != nullptr) mFrameStack->emplace_back(mFrameImage);
}

CamInputFrame::CamInputFrame(DerivedTag, const CamInputFrame &source, CamInputFrameImage front)
    : mFrameHostTimeStamp(source.frameHostTimeStamp()), mFrameStack(std::make_shared<CamInputFrameStack>()) {
    if (front.isCIImage()) mFrameImage = front.ciImage();
    else setFrameImageRef(front.cgImage());
    const CamInputFrameStack previous = source.frameInputStack();
    mFrameStack->reserve(previous.size() + 1);
    mFrameStack->push_back(std::move(front));
    mFrameStack->insert(mFrameStack->end(), previous.begin(), previous.end());
}

CamInputFrame::~CamInputFrame() {
    setFrameImageRef(nullptr);
    setFrameImage(nullptr);
    setFrameStack(nullptr);
}

CamInputFrameRef CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(CIImageRef frameImage,
                                                                             uint64_t frameHostTimeStamp) {
    return std::make_shared<CamInputFrame>(std::move(frameImage), frameHostTimeStamp);
}

CamInputFrameRef CamInputFrame::camInputFrameWithFrameImage(CIImageRef frameImage) {
    return camInputFrameWithFrameImageFrameHostTimeStamp(std::move(frameImage), currentFrameHostTimeStamp());
}

CamInputFrameRef CamInputFrame::camInputFrameWithFrameImageSourceCamInputFrame(CIImageRef frameImage,
                                                                              const CamInputFrameRef &source) {
    if (frameImage == nullptr || source == nullptr) return nullptr;
    return CamInputFrameRef(new CamInputFrame(DerivedTag{}, *source, CamInputFrameImage(std::move(frameImage))));
}

CamInputFrameRef CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(CGImageRef frameImageRef,
                                                                                 const CamInputFrameRef &source) {
    if (frameImageRef == nullptr || source == nullptr) return nullptr;
    return CamInputFrameRef(new CamInputFrame(DerivedTag{}, *source, CamInputFrameImage(frameImageRef)));
}

uint64_t CamInputFrame::currentFrameHostTimeStamp() {
    static std::once_flag once;
    static mach_timebase_info_data_t timebase = {0, 0};
    static bool known = false;
    std::call_once(once, [] { known = mach_timebase_info(&timebase) == KERN_SUCCESS && timebase.denom != 0; });
    if (!known) return 0;
    return mach_absolute_time() * uint64_t(timebase.numer) / uint64_t(timebase.denom);
}

CIImageRef CamInputFrame::frameImage() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mFrameImage;
}

void CamInputFrame::setFrameImage(CIImageRef frameImage) {
    CIImageRef previous;
    std::lock_guard<std::mutex> guard(mPropertyLock);
    previous = std::exchange(mFrameImage, std::move(frameImage));
}

CGImageRef CamInputFrame::frameImageRef() const {
    std::lock_guard<std::recursive_mutex> guard(mFrameLock);
    return mFrameImageRef;
}

CGImageRef CamInputFrame::frameImageRefCopy() const {
    std::lock_guard<std::recursive_mutex> guard(mFrameLock);
    return mFrameImageRef != nullptr ? CGImageRetain(mFrameImageRef) : nullptr;
}

void CamInputFrame::setFrameImageRef(CGImageRef frameImageRef) {
    std::lock_guard<std::recursive_mutex> guard(mFrameLock);
    if (frameImageRef != nullptr) CGImageRetain(frameImageRef);
    if (mFrameImageRef != nullptr) CGImageRelease(mFrameImageRef);
    mFrameImageRef = frameImageRef;
}

CamInputFrameStackRef CamInputFrame::frameStack() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mFrameStack;
}

void CamInputFrame::setFrameStack(CamInputFrameStackRef frameStack) {
    CamInputFrameStackRef previous;
    std::lock_guard<std::mutex> guard(mPropertyLock);
    previous = std::exchange(mFrameStack, std::move(frameStack));
}

CamInputFrameStack CamInputFrame::frameInputStack() const {
    const CamInputFrameStackRef stack = frameStack();
    return stack != nullptr ? *stack : CamInputFrameStack();
}

bool import_CamInputFrame() { return true; }
