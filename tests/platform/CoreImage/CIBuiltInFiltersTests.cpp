#include "CIPictureTestSupport.h"

#include <CoreImage/CIBuiltInFilters.h>
#include <CoreImage/CoreImage.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using ci_test::Picture;
using ci_test::RGBA;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTolerance = 1.0 / 255 + 1e-6;

using Inputs = std::vector<std::pair<std::string, CIFilterValue>>;

// The output of the named filter with those inputs set over its defaults.
CIImageRef Output(const char *name, const Inputs &inputs) {
    CIFilterRef filter = CIFilter::filterWithName(name);
    if (!filter) {
        ADD_FAILURE() << "no filter " << name;
        return nullptr;
    }
    for (const auto &[key, value] : inputs) filter->setValue(value, key);
    return filter->outputImage();
}

// The engine keeps pixels in 8-bit textures: the pictures are made of values it holds exactly,
// and the references round where it does, between passes.
using ci_test::Quantize;

// 16 x 12 pixels (or as asked) of varied colours; some half, quarter and wholly transparent.
Picture Foreground(int width = 16, int height = 12) {
    Picture p(width, height);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            double a = 1;
            if ((x + y) % 5 == 0) a = 0.5;
            if ((x * y) % 7 == 3) a = 0.25;
            if (x < 2 && y < 2) a = 0;
            p(x, y) = Quantize(
                ci_test::Premultiply({x / (width - 1.0), y / (height - 1.0), ((x * 7 + y * 3) % 11) / 10.0, a}));
        }
    }
    return p;
}

// Another picture of the same size, for the compositing filters.
Picture Background() {
    Picture p(16, 12);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p(x, y) = Quantize(ci_test::Premultiply(
                {1 - x / 15.0, 0.5 + 0.4 * std::sin(x + y), (y % 4) / 3.0, (x + 2 * y) % 3 == 0 ? 0.75 : 1.0}));
    return p;
}

// References of the colour kernels, over premultiplied colours.
RGBA ByColor(RGBA p, const std::function<double(double, int)> &channel) {
    RGBA c = ci_test::Unpremultiply(p);
    for (int k = 0; k < 3; ++k) c[k] = std::clamp(channel(c[k], k), 0.0, 1.0);
    return ci_test::Premultiply(c);
}

RGBA ColorControlsReference(RGBA p, double saturation, double brightness, double contrast) {
    const RGBA c = ci_test::Unpremultiply(p);
    const double luma = 0.2125 * c[0] + 0.7154 * c[1] + 0.0721 * c[2];
    return ByColor(
        p, [&](double v, int) { return ((luma + (v - luma) * saturation + brightness) - 0.5) * contrast + 0.5; });
}

// The blur's separable Gaussian of standard deviation sigma, cut at ceil(3 sigma), with
// transparent black around the picture; the horizontal pass is kept in 8 bits.
RGBA BlurReference(const Picture &src, double sigma, int x, int y) {
    const int reach = int(std::ceil(3 * sigma));
    std::vector<double> w;
    double total = 0;
    for (int i = -reach; i <= reach; ++i) total += w.emplace_back(std::exp(-0.5 * i * i / (sigma * sigma)));
    RGBA out{};
    for (int j = -reach; j <= reach; ++j) {
        RGBA row{};
        for (int i = -reach; i <= reach; ++i) {
            const RGBA p = src.at(x + i, y + j);
            for (int k = 0; k < 4; ++k) row[k] += w[size_t(i + reach)] * p[k] / total;
        }
        row = Quantize(row);
        for (int k = 0; k < 4; ++k) out[k] += w[size_t(j + reach)] * row[k] / total;
    }
    return out;
}

RGBA BloomReference(const Picture &src, double sigma, double intensity, int x, int y) {
    const RGBA c = src.at(x, y), b = Quantize(BlurReference(src, sigma, x, y));
    RGBA o;
    for (int k = 0; k < 4; ++k) o[k] = std::clamp(c[k] + intensity * b[k] * (1 - c[k]), 0.0, 1.0);
    for (int k = 0; k < 3; ++k) o[k] = std::min(o[k], o[3]);
    return o;
}

RGBA BumpReference(const Picture &src, double cx, double cy, double radius, double scale, int x, int y) {
    const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
    const double u = (dx * dx + dy * dy) / (radius * radius);
    const double f = u < 1 ? 1 - scale * (1 - u) * (1 - u) : 1;
    return src.sample(cx + dx * f, cy + dy * f);
}

RGBA SourceOver(RGBA s, RGBA d) {
    RGBA o;
    for (int k = 0; k < 4; ++k) o[k] = s[k] + d[k] * (1 - s[3]);
    return o;
}

RGBA Multiply(RGBA s, RGBA d) {
    RGBA o;
    for (int k = 0; k < 3; ++k) o[k] = s[k] * d[k] + s[k] * (1 - d[3]) + d[k] * (1 - s[3]);
    o[3] = s[3] + d[3] - s[3] * d[3];
    return o;
}

RGBA Mix(RGBA a, RGBA b, double t) {
    RGBA o;
    for (int k = 0; k < 4; ++k) o[k] = a[k] + (b[k] - a[k]) * t;
    return o;
}

CIColor Color(double r, double g, double b, double a) { return CIColor::colorWithRed(r, g, b, a); }
RGBA Premultiplied(CIColor c) { return ci_test::Premultiply({c.red(), c.green(), c.blue(), c.alpha()}); }

bool SameValue(const CIFilterValue &a, const CIFilterValue &b) {
    if (a.index() != b.index()) return false;
    if (auto t = std::get_if<CGAffineTransform>(&a))
        return CGAffineTransformEqualToTransform(*t, std::get<CGAffineTransform>(b));
    if (auto v = std::get_if<CIVector>(&a)) return *v == std::get<CIVector>(b);
    if (auto c = std::get_if<CIColor>(&a)) return *c == std::get<CIColor>(b);
    if (auto n = std::get_if<double>(&a)) return *n == std::get<double>(b);
    return std::holds_alternative<std::monostate>(a);
}

const char *const kBuiltInNames[] = {
    "CIAffineTransform",        "CIBloom",          "CIBumpDistortion",        "CIColorControls",   "CIColorInvert",
    "CIConstantColorGenerator", "CICrop",           "CIExposureAdjust",        "CIGaussianBlur",    "CILinearGradient",
    "CIMultiplyBlendMode",      "CIRadialGradient", "CISourceOverCompositing", "CIWhitePointAdjust"};

// ---------------------------------------------------------------------------------------------
// The registry and the attributes

struct InputRow {
    const char *filter;
    const char *key;
    const char *className;
    CIFilterValue defaultValue;
    std::optional<double> sliderMin, sliderMax;
};

TEST(CIBuiltInFilters, InputKeysClassesDefaultsAndSliders) {
    const CIColor white = Color(1, 1, 1, 1), black = Color(0, 0, 0, 1);
    const std::vector<InputRow> rows = {
        {"CIColorControls", "inputImage", "CIImage", {}, {}, {}},
        {"CIColorControls", "inputSaturation", "NSNumber", 1.0, 0, 2},
        {"CIColorControls", "inputBrightness", "NSNumber", 0.0, -1, 1},
        {"CIColorControls", "inputContrast", "NSNumber", 1.0, 0.25, 4},
        {"CIExposureAdjust", "inputImage", "CIImage", {}, {}, {}},
        {"CIExposureAdjust", "inputEV", "NSNumber", 0.0, -10, 10},
        {"CIWhitePointAdjust", "inputImage", "CIImage", {}, {}, {}},
        {"CIWhitePointAdjust", "inputColor", "CIColor", white, {}, {}},
        {"CIColorInvert", "inputImage", "CIImage", {}, {}, {}},
        {"CIGaussianBlur", "inputImage", "CIImage", {}, {}, {}},
        {"CIGaussianBlur", "inputRadius", "NSNumber", 10.0, 0, 100},
        {"CIBloom", "inputImage", "CIImage", {}, {}, {}},
        {"CIBloom", "inputRadius", "NSNumber", 10.0, 0, 100},
        {"CIBloom", "inputIntensity", "NSNumber", 0.5, 0, 1},
        {"CIBumpDistortion", "inputImage", "CIImage", {}, {}, {}},
        {"CIBumpDistortion", "inputCenter", "CIVector", CIVector{150, 150}, {}, {}},
        {"CIBumpDistortion", "inputRadius", "NSNumber", 300.0, 0, 600},
        {"CIBumpDistortion", "inputScale", "NSNumber", 0.5, -1, 1},
        {"CICrop", "inputImage", "CIImage", {}, {}, {}},
        {"CICrop", "inputRectangle", "CIVector", CIVector::vectorWithCGRect(CIRectInfinite), {}, {}},
        {"CIAffineTransform", "inputImage", "CIImage", {}, {}, {}},
        {"CIAffineTransform", "inputTransform", "NSAffineTransform", CGAffineTransformIdentity, {}, {}},
        {"CIMultiplyBlendMode", "inputImage", "CIImage", {}, {}, {}},
        {"CIMultiplyBlendMode", "inputBackgroundImage", "CIImage", {}, {}, {}},
        {"CISourceOverCompositing", "inputImage", "CIImage", {}, {}, {}},
        {"CISourceOverCompositing", "inputBackgroundImage", "CIImage", {}, {}, {}},
        {"CIConstantColorGenerator", "inputColor", "CIColor", Color(1, 0, 0, 1), {}, {}},
        {"CILinearGradient", "inputPoint0", "CIVector", CIVector{0, 0}, {}, {}},
        {"CILinearGradient", "inputPoint1", "CIVector", CIVector{200, 200}, {}, {}},
        {"CILinearGradient", "inputColor0", "CIColor", white, {}, {}},
        {"CILinearGradient", "inputColor1", "CIColor", black, {}, {}},
        {"CIRadialGradient", "inputCenter", "CIVector", CIVector{150, 150}, {}, {}},
        {"CIRadialGradient", "inputRadius0", "NSNumber", 5.0, 0, 800},
        {"CIRadialGradient", "inputRadius1", "NSNumber", 100.0, 0, 800},
        {"CIRadialGradient", "inputColor0", "CIColor", white, {}, {}},
        {"CIRadialGradient", "inputColor1", "CIColor", black, {}, {}},
    };
    // Each filter's keys, in the table's order, and nothing else.
    for (const char *name : kBuiltInNames) {
        CIFilterRef filter = CIFilter::filterWithName(name);
        ASSERT_NE(filter, nullptr) << name;
        std::vector<std::string> expected;
        for (const InputRow &row : rows)
            if (std::string(row.filter) == name) expected.push_back(row.key);
        EXPECT_EQ(filter->inputKeys(), expected) << name;
        EXPECT_EQ(filter->outputKeys(), std::vector<std::string>{kCIOutputImageKey}) << name;
    }
    for (const InputRow &row : rows) {
        SCOPED_TRACE(std::string(row.filter) + " " + row.key);
        CIFilterRef filter = CIFilter::filterWithName(row.filter);
        const CIFilterAttributes attributes = filter->attributes();
        const CIInputAttributes *input = attributes.input(row.key);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->className, row.className);
        EXPECT_TRUE(SameValue(input->defaultValue, row.defaultValue));
        EXPECT_TRUE(SameValue(filter->valueForKey(row.key), row.defaultValue)) << "defaults are set when made";
        EXPECT_EQ(input->sliderMin, row.sliderMin);
        EXPECT_EQ(input->sliderMax, row.sliderMax);
    }
}

TEST(CIBuiltInFilters, NamesAndCategories) {
    EXPECT_EQ(CIFilter::filterWithName("CINoSuchFilter"), nullptr);
    EXPECT_EQ(CIFilter::filterWithName(""), nullptr);
    EXPECT_EQ(CIFilter::filterNamesInCategories({kCICategoryBuiltIn}),
              std::vector<std::string>(std::begin(kBuiltInNames), std::end(kBuiltInNames)));

    using Names = std::vector<std::string>;
    const std::vector<std::pair<std::vector<std::string>, Names>> cases = {
        {{kCICategoryBuiltIn, kCICategoryGradient}, {"CILinearGradient", "CIRadialGradient"}},
        {{kCICategoryBuiltIn, kCICategoryBlur}, {"CIGaussianBlur"}},
        {{kCICategoryBuiltIn, kCICategoryCompositeOperation}, {"CIMultiplyBlendMode", "CISourceOverCompositing"}},
        {{kCICategoryBuiltIn, kCICategoryGeometryAdjustment}, {"CIAffineTransform", "CICrop"}},
        {{kCICategoryBuiltIn, kCICategoryColorAdjustment},
         {"CIColorControls", "CIExposureAdjust", "CIWhitePointAdjust"}},
        {{kCICategoryBuiltIn, kCICategoryColorEffect}, {"CIColorInvert"}},
        {{kCICategoryBuiltIn, kCICategoryDistortionEffect}, {"CIBumpDistortion"}},
        {{kCICategoryBuiltIn, kCICategoryStylize}, {"CIBloom"}},
        {{kCICategoryBuiltIn, kCICategoryGenerator}, {"CIConstantColorGenerator"}},
        {{kCICategoryBuiltIn, kCICategoryInterlaced, kCICategoryVideo},
         {"CIColorControls", "CIColorInvert", "CIExposureAdjust", "CIMultiplyBlendMode", "CISourceOverCompositing",
          "CIWhitePointAdjust"}},
    };
    for (const auto &[categories, names] : cases) EXPECT_EQ(CIFilter::filterNamesInCategories(categories), names);

    const CIFilterAttributes blur = CIFilter::filterWithName("CIGaussianBlur")->attributes();
    EXPECT_EQ(blur.name, "CIGaussianBlur");
    EXPECT_EQ(blur.classAttributes.displayName, "Gaussian Blur");
}

// ---------------------------------------------------------------------------------------------
// Inputs that cannot be used, and ranges

struct BadInput {
    const char *filter;
    const char *key;
    CIFilterValue value;
};

TEST(CIBuiltInFilters, UnusableInputsGiveNoImage) {
    const CIImageRef image = Foreground().image();
    ASSERT_NE(image, nullptr);
    auto withImages = [&](const char *name) {
        CIFilterRef filter = CIFilter::filterWithName(name);
        const std::vector<std::string> keys = filter->inputKeys();
        for (const char *key : {kCIInputImageKey, "inputBackgroundImage"})
            if (std::find(keys.begin(), keys.end(), key) != keys.end()) filter->setValue(image, key);
        return filter;
    };
    // Every filter works with its defaults and its images; every image it takes is required.
    for (const char *name : kBuiltInNames) {
        EXPECT_NE(withImages(name)->outputImage(), nullptr) << name;
        for (const char *key : {kCIInputImageKey, "inputBackgroundImage"}) {
            CIFilterRef filter = withImages(name);
            const std::vector<std::string> keys = filter->inputKeys();
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) continue;
            filter->setValue(CIFilterValue{}, key);
            EXPECT_EQ(filter->outputImage(), nullptr) << name << " without " << key;
            filter->setValue(3.0, key);
            EXPECT_EQ(filter->outputImage(), nullptr) << name << " with a number for " << key;
        }
    }
    const CGAffineTransform nanTransform = CGAffineTransformMake(1, 0, 0, kNaN, 0, 0);
    const std::vector<BadInput> cases = {
        {"CIGaussianBlur", "inputRadius", kNaN},
        {"CIGaussianBlur", "inputRadius", std::string("10")},
        {"CIBloom", "inputIntensity", -kInf},
        {"CIExposureAdjust", "inputEV", kInf},
        {"CIColorControls", "inputContrast", CIFilterValue{}},
        {"CIColorControls", "inputSaturation", CIVector{1}},
        {"CIWhitePointAdjust", "inputColor", Color(1, kNaN, 1, 1)},
        {"CICrop", "inputRectangle", CIVector{0, 0, 4}},
        {"CICrop", "inputRectangle", CIVector{0, 0, kInf, 4}},
        {"CIAffineTransform", "inputTransform", nanTransform},
        {"CIAffineTransform", "inputTransform", CIVector{1, 0, 0, 1}},
        {"CIBumpDistortion", "inputCenter", CIVector{4}},
        {"CIBumpDistortion", "inputScale", kNaN},
        {"CIConstantColorGenerator", "inputColor", 1.0},
        {"CILinearGradient", "inputPoint1", CIVector{kNaN, 0}},
        {"CIRadialGradient", "inputRadius1", kInf},
        {"CIRadialGradient", "inputColor0", Color(0, 0, kInf, 1)},
    };
    for (const BadInput &c : cases) {
        CIFilterRef filter = withImages(c.filter);
        filter->setValue(c.value, c.key);
        EXPECT_EQ(filter->outputImage(), nullptr)
            << c.filter << " " << c.key << " (case " << (&c - cases.data()) << ")";
    }
}

TEST(CIBuiltInFilters, Extents) {
    const CIImageRef image = Foreground().image();
    const CIImageRef moved = Background().image()->imageByApplyingTransform(CGAffineTransformMakeTranslation(4, 3));
    const CGRect own = CGRectMake(0, 0, 16, 12);
    struct Case {
        const char *what;
        CIImageRef output;
        CGRect extent;
    };
    const std::vector<Case> cases = {
        {"colour controls", Output("CIColorControls", {{kCIInputImageKey, image}}), own},
        {"invert", Output("CIColorInvert", {{kCIInputImageKey, image}}), own},
        {"blur 2 reaches 6", Output("CIGaussianBlur", {{kCIInputImageKey, image}, {"inputRadius", 2.0}}),
         CGRectMake(-6, -6, 28, 24)},
        {"blur 1e6 is blur 100", Output("CIGaussianBlur", {{kCIInputImageKey, image}, {"inputRadius", 1e6}}),
         CGRectMake(-300, -300, 616, 612)},
        {"bloom 2 reaches 6", Output("CIBloom", {{kCIInputImageKey, image}, {"inputRadius", 2.0}}),
         CGRectMake(-6, -6, 28, 24)},
        {"bump", Output("CIBumpDistortion", {{kCIInputImageKey, image}, {"inputCenter", CIVector{8, 6}}}), own},
        {"crop", Output("CICrop", {{kCIInputImageKey, image}, {"inputRectangle", CIVector{3, 2, 20, 5}}}),
         CGRectMake(3, 2, 13, 5)},
        {"crop by default", Output("CICrop", {{kCIInputImageKey, image}}), own},
        {"transform",
         Output("CIAffineTransform",
                {{kCIInputImageKey, image}, {"inputTransform", CGAffineTransformMakeTranslation(3, -2)}}),
         CGRectMake(3, -2, 16, 12)},
        {"singular transform",
         Output("CIAffineTransform", {{kCIInputImageKey, image}, {"inputTransform", CGAffineTransformMakeScale(0, 1)}}),
         CGRectNull},
        {"source over", Output("CISourceOverCompositing", {{kCIInputImageKey, image}, {"inputBackgroundImage", moved}}),
         CGRectMake(0, 0, 20, 15)},
        {"multiply", Output("CIMultiplyBlendMode", {{kCIInputImageKey, moved}, {"inputBackgroundImage", image}}),
         CGRectMake(0, 0, 20, 15)},
        {"constant colour", Output("CIConstantColorGenerator", {}), CIRectInfinite},
        {"linear gradient", Output("CILinearGradient", {}), CIRectInfinite},
        {"radial gradient", Output("CIRadialGradient", {}), CIRectInfinite},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.output, nullptr) << c.what;
        const CGRect e = c.output->extent();
        if (CGRectIsNull(c.extent)) {
            EXPECT_TRUE(CGRectIsNull(e)) << c.what;
            continue;
        }
        EXPECT_TRUE(CGRectEqualToRect(e, c.extent))
            << c.what << ": " << e.origin.x << "," << e.origin.y << " " << e.size.width << "x" << e.size.height;
    }
    // A radius below the range is 0: the blur of the image is the image.
    EXPECT_EQ(Output("CIGaussianBlur", {{kCIInputImageKey, image}, {"inputRadius", -4.0}}), image);
}

// ---------------------------------------------------------------------------------------------
// Rendering

class CIBuiltInFilterRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        mContext = CIContext::offscreenContext();
        ASSERT_NE(mContext, nullptr) << "no offscreen Core Image context";
    }
    CIContextRef mContext;
};

struct RenderCase {
    const char *what;
    std::function<CIImageRef()> make;
    CGRect bounds;
    std::function<RGBA(int, int)> reference;
};

TEST_F(CIBuiltInFilterRenderTest, EachFilterAgainstItsReference) {
    const Picture fg = Foreground(), bg = Background(), large = Foreground(40, 40);
    const CIImageRef image = fg.image(), background = bg.image();
    const CIImageRef movedBackground = background->imageByApplyingTransform(CGAffineTransformMakeTranslation(4, 3));
    const CGRect own = CGRectMake(0, 0, 16, 12);
    auto with = [&](const char *name, Inputs inputs) {
        inputs.insert(inputs.begin(), {kCIInputImageKey, image});
        return [name, inputs] { return Output(name, inputs); };
    };
    auto perPixel = [&](std::function<RGBA(RGBA)> f) { return [&fg, f](int x, int y) { return f(fg.at(x, y)); }; };
    const CIColor c0 = Color(1, 0.5, 0, 1), c1 = Color(0, 0.2, 1, 0.4);

    const std::vector<RenderCase> cases = {
        {"colour controls",
         with("CIColorControls", {{"inputSaturation", 1.6}, {"inputBrightness", -0.1}, {"inputContrast", 1.4}}), own,
         perPixel([](RGBA p) { return ColorControlsReference(p, 1.6, -0.1, 1.4); })},
        {"colour controls, grey, brighter, flat",
         with("CIColorControls", {{"inputSaturation", 0.0}, {"inputBrightness", 0.3}, {"inputContrast", 0.5}}), own,
         perPixel([](RGBA p) { return ColorControlsReference(p, 0, 0.3, 0.5); })},
        {"colour controls, saturation past the range is 2", with("CIColorControls", {{"inputSaturation", 50.0}}), own,
         perPixel([](RGBA p) { return ColorControlsReference(p, 2, 0, 1); })},
        {"exposure +0.7", with("CIExposureAdjust", {{"inputEV", 0.7}}), own,
         perPixel([](RGBA p) { return ByColor(p, [](double v, int) { return v * std::exp2(0.7); }); })},
        {"exposure -1.5", with("CIExposureAdjust", {{"inputEV", -1.5}}), own,
         perPixel([](RGBA p) { return ByColor(p, [](double v, int) { return v * std::exp2(-1.5); }); })},
        {"white point", with("CIWhitePointAdjust", {{"inputColor", Color(1, 0.8, 0.6, 1)}}), own, perPixel([](RGBA p) {
             return ByColor(p, [](double v, int k) { return v * (k == 0 ? 1 : k == 1 ? 0.8 : 0.6); });
         })},
        {"invert", with("CIColorInvert", {}), own,
         perPixel([](RGBA p) { return ByColor(p, [](double v, int) { return 1 - v; }); })},
        {"gaussian blur 1.5, edges included", with("CIGaussianBlur", {{"inputRadius", 1.5}}),
         CGRectMake(-6, -6, 28, 24), [&fg](int x, int y) { return BlurReference(fg, 1.5, x, y); }},
        {"gaussian blur 0.6", with("CIGaussianBlur", {{"inputRadius", 0.6}}), CGRectMake(-2, -2, 20, 16),
         [&fg](int x, int y) { return BlurReference(fg, 0.6, x, y); }},
        {"gaussian blur 1.5, a part inside", with("CIGaussianBlur", {{"inputRadius", 1.5}}), CGRectMake(5, 4, 6, 3),
         [&fg](int x, int y) { return BlurReference(fg, 1.5, x, y); }},
        {"gaussian blur of a colour without bounds",
         [] {
             return Output("CIGaussianBlur", {{kCIInputImageKey, CIImage::imageWithColor(Color(0.2, 0.6, 1, 0.6))}});
         },
         own,
         [](int, int) {
             return Quantize(RGBA{0.12, 0.36, 0.6, 0.6});
         }},
        {"bloom", with("CIBloom", {{"inputRadius", 1.5}, {"inputIntensity", 0.8}}), CGRectMake(-6, -6, 28, 24),
         [&fg](int x, int y) { return BloomReference(fg, 1.5, 0.8, x, y); }},
        {"bump, bulge",
         with("CIBumpDistortion", {{"inputCenter", CIVector{8, 6}}, {"inputRadius", 5.0}, {"inputScale", 0.5}}), own,
         [&fg](int x, int y) { return BumpReference(fg, 8, 6, 5, 0.5, x, y); }},
        {"bump, dent",
         with("CIBumpDistortion", {{"inputCenter", CIVector{7.5, 5.5}}, {"inputRadius", 4.5}, {"inputScale", -0.7}}),
         own, [&fg](int x, int y) { return BumpReference(fg, 7.5, 5.5, 4.5, -0.7, x, y); }},
        // Over a kernel's output (exposure 0 leaves the picture as it is), so that the bump's
        // region of interest decides what of its input is drawn: the part drawn shows pixels
        // nearer the centre, several pixels away.
        {"bump, a part, over a kernel's output",
         [&] {
             return Output("CIBumpDistortion",
                           {{kCIInputImageKey, Output("CIExposureAdjust", {{kCIInputImageKey, large.image()}})},
                            {"inputCenter", CIVector{20, 20}},
                            {"inputRadius", 18.0},
                            {"inputScale", 0.9}});
         },
         CGRectMake(28, 18, 6, 4), [&large](int x, int y) { return BumpReference(large, 20, 20, 18, 0.9, x, y); }},
        {"crop", with("CICrop", {{"inputRectangle", CIVector{3, 2, 7, 5}}}), own,
         [&fg](int x, int y) {
             return x >= 3 && x < 10 && y >= 2 && y < 7 ? fg.at(x, y) : RGBA{0, 0, 0, 0};
         }},
        {"translation", with("CIAffineTransform", {{"inputTransform", CGAffineTransformMakeTranslation(3, -2)}}),
         CGRectMake(0, -4, 20, 16), [&fg](int x, int y) { return fg.at(x - 3, y + 2); }},
        // (x, y) -> (12 - y, x): the pixel (X, Y) shows (Y, 11 - X).
        {"quarter turn", with("CIAffineTransform", {{"inputTransform", CGAffineTransformMake(0, 1, -1, 0, 12, 0)}}),
         CGRectMake(0, 0, 12, 16), [&fg](int x, int y) { return fg.at(y, 11 - x); }},
        {"source over", with("CISourceOverCompositing", {{"inputBackgroundImage", movedBackground}}),
         CGRectMake(0, 0, 20, 15), [&](int x, int y) { return SourceOver(fg.at(x, y), bg.at(x - 4, y - 3)); }},
        {"multiply", with("CIMultiplyBlendMode", {{"inputBackgroundImage", movedBackground}}), CGRectMake(0, 0, 20, 15),
         [&](int x, int y) { return Multiply(fg.at(x, y), bg.at(x - 4, y - 3)); }},
        {"constant colour",
         [] {
             return Output("CIConstantColorGenerator", {{"inputColor", Color(0.2, 0.4, 0.6, 0.5)}});
         },
         own,
         [](int, int) {
             return RGBA{0.1, 0.2, 0.3, 0.5};
         }},
        {"linear gradient",
         [&] {
             return Output("CILinearGradient", {{"inputPoint0", CIVector{2, 3}},
                                                {"inputPoint1", CIVector{13, 9}},
                                                {"inputColor0", c0},
                                                {"inputColor1", c1}});
         },
         own,
         [&](int x, int y) {
             const double dx = 11, dy = 6;
             const double t = std::clamp(((x + 0.5 - 2) * dx + (y + 0.5 - 3) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
             return Mix(Premultiplied(c0), Premultiplied(c1), t);
         }},
        {"radial gradient",
         [&] {
             return Output("CIRadialGradient", {{"inputCenter", CIVector{8, 6}},
                                                {"inputRadius0", 2.0},
                                                {"inputRadius1", 7.0},
                                                {"inputColor0", c0},
                                                {"inputColor1", c1}});
         },
         own,
         [&](int x, int y) {
             const double r = std::hypot(x + 0.5 - 8, y + 0.5 - 6);
             return Mix(Premultiplied(c0), Premultiplied(c1), std::clamp((r - 2) / 5, 0.0, 1.0));
         }},
        {"radial gradient, equal radii: a sharp circle",
         [&] {
             return Output("CIRadialGradient", {{"inputCenter", CIVector{8, 6}},
                                                {"inputRadius0", 4.2},
                                                {"inputRadius1", 4.2},
                                                {"inputColor0", c0},
                                                {"inputColor1", c1}});
         },
         own,
         [&](int x, int y) {
             return std::hypot(x + 0.5 - 8, y + 0.5 - 6) < 4.2 ? Premultiplied(c0) : Premultiplied(c1);
         }},
    };
    for (const RenderCase &c : cases) {
        SCOPED_TRACE(c.what);
        const CIImageRef output = c.make();
        ASSERT_NE(output, nullptr);
        const std::optional<Picture> rendered = ci_test::Render(*mContext, output, c.bounds);
        if (!rendered) continue;
        EXPECT_EQ(ci_test::Differences(*rendered, c.bounds, c.reference, kTolerance), "");
    }
}

// Colour filters in a row keep the pixels premultiplied (no colour brighter than its alpha)
// and agree with their references in a row; transparent pixels stay transparent.
TEST_F(CIBuiltInFilterRenderTest, PremultipliedAlphaThroughAChain) {
    const Picture fg = Foreground();
    CIImageRef image = Output(
        "CIColorControls",
        {{kCIInputImageKey, fg.image()}, {"inputSaturation", 1.5}, {"inputBrightness", 0.1}, {"inputContrast", 1.3}});
    image = Output("CIColorInvert", {{kCIInputImageKey, image}});
    image = Output("CIExposureAdjust", {{kCIInputImageKey, image}, {"inputEV", 0.5}});
    ASSERT_NE(image, nullptr);
    const CGRect bounds = CGRectMake(0, 0, 16, 12);
    const std::optional<Picture> rendered = ci_test::Render(*mContext, image, bounds);
    ASSERT_TRUE(rendered.has_value());
    auto reference = [&](int x, int y) {
        RGBA p = Quantize(ColorControlsReference(fg.at(x, y), 1.5, 0.1, 1.3));
        p = Quantize(ByColor(p, [](double v, int) { return 1 - v; }));
        return ByColor(p, [](double v, int) { return v * std::exp2(0.5); });
    };
    EXPECT_EQ(ci_test::Differences(*rendered, bounds, reference, kTolerance), "");
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            const RGBA p = rendered->at(x, y);
            for (int k = 0; k < 3; ++k) EXPECT_LE(p[k], p[3] + 1e-6) << x << "," << y;
            EXPECT_NEAR(p[3], fg.at(x, y)[3], 1e-6) << x << "," << y;
        }
    }
}

TEST_F(CIBuiltInFilterRenderTest, PassCounts) {
    const CIImageRef image = Foreground().image();
    auto passes = [&](const CIImageRef &output, CGRect bounds) {
        const uint64_t before = mContext->statistics().passes;
        EXPECT_TRUE(ci_test::Render(*mContext, output, bounds).has_value());
        return mContext->statistics().passes - before;
    };
    const CIImageRef blurred = Output("CIGaussianBlur", {{kCIInputImageKey, image}, {"inputRadius", 2.0}});
    EXPECT_EQ(passes(blurred, CGRectMake(0, 0, 16, 12)), 2u) << "horizontal, then vertical";

    CIImageRef folded = Output("CICrop", {{kCIInputImageKey, image}, {"inputRectangle", CIVector{2, 2, 10, 8}}});
    folded = Output("CIAffineTransform",
                    {{kCIInputImageKey, folded}, {"inputTransform", CGAffineTransformMake(0, 1, -1, 0, 12, 0)}});
    folded = Output("CIColorControls", {{kCIInputImageKey, folded}, {"inputSaturation", 0.5}});
    EXPECT_EQ(passes(folded, CGRectMake(0, 0, 12, 16)), 1u) << "the crop and the transform ride in the sampler";
}

} // namespace
