// QCIInvertGreyAlphaMask: a mask filter of the tint, mask and stencil stage: the
// unpremultiplied image scaled by one minus the mask's grey level (the mean of its red, green
// and blue, clamped to 0..1). The amount is not used.
// Its kernel (sdk/CocoaGL QCIDynamicFilterSources) is compiled once per process.
#pragma once

#include <CocoaQZ/CoreImage/QCIDynamicMaskFilter.h>

class QCIInvertGreyAlphaMask : public QCIDynamicMaskFilter {
public:
    QCIInvertGreyAlphaMask() = default;

    static std::string dynamicFilterClassName();   // "QCIInvertGreyAlphaMask"
    static std::string dynamicFilterDisplayName(); // "QCIInvertGreyAlphaMask Image Unit"
    static const char *dynamicFilterSourceCode();
    static bool dynamicFilterRegisterClass();
    static CIFilterRef filterWithDefaults();
    // The kernel of the class's source, compiled on first use and kept.
    static CIKernelRef dynamicFilterKernel();

    CIKernelRef imageFilterKernel() const override;
};

bool import_QCIInvertGreyAlphaMask();
