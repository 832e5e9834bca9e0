// The in-house filters as classes: their class operations, registration, attributes and the
// image recipes they answer (no rendering here; QCIMaskKernelTests.cpp renders).
#include <CocoaQZ/CoreImage/QCIBorrowChromaFilter.h>
#include <CocoaQZ/CoreImage/QCIDynamicImageFilter.h>
#include <CocoaQZ/CoreImage/QCIDynamicMaskFilter.h>
#include <CocoaQZ/CoreImage/QCIInvertGreyAlphaMask.h>
#include <CocoaQZ/CoreImage/QCIMakeGreyAlphaMask.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace {

const std::vector<std::string> kImageCategories = {kCICategoryVideo, kCICategoryStillImage, kCICategoryInterlaced,
                                                   kCICategoryNonSquarePixels};
const std::vector<std::string> kMaskCategories = {kCICategoryVideo, kCICategoryStillImage, kCICategoryInterlaced,
                                                  kCICategoryNonSquarePixels, kCICategoryCompositeOperation};

// A class's operations, gathered so that one table covers every class.
struct FilterClass {
    std::string name;
    std::function<std::string()> className, displayName;
    std::function<std::vector<std::string>()> categories;
    std::function<std::vector<CIInputAttributes>()> customAttributes;
    std::function<CIKernelRef()> kernel;
    std::function<bool()> registerClass;
    std::function<CIFilterRef()> withDefaults;
    std::vector<std::string> expectedCategories;
    const char *kernelName;  // null: the class has no kernel
};

template <class Filter>
FilterClass Class(const std::string &name, std::vector<std::string> categories, const char *kernelName) {
    return {name,
            Filter::dynamicFilterClassName,
            Filter::dynamicFilterDisplayName,
            Filter::dynamicFilterCategories,
            Filter::dynamicFilterCustomAttributes,
            Filter::dynamicFilterKernel,
            Filter::dynamicFilterRegisterClass,
            Filter::filterWithDefaults,
            std::move(categories),
            kernelName};
}

std::vector<FilterClass> Classes() {
    return {
        Class<QCIDynamicImageFilter>("QCIDynamicImageFilter", kImageCategories, "QCIDynamicImageFilter"),
        Class<QCIDynamicMaskFilter>("QCIDynamicMaskFilter", kMaskCategories, nullptr),
        Class<QCIBorrowChromaFilter>("QCIBorrowChromaFilter", kMaskCategories, "QCIBorrowChromaFilterKernel"),
        Class<QCIInvertGreyAlphaMask>("QCIInvertGreyAlphaMask", kMaskCategories, "QCIInvertGreyAlphaMaskKernel"),
        Class<QCIMakeGreyAlphaMask>("QCIMakeGreyAlphaMask", kMaskCategories, "QCIMakeGreyAlphaMaskKernel"),
    };
}

std::vector<std::string> Keys(const std::vector<CIInputAttributes> &inputs) {
    std::vector<std::string> keys;
    for (const CIInputAttributes &a : inputs) keys.push_back(a.key);
    return keys;
}

CIImageRef Colour(double r, double g, double b, double a, CGRect extent) {
    return CIImage::imageWithColor(CIColor::colorWithRed(r, g, b, a))->imageByCroppingToRect(extent);
}

}  // namespace

TEST(QCIDynamicFilter, ClassOperations) {
    for (const FilterClass &c : Classes()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.className(), c.name);
        EXPECT_EQ(c.displayName(), c.name + " Image Unit");
        EXPECT_EQ(c.categories(), c.expectedCategories);
        CIKernelRef kernel = c.kernel();
        if (c.kernelName == nullptr) {
            EXPECT_EQ(kernel, nullptr);
            continue;
        }
        ASSERT_NE(kernel, nullptr);
        EXPECT_EQ(kernel->name(), c.kernelName);
        EXPECT_EQ(c.kernel(), kernel) << "compiled once and kept";
    }
}

TEST(QCIDynamicFilter, KernelWithSourceCodeIsTheFirstKernelOfTheText) {
    EXPECT_EQ(QCIDynamicImageFilter::dynamicFilterKernelWithSourceCode(nullptr), nullptr);
    EXPECT_EQ(QCIDynamicImageFilter::dynamicFilterKernelWithSourceCode(""), nullptr);
    EXPECT_EQ(QCIDynamicImageFilter::dynamicFilterKernelWithSourceCode("vec4 helper(vec4 c) { return c; }"), nullptr);
    EXPECT_EQ(QCIDynamicImageFilter::dynamicFilterKernelWithSourceCode("kernel vec4 broken(sampler s) {"), nullptr);
    CIKernelRef first = QCIDynamicImageFilter::dynamicFilterKernelWithSourceCode(
        "kernel vec4 first(sampler s) { return sample(s, samplerCoord(s)); }\n"
        "kernel vec4 second(sampler s) { return vec4(1.0); }\n");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name(), "first");
}

TEST(QCIDynamicFilter, AttributesOfEachClass) {
    EXPECT_TRUE(QCIDynamicImageFilter::dynamicFilterCustomAttributes().empty());
    const auto mask = QCIDynamicMaskFilter::dynamicFilterCustomAttributes();
    ASSERT_EQ(Keys(mask), (std::vector<std::string>{"inputMaskImage", "inputAmountNormal"}));
    EXPECT_EQ(mask[0].className, "CIImage");
    const CIInputAttributes &amount = mask[1];
    EXPECT_EQ(amount.type, kCIAttributeTypeScalar);
    const struct {
        const char *what;
        std::optional<double> value;
        double expected;
    } ranges[] = {{"min", amount.min, 0.0},       {"max", amount.max, 1.0},
                  {"sliderMin", amount.sliderMin, 0.0}, {"sliderMax", amount.sliderMax, 1.0},
                  {"identity", amount.identity, 0.5}};
    for (const auto &r : ranges) {
        ASSERT_TRUE(r.value.has_value()) << r.what;
        EXPECT_EQ(*r.value, r.expected) << r.what;
    }
    ASSERT_TRUE(std::holds_alternative<double>(amount.defaultValue));
    EXPECT_EQ(std::get<double>(amount.defaultValue), 0.5);

    // An instance lists the input image too, then its class's inputs.
    const struct {
        CIFilterRef filter;
        std::vector<std::string> keys;
    } instances[] = {
        {std::make_shared<QCIDynamicImageFilter>(), {"inputImage"}},
        {std::make_shared<QCIBorrowChromaFilter>(), {"inputImage", "inputMaskImage", "inputAmountNormal"}},
        {std::make_shared<QCIInvertGreyAlphaMask>(), {"inputImage", "inputMaskImage", "inputAmountNormal"}},
        {std::make_shared<QCIMakeGreyAlphaMask>(), {"inputImage", "inputMaskImage", "inputAmountNormal"}},
    };
    for (const auto &i : instances) {
        EXPECT_EQ(i.filter->inputKeys(), i.keys);
        EXPECT_EQ(i.filter->attributes().input("inputImage")->className, "CIImage");
    }
}

// Registering puts the class under its name with its display name and categories; a second
// registration registers the same again.
TEST(QCIDynamicFilter, RegisteringTwiceRegistersTheSameAgain) {
    for (const FilterClass &c : Classes()) {
        if (c.name == "QCIDynamicMaskFilter") continue;  // left unregistered for the test below
        SCOPED_TRACE(c.name);
        for (int time = 0; time < 2; ++time) {
            EXPECT_TRUE(c.registerClass());
            auto attributes = CIFilter::classAttributesForName(c.name);
            ASSERT_TRUE(attributes.has_value());
            EXPECT_EQ(attributes->displayName, c.name + " Image Unit");
            EXPECT_EQ(attributes->categories, c.expectedCategories);
            const auto names = CIFilter::filterNamesInCategories(c.expectedCategories);
            EXPECT_EQ(std::count(names.begin(), names.end(), c.name), 1);
        }
        CIFilterRef filter = CIFilter::filterWithName(c.name);
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(filter->name(), c.name);
        EXPECT_EQ(filter->attributes().classAttributes.displayName, c.name + " Image Unit");
        const auto *made = dynamic_cast<const QCIDynamicImageFilter *>(filter.get());
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->imageFilterKernel(), c.kernel()) << "an instance of the registered class";
    }
}

TEST(QCIDynamicFilter, FilterWithDefaults) {
    EXPECT_EQ(QCIDynamicMaskFilter::filterWithDefaults(), nullptr) << "never registered";
    ASSERT_TRUE(QCIBorrowChromaFilter::dynamicFilterRegisterClass());
    ASSERT_TRUE(QCIMakeGreyAlphaMask::dynamicFilterRegisterClass());
    for (CIFilterRef filter : {QCIBorrowChromaFilter::filterWithDefaults(), QCIMakeGreyAlphaMask::filterWithDefaults()}) {
        ASSERT_NE(filter, nullptr);
        auto *mask = dynamic_cast<QCIDynamicMaskFilter *>(filter.get());
        ASSERT_NE(mask, nullptr);
        EXPECT_EQ(mask->inputAmountNormal(), 0.5);
        mask->setInputAmountNormal(0.9);
        mask->setDefaults();
        EXPECT_EQ(mask->inputAmountNormal(), 0.5);
    }
}

// The output is the class's kernel over (image sampler, mask sampler, amount), defined over the
// input image's definition; it is null while an input is missing.
TEST(QCIDynamicFilter, OutputImageRecipe) {
    const CIImageRef image = Colour(0.5, 0.5, 0.5, 1, CGRectMake(0.5, 0.25, 3, 2));
    const CIImageRef mask = Colour(1, 0, 0, 1, CGRectMake(-10, -10, 50, 50));

    auto filter = std::make_shared<QCIBorrowChromaFilter>();
    EXPECT_EQ(filter->outputImage(), nullptr) << "no inputs";
    filter->setInputMaskImage(mask);
    filter->setInputAmountNormal(0.25);
    EXPECT_EQ(filter->outputImage(), nullptr) << "no input image";
    filter->setInputImage(image);
    filter->setInputMaskImage(nullptr);
    EXPECT_EQ(filter->outputImage(), nullptr) << "no mask image";
    filter->setInputMaskImage(mask);
    filter->setValue(CIFilterValue{}, kQCIInputAmountNormalKey);
    EXPECT_EQ(filter->outputImage(), nullptr) << "no amount";
    filter->setInputAmountNormal(0.25);

    const CIImageRef output = filter->imageForKey(kCIOutputImageKey);
    ASSERT_NE(output, nullptr) << CIKernel::lastApplyError();
    EXPECT_TRUE(CGRectEqualToRect(output->extent(), CGRectMake(0, 0, 4, 3))) << "the image's definition";
    const auto &application = output->kernelApplication();
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(application->kernel, QCIBorrowChromaFilter::dynamicFilterKernel());
    ASSERT_EQ(application->arguments.size(), 3u);
    EXPECT_EQ(std::get<CISampler>(application->arguments[0]).image(), image);
    EXPECT_EQ(std::get<CISampler>(application->arguments[1]).image(), mask);
    EXPECT_EQ(std::get<double>(application->arguments[2]), 0.25);

    auto plain = std::make_shared<QCIDynamicImageFilter>();
    EXPECT_EQ(plain->outputImage(), nullptr);
    plain->setInputImage(image);
    ASSERT_NE(plain->outputImage(), nullptr);
    EXPECT_TRUE(CGRectEqualToRect(plain->outputImage()->extent(), CGRectMake(0, 0, 4, 3)));

    auto base = std::make_shared<QCIDynamicMaskFilter>();
    base->setInputImage(image);
    base->setInputMaskImage(mask);
    base->setDefaults();
    EXPECT_EQ(base->outputImage(), nullptr) << "the mask filters' base has no kernel";
}

// The borrow-chroma kernel's inverse rows undo its forward rows, and the forward rows are the
// studio-swing ones (so the luma is 0.257 R + 0.504 G + 0.098 B).
TEST(QCIDynamicFilter, BorrowChromaInverseUndoesTheForwardRows) {
    const std::string text = QCIBorrowChromaFilter::dynamicFilterSourceCode();
    std::map<std::string, std::array<double, 3>> rows;
    for (const char *name : {"rgb_y", "rgb_u", "rgb_v", "yuv_r", "yuv_g", "yuv_b"}) {
        const size_t at = text.find(std::string("const vec3 ") + name + " = vec3(");
        ASSERT_NE(at, std::string::npos) << name;
        std::array<double, 3> &row = rows[name];
        ASSERT_EQ(std::sscanf(text.c_str() + text.find('(', at) + 1, "%lf ,%lf ,%lf", &row[0], &row[1], &row[2]), 3)
            << name;
    }
    EXPECT_EQ(rows["rgb_y"], (std::array<double, 3>{0.257, 0.504, 0.098}));
    EXPECT_EQ(rows["rgb_u"], (std::array<double, 3>{-0.148, -0.291, 0.439}));
    EXPECT_EQ(rows["rgb_v"], (std::array<double, 3>{0.439, -0.368, -0.071}));
    const std::array<double, 3> forward[] = {rows["rgb_y"], rows["rgb_u"], rows["rgb_v"]};
    const std::array<double, 3> inverse[] = {rows["yuv_r"], rows["yuv_g"], rows["yuv_b"]};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) sum += inverse[i][k] * forward[k][j];
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-4) << "row " << i << " column " << j;
        }
}
