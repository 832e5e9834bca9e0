// The shared drawing helpers: bundle resources, a PDF page fitted into a rectangle, the grey
// gradient through a mask, and the image holder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>

#include "GraphicsTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

using namespace CoreGraphics;
using coreg_graphics_test::Holder;
using coreg_graphics_test::PaintedBox;
using coreg_graphics_test::PixelAtPoint;

namespace {

Holder<CFURLRef> URLFor(const std::string &path) {
    return Holder<CFURLRef>(CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()), CFIndex(path.size()), false));
}

std::string PathOf(CFURLRef url) {
    char path[PATH_MAX];
    if (!CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof(path))) return "";
    return path;
}

// A 200 x 100 page fitted into a square keeps its aspect ratio and is centred: 100 x 50 in
// (50, 50, 100, 100) is x 50..150, y 75..125; the scale applies before the fit.
TEST(DrawPDFPageInRect, FitsPageOneIntoTheRectangle) {
    lumora::test::ScopedFolder folder("pdf");
    ASSERT_TRUE(lumora::test::WriteBlackPagePDF(folder.file("page.pdf"), 200, 100));
    Holder<CFURLRef> url = URLFor(folder.file("page.pdf"));
    const struct {
        CGRect rect;
        float sx, sy;
    } cases[] = {{CGRectMake(50, 50, 100, 100), 1, 1}, {CGRectMake(25, 25, 50, 50), 2, 2}};
    for (const auto &c : cases) {
        BitmapContext bitmap;
        ASSERT_TRUE(bitmap.Construct(200, 200, kBitmapType_ARGB32));
        DrawPDFPageInRect(bitmap.mContext, url, c.rect, c.sx, c.sy);
        const auto box = PaintedBox(bitmap, [](const uint8_t *p) { return p[0] > 128; });
        EXPECT_NEAR(box.x0, 50, 1) << c.sx;
        EXPECT_NEAR(box.x1, 150, 1) << c.sx;
        EXPECT_NEAR(box.y0, 75, 1) << c.sx;
        EXPECT_NEAR(box.y1, 125, 1) << c.sx;
        EXPECT_EQ(CGAffineTransformIsIdentity(CGContextGetCTM(bitmap.mContext)), true);
    }
}

TEST(DrawPDFPageInRect, NothingWithoutADocument) {
    lumora::test::ScopedFolder folder("pdf");
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("text.pdf"), "not a PDF document"));
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(20, 20, kBitmapType_Gray8));
    DrawPDFPageInRect(bitmap.mContext, nullptr, CGRectMake(0, 0, 20, 20), 1, 1);
    DrawPDFPageInRect(bitmap.mContext, URLFor(folder.file("text.pdf")), CGRectMake(0, 0, 20, 20), 1, 1);
    DrawPDFPageInRect(bitmap.mContext, URLFor(folder.file("missing.pdf")), CGRectMake(0, 0, 20, 20), 1, 1);
    EXPECT_TRUE(PaintedBox(bitmap, [](const uint8_t *p) { return *p != 0; }).empty());
}

// The first grey is at the bottom edge, the second at the top; the mask's 0 samples let the
// shading through and its 255 samples block it.
TEST(DrawLinearGradientShading, FirstGreyAtTheBottomThroughTheMask) {
    BitmapContext mask;  // left half 0 (paints), right half 255 (blocks)
    ASSERT_TRUE(mask.Construct(100, 100, kBitmapType_Gray8));
    for (uint32_t r = 0; r < 100; ++r)
        for (uint32_t c = 50; c < 100; ++c) mask.mImageDataBytes[r * 100 + c] = 255;
    Holder<CGDataProviderRef> provider(
        CGDataProviderCreateWithData(nullptr, mask.mImageDataBytes, mask.mImageDataSize, nullptr));
    Holder<CGImageRef> maskImage(CGImageMaskCreate(100, 100, 8, 8, 100, provider, nullptr, false));
    ASSERT_TRUE(maskImage);

    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(100, 100, kBitmapType_Gray8));
    CGContextSetGrayFillColor(bitmap.mContext, 0.5, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 100, 100));
    const uint8_t grey = *PixelAtPoint(bitmap, 75, 50);
    ASSERT_TRUE(DrawLinearGradientShading(bitmap.mContext, CGRectMake(0, 0, 100, 100), maskImage, 1, 0));
    EXPECT_GT(*PixelAtPoint(bitmap, 10, 0.5), 250);   // bottom: white
    EXPECT_LT(*PixelAtPoint(bitmap, 10, 99.5), 5);    // top: black
    EXPECT_NEAR(*PixelAtPoint(bitmap, 10, 50), 128, 4);
    for (int y = 1; y < 100; ++y) EXPECT_LE(*PixelAtPoint(bitmap, 25, y + 0.5), *PixelAtPoint(bitmap, 25, y - 0.5));
    EXPECT_EQ(*PixelAtPoint(bitmap, 75, 0.5), grey);  // blocked by the mask
    EXPECT_EQ(*PixelAtPoint(bitmap, 75, 99.5), grey);

    // Over a part of the picture: the ramp spans that rectangle only, and nothing else changes.
    ASSERT_TRUE(DrawLinearGradientShading(bitmap.mContext, CGRectMake(0, 20, 100, 40), maskImage, 0.2f, 0.8f));
    EXPECT_NEAR(*PixelAtPoint(bitmap, 10, 20.5), 52, 4);
    EXPECT_NEAR(*PixelAtPoint(bitmap, 10, 59.5), 203, 4);
    EXPECT_GT(*PixelAtPoint(bitmap, 10, 10.5), 200);  // the first ramp below the rectangle
    EXPECT_EQ(*PixelAtPoint(bitmap, 75, 40), grey);

    EXPECT_FALSE(DrawLinearGradientShading(nullptr, CGRectMake(0, 0, 10, 10), maskImage, 1, 0));
    EXPECT_FALSE(DrawLinearGradientShading(bitmap.mContext, CGRectMake(0, 0, 10, 10), nullptr, 1, 0));
}

TEST(MainBundleResources, FoundByNameAndType) {
    // The test program is a bare tool: its folder holds its resources.
    char program[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof(program) - 1);
    ASSERT_GT(length, 0);
    std::string folder(program, size_t(length));
    folder.erase(folder.rfind('/'));
    const std::string name = "CoreGResource" + std::to_string(::getpid());
    const std::string file = folder + "/" + name + ".pdf";
    ASSERT_TRUE(lumora::test::WriteBlackPagePDF(file, 10, 10));

    Holder<CFURLRef> url(CopyMainBundleResourceURL(name.c_str(), CFSTR("pdf")));
    ASSERT_TRUE(url);
    EXPECT_EQ(PathOf(url), file);
    Holder<CFStringRef> nameString(CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8));
    Holder<CFURLRef> again(CopyMainBundleResourceURLCF(nameString, CFSTR("pdf")));
    ASSERT_TRUE(again);
    EXPECT_EQ(PathOf(again), file);
    ::unlink(file.c_str());

    EXPECT_FALSE(Holder<CFURLRef>(CopyMainBundleResourceURL(name.c_str(), CFSTR("pdf"))));
    EXPECT_FALSE(Holder<CFURLRef>(CopyMainBundleResourceURL("MaskLipsInc", CFSTR("pdf"))));
    EXPECT_FALSE(Holder<CFURLRef>(CopyMainBundleResourceURL("\xff\xfe", CFSTR("pdf"))));
    EXPECT_FALSE(Holder<CFURLRef>(CopyMainBundleResourceURL(nullptr, CFSTR("pdf"))));
}

TEST(ImageRefHolder, ReleasesTheImage) {
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(4, 4, kBitmapType_Gray8));
    CGImageRef image = bitmap.ConstructCGImage(nullptr);
    ASSERT_NE(image, nullptr);
    CGImageRetain(image);  // the test's own reference
    {
        ImageRefHolder holder;
        EXPECT_EQ(holder.Image(), nullptr);
        holder.SetImage(image);
        EXPECT_EQ(CFGetRetainCount(image), 2);
        holder.ResetImage();
        EXPECT_EQ(holder.Image(), nullptr);
        EXPECT_EQ(CFGetRetainCount(image), 1);
        holder.SetImage(CGImageRetain(image));
    }
    EXPECT_EQ(CFGetRetainCount(image), 1);
    CGImageRelease(image);
}

}  // namespace
