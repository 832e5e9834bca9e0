// Text: fonts with fallback, attributed strings, line bounds and drawing.
#include <gtest/gtest.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreGraphics/CoreText.h>

#include <climits>
#include <string>

#include "CGTestSupport.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

std::string Text(CFStringRef string) {
    char buffer[256] = {};
    return string && CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "";
}

// A line as the status texts make one: the font over the whole text, colours from the
// context unless a colour is given.
Holder<CTLineRef> MakeLine(const char *text, const char *family, CGFloat size, bool fromContext = true,
                           CGColorRef color = nullptr) {
    Holder<CFStringRef> string(CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8));
    Holder<CFAttributedStringRef> plain(CFAttributedStringCreate(kCFAllocatorDefault, string, nullptr));
    Holder<CFMutableAttributedStringRef> styled(CFAttributedStringCreateMutableCopy(kCFAllocatorDefault, 0, plain));
    Holder<CFStringRef> name(CFStringCreateWithCString(kCFAllocatorDefault, family, kCFStringEncodingUTF8));
    Holder<CTFontRef> font(CTFontCreateWithName(name, size, nullptr));
    const CFRange all = CFRangeMake(0, CFAttributedStringGetLength(styled));
    CFAttributedStringSetAttribute(styled, all, kCTFontAttributeName, font);
    if (fromContext) CFAttributedStringSetAttribute(styled, all, kCTForegroundColorFromContextAttributeName, kCFBooleanTrue);
    if (color) CFAttributedStringSetAttribute(styled, all, kCTForegroundColorAttributeName, color);
    return Holder<CTLineRef>(CTLineCreateWithAttributedString(styled));
}

struct Ink {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;  // memory rows, exclusive ends
    int pixels = 0;
    bool empty() const { return pixels == 0; }
};

// The pixels of an ARGB bitmap whose alpha is at least `threshold`.
Ink InkOf(const Bitmap &b, int threshold = 1) {
    Ink ink;
    for (size_t y = 0; y < b.height; ++y)
        for (size_t x = 0; x < b.width; ++x)
            if (b.at(x, y)[0] >= threshold) {
                ink.x0 = std::min(ink.x0, int(x)), ink.y0 = std::min(ink.y0, int(y));
                ink.x1 = std::max(ink.x1, int(x) + 1), ink.y1 = std::max(ink.y1, int(y) + 1);
                ++ink.pixels;
            }
    return ink;
}

TEST(Font, MissingFamilyFallsBackThroughFontconfig) {
    Holder<CTFontRef> font(CTFontCreateWithName(CFSTR("Lucida Grande"), 72, nullptr));
    ASSERT_TRUE(font);
    EXPECT_EQ(CTFontGetSize(font), 72);
    EXPECT_EQ(CFGetTypeID(font), CTFontGetTypeID());
    Holder<CFStringRef> family(CTFontCopyFamilyName(font));
    EXPECT_FALSE(Text(family).empty());
    EXPECT_NE(Text(family), "Lucida Grande");
    // An installed family is itself (the packages list installs DejaVu).
    Holder<CTFontRef> dejavu(CTFontCreateWithName(CFSTR("DejaVu Sans"), 12, nullptr));
    Holder<CFStringRef> dejavuFamily(CTFontCopyFamilyName(dejavu));
    EXPECT_EQ(Text(dejavuFamily), "DejaVu Sans");
}

TEST(Font, SizeNameAndMatrixRules) {
    Holder<CTFontRef> defaults(CTFontCreateWithName(nullptr, 0, nullptr));
    ASSERT_TRUE(defaults);
    EXPECT_EQ(CTFontGetSize(defaults), 12);
    const CGAffineTransform identity = CGAffineTransformIdentity;
    Holder<CTFontRef> plain(CTFontCreateWithName(CFSTR("Sans"), 10, &identity));
    EXPECT_TRUE(plain);
    const CGAffineTransform skew = CGAffineTransformMake(1, 0, 0.2, 1, 0, 0);
    EXPECT_EQ(CTFontCreateWithName(CFSTR("Sans"), 10, &skew), nullptr);
}

TEST(AttributedString, LaterSettingsWinOverTheirRange) {
    Holder<CFAttributedStringRef> plain(CFAttributedStringCreate(kCFAllocatorDefault, CFSTR("abcdef"), nullptr));
    Holder<CFMutableAttributedStringRef> s(CFAttributedStringCreateMutableCopy(kCFAllocatorDefault, 0, plain));
    ASSERT_EQ(CFAttributedStringGetLength(s), 6);
    EXPECT_TRUE(CFEqual(CFAttributedStringGetString(s), CFSTR("abcdef")));
    const CFStringRef key = CFSTR("key");
    CFAttributedStringSetAttribute(s, CFRangeMake(0, 6), key, CFSTR("all"));
    CFAttributedStringSetAttribute(s, CFRangeMake(2, 2), key, CFSTR("middle"));
    CFAttributedStringSetAttribute(s, CFRangeMake(5, 4), key, CFSTR("too long"));  // past the end: ignored
    struct {
        CFIndex at;
        const char *value;
        CFIndex start, length;
    } cases[] = {{0, "all", 0, 2}, {1, "all", 0, 2}, {2, "middle", 2, 2}, {3, "middle", 2, 2}, {4, "all", 4, 2}};
    for (const auto &c : cases) {
        CFRange range;
        CFTypeRef value = CFAttributedStringGetAttribute(s, c.at, key, &range);
        EXPECT_EQ(Text(static_cast<CFStringRef>(value)), c.value) << c.at;
        EXPECT_EQ(range.location, c.start) << c.at;
        EXPECT_EQ(range.length, c.length) << c.at;
    }
    EXPECT_EQ(CFAttributedStringGetAttribute(s, 0, CFSTR("other"), nullptr), nullptr);
    EXPECT_EQ(CFAttributedStringGetAttribute(s, 6, key, nullptr), nullptr);
    EXPECT_EQ(CFAttributedStringCreate(kCFAllocatorDefault, nullptr, nullptr), nullptr);
}

TEST(AttributedString, AttributesFromADictionaryCoverTheWholeString) {
    Holder<CTFontRef> font(CTFontCreateWithName(CFSTR("Sans"), 20, nullptr));
    const void *keys[] = {kCTFontAttributeName};
    const void *values[] = {font.get()};
    Holder<CFDictionaryRef> attributes(CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1,
                                                          &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks));
    Holder<CFAttributedStringRef> s(CFAttributedStringCreate(kCFAllocatorDefault, CFSTR("xyz"), attributes));
    CFRange range;
    EXPECT_EQ(CFAttributedStringGetAttribute(s, 1, kCTFontAttributeName, &range), font.get());
    EXPECT_EQ(range.length, 3);
}

TEST(Line, BoundsOfTheInkAndTheAdvance) {
    Holder<CTLineRef> line = MakeLine("HH", "DejaVu Sans", 72);
    ASSERT_TRUE(line);
    const CGRect ink = CTLineGetImageBounds(line, nullptr);
    // Capitals stand on the baseline and are about 0.73 em high in DejaVu Sans.
    EXPECT_NEAR(ink.origin.y, 0, 0.5);
    EXPECT_NEAR(ink.size.height, 52.5, 2);
    EXPECT_GT(ink.size.width, 60);
    CGFloat ascent = 0, descent = 0, leading = -1;
    const double width = CTLineGetTypographicBounds(line, &ascent, &descent, &leading);
    EXPECT_GT(width, ink.size.width);
    EXPECT_GT(ascent, ink.size.height);
    EXPECT_GT(descent, 0);
    EXPECT_EQ(leading, 0);
    // Through a context, the text matrix (and so the text position) applies.
    Bitmap bitmap = Bitmap::Make(4, 4, kCGImageAlphaPremultipliedFirst);
    CGContextSetTextPosition(bitmap.context, 10, 20);
    const CGRect moved = CTLineGetImageBounds(line, bitmap.context);
    EXPECT_NEAR(moved.origin.x, ink.origin.x + 10, 1e-9);
    EXPECT_NEAR(moved.origin.y, ink.origin.y + 20, 1e-9);
}

TEST(Line, EmptyTextHasNoInkAndDrawsNothing) {
    Holder<CTLineRef> line = MakeLine("", "Sans", 24);
    ASSERT_TRUE(line);
    EXPECT_TRUE(CGRectEqualToRect(CTLineGetImageBounds(line, nullptr), CGRectZero));
    Bitmap bitmap = Bitmap::Make(20, 20, kCGImageAlphaPremultipliedFirst);
    CGContextSetTextPosition(bitmap.context, 5, 5);
    CTLineDraw(line, bitmap.context);
    EXPECT_TRUE(InkOf(bitmap).empty());
}

TEST(Line, DrawnInkMatchesItsImageBounds) {
    Holder<CTLineRef> line = MakeLine("Lumora", "Lucida Grande", 30);
    Bitmap bitmap = Bitmap::Make(200, 60, kCGImageAlphaPremultipliedFirst);
    CGContextSetTextPosition(bitmap.context, 12, 15);
    const CGRect bounds = CTLineGetImageBounds(line, bitmap.context);
    CTLineDraw(line, bitmap.context);
    const Ink ink = InkOf(bitmap);
    ASSERT_FALSE(ink.empty());
    EXPECT_NEAR(ink.x0, CGRectGetMinX(bounds), 1.5);
    EXPECT_NEAR(ink.x1, CGRectGetMaxX(bounds), 1.5);
    EXPECT_NEAR(ink.y0, 60 - CGRectGetMaxY(bounds), 1.5);  // memory rows count from the top
    EXPECT_NEAR(ink.y1, 60 - CGRectGetMinY(bounds), 1.5);
}

TEST(Line, CentredInARectangle) {
    // Centred the way the status messages do it: the ink's size centred in the rectangle.
    const CGRect rect = CGRectMake(20, 10, 160, 80);
    Holder<CTLineRef> line = MakeLine("Camera", "Lucida Grande", 24);
    Bitmap bitmap = Bitmap::Make(200, 100, kCGImageAlphaPremultipliedFirst);
    CGContextSetRGBFillColor(bitmap.context, 0.5, 0.5, 1, 1);
    CGContextSetTextMatrix(bitmap.context, CGAffineTransformIdentity);
    const CGRect b = CTLineGetImageBounds(line, bitmap.context);
    const CGFloat x = rect.origin.x + (rect.size.width - b.size.width) * 0.5 - b.origin.x;
    const CGFloat y = rect.origin.y + (rect.size.height - b.size.height) * 0.5 - b.origin.y;
    CGContextSetTextPosition(bitmap.context, x, y);
    CTLineDraw(line, bitmap.context);
    const Ink ink = InkOf(bitmap, 128);
    ASSERT_FALSE(ink.empty());
    EXPECT_NEAR((ink.x0 + ink.x1) / 2.0, CGRectGetMidX(rect), 1.5);
    EXPECT_NEAR((ink.y0 + ink.y1) / 2.0, 100 - CGRectGetMidY(rect), 1.5);
    // The fill colour of the context, fully covered pixels exact.
    bool found = false;
    for (size_t i = 0; i < bitmap.bytes().size() && !found; i += 4)
        found = bitmap.bytes()[i] == 255 && bitmap.bytes()[i + 1] == 128 && bitmap.bytes()[i + 2] == 128 &&
                bitmap.bytes()[i + 3] == 255;
    EXPECT_TRUE(found);
}

TEST(Line, EveryGlyphIsDrawnFarFromTheDeviceOrigin) {
    // Small text well to the right of the bitmap's corner, filled or filled and outlined the
    // way the slider labels draw it: the ink spans the whole line, not its first letters.
    struct {
        const char *text;
        CGFloat size;
        CGFloat x;
        CGTextDrawingMode mode;
    } cases[] = {{"Amount", 9, 82, kCGTextFillStroke},
                 {"Amount   0.50", 9, 68, kCGTextFillStroke},
                 {"Amount   0.50", 9, 68, kCGTextFill},
                 {"Lumora", 12, 140, kCGTextFill},
                 {"a long line of small letters", 6, 40, kCGTextFill}};
    for (const auto &c : cases) {
        Holder<CTLineRef> line = MakeLine(c.text, "DejaVu Sans", c.size);
        Bitmap bitmap = Bitmap::Make(200, 24, kCGImageAlphaPremultipliedFirst);
        CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
        CGContextSetRGBStrokeColor(bitmap.context, 1, 1, 1, 1);
        CGContextSetLineWidth(bitmap.context, c.size / 16);
        CGContextSetTextDrawingMode(bitmap.context, c.mode);
        CGContextSetTextPosition(bitmap.context, c.x, 8);
        const CGRect bounds = CTLineGetImageBounds(line, bitmap.context);
        CTLineDraw(line, bitmap.context);
        const Ink ink = InkOf(bitmap, 64);
        if (ink.empty()) {
            ADD_FAILURE() << c.text << " drew nothing";
            continue;
        }
        EXPECT_NEAR(ink.x0, CGRectGetMinX(bounds), 1.5) << c.text;
        EXPECT_NEAR(ink.x1, CGRectGetMaxX(bounds), 1.5) << c.text;
    }
}

TEST(Line, LineBreaksTakeNoRoomAndDrawNothing) {
    // A label's text ends in a newline: centred on its width, it must sit where the text
    // without it would.
    Holder<CTLineRef> plain = MakeLine("0.50", "DejaVu Sans", 30);
    const double plainWidth = CTLineGetTypographicBounds(plain, nullptr, nullptr, nullptr);
    const CGRect plainInk = CTLineGetImageBounds(plain, nullptr);
    for (const char *text : {"0.50\n", "0.50\r\n", "0.\n50", "0.50\u2028", "0.50\u2029", "0.50\v\f\u0085"}) {
        Holder<CTLineRef> line = MakeLine(text, "DejaVu Sans", 30);
        EXPECT_NEAR(CTLineGetTypographicBounds(line, nullptr, nullptr, nullptr), plainWidth, 1e-6) << text;
        EXPECT_TRUE(CGRectEqualToRect(CTLineGetImageBounds(line, nullptr), plainInk)) << text;
    }
}

TEST(Line, ColourComesFromTheContextTheAttributeOrIsBlack) {
    Holder<CGColorRef> green(CGColorCreateGenericRGB(0, 1, 0, 1));
    struct {
        const char *name;
        bool fromContext;
        CGColorRef color;
        std::vector<uint8_t> expected;
    } cases[] = {{"context", true, green.get(), {255, 255, 0, 0}},
                 {"attribute", false, green.get(), {255, 0, 255, 0}},
                 {"black", false, nullptr, {255, 0, 0, 0}}};
    for (const auto &c : cases) {
        Holder<CTLineRef> line = MakeLine("I", "DejaVu Sans", 60, c.fromContext, c.color);
        Bitmap bitmap = Bitmap::Make(40, 60, kCGImageAlphaPremultipliedFirst);
        CGContextSetRGBFillColor(bitmap.context, 1, 0, 0, 1);
        CGContextSetTextPosition(bitmap.context, 10, 10);
        CTLineDraw(line, bitmap.context);
        const Ink ink = InkOf(bitmap, 255);
        ASSERT_FALSE(ink.empty()) << c.name;
        EXPECT_EQ(bitmap.pixel((ink.x0 + ink.x1) / 2, (ink.y0 + ink.y1) / 2), c.expected) << c.name;
    }
}

TEST(Line, StrokeModeOutlinesInTheStrokeColour) {
    auto draw = [](CGTextDrawingMode mode) {
        Holder<CTLineRef> line = MakeLine("O", "DejaVu Sans", 60);
        Bitmap bitmap = Bitmap::Make(60, 70, kCGImageAlphaPremultipliedFirst);
        CGContextSetRGBFillColor(bitmap.context, 1, 0, 0, 1);
        CGContextSetRGBStrokeColor(bitmap.context, 0, 0, 1, 1);
        CGContextSetTextDrawingMode(bitmap.context, mode);
        CGContextSetTextPosition(bitmap.context, 10, 10);
        CTLineDraw(line, bitmap.context);
        return bitmap;
    };
    const Bitmap filled = draw(kCGTextFill);
    const Bitmap stroked = draw(kCGTextStroke);
    const Bitmap invisible = draw(kCGTextInvisible);
    const Ink fillInk = InkOf(filled, 255), strokeInk = InkOf(stroked, 255);
    ASSERT_FALSE(strokeInk.empty());
    EXPECT_LT(strokeInk.pixels, fillInk.pixels);  // only the outline
    for (size_t i = 0; i < stroked.bytes().size(); i += 4)
        if (stroked.bytes()[i] == 255) {
            ASSERT_EQ(stroked.bytes()[i + 3], 255) << "stroke pixels are blue";
        }
    EXPECT_TRUE(InkOf(invisible).empty());
}

TEST(Line, ClipModeClipsLaterDrawingToTheGlyphs) {
    Holder<CTLineRef> line = MakeLine("I", "DejaVu Sans", 60);
    Bitmap bitmap = Bitmap::Make(40, 60, kCGImageAlphaPremultipliedFirst);
    CGContextSaveGState(bitmap.context);
    CGContextSetTextDrawingMode(bitmap.context, kCGTextClip);
    CGContextSetTextPosition(bitmap.context, 10, 10);
    CTLineDraw(line, bitmap.context);
    EXPECT_TRUE(InkOf(bitmap).empty());
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 40, 60));
    CGContextRestoreGState(bitmap.context);
    const Ink ink = InkOf(bitmap);
    ASSERT_FALSE(ink.empty());
    EXPECT_LT(ink.x1 - ink.x0, 15);  // the stem of the I, not the whole bitmap
}

TEST(Line, CharactersBeyondTheBasicPlaneLoneSurrogatesAndZeros) {
    const UniChar units[] = {'A', 0xD83D, 0xDE00, 'B', 0xDC00, 0, 'C'};
    Holder<CFStringRef> string(CFStringCreateWithCharacters(kCFAllocatorDefault, units, 7));
    Holder<CFAttributedStringRef> plain(CFAttributedStringCreate(kCFAllocatorDefault, string, nullptr));
    Holder<CFMutableAttributedStringRef> styled(CFAttributedStringCreateMutableCopy(kCFAllocatorDefault, 0, plain));
    Holder<CTFontRef> font(CTFontCreateWithName(CFSTR("Sans"), 20, nullptr));
    CFAttributedStringSetAttribute(styled, CFRangeMake(3, 4), kCTFontAttributeName, font);  // from 'B' on
    Holder<CTLineRef> line(CTLineCreateWithAttributedString(styled));
    ASSERT_TRUE(line);
    // Every character is laid out: the zero does not end the text.
    Holder<CTLineRef> justC = MakeLine("C", "Sans", 20);
    EXPECT_GT(CTLineGetImageBounds(line, nullptr).size.width, 4 * CTLineGetImageBounds(justC, nullptr).size.width);
    Bitmap bitmap = Bitmap::Make(120, 30, kCGImageAlphaPremultipliedFirst);
    CGContextSetTextPosition(bitmap.context, 2, 8);
    CTLineDraw(line, bitmap.context);
    EXPECT_FALSE(InkOf(bitmap).empty());
}

}  // namespace
