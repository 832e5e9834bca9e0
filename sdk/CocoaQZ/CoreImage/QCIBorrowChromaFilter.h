// QCIBorrowChromaFilter: the tint filter of the tint, mask and stencil stage. It keeps the
// luma of the image (0.257 R + 0.504 G + 0.098 B) and takes the chroma of the mask image,
// mixed by image alpha x amount (clamped to 0..1) x mask alpha.
// Its kernel (sdk/CocoaGL QCIDynamicFilterSources) is compiled once per process.
#pragma once

#include <CocoaQZ/CoreImage/QCIDynamicMaskFilter.h>

class QCIBorrowChromaFilter : public QCIDynamicMaskFilter {
public:
    QCIBorrowChromaFilter() = default;

    static std::string dynamicFilterClassName();   // "QCIBorrowChromaFilter"
    static std::string dynamicFilterDisplayName(); // "QCIBorrowChromaFilter Image Unit"
    static const char *dynamicFilterSourceCode();
    static bool dynamicFilterRegisterClass();
    static CIFilterRef filterWithDefaults();
    // The kernel of the class's source, compiled on first use and kept.
    static CIKernelRef dynamicFilterKernel();

    CIKernelRef imageFilterKernel() const override;
};

bool import_QCIBorrowChromaFilter();
