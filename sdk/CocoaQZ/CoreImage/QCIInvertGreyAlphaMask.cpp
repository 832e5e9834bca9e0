#include "QCIInvertGreyAlphaMask.h"

#include <CocoaGL/QCIDynamicFilterSources.h>

std::string QCIInvertGreyAlphaMask::dynamicFilterClassName() { return "QCIInvertGreyAlphaMask"; }

std::string QCIInvertGreyAlphaMask::dynamicFilterDisplayName() { return displayNameOf(dynamicFilterClassName()); }

const char *QCIInvertGreyAlphaMask::dynamicFilterSourceCode() { return QCIInvertGreyAlphaMask_dynamicFilterSourceCode(); }

bool QCIInvertGreyAlphaMask::dynamicFilterRegisterClass() { return registerClass<QCIInvertGreyAlphaMask>(); }

CIFilterRef QCIInvertGreyAlphaMask::filterWithDefaults() { return filterWithDefaultsOf(dynamicFilterClassName()); }

CIKernelRef QCIInvertGreyAlphaMask::dynamicFilterKernel() {
    static const CIKernelRef kernel = dynamicFilterKernelWithSourceCode(dynamicFilterSourceCode());
    return kernel;
}

CIKernelRef QCIInvertGreyAlphaMask::imageFilterKernel() const { return dynamicFilterKernel(); }

bool import_QCIInvertGreyAlphaMask() { return import_QCIDynamicMaskFilter() && import_QCIDynamicFilterSources(); }
