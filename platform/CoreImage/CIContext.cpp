#include <CoreImage/CIContext.h>

struct CIContext::Engine {};

CIContextRef CIContext::contextWithCGLContext(CGLContextObj, CGLPixelFormatObj, CGColorSpaceRef) { return nullptr; }
CIContextRef CIContext::offscreenContext(CGLContextObj) { return nullptr; }
CIContext::~CIContext() = default;
bool CIContext::drawImage(const CIImageRef &, CGRect, CGRect) { return false; }
CGImageRef CIContext::createCGImage(const CIImageRef &, CGRect, CGColorSpaceRef) { return nullptr; }
bool CIContext::render(const CIImageRef &, void *, size_t, CGRect, CIFormat, CGColorSpaceRef) { return false; }
bool CIContext::render(const CIImageRef &, IOSurfaceRef, CGRect, CGColorSpaceRef) { return false; }
CIContextStatistics CIContext::statistics() const { return {}; }
