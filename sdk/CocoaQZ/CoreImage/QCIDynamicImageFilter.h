// QCIDynamicImageFilter: a Core Image filter whose class brings its kernel as text and
// registers itself under its class name. The base of the in-house filters of the tint, mask
// and stencil stage.
//
// Class operations are static members. Each subclass declares again the ones that depend on
// the class (its name, display name, source, kernel, registration, filterWithDefaults), as a
// class method answers for the class it is sent to; the rest are inherited.
//
// Its own kernel passes the input image through. The output is the class's kernel applied to
// a sampler of "inputImage", defined over that image's definition; null without an input
// image or a kernel.
#pragma once

#include <CoreImage/CIFilter.h>
#include <CoreImage/CIKernel.h>

#include <string>
#include <vector>

class QCIDynamicImageFilter : public CIFilter {
public:
    QCIDynamicImageFilter() = default;

    // The class's own name: "QCIDynamicImageFilter".
    static std::string dynamicFilterClassName();
    // "<class name> Image Unit".
    static std::string dynamicFilterDisplayName();
    // Video, still image, interlaced, non-square pixels.
    static std::vector<std::string> dynamicFilterCategories();
    // The kernel text (CR LF line ends): a pass-through kernel named "QCIDynamicImageFilter".
    static const char *dynamicFilterSourceCode();
    // The inputs of the class beyond "inputImage": none.
    static std::vector<CIInputAttributes> dynamicFilterCustomAttributes();
    // Registers the class with CIFilter under its name (a constructor making an instance of
    // it, its display name and categories); true. Registering again replaces the entry with
    // the same one.
    static bool dynamicFilterRegisterClass();
    // CIFilter::filterWithName of the class name with the defaults set; null when the class
    // is not registered.
    static CIFilterRef filterWithDefaults();
    // The first kernel of `source` (callers pass the class's dynamicFilterSourceCode); null
    // for no source or a text without a kernel.
    static CIKernelRef dynamicFilterKernelWithSourceCode(const char *source);
    // The class's kernel, compiled from its source once per process.
    static CIKernelRef dynamicFilterKernel();

    // The class's kernel.
    virtual CIKernelRef imageFilterKernel() const;
    // "inputImage" (a CIImage), then the class's custom attributes: the layer's filters list
    // every input they take.
    std::vector<CIInputAttributes> customAttributes() const override;
    CIImageRef outputImage() const override;

    CIImageRef inputImage() const { return imageForKey(kCIInputImageKey); }
    void setInputImage(CIImageRef image) { setValue(std::move(image), kCIInputImageKey); }

protected:
    // What the class operations of every class do, given the class.
    static std::string displayNameOf(const std::string &className);
    template <class Filter>
    static bool registerClass() {
        CIFilter::registerFilterName(
            Filter::dynamicFilterClassName(),
            [](const std::string &) -> CIFilterRef { return std::make_shared<Filter>(); },
            CIFilterClassAttributes{Filter::dynamicFilterDisplayName(), Filter::dynamicFilterCategories()});
        return true;
    }
    static CIFilterRef filterWithDefaultsOf(const std::string &className);
    // The attributes of "inputImage".
    static CIInputAttributes inputImageAttributes();
};

bool import_QCIDynamicImageFilter();
