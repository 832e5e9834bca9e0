// Rendering the effect packs' compositions the way the application plays them, for the pack
// tests, the contact sheet and the benchmark: a composition's bytes rewritten to publish the
// camera input as "cameraImage" (the application's own rewriting), played offscreen at
// 640 x 480 with the test picture as the camera and the effect inputs set.
#pragma once

#include <CoreImage/CIImage.h>
#include <QuartzComposer/QCRenderer.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace effectsheet {

// One built composition of a pack, in the packs' order (effectpacks/CMakeLists.txt).
struct CatalogueEntry {
    const char *pack;
    const char *fileName;  // "L2PolarWarp.qtz"
    const char *builtPath;  // the .qtz the build made, as the pack stores it
};
// For test names and messages: "Pack/File.qtz".
inline std::ostream &operator<<(std::ostream &out, const CatalogueEntry &e) { return out << e.pack << '/' << e.fileName; }
// Every built composition, in order.
const std::vector<CatalogueEntry> &Catalogue();

// RGBA bytes, premultiplied, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    bool empty() const { return rgba.empty(); }
    const uint8_t *at(int x, int y) const { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// The settings of one frame.
struct EffectSettings {
    double amount = 0.5, time = 0.25, frequency = 0.5;
    double renderTime = 1.0;  // seconds, for compositions that read the clock
};

// A PNG file as a picture (via the ImageIO layer); empty with a reason when it cannot be read.
Picture ReadPNG(const std::string &path, std::string *error);
// Writes a picture as PNG beside its final name, then renames it into place.
bool WritePNG(const std::string &path, const Picture &picture, std::string *error);
// The test picture as a Core Image image; null with a reason.
CIImageRef LoadCameraImage(const std::string &path, std::string *error);
// The picture shrunk by averaging whole blocks (width and height divide evenly).
Picture Shrink(const Picture &picture, int width, int height);

class EffectRenderer {
public:
    // Rewrites the composition for the camera input, opens it and makes a 640 x 480 offscreen
    // renderer fed with `camera`; null with a reason when any step fails.
    // With a context, it renders into whatever framebuffer is bound there when render is
    // called (the context current on the calling thread).
    static std::unique_ptr<EffectRenderer> Make(const std::string &compositionBytes, CIImageRef camera,
                                                std::string *error, CGLContextObj context = nullptr,
                                                CGLPixelFormatObj pixelFormat = nullptr);
    // The composition as rewritten (its published inputs include "cameraImage").
    QCCompositionRef composition() const { return mComposition; }
    // Sets the inputs the composition publishes and renders one frame.
    bool render(const EffectSettings &settings, std::string *error);
    // The last frame (offscreen renderers).
    Picture read();

private:
    QCCompositionRef mComposition;
    std::unique_ptr<QCRenderer> mRenderer;
    std::vector<std::string> mInputs;
};

}  // namespace effectsheet
