#include "QCIBorrowChromaFilter.h"

#include <CocoaGL/QCIDynamicFilterSources.h>

std::string QCIBorrowChromaFilter::dynamicFilterClassName() { return "QCIBorrowChromaFilter"; }

std::string QCIBorrowChromaFilter::dynamicFilterDisplayName() { return displayNameOf(dynamicFilterClassName()); }

const char *QCIBorrowChromaFilter::dynamicFilterSourceCode() { return QCIBorrowChromaFilter_dynamicFilterSourceCode(); }

bool QCIBorrowChromaFilter::dynamicFilterRegisterClass() { return registerClass<QCIBorrowChromaFilter>(); }

CIFilterRef QCIBorrowChromaFilter::filterWithDefaults() { return filterWithDefaultsOf(dynamicFilterClassName()); }

CIKernelRef QCIBorrowChromaFilter::dynamicFilterKernel() {
    static const CIKernelRef kernel = dynamicFilterKernelWithSourceCode(dynamicFilterSourceCode());
    return kernel;
}

CIKernelRef QCIBorrowChromaFilter::imageFilterKernel() const { return dynamicFilterKernel(); }

bool import_QCIBorrowChromaFilter() { return import_QCIDynamicMaskFilter() && import_QCIDynamicFilterSources(); }
