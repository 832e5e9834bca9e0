// Images from outside data and named images: the readers of NSImage.
#include <AppKit/NSImage.h>

#include <CoreFoundation/CFBundle.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGPDFPage.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>

#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// poppler takes a document whose header lies in its first 1024 bytes.
bool LooksLikePDF(const QByteArray &data) { return data.left(1024).contains("%PDF-"); }

std::shared_ptr<NSImage> ImageFromPDF(const QByteArray &data) {
    CFDataRef bytes = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(data.constData()), data.size());
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(bytes);
    CFRelease(bytes);
    CGPDFDocumentRef document = CGPDFDocumentCreateWithProvider(provider);
    CGDataProviderRelease(provider);
    if (document == nullptr) return nullptr;
    std::shared_ptr<NSImage> image;
    CGPDFPageRef page = CGPDFDocumentGetPage(document, 1);
    const CGRect box = page ? CGPDFPageGetBoxRect(page, kCGPDFCropBox) : CGRectNull;
    const double width = std::ceil(box.size.width), height = std::ceil(box.size.height);
    if (page != nullptr && !CGRectIsNull(box) && width >= 1 && height >= 1 && width <= NSImage::kMaxPDFPixels &&
        height <= NSImage::kMaxPDFPixels) {
        auto rep = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, long(width), long(height), 8, 4, true, false,
                                                              NSDeviceRGBColorSpace, NSBitmapFormat(0), 0, 0);
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        CGContextRef context =
            rep ? CGBitmapContextCreate(rep->bitmapData(), size_t(width), size_t(height), 8, size_t(rep->bytesPerRow()),
                                        space, kCGImageAlphaPremultipliedLast)
                : nullptr;
        CGColorSpaceRelease(space);
        if (context != nullptr) {
            CGContextTranslateCTM(context, -box.origin.x, -box.origin.y);
            CGContextDrawPDFPage(context, page);
            CGBitmapContextWillAccessData(context);
            CGContextRelease(context);
            rep->setSize(NSMakeSize(box.size.width, box.size.height));
            image = std::make_shared<NSImage>(NSMakeSize(box.size.width, box.size.height));
            image->addRepresentation(std::move(rep));
        }
    }
    CGPDFDocumentRelease(document);
    return image;
}

std::shared_ptr<NSImage> ImageFromQtReader(const QByteArray &data) {
    QByteArray copy = data;
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly)) return nullptr;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return nullptr;
    const QImage picture = reader.read();
    return picture.isNull() ? nullptr : NSImage::imageWithQImage(picture);
}

struct NamedImages {
    std::mutex lock;
    QHash<QString, std::shared_ptr<NSImage>> images;
};

NamedImages &Named() {
    static NamedImages *named = new NamedImages;  // outlives every late lookup at exit
    return *named;
}

QString ResourcesFolder() {
    CFURLRef url = CFBundleCopyResourcesDirectoryURL(CFBundleGetMainBundle());
    if (url == nullptr) return QString();
    UInt8 path[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, path, sizeof path);
    CFRelease(url);
    return ok ? QString::fromLocal8Bit(reinterpret_cast<const char *>(path)) : QString();
}

std::shared_ptr<NSImage> ResourceImage(const QString &name) {
    // A name is a file of the folder itself, never a path leading elsewhere.
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..")) return nullptr;
    const QString folder = ResourcesFolder();
    if (folder.isEmpty()) return nullptr;
    const QDir resources(folder);
    QStringList candidates{name};
    if (QFileInfo(name).suffix().isEmpty())
        for (const char *extension : {"png", "pdf", "tiff", "tif", "jpg", "jpeg"})
            candidates << name + QLatin1Char('.') + QLatin1String(extension);
    for (const QString &candidate : candidates) {
        const QFileInfo file(resources.filePath(candidate));
        if (file.isFile())
            if (auto image = NSImage::imageWithContentsOfFile(file.filePath())) return image;
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<NSImage> NSImage::imageWithData(const QByteArray &data) {
    if (data.isEmpty()) return nullptr;
    if (auto image = ImageFromQtReader(data)) return image;
    return LooksLikePDF(data) ? ImageFromPDF(data) : nullptr;
}

std::shared_ptr<NSImage> NSImage::imageWithContentsOfFile(const QString &path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return nullptr;
    return imageWithData(file.readAll());
}

std::shared_ptr<NSImage> NSImage::imageNamed(const QString &name) {
    if (name.isEmpty()) return nullptr;
    {
        std::lock_guard<std::mutex> guard(Named().lock);
        if (auto found = Named().images.value(name)) return found;
    }
    std::shared_ptr<NSImage> image = ResourceImage(name);
    if (image == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(Named().lock);
    auto &slot = Named().images[name];
    if (slot == nullptr) slot = std::move(image);  // a registration meanwhile wins
    return slot;
}

bool NSImage::setName(const QString &name, std::shared_ptr<NSImage> image) {
    if (name.isEmpty()) return false;
    std::lock_guard<std::mutex> guard(Named().lock);
    if (image)
        Named().images.insert(name, std::move(image));
    else
        Named().images.remove(name);
    return true;
}

void NSImage::setName(const QString &name) {
    std::shared_ptr<NSImage> self = weak_from_this().lock();
    std::lock_guard<std::mutex> guard(Named().lock);
    if (!mName.isEmpty()) {
        const auto held = Named().images.constFind(mName);
        if (held != Named().images.constEnd() && held->get() == this) Named().images.erase(held);
    }
    mName = name;
    if (!name.isEmpty() && self) Named().images.insert(name, std::move(self));
}
