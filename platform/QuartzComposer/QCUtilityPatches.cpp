// The engine's utility patches: reading a pixel of an image as numbers and images decoded
// from the composition's own bytes. QCUtilityPatchClasses gathers these with the number
// patches (QCTimePatches.cpp) and the drawing ones (QCGeneratorPatches.cpp).
#include <QuartzComposer/QCPatch.h>

#include <CoreFoundation/CFData.h>
#include <ImageIO/ImageIO.h>

#include <algorithm>
#include <cmath>

std::vector<std::pair<std::string, QCPatchFactory>> QCTimePatchClasses();
std::vector<std::pair<std::string, QCPatchFactory>> QCGeneratorPatchClasses();

namespace {

// ---- QCImageToNumbers: the pixel at ("inputX", "inputY") of the image's plane, as
// unpremultiplied red, green and blue (0 where the alpha is 0) and alpha. Without an image,
// or outside it, every number is 0.

class ImageToNumbers : public QCPatch {
public:
    ImageToNumbers() {
        addInputPort("inputImage", QCPortType::Image);
        addInputPort("inputX", QCPortType::Number, QCValue(0.0));
        addInputPort("inputY", QCPortType::Number, QCValue(0.0));
        for (const char *key : kOutputs) addOutputPort(key, QCPortType::Number);
    }
    bool execute(QCPatchContext &c) override {
        float rgba[4] = {0, 0, 0, 0};
        const CIImageRef image = c.input("inputImage").imageValue();
        // Positions far outside any image read nothing (and stay exact as floats).
        const double x = std::clamp(c.input("inputX").numberValue(), -1e7, 1e7);
        const double y = std::clamp(c.input("inputY").numberValue(), -1e7, 1e7);
        if (image && !image->isEmpty() && !c.readPixel(image, CGPointMake(x, y), rgba)) return false;
        const double alpha = std::isfinite(rgba[3]) ? std::clamp(double(rgba[3]), 0.0, 1.0) : 0.0;
        for (int k = 0; k < 3; ++k) {
            const double premultiplied = std::isfinite(rgba[k]) ? double(rgba[k]) : 0.0;
            c.setOutput(kOutputs[k], alpha > 0 ? std::clamp(premultiplied / alpha, 0.0, 1.0) : 0.0);
        }
        c.setOutput(kOutputs[3], alpha);
        return true;
    }

private:
    static constexpr const char *kOutputs[4] = {"outputRed", "outputGreen", "outputBlue", "outputAlpha"};
};

// ---- QCImageLoader: the image of state "imageData" (PNG or JPEG), decoded once.

class ImageLoader : public QCPatch {
public:
    explicit ImageLoader(CIImageRef image) : m_image(std::move(image)) { addOutputPort("outputImage", QCPortType::Image); }
    bool execute(QCPatchContext &c) override {
        c.setOutput("outputImage", m_image);
        return true;
    }

private:
    CIImageRef m_image;
};

std::unique_ptr<QCPatch> MakeImageLoader(const QCCompositionNode &node, std::string *error) {
    CFDataRef data = QCStateData(node.state, "imageData");
    if (!data) {
        *error = "an image loader needs its \"imageData\" (PNG or JPEG bytes)";
        return nullptr;
    }
    CGImageSourceRef source = CGImageSourceCreateWithData(data, nullptr);
    CGImageRef decoded = source ? CGImageSourceCreateImageAtIndex(source, 0, nullptr) : nullptr;
    if (source) CFRelease(source);
    if (!decoded) {
        *error = "the \"imageData\" is not a PNG or JPEG image that decodes";
        return nullptr;
    }
    CIImageRef image = CIImage::imageWithCGImage(decoded);
    CGImageRelease(decoded);
    if (!image) {
        *error = "the \"imageData\" decodes to an image the engine cannot use";
        return nullptr;
    }
    return std::make_unique<ImageLoader>(std::move(image));
}

} // namespace

std::vector<std::pair<std::string, QCPatchFactory>> QCUtilityPatchClasses() {
    std::vector<std::pair<std::string, QCPatchFactory>> classes = {
        {"QCImageToNumbers", [](const QCCompositionNode &, std::string *) { return std::make_unique<ImageToNumbers>(); }},
        {"QCImageLoader", MakeImageLoader},
    };
    for (auto &entry : QCTimePatchClasses()) classes.push_back(std::move(entry));
    for (auto &entry : QCGeneratorPatchClasses()) classes.push_back(std::move(entry));
    return classes;
}
