#include <CocoaQZ/QuartzCore/QTZImageRenderUnit.h>

#include <QuartzComposer/QCCompositionRepository.h>

#include <Carbon/Folders.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGColorSpace.h>
#include <Foundation/NSException.h>

#include <climits>
#include <filesystem>

namespace {

// The main bundle's resource `name`.qtz as a composition; null at any failing step.
QCCompositionRef BundleComposition(const std::string &name) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle) return nullptr;
    CFStringRef resource = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
    if (!resource) return nullptr;
    CFURLRef url = CFBundleCopyResourceURL(bundle, resource, CFSTR("qtz"), nullptr);
    CFRelease(resource);
    if (!url) return nullptr;
    UInt8 path[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, path, sizeof path);
    CFRelease(url);
    return ok ? QCComposition::compositionWithFile(reinterpret_cast<const char *>(path)) : nullptr;
}

QString Describe(const QCCompositionRef &composition) {
    if (!composition) return QStringLiteral("(null)");
    const std::string &name = composition->attributes().name;
    return name.empty() ? QStringLiteral("<QCComposition>") : QString::fromStdString(name);
}

} // namespace

QTZImageRenderUnit::~QTZImageRenderUnit() {
    setDelegate(nullptr);
    setQccomposition(nullptr);
    setQcrenderer(nullptr);
}

QCCompositionRef QTZImageRenderUnit::compositionWithID(const std::string &identifier) {
    if (identifier.empty() || identifier.find('/') != std::string::npos ||
        identifier.find("..") != std::string::npos || identifier.find('\0') != std::string::npos)
        return nullptr;
    const size_t dot = identifier.rfind('.');
    const std::string name = dot == std::string::npos || dot == 0 ? identifier : identifier.substr(0, dot);
    if (QCCompositionRef composition = BundleComposition(name)) return composition;
    if (QCCompositionRef composition =
            QCCompositionRepository::sharedCompositionRepository().compositionWithIdentifier(identifier))
        return composition;
    std::string library;
    if (lumora::carbon::FolderPath(kLocalDomain, kDomainLibraryFolderType, library) != noErr) return nullptr;
    const std::string path = library + "/Compositions/" + identifier;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    return QCComposition::compositionWithFile(path);
}

void QTZImageRenderUnit::initWithComposition(QCCompositionRef composition, QTZImageRenderUnitDelegate *delegate) {
    setDelegate(delegate);
    if (composition) setComposition(std::move(composition));
}

void QTZImageRenderUnit::setComposition(QCCompositionRef composition) {
    setQccomposition(composition);
    if (!composition) return;
    setQcrenderer(nullptr);
    CGColorSpaceRef colorSpace = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
    std::string error;
    try {
        std::shared_ptr<QCRenderer> renderer =
            QCRenderer::offScreenRendererWithSize(rendererSizePixels(), colorSpace, composition, &error);
        if (!renderer)
            NSLog(QStringLiteral("QTZImageRenderUnit::setComposition:%1\nexception:%2\n")
                      .arg(Describe(composition), QString::fromStdString(error)));
        setQcrenderer(std::move(renderer));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QTZImageRenderUnit::setComposition:%1\nexception:%2\n")
                  .arg(Describe(composition), exception.description()));
    }
    if (colorSpace) CGColorSpaceRelease(colorSpace);
}

bool QTZImageRenderUnit::setRendererInputs() {
    try {
        QTZImageRenderUnitDelegate *const target = delegate();
        if (!target) return true;
        const std::shared_ptr<QCRenderer> current = qcrenderer();
        return target->qtzImageRenderUnit(this, current.get());
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QTZImageRenderUnit::setRendererInputs:exception:%1\n").arg(exception.description()));
        return false;
    }
}

QCCompositionRef QTZImageRenderUnit::qccomposition() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mComposition;
}

void QTZImageRenderUnit::setQccomposition(QCCompositionRef composition) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mComposition = std::move(composition);
}

std::shared_ptr<QCRenderer> QTZImageRenderUnit::qcrenderer() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mRenderer;
}

void QTZImageRenderUnit::setQcrenderer(std::shared_ptr<QCRenderer> renderer) {
    std::shared_ptr<QCRenderer> old;
    {
        std::lock_guard<std::mutex> guard(mPropertyLock);
        old = std::exchange(mRenderer, std::move(renderer));
    }
    // The old renderer goes outside the lock (it makes its context current to delete its objects).
}

bool import_QTZImageRenderUnit() { return true; }
