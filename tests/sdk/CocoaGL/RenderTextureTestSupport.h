// Helpers of the render-texture tests and benchmark: a source-code class answering a few
// programs from memory, source textures with a known picture, and reading surfaces.
#pragma once

#include <CocoaGL/NSOGLSLShaderProgram.h>
#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreFoundation/CFNumber.h>
#include <IOSurface/IOSurface.h>
#include <OpenGL/glext.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rendertex_test {

// "swap_rb": the source with red and blue exchanged (so a test sees the program ran);
// "copy": the source as it is. Both sample a rectangle texture on unit 0 under the texture
// matrix.
class MemorySourceCode : public NSOGLShaderSourceCodeClass {
public:
    const char *className() const override { return "MemorySourceCode"; }
    std::optional<std::string> sourceCodeFromResource(const std::string &name,
                                                      const std::string &extension) const override {
        if (extension == "vs" && (name == "swap_rb" || name == "copy")) {
            return std::string("void main() {\n"
                               "    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;\n"
                               "    gl_Position = ftransform();\n"
                               "}\n");
        }
        if (extension != "fs") return std::nullopt;
        const char *swizzle = name == "swap_rb" ? "bgra" : name == "copy" ? "rgba" : nullptr;
        if (swizzle == nullptr) return std::nullopt;
        return std::string("#extension GL_ARB_texture_rectangle : enable\n"
                           "uniform sampler2DRect image;\n"
                           "void main() {\n"
                           "    gl_FragColor = texture2DRect(image, gl_TexCoord[0].st).") +
               swizzle + ";\n}\n";
    }

    static const MemorySourceCode *Get() {
        static const MemorySourceCode instance;
        return &instance;
    }
};

// The picture of the source textures: pixel (x, y) of texture row y, as B,G,R,A bytes.
inline uint32_t SourcePixel(int x, int y) {
    // Opaque, distinct red per column and green per row, blue set only on the left half.
    const uint32_t b = x < 8 ? 0xC0u : 0x10u;
    return 0xFF000000u | uint32_t((x * 9) & 0xFF) << 16 | uint32_t((y * 13) & 0xFF) << 8 | b;
}

// A rectangle texture of the size holding the picture, made with the current context.
inline std::shared_ptr<NSOGLTextureBase> NewSourceTexture(int width, int height) {
    auto texture = std::make_shared<NSOGLTextureBase>();
    texture->initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, GLuint(width), GLuint(height));
    std::vector<uint32_t> pixels(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = SourcePixel(x, y);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture->textureName());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_RECTANGLE_EXT, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 pixels.data());
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    return texture;
}

// Red and blue exchanged in a B,G,R,A value.
inline uint32_t SwapRB(uint32_t bgra) {
    return (bgra & 0xFF00FF00u) | (bgra & 0xFFu) << 16 | (bgra >> 16 & 0xFFu);
}

// The surface's pixels as B,G,R,A values, memory row 0 first, read under a read-only lock
// with `options` added (kIOSurfaceLockAvoidSync to read what the memory holds).
inline std::vector<uint32_t> SurfacePixels(IOSurfaceRef surface, IOSurfaceLockOptions options = 0) {
    const std::size_t width = IOSurfaceGetWidth(surface), height = IOSurfaceGetHeight(surface);
    std::vector<uint32_t> pixels(width * height, 0xEEEEEEEEu);
    if (IOSurfaceLock(surface, kIOSurfaceLockReadOnly | options, nullptr) != kIOReturnSuccess) return pixels;
    const auto *base = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(surface));
    for (std::size_t y = 0; y < height; ++y)
        std::memcpy(&pixels[y * width], base + y * IOSurfaceGetBytesPerRow(surface), width * 4);
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly | options, nullptr);
    return pixels;
}

// A 'BGRA' surface of the size with the given row bytes (owned by the caller).
inline IOSurfaceRef NewSurfaceWithRowBytes(int width, int height, int rowBytes) {
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    const int values[] = {0x42475241, width, height, 4, rowBytes};
    const CFStringRef keys[] = {kIOSurfacePixelFormat, kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement,
                                kIOSurfaceBytesPerRow};
    for (int i = 0; i < 5; ++i) {
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
        CFDictionarySetValue(properties, keys[i], number);
        CFRelease(number);
    }
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

}  // namespace rendertex_test
