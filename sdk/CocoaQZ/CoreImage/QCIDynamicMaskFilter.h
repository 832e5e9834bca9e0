// QCIDynamicMaskFilter: a dynamic image filter with a mask image and a normalised amount.
// The base of the three mask filters, each bringing its own kernel; this class has no kernel
// of its own (its source is null, its output null).
//
// The output is the class's kernel applied to a sampler of "inputImage", a sampler of
// "inputMaskImage" and "inputAmountNormal", in that order, defined over the input image's
// definition; null when any of the three is missing or the class has no kernel.
#pragma once

#include <CocoaQZ/CoreImage/QCIDynamicImageFilter.h>

#include <optional>

extern const char *const kQCIInputMaskImageKey;       // "inputMaskImage"
extern const char *const kQCIInputAmountNormalKey;    // "inputAmountNormal"

class QCIDynamicMaskFilter : public QCIDynamicImageFilter {
public:
    QCIDynamicMaskFilter() = default;

    static std::string dynamicFilterClassName();   // "QCIDynamicMaskFilter"
    static std::string dynamicFilterDisplayName();
    // The image filter's categories and the composite operation.
    static std::vector<std::string> dynamicFilterCategories();
    // None: every mask filter brings its own kernel.
    static const char *dynamicFilterSourceCode();
    // "inputMaskImage" (a CIImage) and "inputAmountNormal" (a scalar in 0..1, slider 0..1,
    // default and identity 0.5).
    static std::vector<CIInputAttributes> dynamicFilterCustomAttributes();
    static bool dynamicFilterRegisterClass();
    static CIFilterRef filterWithDefaults();
    // Null (no source).
    static CIKernelRef dynamicFilterKernel();

    CIKernelRef imageFilterKernel() const override;
    std::vector<CIInputAttributes> customAttributes() const override;
    CIImageRef outputImage() const override;
    // inputAmountNormal 0.5.
    void setDefaults() override;

    CIImageRef inputMaskImage() const { return imageForKey(kQCIInputMaskImageKey); }
    void setInputMaskImage(CIImageRef image) { setValue(std::move(image), kQCIInputMaskImageKey); }
    std::optional<double> inputAmountNormal() const;
    void setInputAmountNormal(double amount) { setValue(amount, kQCIInputAmountNormalKey); }
};

bool import_QCIDynamicMaskFilter();
