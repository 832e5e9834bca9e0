#include <CocoaQZ/QuartzCore/QTZImageGradientUnit.h>

#include <Foundation/NSException.h>

QTZImageGradientUnit::~QTZImageGradientUnit() {
    setInputColor1(std::nullopt);
    setInputColor2(std::nullopt);
    setCachedPreviewImage(nullptr);
    setCachedOutputImage(nullptr);
    setCachedOutputImageRef(nullptr);
}

bool QTZImageGradientUnit::setRendererInputs() {
    try {
        const bool answer = QTZImageRenderUnit::setRendererInputs();
        if (const std::shared_ptr<QCRenderer> renderer = qcrenderer()) {
            renderer->setValue(QCValue(double(inputGradientType())), "inputGradientType");
            if (const auto color = inputColor1()) renderer->setValue(QCValue(*color), "inputColor1");
            if (const auto color = inputColor2()) renderer->setValue(QCValue(*color), "inputColor2");
            renderer->setValue(QCValue(double(input_x0_normal())), "input_X0_normal");
            renderer->setValue(QCValue(double(input_y0_normal())), "input_Y0_normal");
            renderer->setValue(QCValue(double(input_x1_normal())), "input_X1_normal");
            renderer->setValue(QCValue(double(input_y1_normal())), "input_Y1_normal");
        }
        return answer;
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QTZImageGradientUnit::setRendererInputs:exception:%1\n").arg(exception.description()));
        return false;
    }
}

void QTZImageGradientUnit::renderOutputImage() {
    try {
        if (!setRendererInputs()) return;
        const std::shared_ptr<QCRenderer> renderer = qcrenderer();
        if (!renderer || !composition() || !renderer->renderAtTime(0)) return;
        CGImageRef image = renderer->createSnapshotCGImage();
        if (!image) return;
        setCachedOutputImageRef(image);
        CIImageRef preview = CIImage::imageWithCGImage(image);
        CGImageRelease(image);
        setCachedPreviewImage(preview);
        setCachedOutputImage(std::move(preview));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QTZImageGradientUnit::outputImage exception:%1\n").arg(exception.description()));
    }
}

CIImageRef QTZImageGradientUnit::outputImage() {
    if (!cachedOutputImage()) return nullptr;
    renderOutputImage();
    return cachedOutputImage();
}

std::optional<CIColor> QTZImageGradientUnit::inputColor1() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mInputColor1;
}

void QTZImageGradientUnit::setInputColor1(std::optional<CIColor> color) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mInputColor1 = color;
}

std::optional<CIColor> QTZImageGradientUnit::inputColor2() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mInputColor2;
}

void QTZImageGradientUnit::setInputColor2(std::optional<CIColor> color) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mInputColor2 = color;
}

CIImageRef QTZImageGradientUnit::cachedPreviewImage() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mCachedPreviewImage;
}

void QTZImageGradientUnit::setCachedPreviewImage(CIImageRef image) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mCachedPreviewImage = std::move(image);
}

CIImageRef QTZImageGradientUnit::cachedOutputImage() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mCachedOutputImage;
}

void QTZImageGradientUnit::setCachedOutputImage(CIImageRef image) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mCachedOutputImage = std::move(image);
}

CGImageRef QTZImageGradientUnit::cachedOutputImageRef() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mCachedOutputImageRef;
}

void QTZImageGradientUnit::setCachedOutputImageRef(CGImageRef image) {
    CGImageRef old;
    {
        std::lock_guard<std::mutex> guard(mPropertyLock);
        if (image) CGImageRetain(image);
        old = std::exchange(mCachedOutputImageRef, image);
    }
    if (old) CGImageRelease(old);
}

bool import_QTZImageGradientUnit() { return import_QTZImageRenderUnit(); }
