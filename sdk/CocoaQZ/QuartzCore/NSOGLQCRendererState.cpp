#include <CocoaQZ/QuartzCore/NSOGLQCRendererState.h>

#include <CoreGraphics/CGColorSpace.h>
#include <Foundation/NSException.h>

#include <algorithm>
#include <memory>

NSOGLQCRendererState::NSOGLQCRendererState(NSOGLQCRendererStateDelegate *delegate) : mDelegate(delegate) {}

NSOGLQCRendererState::~NSOGLQCRendererState() { closeComposition(); }

bool NSOGLQCRendererState::openCompositionObject(QCCompositionRef composition) {
    setRendererInputKeys(nullptr);
    // Released on every path, also when the delegate's first render raises.
    const std::unique_ptr<CGColorSpace, void (*)(CGColorSpaceRef)> space(
        CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB), [](CGColorSpaceRef s) { if (s) CGColorSpaceRelease(s); });
    CGColorSpaceRef colorSpace = space.get();
    NSOGLQCRendererStateDelegate *const target = delegate();
    const std::shared_ptr<NSOpenGLContext> context = target ? target->rendererOpenGLContext() : nullptr;
    const std::shared_ptr<NSOpenGLPixelFormat> pixelFormat = target ? target->rendererOpenGLPixelFormat() : nullptr;
    CGLContextObj cglContext = context ? context->CGLContextObj() : nullptr;
    CGLPixelFormatObj cglPixelFormat = pixelFormat ? pixelFormat->CGLPixelFormatObj() : nullptr;
    bool opened = false;
    if (colorSpace && cglContext) {
        std::shared_ptr<QCRenderer> renderer =
            QCRenderer::rendererWithCGLContext(cglContext, cglPixelFormat, colorSpace, std::move(composition));
        const bool made = renderer != nullptr;
        setRenderer(std::move(renderer));
        opened = made && rendererInitialize();
    }
    // Whatever was open before is not left behind without its input keys.
    if (!opened) closeComposition();
    return opened;
}

bool NSOGLQCRendererState::openCompositionComposition(QCCompositionRef composition) {
    if (!composition) return isCompositionOpen();
    closeComposition();
    clearDrawablePixels(true);
    try {
        openCompositionObject(std::move(composition));
    } catch (const NSException &) {
        closeComposition();
    }
    return isCompositionOpen();
}

bool NSOGLQCRendererState::openCompositionData(CFDataRef data) {
    return openCompositionComposition(data ? QCComposition::compositionWithData(data) : nullptr);
}

bool NSOGLQCRendererState::openCompositionPath(const std::string &path) {
    closeComposition();
    clearDrawablePixels(true);
    try {
        setRendererInputKeys(nullptr);
        openCompositionObject(QCComposition::compositionWithFile(path));
    } catch (const NSException &exception) {
        closeComposition();
        NSLog(QStringLiteral("NSOGLQCRendererState::openCompositionPath: exception:%1\n").arg(exception.description()));
    }
    return isCompositionOpen();
}

void NSOGLQCRendererState::closeComposition() {
    setRendererInputKeys(nullptr);
    setRenderer(nullptr);
}

bool NSOGLQCRendererState::isCompositionOpen() const { return renderer() != nullptr; }

bool NSOGLQCRendererState::rendererInitialize() {
    const std::shared_ptr<QCRenderer> current = renderer();
    if (!current) return false;
    setRendererInputKeys(std::make_shared<const std::vector<std::string>>(current->inputKeys()));
    if (NSOGLQCRendererStateDelegate *const target = delegate()) target->rendererStateRendererInitialize(this, true);
    return true;
}

bool NSOGLQCRendererState::hasInputKey(const std::string &key) const {
    if (!isCompositionOpen()) return false;
    const NSOGLQCRendererInputKeys keys = rendererInputKeys();
    return keys && std::find(keys->begin(), keys->end(), key) != keys->end();
}

bool NSOGLQCRendererState::setValue(const QCValue &value, const std::string &key) {
    if (!hasInputKey(key)) return false;
    const std::shared_ptr<QCRenderer> current = renderer();
    if (!current) return false;
    try {
        return current->setValue(value, key);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSOGLQCRendererState::setValue:%1 forInputKey:%2\nexception:%3")
                  .arg(QString::fromStdString(value.stringValue()), QString::fromStdString(key),
                       exception.description()));
        return false;
    }
}

bool NSOGLQCRendererState::renderStateForTime(double seconds) {
    const std::shared_ptr<QCRenderer> current = renderer();
    return current && current->renderAtTime(seconds, rendererArguments());
}

void NSOGLQCRendererState::clearDrawablePixels(bool force) {
    if (NSOGLQCRendererStateDelegate *const target = delegate()) target->rendererStateClearDrawablePixels(this, force);
}

std::shared_ptr<QCRenderer> NSOGLQCRendererState::renderer() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mRenderer;
}

void NSOGLQCRendererState::setRenderer(std::shared_ptr<QCRenderer> renderer) {
    std::shared_ptr<QCRenderer> old;
    {
        std::lock_guard<std::mutex> guard(mPropertyLock);
        old = std::exchange(mRenderer, std::move(renderer));
    }
    // The old renderer is released outside the lock (it makes its context current to go).
}

NSOGLQCRendererInputKeys NSOGLQCRendererState::rendererInputKeys() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mRendererInputKeys;
}

void NSOGLQCRendererState::setRendererInputKeys(NSOGLQCRendererInputKeys keys) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mRendererInputKeys = std::move(keys);
}

QCRenderArguments NSOGLQCRendererState::rendererArguments() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mRendererArguments;
}

void NSOGLQCRendererState::setRendererArguments(const QCRenderArguments &arguments) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mRendererArguments = arguments;
}

bool import_NSOGLQCRendererState() { return true; }
