// Layers: drawing kept apart from a context and then drawn into it, as often as wanted. A
// layer records what is drawn into it as vectors (a cairo recording surface), so that a layer
// drawn into a PDF context stays vector drawing. The layer's context has the layer's size as
// its bounds, origin bottom-left, y up, and starts transparent.
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreGraphics/CGContext.h>

typedef struct CGLayer *CGLayerRef;

CFTypeID CGLayerGetTypeID(void);
// Null for a null context, or a size that is empty, not finite or larger than 32767 on a side.
// The auxiliary information is not read.
CGLayerRef CGLayerCreateWithContext(CGContextRef context, CGSize size, CFDictionaryRef auxiliaryInfo);
CGLayerRef CGLayerRetain(CGLayerRef layer);
void CGLayerRelease(CGLayerRef layer);
CGSize CGLayerGetSize(CGLayerRef layer);
// The layer's own context, owned by the layer.
CGContextRef CGLayerGetContext(CGLayerRef layer);

// Draws the layer scaled into the rectangle (user space), with the context's clip, alpha and
// blend mode.
void CGContextDrawLayerInRect(CGContextRef c, CGRect rect, CGLayerRef layer);
