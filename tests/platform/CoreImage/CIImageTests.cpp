#include <CoreImage/CoreImage.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreVideo/CoreVideo.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <variant>
#include <vector>

namespace {

struct Crop {
    CGRect rect;
};
struct Transform {
    CGAffineTransform t;
};
using Op = std::variant<Crop, Transform>;

CIImageRef Apply(CIImageRef image, const std::vector<Op> &ops) {
    for (const Op &op : ops) {
        if (auto crop = std::get_if<Crop>(&op)) image = image->imageByCroppingToRect(crop->rect);
        else image = image->imageByApplyingTransform(std::get<Transform>(op).t);
    }
    return image;
}

CIImageRef Texture(double width, double height, bool flipped = false) {
    return CIImage::imageWithTexture(7, CGSizeMake(width, height), flipped);
}

Transform Translate(double x, double y) { return {CGAffineTransformMakeTranslation(x, y)}; }
Transform Scale(double x, double y) { return {CGAffineTransformMakeScale(x, y)}; }
Transform Rotate90() { return {CGAffineTransformMake(0, 1, -1, 0, 0, 0)}; }   // (x, y) -> (-y, x)

void ExpectRect(CGRect expected, CGRect actual, const std::string &name) {
    if (CGRectIsNull(expected)) {
        EXPECT_TRUE(CGRectIsNull(actual)) << name << ": " << actual.origin.x << "," << actual.origin.y << " "
                                          << actual.size.width << "x" << actual.size.height;
        return;
    }
    EXPECT_DOUBLE_EQ(expected.origin.x, actual.origin.x) << name;
    EXPECT_DOUBLE_EQ(expected.origin.y, actual.origin.y) << name;
    EXPECT_DOUBLE_EQ(expected.size.width, actual.size.width) << name;
    EXPECT_DOUBLE_EQ(expected.size.height, actual.size.height) << name;
}

bool NoNaN(CGRect r) {
    return !std::isnan(r.origin.x) && !std::isnan(r.origin.y) && !std::isnan(r.size.width) &&
           !std::isnan(r.size.height);
}

IOSurfaceRef MakeSurface(int width, int height) {
    int values[] = {width, height, 4, int(kCVPixelFormatType_32BGRA)};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    CFNumberRef numbers[4];
    for (int i = 0; i < 4; ++i) numbers[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    CFDictionaryRef properties =
        CFDictionaryCreate(nullptr, keys, reinterpret_cast<const void **>(numbers), 4, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (CFNumberRef number : numbers) CFRelease(number);
    return surface;
}

TEST(CIImage, SourcesHaveTheirPixelBoundsAsExtent) {
    IOSurfaceRef surface = MakeSurface(64, 32);
    ASSERT_NE(surface, nullptr);
    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreate(nullptr, 48, 16, kCVPixelFormatType_32ARGB, nullptr, &buffer), kCVReturnSuccess);
    std::vector<UInt8> bytes(10 * 40 * 3);
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef cgImage = CGImageCreate(10, 3, 8, 32, 40, space, kCGImageAlphaPremultipliedFirst, provider, nullptr,
                                       false, kCGRenderingIntentDefault);
    ASSERT_NE(cgImage, nullptr);

    struct Case {
        const char *name;
        CIImageRef image;
        CIImage::SourceKind kind;
        CGRect extent;
    } cases[] = {
        {"texture", Texture(640, 480), CIImage::SourceKind::GLTexture, CGRectMake(0, 0, 640, 480)},
        {"flipped texture", Texture(3, 5, true), CIImage::SourceKind::GLTexture, CGRectMake(0, 0, 3, 5)},
        {"surface", CIImage::imageWithIOSurface(surface), CIImage::SourceKind::IOSurface, CGRectMake(0, 0, 64, 32)},
        {"pixel buffer", CIImage::imageWithCVImageBuffer(buffer), CIImage::SourceKind::CVImageBuffer,
         CGRectMake(0, 0, 48, 16)},
        {"bitmap", CIImage::imageWithBitmapData(data, 40, CGSizeMake(10, 3), kCIFormatBGRA8),
         CIImage::SourceKind::Bitmap, CGRectMake(0, 0, 10, 3)},
        {"colour", CIImage::imageWithColor(CIColor::colorWithRed(1, 0, 0)), CIImage::SourceKind::Color,
         CIRectInfinite},
        {"CGImage", CIImage::imageWithCGImage(cgImage), CIImage::SourceKind::CGImage, CGRectMake(0, 0, 10, 3)},
    };
    CGImageRelease(cgImage);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    CFRelease(surface);
    CVPixelBufferRelease(buffer);
    CFRelease(data);
    for (const Case &c : cases) {
        ASSERT_NE(c.image, nullptr) << c.name;
        EXPECT_EQ(c.image->sourceKind(), c.kind) << c.name;
        ExpectRect(c.extent, c.image->extent(), c.name);
        ExpectRect(c.extent, c.image->definition(), c.name);
        EXPECT_FALSE(c.image->isEmpty()) << c.name;
    }
    EXPECT_TRUE(CIRectIsInfinite(cases[5].image->extent()));
    EXPECT_FALSE(CIRectIsInfinite(cases[0].image->extent()));
    // The sources stay alive with the image (ASan checks the handles).
    EXPECT_EQ(IOSurfaceGetWidth(cases[2].image->ioSurface()), 64u);
    EXPECT_EQ(CFDataGetLength(cases[4].image->bitmapData()), CFIndex(bytes.size()));
    EXPECT_EQ(CGImageGetWidth(cases[6].image->cgImage()), 10u);
    // Sources stored top row first are read through a vertical flip.
    for (int i : {1, 2, 3, 4, 6}) {
        EXPECT_EQ(CIMatrix3ApplyToPoint(CIImageFoldSampler(cases[i].image).matrix, CGPointMake(1, 0)).y,
                  cases[i].extent.size.height)
            << cases[i].name;
    }
    EXPECT_EQ(CIMatrix3ApplyToPoint(CIImageFoldSampler(cases[0].image).matrix, CGPointMake(1, 0)).y, 0)
        << cases[0].name;
}

TEST(CIImage, InvalidSourcesAreRefused) {
    std::vector<UInt8> bytes(100);
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    struct Case {
        const char *name;
        CIImageRef image;
    } cases[] = {
        {"texture 0", CIImage::imageWithTexture(0, CGSizeMake(4, 4), false)},
        {"empty size", Texture(0, 4)},
        {"negative size", Texture(-4, 4)},
        {"fractional size", Texture(4.5, 4)},
        {"infinite size", Texture(INFINITY, 4)},
        {"NaN size", Texture(NAN, 4)},
        {"no CGImage", CIImage::imageWithCGImage(nullptr)},
        {"no surface", CIImage::imageWithIOSurface(nullptr)},
        {"no buffer", CIImage::imageWithCVImageBuffer(nullptr)},
        {"no data", CIImage::imageWithBitmapData(nullptr, 16, CGSizeMake(4, 1), kCIFormatARGB8)},
        {"row too short", CIImage::imageWithBitmapData(data, 15, CGSizeMake(4, 1), kCIFormatARGB8)},
        {"data too short", CIImage::imageWithBitmapData(data, 40, CGSizeMake(10, 3), kCIFormatARGB8)},
        {"unknown format", CIImage::imageWithBitmapData(data, 16, CGSizeMake(4, 1), 99)},
        {"huge row bytes", CIImage::imageWithBitmapData(data, SIZE_MAX, CGSizeMake(4, 2), kCIFormatRGBAf)},
    };
    for (const Case &c : cases) EXPECT_EQ(c.image, nullptr) << c.name;
    EXPECT_NE(CIImage::imageWithBitmapData(data, 25, CGSizeMake(6, 4), kCIFormatRGBA8), nullptr);
    CFRelease(data);
}

TEST(CIImage, ExtentsAndDefinitionsOfChains) {
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(0, 1, 0));
    struct Case {
        const char *name;
        CIImageRef source;
        std::vector<Op> ops;
        CGRect extent;
        CGRect definition;
    } cases[] = {
        {"crop inside", Texture(100, 100), {Crop{CGRectMake(10, 20, 30, 40)}}, CGRectMake(10, 20, 30, 40),
         CGRectMake(10, 20, 30, 40)},
        {"crop across the edge", Texture(100, 100), {Crop{CGRectMake(-10, 90, 30, 40)}}, CGRectMake(0, 90, 20, 10),
         CGRectMake(0, 90, 20, 10)},
        {"crop outside", Texture(100, 100), {Crop{CGRectMake(200, 200, 10, 10)}}, CGRectNull, CGRectNull},
        {"crop touching the edge", Texture(100, 100), {Crop{CGRectMake(100, 0, 10, 10)}}, CGRectNull, CGRectNull},
        {"negative rectangle", Texture(100, 100), {Crop{CGRectMake(50, 50, -20, -10)}}, CGRectMake(30, 40, 20, 10),
         CGRectMake(30, 40, 20, 10)},
        {"zero-width rectangle", Texture(100, 100), {Crop{CGRectMake(5, 5, 0, 10)}}, CGRectNull, CGRectNull},
        {"null rectangle", Texture(100, 100), {Crop{CGRectNull}}, CGRectNull, CGRectNull},
        {"NaN rectangle", Texture(100, 100), {Crop{CGRectMake(NAN, 0, 10, 10)}}, CGRectNull, CGRectNull},
        {"translation", Texture(100, 100), {Translate(5, -3)}, CGRectMake(5, -3, 100, 100),
         CGRectMake(5, -3, 100, 100)},
        {"scale", Texture(100, 100), {Scale(2, 0.5)}, CGRectMake(0, 0, 200, 50), CGRectMake(0, 0, 200, 50)},
        {"mirror", Texture(100, 50), {Scale(-1, 1)}, CGRectMake(-100, 0, 100, 50), CGRectMake(-100, 0, 100, 50)},
        {"rotation by 90 degrees", Texture(100, 50), {Rotate90()}, CGRectMake(-50, 0, 50, 100),
         CGRectMake(-50, 0, 50, 100)},
        {"fractional scale", Texture(101, 10), {Scale(0.5, 0.5)}, CGRectMake(0, 0, 50.5, 5), CGRectMake(0, 0, 51, 5)},
        {"fractional translation", Texture(10, 10), {Translate(0.25, -0.5)}, CGRectMake(0.25, -0.5, 10, 10),
         CGRectMake(0, -1, 11, 11)},
        {"crop of a transform of a crop",
         Texture(100, 100),
         {Crop{CGRectMake(0, 0, 50, 50)}, Scale(2, 2), Crop{CGRectMake(50, 50, 100, 100)}},
         CGRectMake(50, 50, 50, 50),
         CGRectMake(50, 50, 50, 50)},
        {"crop, translation, crop, rotation",
         Texture(100, 100),
         {Crop{CGRectMake(10, 10, 50, 50)}, Translate(100, 0), Crop{CGRectMake(120, 0, 100, 100)}, Rotate90()},
         CGRectMake(-60, 120, 50, 40),
         CGRectMake(-60, 120, 50, 40)},
        {"scale 0", Texture(100, 100), {Scale(0, 1)}, CGRectNull, CGRectNull},
        {"singular shear", Texture(100, 100), {Transform{CGAffineTransformMake(1, 2, 2, 4, 0, 0)}}, CGRectNull,
         CGRectNull},
        {"NaN transform", Texture(100, 100), {Translate(NAN, 0)}, CGRectNull, CGRectNull},
        {"transform after an empty crop", Texture(100, 100), {Crop{CGRectMake(200, 0, 1, 1)}, Translate(-200, 0)},
         CGRectNull, CGRectNull},
        {"colour", colour, {}, CIRectInfinite, CIRectInfinite},
        {"colour cropped", colour, {Crop{CGRectMake(-10, -10, 20, 20)}}, CGRectMake(-10, -10, 20, 20),
         CGRectMake(-10, -10, 20, 20)},
        {"colour moved", colour, {Translate(10, 10), Rotate90(), Scale(3, 0.5)}, CIRectInfinite, CIRectInfinite},
        {"colour scaled by 0", colour, {Scale(0, 0)}, CGRectNull, CGRectNull},
        {"colour cropped then scaled", colour, {Crop{CGRectMake(1, 2, 3, 4)}, Scale(2, 2)}, CGRectMake(2, 4, 6, 8),
         CGRectMake(2, 4, 6, 8)},
        {"colour cropped by an infinite rectangle", colour, {Crop{CIRectInfinite}}, CIRectInfinite, CIRectInfinite},
        {"empty image", CIImage::emptyImage(), {Translate(1, 1), Crop{CGRectMake(0, 0, 5, 5)}}, CGRectNull,
         CGRectNull},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.source, nullptr) << c.name;
        const CIImageRef image = Apply(c.source, c.ops);
        ASSERT_NE(image, nullptr) << c.name;
        ExpectRect(c.extent, image->extent(), c.name);
        ExpectRect(c.definition, image->definition(), c.name);
        EXPECT_EQ(image->isEmpty(), CGRectIsNull(c.extent)) << c.name;
        // Crops and transforms never make a new source.
        EXPECT_EQ(image->sourceIdentity(), c.source->sourceIdentity()) << c.name;
    }
}

TEST(CIImage, FoldedSamplerMapsDestinationPointsToSourcePixels) {
    struct Point {
        CGPoint destination;
        CGPoint source;
    };
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(0, 0, 1));
    struct Case {
        const char *name;
        CIImageRef source;
        std::vector<Op> ops;
        std::vector<Point> points;
        CGRect clamp;
    } cases[] = {
        {"source", Texture(100, 50), {}, {{{0, 0}, {0, 0}}, {{99.5, 49.5}, {99.5, 49.5}}}, CGRectMake(0, 0, 100, 50)},
        {"flipped source",
         Texture(100, 50, true),
         {},
         {{{0, 0}, {0, 50}}, {{10, 40}, {10, 10}}, {{0.5, 49.5}, {0.5, 0.5}}},
         CGRectMake(0, 0, 100, 50)},
        {"translation", Texture(100, 100), {Translate(10, 20)}, {{{10, 20}, {0, 0}}, {{60, 70}, {50, 50}}},
         CGRectMake(0, 0, 100, 100)},
        {"scale then translation",
         Texture(100, 100),
         {Scale(2, 2), Translate(10, 0)},
         {{{10, 0}, {0, 0}}, {{30, 4}, {10, 2}}},
         CGRectMake(0, 0, 100, 100)},
        {"translation then scale",
         Texture(100, 100),
         {Translate(10, 0), Scale(2, 2)},
         {{{20, 0}, {0, 0}}, {{40, 4}, {10, 2}}},
         CGRectMake(0, 0, 100, 100)},
        {"rotation by 90 degrees", Texture(100, 50), {Rotate90()}, {{{-10, 20}, {20, 10}}, {{-50, 0}, {0, 50}}},
         CGRectMake(0, 0, 100, 50)},
        {"rotation of a flipped source",
         Texture(100, 50, true),
         {Rotate90()},
         {{{-10, 20}, {20, 40}}, {{0, 0}, {0, 50}}},
         CGRectMake(0, 0, 100, 50)},
        {"crop, translation, crop",
         Texture(100, 100),
         {Crop{CGRectMake(10, 10, 50, 50)}, Translate(100, 0), Crop{CGRectMake(120, 0, 100, 100)}},
         {{{120, 10}, {20, 10}}, {{159, 59}, {59, 59}}},
         CGRectMake(20, 10, 40, 50)},
        {"crop of a scaled image", Texture(100, 100), {Scale(2, 2), Crop{CGRectMake(0, 0, 50, 50)}},
         {{{50, 50}, {25, 25}}}, CGRectMake(0, 0, 25, 25)},
        {"crop of a flipped source",
         Texture(100, 50, true),
         {Crop{CGRectMake(0, 0, 10, 10)}},
         {{{5, 5}, {5, 45}}},
         CGRectMake(0, 40, 10, 10)},
        {"crop of a rotated image",
         Texture(100, 50),
         {Rotate90(), Crop{CGRectMake(-20, 0, 20, 30)}},
         {{{-20, 0}, {0, 20}}, {{0, 30}, {30, 0}}},
         CGRectMake(0, 0, 30, 20)},
        {"colour cropped and moved", colour, {Crop{CGRectMake(0, 0, 4, 4)}, Translate(-2, 0)},
         {{{-2, 0}, {0, 0}}, {{2, 4}, {4, 4}}}, CGRectMake(0, 0, 4, 4)},
    };
    for (const Case &c : cases) {
        const CIImageRef image = Apply(c.source, c.ops);
        const CIImageFoldedSampler folded = CIImageFoldSampler(image);
        ASSERT_EQ(folded.image, image) << c.name;
        EXPECT_TRUE(folded.exactClamp) << c.name;
        EXPECT_EQ(folded.matrix.m[6], 0) << c.name;
        EXPECT_EQ(folded.matrix.m[7], 0) << c.name;
        EXPECT_EQ(folded.matrix.m[8], 1) << c.name;
        ExpectRect(image->extent(), folded.extent, c.name);
        ExpectRect(c.clamp, folded.clampRect, c.name);
        for (const Point &p : c.points) {
            const CGPoint s = CIMatrix3ApplyToPoint(folded.matrix, p.destination);
            EXPECT_NEAR(s.x, p.source.x, 1e-9) << c.name << " at " << p.destination.x << "," << p.destination.y;
            EXPECT_NEAR(s.y, p.source.y, 1e-9) << c.name << " at " << p.destination.x << "," << p.destination.y;
        }
    }
}

TEST(CIImage, FoldingAnEmptyImageGivesNoSampler) {
    const CIImageFoldedSampler folded = CIImageFoldSampler(Apply(Texture(10, 10), {Scale(0, 0)}));
    EXPECT_EQ(folded.image, nullptr);
    EXPECT_TRUE(CGRectIsNull(folded.extent));
    EXPECT_TRUE(CGRectIsNull(folded.clampRect));
    EXPECT_EQ(CIImageFoldSampler(nullptr).image, nullptr);
}

TEST(CIImage, ACropThroughARotationBoundsTheClamp) {
    const CIImageRef image =
        Apply(Texture(100, 100), {Transform{CGAffineTransformMakeRotation(M_PI / 4)}, Crop{CGRectMake(-5, 5, 10, 10)}});
    const CIImageFoldedSampler folded = CIImageFoldSampler(image);
    ASSERT_NE(folded.image, nullptr);
    EXPECT_FALSE(folded.exactClamp);
    // The crop's corners in source space lie inside the clamp rectangle.
    for (CGPoint corner : {CGPointMake(-5, 5), CGPointMake(5, 5), CGPointMake(-5, 15), CGPointMake(5, 15)}) {
        const CGPoint s = CIMatrix3ApplyToPoint(folded.matrix, corner);
        const CGRect c = folded.clampRect;
        EXPECT_GE(s.x, c.origin.x - 1e-9);
        EXPECT_LE(s.x, c.origin.x + c.size.width + 1e-9);
        EXPECT_GE(s.y, c.origin.y - 1e-9);
        EXPECT_LE(s.y, c.origin.y + c.size.height + 1e-9);
    }
}

TEST(CIImage, HugeValuesStayFiniteAndDefined) {
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(1, 1, 1));
    struct Case {
        const char *name;
        CIImageRef source;
        std::vector<Op> ops;
    } cases[] = {
        {"huge translations", Texture(100, 100), {Translate(1e308, 1e308), Translate(1e308, -1e308)}},
        {"huge scales", Texture(100, 100), {Scale(1e200, 1e200), Scale(1e200, 1e200)}},
        {"tiny scales", Texture(100, 100), {Scale(1e-200, 1e-200), Scale(1e-200, 1e-200)}},
        {"huge shear of a half-plane",
         colour,
         {Crop{CGRectMake(0, -DBL_MAX / 2, DBL_MAX / 2, DBL_MAX)}, Transform{CGAffineTransformMake(3, 0, -3, 1, 0, 0)}}},
        {"huge crop", Texture(100, 100), {Crop{CGRectMake(-DBL_MAX, -DBL_MAX, DBL_MAX, DBL_MAX)}}},
        {"crop running past the largest double", colour, {Crop{CGRectMake(DBL_MAX, DBL_MAX, DBL_MAX, DBL_MAX)}}},
        {"infinite crop", Texture(100, 100), {Crop{CGRectMake(0, 0, INFINITY, INFINITY)}}},
        {"scale of an infinite extent", colour, {Scale(1e300, 1e300), Translate(-1e308, 0)}},
        {"rotation of a huge crop", colour,
         {Crop{CGRectMake(-1e308, -1e308, 1.5e308, 1.5e308)}, Transform{CGAffineTransformMakeRotation(1)}}},
    };
    for (const Case &c : cases) {
        const CIImageRef image = Apply(c.source, c.ops);
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_TRUE(NoNaN(image->extent())) << c.name;
        EXPECT_TRUE(NoNaN(image->definition())) << c.name;
        const CIImageFoldedSampler folded = CIImageFoldSampler(image);
        EXPECT_TRUE(NoNaN(folded.clampRect)) << c.name;
        for (double v : folded.matrix.m) EXPECT_TRUE(std::isfinite(v)) << c.name;
        if (!image->isEmpty()) {
            EXPECT_TRUE(std::isfinite(image->extent().size.width)) << c.name;
            EXPECT_TRUE(std::isfinite(image->extent().size.height)) << c.name;
        }
    }
}

TEST(CISampler, CarriesItsImageAndModes) {
    const CIImageRef image = Apply(Texture(10, 10), {Translate(1, 2)});
    const CISampler plain = CISampler::samplerWithImage(image);
    EXPECT_EQ(plain.filterMode(), CISamplerFilterMode::Linear);
    EXPECT_EQ(plain.wrapMode(), CISamplerWrapMode::Black);
    ExpectRect(CGRectMake(1, 2, 10, 10), plain.extent(), "sampler extent");
    EXPECT_EQ(plain.folded().image, image);
    const CISampler nearest(image, CISamplerFilterMode::Nearest, CISamplerWrapMode::Clamp);
    EXPECT_EQ(nearest.filterMode(), CISamplerFilterMode::Nearest);
    EXPECT_EQ(nearest.wrapMode(), CISamplerWrapMode::Clamp);
    EXPECT_TRUE(CGRectIsNull(CISampler().extent()));
}

}  // namespace
