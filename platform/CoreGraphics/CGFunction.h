// Functions that map input values to output values through the caller's callback; used by
// shadings to compute their colours.
#pragma once

#include <CoreGraphics/CGBase.h>

typedef struct CGFunction *CGFunctionRef;

typedef void (*CGFunctionEvaluateCallback)(void *info, const CGFloat *in, CGFloat *out);
typedef void (*CGFunctionReleaseInfoCallback)(void *info);

struct CGFunctionCallbacks {
    unsigned int version;  // 0
    CGFunctionEvaluateCallback evaluate;
    CGFunctionReleaseInfoCallback releaseInfo;  // called once when the function is destroyed
};

CFTypeID CGFunctionGetTypeID(void);

// domain holds 2 * domainDimension values (minimum, maximum pairs); range 2 * rangeDimension
// or is null. Outputs are clamped to the range. Null without callbacks or an evaluate
// callback, or with a dimension of 0.
CGFunctionRef CGFunctionCreate(void *info, size_t domainDimension, const CGFloat *domain, size_t rangeDimension,
                               const CGFloat *range, const CGFunctionCallbacks *callbacks);
CGFunctionRef CGFunctionRetain(CGFunctionRef function);
void CGFunctionRelease(CGFunctionRef function);
