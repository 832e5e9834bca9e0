#include <CoreG/Capture/namespace_CoreGraphics_WindowListImage.h>

namespace CoreGraphics {

CGImageRef CreateWindowListImage(CGWindowID windowID) {
    const void *windows[1] = {reinterpret_cast<const void *>(static_cast<uintptr_t>(windowID))};
    CFArrayRef windowArray = CFArrayCreate(nullptr, windows, 1, nullptr);
    if (windowArray == nullptr) return nullptr;
    CGImageRef image = CGWindowListCreateImageFromArray(CGRectNull, windowArray, kCGWindowImageShouldBeOpaque);
    CFRelease(windowArray);
    return image;
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_WindowListImage() { return true; }
