#include "NSImage_RetinaDisplays.h"

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <climits>
#include <cmath>

namespace {

std::optional<double> BackingScaleFactor(const QScreen *screen) {
    if (screen == nullptr) return std::nullopt;
    return screen->devicePixelRatio();
}

// The scale factor as an integer (truncated), or none for factors that are no count of pixels.
std::optional<int> WholeScale(std::optional<double> factor) {
    if (!factor || !std::isfinite(*factor) || *factor < 1.0 || *factor > 64.0) return std::nullopt;
    return int(*factor);
}

// The position of the extension's dot in the last path component, or -1.
qsizetype ExtensionDot(const QString &name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the component (".hidden") starts no extension.
    return dot > slash + 1 ? dot : -1;
}

QString ResourcePath(const QString &name) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr || name.isEmpty() || name.contains(QLatin1String(".."))) return {};
    const QByteArray utf8 = name.toUtf8();
    CFStringRef resource = CFStringCreateWithCString(nullptr, utf8.constData(), kCFStringEncodingUTF8);
    if (resource == nullptr) return {};
    CFURLRef url = CFBundleCopyResourceURL(bundle, resource, nullptr, nullptr);
    CFRelease(resource);
    if (url == nullptr) return {};
    char path[PATH_MAX];
    const bool found = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path);
    CFRelease(url);
    return found ? QString::fromUtf8(path) : QString();
}

}  // namespace

QString NSImage_RetinaDisplays::imageNamedForBackingScaleFactor(const QString &name,
                                                                std::optional<double> backingScaleFactor) {
    const std::optional<int> scale = WholeScale(backingScaleFactor);
    if (!scale) return name;
    const qsizetype dot = ExtensionDot(name);
    const QString base = dot < 0 ? name : name.left(dot);
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    QString variant = base + QStringLiteral("@%1x").arg(*scale);
    if (!extension.isEmpty()) variant += QLatin1Char('.') + extension;
    return variant;
}

QString NSImage_RetinaDisplays::imageNamedForResolutionOfScreen(const QString &name, const QScreen *screen) {
    return imageNamedForBackingScaleFactor(name, BackingScaleFactor(screen));
}

std::shared_ptr<NSImage> NSImage_RetinaDisplays::resourceImageNamed(const QString &name) {
    QString path = ResourcePath(name);
    if (path.isEmpty() && ExtensionDot(name) < 0) {
        for (const char *extension : {"png", "tiff", "tif"}) {
            path = ResourcePath(name + QLatin1Char('.') + QLatin1String(extension));
            if (!path.isEmpty()) break;
        }
    }
    if (path.isEmpty()) return nullptr;
    const QImage picture(path);
    return picture.isNull() ? nullptr : NSImage::imageWithQImage(picture);
}

std::shared_ptr<NSImage> NSImage_RetinaDisplays::imageForScreenResolution(const QScreen *screen,
                                                                          const QString &name) {
    const QString variantName = imageNamedForResolutionOfScreen(name, screen);
    if (variantName != name) {
        if (std::shared_ptr<NSImage> variant = resourceImageNamed(variantName)) {
            // Shown at the plain image's size in points.
            const double scale = *WholeScale(BackingScaleFactor(screen));
            const NSSize pixels = variant->size();
            variant->setSize(NSMakeSize(pixels.width / scale, pixels.height / scale));
            return variant;
        }
    }
    return resourceImageNamed(name);
}

std::shared_ptr<NSImage> NSImage_RetinaDisplays::retinaImageNamed(const QString &name) {
    return imageForScreenResolution(QGuiApplication::primaryScreen(), name);
}

bool import_NSImage_RetinaDisplays() { return true; }
