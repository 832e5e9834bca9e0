// Image destinations on Qt's image writers. The image is drawn 1:1 into a bitmap context in
// cairo's layout (the memory of QImage::Format_ARGB32_Premultiplied), which the Core Graphics
// layer converts from any layout it reads, and that memory is handed to QImageWriter.
#include <ImageIO/ImageIO.h>

#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFRuntime.h>
#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>

#include <QImage>
#include <QImageWriter>
#include <QString>

#include <string>
#include <vector>

namespace {

LUMORA_CF_CONSTANT_STRING(gJPEG, "public.jpeg");
LUMORA_CF_CONSTANT_STRING(gPNG, "public.png");
LUMORA_CF_CONSTANT_STRING(gTIFF, "public.tiff");
LUMORA_CF_CONSTANT_STRING(gBMP, "com.microsoft.bmp");

std::string Text(CFStringRef string) {
    if (string == nullptr) return {};
    const CFIndex length = CFStringGetLength(string);
    std::vector<char> buffer(static_cast<size_t>(length) * 4 + 1, 0);
    if (!CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8))
        return {};
    return buffer.data();
}

// Qt's writer format for a type identifier; null for a type not written here.
const char *WriterFormat(CFStringRef type) {
    const std::string name = Text(type);
    if (name == "public.jpeg") return "jpeg";
    if (name == "public.png") return "png";
    if (name == "public.tiff") return "tiff";
    if (name == "com.microsoft.bmp") return "bmp";
    return nullptr;
}

CFTypeID ImageDestinationTypeID() {
    static const CFTypeID id = cf::RegisterType("CGImageDestination");
    return id;
}

}  // namespace

constinit const CFStringRef kUTTypeJPEG = &gJPEG.object;
constinit const CFStringRef kUTTypePNG = &gPNG.object;
constinit const CFStringRef kUTTypeTIFF = &gTIFF.object;
constinit const CFStringRef kUTTypeBMP = &gBMP.object;

struct CGImageDestination final : cf::Object {
    CGImageDestination() : cf::Object(ImageDestinationTypeID()) {}
    ~CGImageDestination() override { CGImageRelease(mImage); }

    std::string mPath;
    const char *mFormat = nullptr;
    CGImageRef mImage = nullptr;  // retained
    bool mFinalized = false;
};

CGImageDestinationRef CGImageDestinationCreateWithURL(CFURLRef url, CFStringRef type, size_t count,
                                                      CFDictionaryRef /*options*/) {
    if (url == nullptr || count != 1) return nullptr;
    const char *format = WriterFormat(type);
    if (format == nullptr || CFURLHasDirectoryPath(url)) return nullptr;
    const std::string scheme = Text(CFURLGetString(url)).substr(0, 7);
    if (scheme != "file://") return nullptr;
    CFStringRef pathString = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
    std::string path = Text(pathString);
    if (pathString != nullptr) CFRelease(pathString);
    if (path.empty()) return nullptr;
    auto *destination = new CGImageDestination;
    destination->mPath = std::move(path);
    destination->mFormat = format;
    return destination;
}

void CGImageDestinationAddImage(CGImageDestinationRef idst, CGImageRef image, CFDictionaryRef /*properties*/) {
    if (idst == nullptr || image == nullptr || idst->mImage != nullptr || idst->mFinalized) return;
    idst->mImage = CGImageRetain(image);
}

bool CGImageDestinationFinalize(CGImageDestinationRef idst) {
    if (idst == nullptr || idst->mImage == nullptr || idst->mFinalized) return false;
    idst->mFinalized = true;
    const size_t width = CGImageGetWidth(idst->mImage);
    const size_t height = CGImageGetHeight(idst->mImage);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(nullptr, width, height, 8, 0, space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    if (context == nullptr) return false;
    CGContextDrawImage(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), idst->mImage);
    const auto *pixels = static_cast<const uchar *>(CGBitmapContextGetData(context));
    bool written = false;
    if (pixels != nullptr) {
        const QImage image(pixels, int(width), int(height), qsizetype(CGBitmapContextGetBytesPerRow(context)),
                           QImage::Format_ARGB32_Premultiplied);
        QImageWriter writer(QString::fromStdString(idst->mPath), idst->mFormat);
        const bool opaqueFormat = std::string(idst->mFormat) == "jpeg" || std::string(idst->mFormat) == "bmp";
        written = writer.write(opaqueFormat ? image.convertToFormat(QImage::Format_RGB32) : image);
    }
    CGContextRelease(context);
    return written;
}
