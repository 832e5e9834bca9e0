// QCIMakeGreyAlphaMask: a mask filter of the tint, mask and stencil stage: the
// unpremultiplied image scaled by the mask's grey level (0.33333 x the sum of its red, green
// and blue). The amount is not used.
// Its kernel (sdk/CocoaGL QCIDynamicFilterSources) is compiled once per process.
#pragma once

#include <CocoaQZ/CoreImage/QCIDynamicMaskFilter.h>

class QCIMakeGreyAlphaMask : public QCIDynamicMaskFilter {
public:
    QCIMakeGreyAlphaMask() = default;

    static std::string dynamicFilterClassName();   // "QCIMakeGreyAlphaMask"
    static std::string dynamicFilterDisplayName(); // "QCIMakeGreyAlphaMask Image Unit"
    static const char *dynamicFilterSourceCode();
    static bool dynamicFilterRegisterClass();
    static CIFilterRef filterWithDefaults();
    // The kernel of the class's source, compiled on first use and kept.
    static CIKernelRef dynamicFilterKernel();

    CIKernelRef imageFilterKernel() const override;
};

bool import_QCIMakeGreyAlphaMask();
