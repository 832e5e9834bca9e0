#include <AppKit/NSImage.h>

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

#include <QFileInfo>
#include <QHash>
#include <QImage>

#include <algorithm>
#include <climits>

namespace {

QHash<QString, std::shared_ptr<NSImage>> &NamedImages() {
    static QHash<QString, std::shared_ptr<NSImage>> images;
    return images;
}

// The path of the resource file (name as it stands when it has an extension, else name.png),
// or empty.
QString ResourcePath(const QString &name) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr || name.contains(QLatin1Char('/'))) return {};
    const bool hasExtension = !QFileInfo(name).suffix().isEmpty();
    const QByteArray utf8 = name.toUtf8();
    CFStringRef resource = CFStringCreateWithCString(kCFAllocatorDefault, utf8.constData(), kCFStringEncodingUTF8);
    if (resource == nullptr) return {};
    CFURLRef url = CFBundleCopyResourceURL(bundle, resource, hasExtension ? nullptr : CFSTR("png"), nullptr);
    CFRelease(resource);
    if (url == nullptr) return {};
    char path[PATH_MAX];
    const bool found = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path);
    CFRelease(url);
    return found ? QString::fromUtf8(path) : QString();
}

}  // namespace

std::shared_ptr<NSImage> NSImage::imageWithQImage(const QImage &image) {
    auto rep = NSBitmapImageRep::imageRepWithQImage(image);
    if (!rep) return nullptr;
    auto result = std::make_shared<NSImage>();
    result->addRepresentation(std::move(rep));
    return result;
}

void NSImage::addRepresentation(std::shared_ptr<NSBitmapImageRep> representation) {
    if (representation) mRepresentations.push_back(std::move(representation));
}

void NSImage::removeRepresentation(const NSBitmapImageRep *representation) {
    mRepresentations.erase(std::remove_if(mRepresentations.begin(), mRepresentations.end(),
                                          [&](const auto &held) { return held.get() == representation; }),
                           mRepresentations.end());
}

NSSize NSImage::size() const {
    if (mSizeSet) return mSize;
    if (!mRepresentations.empty()) return mRepresentations.front()->size();
    return NSSize{0, 0};
}

void NSImage::setName(const QString &name) {
    auto &images = NamedImages();
    if (!mName.isEmpty()) {
        const auto held = images.constFind(mName);
        if (held != images.constEnd() && held->get() == this) images.erase(held);
    }
    mName = name;
    if (name.isEmpty()) return;
    if (std::shared_ptr<NSImage> self = weak_from_this().lock()) images.insert(name, std::move(self));
}

std::shared_ptr<NSImage> NSImage::imageNamed(const QString &name) {
    if (name.isEmpty()) return nullptr;
    if (const auto held = NamedImages().constFind(name); held != NamedImages().constEnd()) return *held;
    const QString path = ResourcePath(name);
    if (path.isEmpty()) return nullptr;
    std::shared_ptr<NSImage> image = imageWithQImage(QImage(path));
    if (image) image->setName(name);
    return image;
}
