#include <CoreG/Drawing/namespace_CoreGraphics_CoreTextMessage.h>

#include <CoreFoundation/CFNumber.h>

namespace CoreGraphics {

CoreTextMessage::CoreTextMessage() { SetFontName(CFSTR("Lucida Grande")); }

CoreTextMessage::~CoreTextMessage() { SetFontName(nullptr); }

void CoreTextMessage::SetFontName(CFStringRef name) {
    if (name != nullptr) CFRetain(name);
    if (mFontName != nullptr) CFRelease(mFontName);
    mFontName = name;
}

CFMutableAttributedStringRef CoreTextMessage::TextByAddingStyleAttributes(CFAttributedStringRef text) const {
    if (text == nullptr) return nullptr;
    CTFontRef font = CTFontCreateWithName(mFontName, mFontSize, nullptr);
    if (font == nullptr) return nullptr;
    CFMutableAttributedStringRef styled = CFAttributedStringCreateMutableCopy(kCFAllocatorDefault, 0, text);
    if (styled != nullptr) {
        const CFRange whole = CFRangeMake(0, CFAttributedStringGetLength(styled));
        CFAttributedStringSetAttribute(styled, whole, kCTFontAttributeName, font);
        CFAttributedStringSetAttribute(styled, whole, kCTForegroundColorFromContextAttributeName, kCFBooleanTrue);
    }
    CFRelease(font);
    return styled;
}

void CoreTextMessage::DrawTextInContextCenteredInRect(CGContextRef context, CGRect rect, const char *text) const {
    if (context == nullptr) return;
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, mFontFillColor.red, mFontFillColor.green, mFontFillColor.blue,
                             mFontFillColor.alpha);
    CGContextSetRGBStrokeColor(context, mFontStrokeColor.red, mFontStrokeColor.green, mFontStrokeColor.blue,
                               mFontStrokeColor.alpha);
    CGContextSetTextMatrix(context, CGAffineTransformIdentity);

    CFStringRef string = text != nullptr
                             ? CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8)
                             : nullptr;
    CFAttributedStringRef attributed =
        string != nullptr ? CFAttributedStringCreate(kCFAllocatorDefault, string, nullptr) : nullptr;
    CFMutableAttributedStringRef styled = TextByAddingStyleAttributes(attributed);
    CTLineRef line = styled != nullptr ? CTLineCreateWithAttributedString(styled) : nullptr;
    if (line != nullptr) {
        const CGRect ink = CTLineGetImageBounds(line, context);
        const CGFloat x = rect.origin.x + (rect.size.width - ink.size.width) * 0.5;
        const CGFloat y = rect.origin.y + (rect.size.height - ink.size.height) * 0.5;
        CGContextSetTextDrawingMode(context, static_cast<CGTextDrawingMode>(mTextDrawMode));
        CGContextSetTextPosition(context, x, y);
        CTLineDraw(line, context);
        CFRelease(line);
    }
    if (styled != nullptr) CFRelease(styled);
    if (attributed != nullptr) CFRelease(attributed);
    if (string != nullptr) CFRelease(string);
    CGContextRestoreGState(context);
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_CoreTextMessage() { return true; }
