// Drawing helpers shared by the mask painters, the procedurally drawn buttons and views:
// resources of the application bundle, a PDF page fitted into a rectangle, a vertical grey
// gradient through a mask, and a rounded rectangle.
//
// Each of them returns quietly (null, false or nothing drawn) when Quartz cannot make an
// object it needs; nothing is reported.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

namespace CoreGraphics {

// The URL of the resource name.type of the main bundle (no subfolder), or null. Created.
CFURLRef CopyMainBundleResourceURLCF(CFStringRef name, CFStringRef type);
// The same with a UTF-8 name (null when it is null or not valid UTF-8).
CFURLRef CopyMainBundleResourceURL(const char *name, CFStringRef type);

// Holds one image reference (null when made) and releases it when reset or destroyed.
class ImageRefHolder {
public:
    ImageRefHolder() = default;
    ~ImageRefHolder() { ResetImage(); }
    ImageRefHolder(const ImageRefHolder &) = delete;
    ImageRefHolder &operator=(const ImageRefHolder &) = delete;

    // Takes over one reference (the previous image is released).
    void SetImage(CGImageRef image) {
        ResetImage();
        mImageRef = image;
    }
    void ResetImage() {
        if (mImageRef != nullptr) CGImageRelease(mImageRef);
        mImageRef = nullptr;
    }
    CGImageRef Image() const { return mImageRef; }

private:
    CGImageRef mImageRef = nullptr;
};

// Draws page 1 of the PDF document at `url` fitted into `rect` with its aspect ratio kept
// and centred (media box, no rotation), after scaling the context by (scaleX, scaleY), in a
// saved graphics state. Nothing for a null URL, a file that is not a PDF document or a
// document without pages. The caller keeps the URL.
void DrawPDFPageInRect(CGContextRef context, CFURLRef url, CGRect rect, float scaleX, float scaleY);

// Fills `rect`, clipped to `mask` drawn over it, with a vertical grey ramp: grey firstGray
// at the rectangle's bottom edge (min y) to secondGray at its top edge (max y), opaque,
// not extended past the rectangle. False without a context or a mask, or when the shading
// cannot be made; true when drawn.
bool DrawLinearGradientShading(CGContextRef context, CGRect rect, CGImageRef mask, float firstGray,
                               float secondGray);

// A rounded rectangle at (x, y) of width x height: filled in the fill colour when lineWidth
// is 0, else filled and stroked in the stroke colour with that line width. The corner
// radius is `corner` x the smaller side when corner < 1, else `corner` itself.
void FillRoundedRectPath(CGContextRef context, float x, float y, float width, float height, float lineWidth,
                         float corner);

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_QuartzDrawing();
