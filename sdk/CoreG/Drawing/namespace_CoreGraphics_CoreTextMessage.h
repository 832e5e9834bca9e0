// One line of text drawn centred in a rectangle: the status and placeholder texts that frame
// buffers paint into frames (for example instead of a missing camera picture).
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <CoreGraphics/CoreText.h>

#include <CoreG/Drawing/namespace_CoreGraphics_Colors.h>

namespace CoreGraphics {

class CoreTextMessage {
public:
    // "Lucida Grande" (or the closest installed family) at 72 points, filled in
    // translucent blue, stroked in opaque black, background opaque white, fill mode.
    CoreTextMessage();
    ~CoreTextMessage();
    CoreTextMessage(const CoreTextMessage &) = delete;
    CoreTextMessage &operator=(const CoreTextMessage &) = delete;

    // Releases the held name and retains the new one (null allowed: the default family).
    void SetFontName(CFStringRef name);
    CFStringRef FontName() const { return mFontName; }

    // A mutable copy of `text` (created; the caller releases it) with the font over its
    // whole length and the context's fill and stroke colours for the glyphs; null when the
    // font cannot be made or there is no text.
    CFMutableAttributedStringRef TextByAddingStyleAttributes(CFAttributedStringRef text) const;

    // Draws the UTF-8 text in the fill and stroke colours and the text drawing mode, its ink
    // box's size centred in `rect`: the line's origin goes to
    // (rect.x + (rect.width - ink width) / 2, rect.y + (rect.height - ink height) / 2).
    // The graphics state is left as it was; text that is null or not UTF-8 draws nothing.
    void DrawTextInContextCenteredInRect(CGContextRef context, CGRect rect, const char *text) const;

    float mFontSize = 72.0f;
    color_4D mFontStrokeColor = kColorBlackOpaque;
    color_4D mFontFillColor = kColorBlueTranslucent;
    color_4D mBackgroundColor = kColorWhiteOpaque;  // carried for the owner; not drawn
    int mTextDrawMode = kCGTextFill;

private:
    CFStringRef mFontName = nullptr;  // one reference
};

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_CoreTextMessage();
