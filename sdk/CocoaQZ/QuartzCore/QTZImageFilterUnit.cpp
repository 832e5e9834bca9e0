#include <CocoaQZ/QuartzCore/QTZImageFilterUnit.h>

#include <Foundation/NSException.h>

void QTZImageFilterUnit::setInputImage(CIImageRef image) { setCachedInputImage(std::move(image)); }

bool QTZImageFilterUnit::setRendererInputs() {
    if (CIImageRef image = cachedInputImage()) {
        if (const std::shared_ptr<QCRenderer> current = qcrenderer())
            current->setValue(QCValue(std::move(image)), "_protocolInput_Image");
    }
    return QTZImageRenderUnit::setRendererInputs();
}

CIImageRef QTZImageFilterUnit::outputImage() {
    try {
        if (setRendererInputs()) {
            const std::shared_ptr<QCRenderer> current = qcrenderer();
            if (current && current->renderAtTime(0))
                setCachedOutputImage(current->valueForOutputKey("_protocolOutput_Image").imageValue());
        }
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QTZImageFilterUnit::outputImage exception:%1\n").arg(exception.description()));
    }
    return cachedOutputImage();
}

CIImageRef QTZImageFilterUnit::cachedInputImage() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mCachedInputImage;
}

void QTZImageFilterUnit::setCachedInputImage(CIImageRef image) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mCachedInputImage = std::move(image);
}

CIImageRef QTZImageFilterUnit::cachedOutputImage() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mCachedOutputImage;
}

void QTZImageFilterUnit::setCachedOutputImage(CIImageRef image) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mCachedOutputImage = std::move(image);
}

bool import_QTZImageFilterUnit() { return import_QTZImageRenderUnit(); }
