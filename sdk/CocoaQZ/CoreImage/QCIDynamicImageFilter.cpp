#include "QCIDynamicImageFilter.h"

std::string QCIDynamicImageFilter::dynamicFilterClassName() { return "QCIDynamicImageFilter"; }

std::string QCIDynamicImageFilter::displayNameOf(const std::string &className) { return className + " Image Unit"; }

std::string QCIDynamicImageFilter::dynamicFilterDisplayName() { return displayNameOf(dynamicFilterClassName()); }

std::vector<std::string> QCIDynamicImageFilter::dynamicFilterCategories() {
    return {kCICategoryVideo, kCICategoryStillImage, kCICategoryInterlaced, kCICategoryNonSquarePixels};
}

const char *QCIDynamicImageFilter::dynamicFilterSourceCode() {
    return "kernel vec4 QCIDynamicImageFilter(sampler inputImage)\r\n"
           "{\r\n"
           "\treturn sample(inputImage, samplerCoord(inputImage));\r\n"
           "}\r\n";
}

std::vector<CIInputAttributes> QCIDynamicImageFilter::dynamicFilterCustomAttributes() { return {}; }

bool QCIDynamicImageFilter::dynamicFilterRegisterClass() { return registerClass<QCIDynamicImageFilter>(); }

CIFilterRef QCIDynamicImageFilter::filterWithDefaultsOf(const std::string &className) {
    CIFilterRef filter = CIFilter::filterWithName(className);
    if (filter) filter->setDefaults();
    return filter;
}

CIFilterRef QCIDynamicImageFilter::filterWithDefaults() { return filterWithDefaultsOf(dynamicFilterClassName()); }

CIKernelRef QCIDynamicImageFilter::dynamicFilterKernelWithSourceCode(const char *source) {
    if (source == nullptr) return nullptr;
    std::vector<CIKernelRef> kernels = CIKernel::kernelsWithString(source);
    return kernels.empty() ? nullptr : kernels.front();
}

CIKernelRef QCIDynamicImageFilter::dynamicFilterKernel() {
    static const CIKernelRef kernel = dynamicFilterKernelWithSourceCode(dynamicFilterSourceCode());
    return kernel;
}

CIKernelRef QCIDynamicImageFilter::imageFilterKernel() const { return dynamicFilterKernel(); }

CIInputAttributes QCIDynamicImageFilter::inputImageAttributes() {
    CIInputAttributes image;
    image.key = kCIInputImageKey;
    image.className = "CIImage";
    return image;
}

std::vector<CIInputAttributes> QCIDynamicImageFilter::customAttributes() const {
    std::vector<CIInputAttributes> attributes{inputImageAttributes()};
    for (CIInputAttributes &a : dynamicFilterCustomAttributes()) attributes.push_back(std::move(a));
    return attributes;
}

CIImageRef QCIDynamicImageFilter::outputImage() const {
    CIImageRef image = inputImage();
    CIKernelRef kernel = imageFilterKernel();
    if (!image || !kernel) return nullptr;
    CIApplyOptions options;
    options.definition = image->definition();
    return kernel->apply({CISampler(image)}, options);
}

bool import_QCIDynamicImageFilter() { return true; }
