// Functions and axial shadings.
#include <CoreGraphics/CGInternal.h>

#include <algorithm>

CFTypeID CGFunctionGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGFunction");
    return type;
}

CGFunction::CGFunction() : cf::Object(CGFunctionGetTypeID()) {}

CGFunction::~CGFunction() {
    if (mCallbacks.releaseInfo) mCallbacks.releaseInfo(mInfo);
}

void CGFunction::evaluate(CGFloat in, std::vector<CGFloat> &out) const {
    std::vector<CGFloat> inputs(mDomainDimension, in);
    out.assign(mRangeDimension, 0);
    mCallbacks.evaluate(mInfo, inputs.data(), out.data());
    if (!mRange.empty()) {
        for (size_t i = 0; i < mRangeDimension; ++i) {
            const CGFloat lo = mRange[2 * i], hi = mRange[2 * i + 1];
            out[i] = out[i] > lo ? (out[i] < hi ? out[i] : hi) : lo;  // NaN becomes lo
        }
    }
}

CGFunctionRef CGFunctionCreate(void *info, size_t domainDimension, const CGFloat *domain, size_t rangeDimension,
                               const CGFloat *range, const CGFunctionCallbacks *callbacks) {
    if (!callbacks || !callbacks->evaluate || domainDimension == 0 || rangeDimension == 0 || !domain) return nullptr;
    auto *function = new CGFunction;
    function->mInfo = info;
    function->mCallbacks = *callbacks;
    function->mDomainDimension = domainDimension;
    function->mRangeDimension = rangeDimension;
    function->mDomain.assign(domain, domain + 2 * domainDimension);
    if (range) function->mRange.assign(range, range + 2 * rangeDimension);
    return function;
}

CGFunctionRef CGFunctionRetain(CGFunctionRef function) {
    if (function) CFRetain(function);
    return function;
}

void CGFunctionRelease(CGFunctionRef function) {
    if (function) CFRelease(function);
}

CFTypeID CGShadingGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGShading");
    return type;
}

CGShading::CGShading() : cf::Object(CGShadingGetTypeID()) {}

CGShading::~CGShading() {
    CGColorSpaceRelease(mSpace);
    CGFunctionRelease(mFunction);
}

CGShadingRef CGShadingCreateAxial(CGColorSpaceRef space, CGPoint start, CGPoint end, CGFunctionRef function,
                                  bool extendStart, bool extendEnd) {
    if (!space || !function) return nullptr;
    if (function->mRangeDimension < CGColorSpaceGetNumberOfComponents(space)) return nullptr;
    auto *shading = new CGShading;
    shading->mSpace = CGColorSpaceRetain(space);
    shading->mFunction = CGFunctionRetain(function);
    shading->mStart = start;
    shading->mEnd = end;
    shading->mExtendStart = extendStart;
    shading->mExtendEnd = extendEnd;
    return shading;
}

CGShadingRef CGShadingRetain(CGShadingRef shading) {
    if (shading) CFRetain(shading);
    return shading;
}

void CGShadingRelease(CGShadingRef shading) {
    if (shading) CFRelease(shading);
}
