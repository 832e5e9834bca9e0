#include "QCIDynamicMaskFilter.h"

const char *const kQCIInputMaskImageKey = "inputMaskImage";
const char *const kQCIInputAmountNormalKey = "inputAmountNormal";

std::string QCIDynamicMaskFilter::dynamicFilterClassName() { return "QCIDynamicMaskFilter"; }

std::string QCIDynamicMaskFilter::dynamicFilterDisplayName() { return displayNameOf(dynamicFilterClassName()); }

std::vector<std::string> QCIDynamicMaskFilter::dynamicFilterCategories() {
    std::vector<std::string> categories = QCIDynamicImageFilter::dynamicFilterCategories();
    categories.push_back(kCICategoryCompositeOperation);
    return categories;
}

const char *QCIDynamicMaskFilter::dynamicFilterSourceCode() { return nullptr; }

std::vector<CIInputAttributes> QCIDynamicMaskFilter::dynamicFilterCustomAttributes() {
    CIInputAttributes mask;
    mask.key = kQCIInputMaskImageKey;
    mask.className = "CIImage";
    CIInputAttributes amount;
    amount.key = kQCIInputAmountNormalKey;
    amount.className = "NSNumber";
    amount.type = kCIAttributeTypeScalar;
    amount.min = 0.0;
    amount.max = 1.0;
    amount.sliderMin = 0.0;
    amount.sliderMax = 1.0;
    amount.identity = 0.5;
    amount.defaultValue = 0.5;
    return {mask, amount};
}

bool QCIDynamicMaskFilter::dynamicFilterRegisterClass() { return registerClass<QCIDynamicMaskFilter>(); }

CIFilterRef QCIDynamicMaskFilter::filterWithDefaults() { return filterWithDefaultsOf(dynamicFilterClassName()); }

CIKernelRef QCIDynamicMaskFilter::dynamicFilterKernel() {
    return dynamicFilterKernelWithSourceCode(dynamicFilterSourceCode());
}

CIKernelRef QCIDynamicMaskFilter::imageFilterKernel() const { return dynamicFilterKernel(); }

std::vector<CIInputAttributes> QCIDynamicMaskFilter::customAttributes() const {
    std::vector<CIInputAttributes> attributes{inputImageAttributes()};
    for (CIInputAttributes &a : dynamicFilterCustomAttributes()) attributes.push_back(std::move(a));
    return attributes;
}

std::optional<double> QCIDynamicMaskFilter::inputAmountNormal() const {
    CIFilterValue value = valueForKey(kQCIInputAmountNormalKey);
    if (const double *amount = std::get_if<double>(&value)) return *amount;
    return std::nullopt;
}

CIImageRef QCIDynamicMaskFilter::outputImage() const {
    CIImageRef image = inputImage();
    CIImageRef mask = inputMaskImage();
    std::optional<double> amount = inputAmountNormal();
    CIKernelRef kernel = imageFilterKernel();
    if (!image || !mask || !amount || !kernel) return nullptr;
    CIApplyOptions options;
    options.definition = image->definition();
    return kernel->apply({CISampler(image), CISampler(mask), *amount}, options);
}

void QCIDynamicMaskFilter::setDefaults() { setInputAmountNormal(0.5); }

bool import_QCIDynamicMaskFilter() { return import_QCIDynamicImageFilter(); }
