// Rendering recipes on llvmpipe: every way an image is made, drawn and read back, the passes a
// recipe costs, and what a render answers when it cannot be done.
#include <CoreImage/CoreImage.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreVideo/CoreVideo.h>
#include <IOSurface/IOSurface.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Pixel = std::array<float, 4>;  // premultiplied R, G, B, A in 0..1

// A small picture with distinct, partly transparent premultiplied pixels; (x, y) with y up.
Pixel Pattern(int x, int y) {
    const float a = (x + y) % 3 == 0 ? 0.5f : 1.0f;
    return {float((x * 37 + y * 11) % 256) / 255.0f * a, float((x * 5 + y * 61) % 256) / 255.0f * a,
            float((x * 91 + y * 23 + 40) % 256) / 255.0f * a, a};
}

// The pattern as RGBA8 bytes, the first row the top of the picture.
std::vector<uint8_t> PatternBytes(int width, int height) {
    std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 4);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const Pixel p = Pattern(x, height - 1 - row);
            for (int c = 0; c < 4; ++c) bytes[(size_t(row) * size_t(width) + size_t(x)) * 4 + size_t(c)] = uint8_t(std::lround(p[size_t(c)] * 255));
        }
    return bytes;
}

CIImageRef PatternImage(int width, int height) {
    const std::vector<uint8_t> bytes = PatternBytes(width, height);
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    CIImageRef image = CIImage::imageWithBitmapData(data, size_t(width) * 4, CGSizeMake(width, height), kCIFormatRGBA8);
    CFRelease(data);
    return image;
}

// The rendered pixels as floats, (x, y) with y up from the bottom of `bounds`.
struct Picture {
    int width = 0, height = 0;
    std::vector<float> values;  // RGBA, top row first
    Pixel at(int x, int y) const {
        const size_t i = (size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4;
        return {values[i], values[i + 1], values[i + 2], values[i + 3]};
    }
};

class CIContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        context = CIContext::offscreenContext();
        ASSERT_NE(context, nullptr);
    }

    Picture Render(const CIImageRef &image, CGRect bounds) {
        Picture picture;
        picture.width = int(bounds.size.width);
        picture.height = int(bounds.size.height);
        picture.values.assign(size_t(picture.width) * size_t(picture.height) * 4, -1.0f);
        EXPECT_TRUE(context->render(image, picture.values.data(), size_t(picture.width) * 16, bounds, kCIFormatRGBAf))
            << context->lastError();
        return picture;
    }

    // Each pixel of the render against the reference, within 1/255 (and a little for 8-bit
    // intermediates).
    void ExpectPicture(const Picture &picture, const std::function<Pixel(int, int)> &reference,
                       const std::string &name, float tolerance = 1.01f / 255) {
        int faults = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const Pixel got = picture.at(x, y), want = reference(x, y);
                for (size_t c = 0; c < 4; ++c)
                    if (std::fabs(got[c] - want[c]) > tolerance && faults++ < 5)
                        ADD_FAILURE() << name << " at (" << x << ", " << y << ") channel " << c << ": got " << got[c]
                                      << ", want " << want[c];
            }
        EXPECT_EQ(faults, 0) << name;
    }

    CIKernelRef Kernel(const char *text) {
        CoreImage::CIKernelError error;
        auto kernels = CIKernel::kernelsWithString(text, &error);
        EXPECT_EQ(kernels.size(), 1u) << "line " << error.line << ": " << error.message;
        return kernels.empty() ? nullptr : kernels.front();
    }

    CIContextRef context;
};

Pixel Unpremultiply(Pixel p) { return p[3] > 0 ? Pixel{p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]} : p; }
Pixel Premultiply(Pixel p) { return {p[0] * p[3], p[1] * p[3], p[2] * p[3], p[3]}; }

TEST_F(CIContextTest, KernelsMatchTheirReferenceOverASmallImage) {
    const CIImageRef image = PatternImage(12, 9);
    const CGRect bounds = CGRectMake(0, 0, 12, 9);
    struct Case {
        const char *name;
        const char *text;
        std::vector<CIKernelArgument> extra;  // arguments after the sampler
        std::function<Pixel(int, int)> reference;
    } cases[] = {
        {"copy", "kernel vec4 k(sampler s) { return sample(s, samplerCoord(s)); }", {},
         [](int x, int y) { return Pattern(x, y); }},
        {"invert unpremultiplied",
         "kernel vec4 k(sampler s) { vec4 p = unpremultiply(sample(s, samplerCoord(s)));\n"
         "  return premultiply(vec4(1.0 - p.rgb, p.a)); }",
         {},
         [](int x, int y) {
             Pixel p = Unpremultiply(Pattern(x, y));
             return Premultiply({1 - p[0], 1 - p[1], 1 - p[2], p[3]});
         }},
        {"scaled by a float", "kernel vec4 k(sampler s, float f) { return sample(s, samplerCoord(s)) * f; }", {0.25},
         [](int x, int y) {
             Pixel p = Pattern(x, y);
             return Pixel{p[0] * 0.25f, p[1] * 0.25f, p[2] * 0.25f, p[3] * 0.25f};
         }},
        {"shifted by a vec2",
         "kernel vec4 k(sampler s, vec2 d) { return sample(s, samplerTransform(s, destCoord() + d)); }",
         {CIVector::vectorWithX(1, -2)},
         [](int x, int y) {
             const int sx = x + 1, sy = y - 2;
             return sx < 12 && sy >= 0 ? Pattern(sx, sy) : Pixel{0, 0, 0, 0};
         }},
        {"compare on the destination",
         "kernel vec4 k(sampler s, vec3 c) { vec2 d = destCoord();\n"
         "  return compare(vec4(d.x - 6.0), vec4(c, 1.0), sample(s, samplerCoord(s))); }",
         {CIVector::vectorWithX(0.2, 0.4, 0.6)},
         [](int x, int y) { return x < 6 ? Pixel{0.2f, 0.4f, 0.6f, 1} : Pattern(x, y); }},
        {"a colour arrives premultiplied", "kernel vec4 k(sampler s, __color c) { return c; }",
         {CIColor::colorWithRed(1, 0.5, 0.25, 0.5)}, [](int, int) { return Pixel{0.5f, 0.25f, 0.125f, 0.5f}; }},
        {"the sampler's extent",
         "kernel vec4 k(sampler s) { vec4 e = samplerExtent(s); return vec4(e.z / 16.0, e.w / 16.0, 0.0, 1.0); }", {},
         [](int, int) { return Pixel{12.0f / 16, 9.0f / 16, 0, 1}; }},
    };
    for (const Case &c : cases) {
        CIKernelRef kernel = Kernel(c.text);
        ASSERT_NE(kernel, nullptr) << c.name;
        std::vector<CIKernelArgument> arguments{CISampler(image)};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        CIImageRef out = kernel->apply(arguments, {image->definition(), std::nullopt, nullptr});
        ASSERT_NE(out, nullptr) << c.name << ": " << CIKernel::lastApplyError();
        ExpectPicture(Render(out, bounds), c.reference, c.name);
    }
}

TEST_F(CIContextTest, EverySourceRendersItsPixelsTheRightWayUp) {
    const int w = 5, h = 3;
    const std::vector<uint8_t> rgba = PatternBytes(w, h);  // top row first
    std::vector<uint8_t> bgra(rgba.size()), argb(rgba.size());
    for (size_t i = 0; i < rgba.size(); i += 4) {
        bgra[i] = rgba[i + 2], bgra[i + 1] = rgba[i + 1], bgra[i + 2] = rgba[i], bgra[i + 3] = rgba[i + 3];
        argb[i] = rgba[i + 3], argb[i + 1] = rgba[i], argb[i + 2] = rgba[i + 1], argb[i + 3] = rgba[i + 2];
    }
    auto pattern = [](int x, int y) {
        Pixel p = Pattern(x, y);
        for (float &v : p) v = std::round(v * 255) / 255;
        return p;
    };
    // An IOSurface and a pixel buffer holding the BGRA bytes; a CGImage of them.
    int values[] = {w, h, 4, int(kCVPixelFormatType_32BGRA)};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    CFNumberRef numbers[4];
    for (int i = 0; i < 4; ++i) numbers[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    CFDictionaryRef properties = CFDictionaryCreate(nullptr, keys, reinterpret_cast<const void **>(numbers), 4,
                                                    &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (CFNumberRef n : numbers) CFRelease(n);
    ASSERT_NE(surface, nullptr);
    IOSurfaceLock(surface, 0, nullptr);
    for (int row = 0; row < h; ++row)
        std::memcpy(static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface)) + size_t(row) * IOSurfaceGetBytesPerRow(surface),
                    bgra.data() + size_t(row) * w * 4, size_t(w) * 4);
    IOSurfaceUnlock(surface, 0, nullptr);
    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreate(nullptr, w, h, kCVPixelFormatType_32ARGB, nullptr, &buffer), kCVReturnSuccess);
    CVPixelBufferLockBaseAddress(buffer, 0);
    for (int row = 0; row < h; ++row)
        std::memcpy(static_cast<uint8_t *>(CVPixelBufferGetBaseAddress(buffer)) + size_t(row) * CVPixelBufferGetBytesPerRow(buffer),
                    argb.data() + size_t(row) * w * 4, size_t(w) * 4);
    CVPixelBufferUnlockBaseAddress(buffer, 0);
    CFDataRef bgraData = CFDataCreate(nullptr, bgra.data(), CFIndex(bgra.size()));
    CFDataRef argbData = CFDataCreate(nullptr, argb.data(), CFIndex(argb.size()));
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(bgraData);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef cgImage = CGImageCreate(w, h, 8, 32, size_t(w) * 4, space,
                                       kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, provider, nullptr,
                                       false, kCGRenderingIntentDefault);
    ASSERT_NE(cgImage, nullptr);

    // A texture holding the pattern bottom row first.
    GLuint texture = 0;
    {
        ASSERT_EQ(CGLSetCurrentContext(context->CGLContext()), kCGLNoError);
        std::vector<uint8_t> bottomFirst(rgba.size());
        for (int row = 0; row < h; ++row)
            std::memcpy(bottomFirst.data() + size_t(row) * w * 4, rgba.data() + size_t(h - 1 - row) * w * 4, size_t(w) * 4);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_RECTANGLE, texture);
        glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, bottomFirst.data());
        glBindTexture(GL_TEXTURE_RECTANGLE, 0);
        CGLSetCurrentContext(nullptr);
    }
    struct Case {
        const char *name;
        CIImageRef image;
    } cases[] = {
        {"RGBA bitmap", PatternImage(w, h)},
        {"BGRA bitmap", CIImage::imageWithBitmapData(bgraData, size_t(w) * 4, CGSizeMake(w, h), kCIFormatBGRA8)},
        {"ARGB bitmap", CIImage::imageWithBitmapData(argbData, size_t(w) * 4, CGSizeMake(w, h), kCIFormatARGB8)},
        {"IOSurface", CIImage::imageWithIOSurface(surface)},
        {"pixel buffer", CIImage::imageWithCVImageBuffer(buffer)},
        {"CGImage", CIImage::imageWithCGImage(cgImage)},
        {"texture", CIImage::imageWithTexture(texture, CGSizeMake(w, h), false)},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.image, nullptr) << c.name;
        ExpectPicture(Render(c.image, CGRectMake(0, 0, w, h)), pattern, c.name, 0.5f / 255);
    }
    // A colour covers any bounds, premultiplied.
    ExpectPicture(Render(CIImage::imageWithColor(CIColor::colorWithRed(1, 0.5, 0, 0.5)), CGRectMake(-3, 7, 4, 2)),
                  [](int, int) { return Pixel{0.5f, 0.25f, 0, 0.5f}; }, "colour", 1.0f / 255);

    CGImageRelease(cgImage);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    CFRelease(bgraData);
    CFRelease(argbData);
    CVPixelBufferRelease(buffer);
    CFRelease(surface);
    CGLSetCurrentContext(context->CGLContext());
    glDeleteTextures(1, &texture);
    CGLSetCurrentContext(nullptr);
}

TEST_F(CIContextTest, BitmapsOfEveryLayoutReadBackExactly) {
    const int w = 7, h = 4;
    const std::vector<uint8_t> rgba = PatternBytes(w, h);
    const CIImageRef image = PatternImage(w, h);
    struct Case {
        const char *name;
        CIFormat format;
        int order[4];  // where R, G, B, A go in a pixel
    } cases[] = {
        {"RGBA8", kCIFormatRGBA8, {0, 1, 2, 3}},
        {"BGRA8", kCIFormatBGRA8, {2, 1, 0, 3}},
        {"ARGB8", kCIFormatARGB8, {1, 2, 3, 0}},
    };
    for (const Case &c : cases) {
        const size_t rowBytes = size_t(w) * 4 + 12;  // padded rows stay untouched past the pixels
        std::vector<uint8_t> bitmap(rowBytes * h, 0xEE);
        ASSERT_TRUE(context->render(image, bitmap.data(), rowBytes, CGRectMake(0, 0, w, h), c.format)) << c.name;
        for (int row = 0; row < h; ++row) {
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(bitmap[size_t(row) * rowBytes + size_t(x) * 4 + size_t(c.order[k])],
                              rgba[(size_t(row) * w + size_t(x)) * 4 + size_t(k)])
                        << c.name << " row " << row << " x " << x << " component " << k;
            for (size_t pad = size_t(w) * 4; pad < rowBytes; ++pad) ASSERT_EQ(bitmap[size_t(row) * rowBytes + pad], 0xEE);
        }
    }
    // Rows that are not a whole number of pixels are written row by row.
    const size_t oddRow = size_t(w) * 4 + 3;
    std::vector<uint8_t> odd(oddRow * h, 0);
    ASSERT_TRUE(context->render(image, odd.data(), oddRow, CGRectMake(0, 0, w, h), kCIFormatRGBA8));
    for (int row = 0; row < h; ++row)
        EXPECT_EQ(std::memcmp(odd.data() + size_t(row) * oddRow, rgba.data() + size_t(row) * w * 4, size_t(w) * 4), 0);
}

TEST_F(CIContextTest, RendersIntoAnIOSurfaceTopRowFirst) {
    const int w = 6, h = 4;
    int values[] = {w, h, 4, int(kCVPixelFormatType_32BGRA)};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    CFNumberRef numbers[4];
    for (int i = 0; i < 4; ++i) numbers[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    CFDictionaryRef properties = CFDictionaryCreate(nullptr, keys, reinterpret_cast<const void **>(numbers), 4,
                                                    &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (CFNumberRef n : numbers) CFRelease(n);
    ASSERT_NE(surface, nullptr);
    ASSERT_TRUE(context->render(PatternImage(w, h), surface, CGRectMake(0, 0, w, h))) << context->lastError();
    const std::vector<uint8_t> rgba = PatternBytes(w, h);
    IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr);
    const auto *base = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(surface));
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            const uint8_t *p = base + size_t(row) * IOSurfaceGetBytesPerRow(surface) + size_t(x) * 4;
            const uint8_t *want = &rgba[(size_t(row) * w + size_t(x)) * 4];
            EXPECT_EQ((std::array<int, 4>{p[2], p[1], p[0], p[3]}), (std::array<int, 4>{want[0], want[1], want[2], want[3]}))
                << row << "," << x;
        }
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    // Bounds of another size are refused.
    EXPECT_FALSE(context->render(PatternImage(w, h), surface, CGRectMake(0, 0, w + 1, h)));
    CFRelease(surface);
}

TEST_F(CIContextTest, DrawsIntoTheBoundFramebufferOfACGLContext) {
    CGLContextObj gl = context->CGLContext();
    ASSERT_EQ(CGLSetCurrentContext(gl), kCGLNoError);
    CIContextRef onGL = CIContext::contextWithCGLContext(gl, nullptr);
    ASSERT_NE(onGL, nullptr);
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, 8, 8);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // The 4 x 3 pattern drawn at (2, 1), twice as big: each source pixel covers 2 x 2.
    const CIImageRef image = PatternImage(4, 3);
    ASSERT_TRUE(onGL->drawImage(image, CGRectMake(2, 1, 8, 6), CGRectMake(0, 0, 4, 3))) << onGL->lastError();
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(GLuint(bound), framebuffer) << "the caller's framebuffer stays bound";
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ((std::array<GLint, 4>{viewport[0], viewport[1], viewport[2], viewport[3]}), (std::array<GLint, 4>{0, 0, 8, 8}));
    std::vector<uint8_t> pixels(8 * 8 * 4);
    glReadPixels(0, 0, 8, 8, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint8_t *p = &pixels[(size_t(y) * 8 + size_t(x)) * 4];
            std::array<int, 4> want{0, 0, 255, 255};  // the clear colour outside the drawn rectangle
            if (x >= 2 && y >= 1 && y < 7) {
                // Sampled at pixel centres between source pixels: the reference is bilinear.
                const double sx = (x - 2 + 0.5) / 2 - 0.5, sy = (y - 1 + 0.5) / 2 - 0.5;
                // Texels past the edges repeat the edge (clamped), as the GPU reads them.
                const double fx = sx - std::floor(sx), fy = sy - std::floor(sy);
                const int x0 = std::clamp(int(std::floor(sx)), 0, 3), y0 = std::clamp(int(std::floor(sy)), 0, 2);
                const int x1 = std::clamp(int(std::floor(sx)) + 1, 0, 3), y1 = std::clamp(int(std::floor(sy)) + 1, 0, 2);
                for (int c = 0; c < 4; ++c) {
                    auto v = [&](int px, int py) { return std::round(Pattern(px, py)[size_t(c)] * 255); };
                    const double top = v(x0, y0) * (1 - fx) + v(x1, y0) * fx;
                    const double bottom = v(x0, y1) * (1 - fx) + v(x1, y1) * fx;
                    want[size_t(c)] = int(std::lround(top * (1 - fy) + bottom * fy));
                }
            }
            for (int c = 0; c < 4; ++c) EXPECT_NEAR(p[c], want[size_t(c)], 2) << x << "," << y << " channel " << c;
        }
    // Not current on this thread: refused.
    CGLSetCurrentContext(nullptr);
    EXPECT_FALSE(onGL->drawImage(image, CGRectMake(0, 0, 4, 3), CGRectMake(0, 0, 4, 3)));
    CGLSetCurrentContext(gl);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    CGLSetCurrentContext(nullptr);
}

TEST_F(CIContextTest, CropsAndTransformsCostNoPass) {
    const CIImageRef image = PatternImage(16, 16);
    CIKernelRef invert = Kernel("kernel vec4 k(sampler s) { vec4 p = sample(s, samplerCoord(s)); return vec4(p.a - p.rgb, p.a); }");
    ASSERT_NE(invert, nullptr);
    const CIImageRef moved = image->imageByCroppingToRect(CGRectMake(2, 3, 10, 8))
                                 ->imageByApplyingTransform(CGAffineTransformMakeTranslation(5, -3));
    struct Case {
        const char *name;
        CIImageRef image;
        uint64_t passes;
    } cases[] = {
        {"a source", image, 1},
        {"a crop and a transform of a source", moved, 1},
        {"a kernel over a cropped, moved source", invert->apply({CISampler(moved)}, {moved->definition(), {}, nullptr}), 1},
        {"a kernel moved by whole pixels",
         invert->apply({CISampler(image)}, {image->definition(), {}, nullptr})
             ->imageByApplyingTransform(CGAffineTransformMakeTranslation(3, 2)), 1},
        {"a kernel of a kernel",
         invert->apply({CISampler(invert->apply({CISampler(image)}, {image->definition(), {}, nullptr}))},
                       {image->definition(), {}, nullptr}), 2},
        {"a kernel scaled", invert->apply({CISampler(image)}, {image->definition(), {}, nullptr})
                                ->imageByApplyingTransform(CGAffineTransformMakeScale(0.5, 0.5)), 2},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.image, nullptr) << c.name;
        const uint64_t before = context->statistics().passes;
        Render(c.image, CGRectMake(0, 0, 16, 16));
        EXPECT_EQ(context->statistics().passes - before, c.passes) << c.name;
    }
    // The crop and the move are where they should be.
    ExpectPicture(Render(moved, CGRectMake(0, 0, 16, 16)),
                  [](int x, int y) {
                      const int sx = x - 5, sy = y + 3;
                      return sx >= 2 && sx < 12 && sy >= 3 && sy < 11 ? Pattern(sx, sy) : Pixel{0, 0, 0, 0};
                  },
                  "crop and move");
}

TEST_F(CIContextTest, AWarmRenderCompilesNothingAndAllocatesNoTexture) {
    const CIImageRef image = PatternImage(64, 48);
    CIKernelRef k = Kernel("kernel vec4 k(sampler s, float f) { return sample(s, samplerCoord(s)) * f; }");
    ASSERT_NE(k, nullptr);
    auto chain = [&](double f) {
        CIImageRef a = k->apply({CISampler(image), f}, {image->definition(), {}, nullptr});
        CIImageRef b = k->apply({CISampler(a), 1.0}, {image->definition(), {}, nullptr});
        return k->apply({CISampler(b), 1.0}, {image->definition(), {}, nullptr});
    };
    std::vector<uint8_t> bitmap(64 * 48 * 4);
    ASSERT_TRUE(context->render(chain(0.5), bitmap.data(), 64 * 4, CGRectMake(0, 0, 64, 48), kCIFormatBGRA8));
    const CIContextStatistics cold = context->statistics();
    EXPECT_EQ(cold.programsCompiled, 1u);
    ASSERT_TRUE(context->render(chain(0.25), bitmap.data(), 64 * 4, CGRectMake(0, 0, 64, 48), kCIFormatBGRA8));
    const CIContextStatistics warm = context->statistics();
    EXPECT_EQ(warm.programsCompiled, cold.programsCompiled);
    EXPECT_EQ(warm.texturesAllocated, cold.texturesAllocated);
    EXPECT_EQ(warm.passes - cold.passes, 3u);
    // A second context of the same share group finds the program compiled.
    CIContextRef sibling = CIContext::offscreenContext(context->CGLContext());
    ASSERT_NE(sibling, nullptr);
    ASSERT_TRUE(sibling->render(chain(0.5), bitmap.data(), 64 * 4, CGRectMake(0, 0, 64, 48), kCIFormatBGRA8));
    EXPECT_EQ(sibling->statistics().programsCompiled, 0u);
}

TEST_F(CIContextTest, PremultipliedAlphaSurvivesAChain) {
    const CIImageRef image = PatternImage(10, 6);
    CIKernelRef brighten = Kernel(
        "kernel vec4 k(sampler s, float f) { vec4 p = unpremultiply(sample(s, samplerCoord(s)));\n"
        "  return premultiply(vec4(clamp(p.rgb * f, 0.0, 1.0), p.a)); }");
    ASSERT_NE(brighten, nullptr);
    CIImageRef out = image;
    for (double f : {1.25, 0.8, 1.1}) out = brighten->apply({CISampler(out), f}, {image->definition(), {}, nullptr});
    ExpectPicture(Render(out, CGRectMake(0, 0, 10, 6)),
                  [](int x, int y) {
                      Pixel p = Unpremultiply(Pattern(x, y));
                      for (float f : {1.25f, 0.8f, 1.1f})
                          for (int c = 0; c < 3; ++c) p[size_t(c)] = std::clamp(p[size_t(c)] * f, 0.0f, 1.0f);
                      return Premultiply(p);
                  },
                  "three passes", 3.0f / 255);
}

TEST_F(CIContextTest, AKernelThatDoesNotCompileFailsTheRenderNamingItsLine) {
    CIKernelRef broken = Kernel("kernel vec4 k(sampler s)\n{\n  vec4 p = sample(s, samplerCoord(s));\n  return p.rgbx;\n}\n");
    ASSERT_NE(broken, nullptr);
    const CIImageRef image = PatternImage(4, 4);
    std::vector<uint8_t> bitmap(4 * 4 * 4, 0x55);
    EXPECT_FALSE(context->render(broken->apply({CISampler(image)}, {image->definition(), {}, nullptr}), bitmap.data(), 16,
                                 CGRectMake(0, 0, 4, 4), kCIFormatRGBA8));
    EXPECT_NE(context->lastError().find("line 4"), std::string::npos) << context->lastError();
    // The context keeps working.
    EXPECT_TRUE(context->render(image, bitmap.data(), 16, CGRectMake(0, 0, 4, 4), kCIFormatRGBA8));
}

TEST_F(CIContextTest, RendersThatCannotBeDoneAnswerFailure) {
    const CIImageRef image = PatternImage(4, 4);
    std::vector<uint8_t> bitmap(64 * 64 * 4);
    struct Case {
        const char *name;
        CIImageRef image;
        void *bitmap;
        size_t rowBytes;
        CGRect bounds;
        CIFormat format;
    } cases[] = {
        {"no image", nullptr, bitmap.data(), 16, CGRectMake(0, 0, 4, 4), kCIFormatRGBA8},
        {"no bitmap", image, nullptr, 16, CGRectMake(0, 0, 4, 4), kCIFormatRGBA8},
        {"empty bounds", image, bitmap.data(), 16, CGRectMake(0, 0, 0, 4), kCIFormatRGBA8},
        {"null bounds", image, bitmap.data(), 16, CGRectNull, kCIFormatRGBA8},
        {"NaN bounds", image, bitmap.data(), 16, CGRectMake(NAN, 0, 4, 4), kCIFormatRGBA8},
        {"infinite bounds", image, bitmap.data(), 16, CIRectInfinite, kCIFormatRGBA8},
        {"rows too short", image, bitmap.data(), 15, CGRectMake(0, 0, 4, 4), kCIFormatRGBA8},
        {"float rows too short", image, bitmap.data(), 48, CGRectMake(0, 0, 4, 4), kCIFormatRGBAf},
        {"unknown format", image, bitmap.data(), 16, CGRectMake(0, 0, 4, 4), 77},
        {"huge bounds", image, bitmap.data(), 16, CGRectMake(0, 0, 1e6, 4), kCIFormatRGBA8},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(context->render(c.image, c.bitmap, c.rowBytes, c.bounds, c.format)) << c.name;
        EXPECT_FALSE(context->lastError().empty()) << c.name;
    }
    EXPECT_EQ(context->createCGImage(nullptr, CGRectMake(0, 0, 4, 4)), nullptr);
    EXPECT_EQ(context->createCGImage(image, CGRectNull), nullptr);
    // A kernel whose arguments do not fit makes no image.
    CIKernelRef k = Kernel("kernel vec4 k(sampler s, vec2 v) { return sample(s, samplerCoord(s)); }");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->apply({CISampler(image)}), nullptr);
    EXPECT_EQ(k->apply({CISampler(image), 1.0}), nullptr);
    EXPECT_EQ(k->apply({CISampler(image), CIVector::vectorWithX(1, 2, 3)}), nullptr);
    EXPECT_EQ(k->apply({2.0, CIVector::vectorWithX(1, 2)}), nullptr);
    EXPECT_NE(CIKernel::lastApplyError().find("sampler"), std::string::npos) << CIKernel::lastApplyError();
    EXPECT_NE(k->apply({CISampler(), CIVector::vectorWithX(1, 2)}), nullptr) << "a sampler without an image reads black";
}

TEST_F(CIContextTest, ACGImageHoldsTheRenderedPixels) {
    const CIImageRef image = PatternImage(6, 5);
    CGImageRef cg = context->createCGImage(image, CGRectMake(1, 1, 4, 3));
    ASSERT_NE(cg, nullptr);
    EXPECT_EQ(CGImageGetWidth(cg), 4u);
    EXPECT_EQ(CGImageGetHeight(cg), 3u);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(cg));
    const uint8_t *bytes = CFDataGetBytePtr(data);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 4; ++x) {
            const Pixel want = Pattern(x + 1, 1 + (2 - row));
            const uint8_t *p = bytes + size_t(row) * CGImageGetBytesPerRow(cg) + size_t(x) * 4;
            EXPECT_EQ(int(p[2]), int(std::lround(want[0] * 255))) << row << "," << x;
            EXPECT_EQ(int(p[3]), int(std::lround(want[3] * 255))) << row << "," << x;
        }
    CFRelease(data);
    CGImageRelease(cg);
}

} // namespace

namespace {

// A '2vuy' pixel buffer of w x h whose pairs all hold the same Cb, Y, Cr, Y.
CVPixelBufferRef Make2vuyBuffer(size_t w, size_t h, uint8_t cb, uint8_t y, uint8_t cr) {
    CVPixelBufferRef buffer = nullptr;
    if (CVPixelBufferCreate(nullptr, w, h, kCVPixelFormatType_422YpCbCr8, nullptr, &buffer) != kCVReturnSuccess) return nullptr;
    CVPixelBufferLockBaseAddress(buffer, 0);
    auto *base = static_cast<uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    for (size_t row = 0; row < h; ++row)
        for (size_t x = 0; x < w / 2; ++x) {
            uint8_t *pair = base + row * CVPixelBufferGetBytesPerRow(buffer) + x * 4;
            pair[0] = cb, pair[1] = y, pair[2] = cr, pair[3] = y;
        }
    CVPixelBufferUnlockBaseAddress(buffer, 0);
    return buffer;
}

}  // namespace

TEST(CIConvert2vuy, VideoRangeBT601BecomesBGRA) {
    const struct {
        const char *name;
        uint8_t cb, y0, cr, y1;
        uint8_t bgra0[4], bgra1[4];
    } cases[] = {
        {"black and white", 128, 16, 128, 235, {0, 0, 0, 255}, {255, 255, 255, 255}},
        {"below black and above white clamp", 128, 0, 128, 255, {0, 0, 0, 255}, {255, 255, 255, 255}},
        {"red", 90, 81, 240, 81, {0, 0, 255, 255}, {0, 0, 255, 255}},
        {"blue", 240, 41, 110, 41, {255, 0, 0, 255}, {255, 0, 0, 255}},
        {"a pair shares its chroma, each pixel its own luma", 54, 145, 34, 16, {0, 255, 0, 255}, {0, 105, 0, 255}},
    };
    for (const auto &c : cases) {
        const uint8_t in[4] = {c.cb, c.y0, c.cr, c.y1};
        uint8_t out[8] = {};
        CIConvert2vuyToBGRA(in, 4, 2, 1, out, 8);
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(out[k], c.bgra0[k], 2) << c.name << " first pixel, component " << k;
            EXPECT_NEAR(out[4 + k], c.bgra1[k], 2) << c.name << " second pixel, component " << k;
        }
    }
}

TEST_F(CIContextTest, CameraPixelBuffersOf2vuyRenderAsColour) {
    // A camera frame (green) through the renderer: it used to fail as a format the
    // renderer does not read, leaving the picture black.
    CVPixelBufferRef buffer = Make2vuyBuffer(8, 4, 54, 145, 34);
    ASSERT_NE(buffer, nullptr);
    std::vector<uint8_t> bitmap(8 * 4 * 4, 0);
    ASSERT_TRUE(context->render(CIImage::imageWithCVImageBuffer(buffer), bitmap.data(), 8 * 4, CGRectMake(0, 0, 8, 4),
                                kCIFormatRGBA8))
        << context->lastError();
    for (size_t pixel = 0; pixel < 32; ++pixel) {
        EXPECT_NEAR(bitmap[pixel * 4 + 0], 0, 3);
        EXPECT_NEAR(bitmap[pixel * 4 + 1], 255, 3);
        EXPECT_NEAR(bitmap[pixel * 4 + 2], 0, 3);
        EXPECT_EQ(bitmap[pixel * 4 + 3], 255);
    }
    CVPixelBufferRelease(buffer);
}
