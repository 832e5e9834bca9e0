// Text messages: the defaults, the styled string, and a line drawn centred in a rectangle,
// measured on the pixels.
#include <gtest/gtest.h>

#include <cmath>

#include <CoreFoundation/CFNumber.h>
#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_CoreTextMessage.h>

#include "GraphicsTestSupport.h"

using namespace CoreGraphics;
using coreg_graphics_test::Holder;
using coreg_graphics_test::PaintedBox;

namespace {

bool Same(const color_4D &a, const color_4D &b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

TEST(CoreTextMessage, Defaults) {
    CoreTextMessage message;
    ASSERT_NE(message.FontName(), nullptr);
    EXPECT_TRUE(CFEqual(message.FontName(), CFSTR("Lucida Grande")));
    EXPECT_EQ(message.mFontSize, 72.0f);
    EXPECT_TRUE(Same(message.mFontStrokeColor, color_4D{0, 0, 0, 1}));
    EXPECT_TRUE(Same(message.mFontFillColor, color_4D{0.5f, 0.5f, 1, 0.5f}));
    EXPECT_TRUE(Same(message.mBackgroundColor, color_4D{1, 1, 1, 1}));
    EXPECT_EQ(message.mTextDrawMode, 0);

    Holder<CFStringRef> name(CFStringCreateWithCString(nullptr, "DejaVu Sans", kCFStringEncodingUTF8));
    const CFIndex references = CFGetRetainCount(name);
    message.SetFontName(name);
    EXPECT_EQ(CFGetRetainCount(name), references + 1);
    message.SetFontName(nullptr);
    EXPECT_EQ(CFGetRetainCount(name), references);
}

TEST(CoreTextMessage, StyleCoversTheWholeText) {
    CoreTextMessage message;
    message.mFontSize = 30;
    Holder<CFAttributedStringRef> text(CFAttributedStringCreate(nullptr, CFSTR("Status"), nullptr));
    Holder<CFMutableAttributedStringRef> styled(message.TextByAddingStyleAttributes(text));
    ASSERT_TRUE(styled);
    EXPECT_TRUE(CFEqual(CFAttributedStringGetString(styled), CFSTR("Status")));
    CFRange range;
    const auto font = static_cast<CTFontRef>(CFAttributedStringGetAttribute(styled, 0, kCTFontAttributeName, &range));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(CTFontGetSize(font), 30);
    EXPECT_EQ(range.length, 6);
    EXPECT_EQ(CFAttributedStringGetAttribute(styled, 5, kCTForegroundColorFromContextAttributeName, &range),
              kCFBooleanTrue);
    EXPECT_EQ(range.length, 6);
    EXPECT_EQ(message.TextByAddingStyleAttributes(nullptr), nullptr);
}

class CenteredText : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mBitmap.Construct(400, 200, kBitmapType_ARGB32));
        mMessage.mFontSize = 48;
        mMessage.mFontFillColor = color_4D{1, 0, 0, 1};
        mMessage.mFontStrokeColor = color_4D{0, 0, 1, 1};
    }
    // The ink bounds the layer reports for the text in the message's font.
    CGRect InkBounds(const char *text) {
        Holder<CFStringRef> string(CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8));
        Holder<CFAttributedStringRef> plain(CFAttributedStringCreate(nullptr, string, nullptr));
        Holder<CFMutableAttributedStringRef> styled(mMessage.TextByAddingStyleAttributes(plain));
        Holder<CTLineRef> line(CTLineCreateWithAttributedString(styled));
        CGContextSetTextMatrix(mBitmap.mContext, CGAffineTransformIdentity);
        return CTLineGetImageBounds(line, mBitmap.mContext);
    }
    BitmapContext mBitmap;
    CoreTextMessage mMessage;
};

// The ink box's size is centred: its lower-left corner lands at the rectangle's centre minus
// half the ink size, moved by the ink's own offset from the line's origin.
TEST_F(CenteredText, InkLandsCentredInTheRectangle) {
    for (const CGRect rect : {CGRectMake(0, 0, 400, 200), CGRectMake(60, 30, 200, 120)}) {
        CGContextClearRect(mBitmap.mContext, CGRectMake(0, 0, 400, 200));
        mMessage.DrawTextInContextCenteredInRect(mBitmap.mContext, rect, "HIH");
        const CGRect ink = InkBounds("HIH");
        ASSERT_GT(ink.size.width, 40);
        const auto box = PaintedBox(mBitmap, [](const uint8_t *p) { return p[0] > 64; });
        ASSERT_FALSE(box.empty());
        const double left = rect.origin.x + (rect.size.width - ink.size.width) / 2 + ink.origin.x;
        const double bottom = rect.origin.y + (rect.size.height - ink.size.height) / 2 + ink.origin.y;
        EXPECT_NEAR(box.x0, left, 2);
        EXPECT_NEAR(box.x1, left + ink.size.width, 2);
        EXPECT_NEAR(box.y0, bottom, 2);
        EXPECT_NEAR(box.y1, bottom + ink.size.height, 2);
        // Capitals sit on the baseline, so the ink is centred up to its side bearing.
        EXPECT_NEAR(box.midX(), rect.origin.x + rect.size.width / 2, std::fabs(ink.origin.x) + 2);
        EXPECT_NEAR(box.midY(), rect.origin.y + rect.size.height / 2, std::fabs(ink.origin.y) + 2);
        // Fill mode: the fill colour only.
        const auto blue = PaintedBox(mBitmap, [](const uint8_t *p) { return p[3] > 64; });
        EXPECT_TRUE(blue.empty());
    }
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(mBitmap.mContext)));
}

TEST_F(CenteredText, StrokeModeOutlinesInTheStrokeColour) {
    mMessage.mTextDrawMode = kCGTextStroke;
    mMessage.DrawTextInContextCenteredInRect(mBitmap.mContext, CGRectMake(0, 0, 400, 200), "HIH");
    EXPECT_FALSE(PaintedBox(mBitmap, [](const uint8_t *p) { return p[3] > 128; }).empty());
    EXPECT_TRUE(PaintedBox(mBitmap, [](const uint8_t *p) { return p[1] > 64; }).empty());
}

// Empty, missing or malformed text draws nothing and leaves the state as it was.
TEST_F(CenteredText, NothingToDraw) {
    CGContextSetGrayFillColor(mBitmap.mContext, 1, 1);
    for (const char *text : {"", static_cast<const char *>(nullptr), "bad \xff\xfe text"})
        mMessage.DrawTextInContextCenteredInRect(mBitmap.mContext, CGRectMake(0, 0, 400, 200), text);
    mMessage.DrawTextInContextCenteredInRect(nullptr, CGRectMake(0, 0, 400, 200), "HIH");
    EXPECT_TRUE(PaintedBox(mBitmap, [](const uint8_t *p) { return p[0] != 0; }).empty());
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(mBitmap.mContext)));
    CGContextFillRect(mBitmap.mContext, CGRectMake(0, 0, 1, 1));  // still the caller's colour
    const uint8_t *p = coreg_graphics_test::PixelAtPoint(mBitmap, 0, 0);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{255, 255, 255, 255}));
}

TEST_F(CenteredText, MissingFontFallsBackToTheDefaultFamily) {
    mMessage.SetFontName(nullptr);
    mMessage.DrawTextInContextCenteredInRect(mBitmap.mContext, CGRectMake(0, 0, 400, 200), "HIH");
    EXPECT_FALSE(PaintedBox(mBitmap, [](const uint8_t *p) { return p[0] > 64; }).empty());
}

}  // namespace
