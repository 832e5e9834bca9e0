#include "QCIMakeGreyAlphaMask.h"

#include <CocoaGL/QCIDynamicFilterSources.h>

std::string QCIMakeGreyAlphaMask::dynamicFilterClassName() { return "QCIMakeGreyAlphaMask"; }

std::string QCIMakeGreyAlphaMask::dynamicFilterDisplayName() { return displayNameOf(dynamicFilterClassName()); }

const char *QCIMakeGreyAlphaMask::dynamicFilterSourceCode() { return QCIMakeGreyAlphaMask_dynamicFilterSourceCode(); }

bool QCIMakeGreyAlphaMask::dynamicFilterRegisterClass() { return registerClass<QCIMakeGreyAlphaMask>(); }

CIFilterRef QCIMakeGreyAlphaMask::filterWithDefaults() { return filterWithDefaultsOf(dynamicFilterClassName()); }

CIKernelRef QCIMakeGreyAlphaMask::dynamicFilterKernel() {
    static const CIKernelRef kernel = dynamicFilterKernelWithSourceCode(dynamicFilterSourceCode());
    return kernel;
}

CIKernelRef QCIMakeGreyAlphaMask::imageFilterKernel() const { return dynamicFilterKernel(); }

bool import_QCIMakeGreyAlphaMask() { return import_QCIDynamicMaskFilter() && import_QCIDynamicFilterSources(); }
