#include "EffectRendering.h"

#include <CocoaQZ/QuartzCore/QTZPropertyDictionary.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGDataProvider.h>
#include <ImageIO/ImageIO.h>

#include <algorithm>
#include <cstdio>

namespace effectsheet {

namespace {

const CatalogueEntry kCatalogue[] = {
#include "EffectCatalogue.inc"
    {nullptr, nullptr, nullptr}};

CFURLRef FileURL(const std::string &path) {
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                   CFIndex(path.size()), false);
}

CGImageRef ReadCGImage(const std::string &path, std::string *error) {
    CGImageRef image = nullptr;
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        std::string bytes;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
        std::fclose(file);
        CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
        if (CGImageSourceRef source = CGImageSourceCreateWithData(data, nullptr)) {
            image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
            CFRelease(source);
        }
        CFRelease(data);
    }
    if (image == nullptr) *error = path + ": not a readable picture";
    return image;
}

// A CGImage drawn into premultiplied RGBA, top row first.
Picture PictureOfCGImage(CGImageRef image) {
    Picture picture;
    picture.width = int(CGImageGetWidth(image));
    picture.height = int(CGImageGetHeight(image));
    picture.rgba.assign(size_t(picture.width) * size_t(picture.height) * 4, 0);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(picture.rgba.data(), size_t(picture.width), size_t(picture.height), 8,
                                                 size_t(picture.width) * 4, space,
                                                 kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Big);
    CGColorSpaceRelease(space);
    if (context == nullptr) return {};
    CGContextSetBlendMode(context, kCGBlendModeCopy);
    CGContextDrawImage(context, CGRectMake(0, 0, picture.width, picture.height), image);
    CGBitmapContextWillAccessData(context);  // the drawing into the picture's memory
    CGContextRelease(context);
    return picture;
}

}  // namespace

const std::vector<CatalogueEntry> &Catalogue() {
    static const std::vector<CatalogueEntry> entries(std::begin(kCatalogue), std::end(kCatalogue) - 1);
    return entries;
}

Picture ReadPNG(const std::string &path, std::string *error) {
    CGImageRef image = ReadCGImage(path, error);
    if (image == nullptr) return {};
    Picture picture = PictureOfCGImage(image);
    CGImageRelease(image);
    if (picture.empty()) *error = path + ": cannot be drawn";
    return picture;
}

bool WritePNG(const std::string &path, const Picture &picture, std::string *error) {
    if (picture.empty()) return *error = path + ": nothing to write", false;
    std::vector<uint8_t> bytes = picture.rgba;
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(bytes.data(), size_t(picture.width), size_t(picture.height), 8,
                                                 size_t(picture.width) * 4, space,
                                                 kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Big);
    CGColorSpaceRelease(space);
    if (context == nullptr) return *error = path + ": no bitmap context", false;
    CGImageRef image = CGBitmapContextCreateImage(context);
    CGContextRelease(context);
    const std::string temporary = path + ".part";
    bool written = false;
    CFURLRef url = FileURL(temporary);
    if (image != nullptr && url != nullptr) {
        if (CGImageDestinationRef destination = CGImageDestinationCreateWithURL(url, kUTTypePNG, 1, nullptr)) {
            CGImageDestinationAddImage(destination, image, nullptr);
            written = CGImageDestinationFinalize(destination);
            CFRelease(destination);
        }
    }
    if (url != nullptr) CFRelease(url);
    if (image != nullptr) CGImageRelease(image);
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return *error = path + ": cannot be written", false;
    }
    return true;
}

CIImageRef LoadCameraImage(const std::string &path, std::string *error) {
    CGImageRef image = ReadCGImage(path, error);
    if (image == nullptr) return nullptr;
    CIImageRef camera = CIImage::imageWithCGImage(image);
    CGImageRelease(image);
    if (camera == nullptr) *error = path + ": no Core Image image of it";
    return camera;
}

Picture Shrink(const Picture &picture, int width, int height) {
    Picture small;
    if (picture.empty() || width <= 0 || height <= 0 || picture.width % width || picture.height % height) return small;
    small.width = width;
    small.height = height;
    small.rgba.assign(size_t(width) * size_t(height) * 4, 0);
    const int bw = picture.width / width, bh = picture.height / height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 4; ++k) {
                unsigned sum = 0;
                for (int j = 0; j < bh; ++j)
                    for (int i = 0; i < bw; ++i) sum += picture.at(x * bw + i, y * bh + j)[k];
                small.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(k)] =
                    uint8_t((sum + unsigned(bw * bh) / 2) / unsigned(bw * bh));
            }
    return small;
}

std::unique_ptr<EffectRenderer> EffectRenderer::Make(const std::string &compositionBytes, CIImageRef camera,
                                                     std::string *error, CGLContextObj context,
                                                     CGLPixelFormatObj pixelFormat) {
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(compositionBytes.data()),
                                  CFIndex(compositionBytes.size()));
    auto rewritten = QTZPropertyDictionary::transformCompositionDataForCameraInput(data);
    CFRelease(data);
    if (!rewritten) return *error = "the composition could not be rewritten for the camera input", nullptr;
    std::unique_ptr<EffectRenderer> renderer(new EffectRenderer);
    renderer->mComposition = QCComposition::compositionWithData(rewritten.get(), error);
    if (!renderer->mComposition) return nullptr;
    renderer->mRenderer =
        context ? QCRenderer::rendererWithCGLContext(context, pixelFormat, nullptr, renderer->mComposition, error)
                : QCRenderer::offScreenRendererWithSize(CGSizeMake(640, 480), nullptr, renderer->mComposition, error);
    if (!renderer->mRenderer) return nullptr;
    renderer->mInputs = renderer->mComposition->inputKeys();
    if (!renderer->mRenderer->setValue(QCValue(camera), "cameraImage"))
        return *error = "the rewritten composition takes no \"cameraImage\"", nullptr;
    return renderer;
}

bool EffectRenderer::render(const EffectSettings &settings, std::string *error) {
    const std::pair<const char *, double> inputs[] = {{"inputEffectAmount", settings.amount},
                                                      {"inputEffectTime", settings.time},
                                                      {"advancedInputEffectFrequency", settings.frequency}};
    for (const auto &[key, value] : inputs)
        if (std::find(mInputs.begin(), mInputs.end(), key) != mInputs.end()) mRenderer->setValue(QCValue(value), key);
    if (!mRenderer->renderAtTime(settings.renderTime)) return *error = mRenderer->lastError(), false;
    return true;
}

Picture EffectRenderer::read() {
    // The snapshot is premultiplied BGRA, top row first.
    CGImageRef image = mRenderer->createSnapshotCGImage();
    if (image == nullptr) return {};
    Picture picture;
    picture.width = int(CGImageGetWidth(image));
    picture.height = int(CGImageGetHeight(image));
    const size_t rowBytes = CGImageGetBytesPerRow(image);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    CGImageRelease(image);
    if (data == nullptr) return {};
    const UInt8 *bytes = CFDataGetBytePtr(data);
    if (size_t(CFDataGetLength(data)) < rowBytes * size_t(picture.height)) {
        CFRelease(data);
        return {};
    }
    picture.rgba.resize(size_t(picture.width) * size_t(picture.height) * 4);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const UInt8 *p = bytes + size_t(y) * rowBytes + size_t(x) * 4;
            uint8_t *q = &picture.rgba[(size_t(y) * size_t(picture.width) + size_t(x)) * 4];
            q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = p[3];
        }
    CFRelease(data);
    return picture;
}

}  // namespace effectsheet
