// PDF documents and pages: opening, boxes, the drawing transform and drawing into a bitmap.
#include <gtest/gtest.h>

#include <cairo.h>

#include <climits>
#include <string>

#include "CGTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

// A 200 x 100 point page with one black rectangle in its top-left part: cairo's (10, 10) to
// (50, 30), y down, which is x 10..50, y 70..90 in the page's own y-up coordinates.
std::string MakePDF(const lumora::test::ScopedFolder &folder, const char *name = "page.pdf") {
    const std::string path = folder.file(name);
    EXPECT_TRUE(lumora::test::WritePDF(path, 200, 100, [](cairo_t *cr) {
        cairo_rectangle(cr, 10, 10, 40, 20);
        cairo_fill(cr);
    }));
    return path;
}

Holder<CFURLRef> URLFor(const std::string &path) {
    return Holder<CFURLRef>(CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()), CFIndex(path.size()), false));
}

// The bounding box of the painted pixels (alpha not 0): x0, y0 (memory rows), x1, y1 exclusive.
struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
};

Box Painted(const Bitmap &bitmap) {
    Box box;
    for (size_t y = 0; y < bitmap.height; ++y)
        for (size_t x = 0; x < bitmap.width; ++x)
            if (bitmap.at(x, y)[0] != 0) {
                box.x0 = std::min(box.x0, int(x)), box.y0 = std::min(box.y0, int(y));
                box.x1 = std::max(box.x1, int(x) + 1), box.y1 = std::max(box.y1, int(y) + 1);
            }
    return box;
}

TEST(PDF, DocumentPagesAndBoxes) {
    lumora::test::ScopedFolder folder("pdf");
    Holder<CFURLRef> url = URLFor(MakePDF(folder));
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(url));
    ASSERT_TRUE(document);
    EXPECT_EQ(CFGetTypeID(document), CGPDFDocumentGetTypeID());
    EXPECT_EQ(CGPDFDocumentGetNumberOfPages(document), 1u);
    EXPECT_EQ(CGPDFDocumentGetPage(document, 0), nullptr);
    EXPECT_EQ(CGPDFDocumentGetPage(document, 2), nullptr);
    CGPDFPageRef page = CGPDFDocumentGetPage(document, 1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(CGPDFDocumentGetPage(document, 1), page);  // the same page object each time
    EXPECT_EQ(CGPDFPageGetPageNumber(page), 1u);
    const CGRect box = CGPDFPageGetBoxRect(page, kCGPDFMediaBox);
    EXPECT_TRUE(CGRectEqualToRect(box, CGRectMake(0, 0, 200, 100)));
}

TEST(PDF, UnreadableDocumentsAreRefused) {
    lumora::test::ScopedFolder folder("pdf");
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("junk.pdf"), "%PDF-1.4 this is not a document"));
    Holder<CFURLRef> junk = URLFor(folder.file("junk.pdf"));
    EXPECT_EQ(CGPDFDocumentCreateWithURL(junk), nullptr);
    Holder<CFURLRef> missing = URLFor(folder.file("missing.pdf"));
    EXPECT_EQ(CGPDFDocumentCreateWithURL(missing), nullptr);
    EXPECT_EQ(CGPDFDocumentCreateWithURL(nullptr), nullptr);
}

struct TransformCase {
    const char *name;
    CGRect rect;
    int rotate;
    bool preserve;
    CGRect expected;  // where the 200 x 100 page box lands
};

class DrawingTransform : public testing::TestWithParam<TransformCase> {};

TEST_P(DrawingTransform, MapsTheBoxIntoTheRect) {
    lumora::test::ScopedFolder folder("pdf");
    Holder<CFURLRef> url = URLFor(MakePDF(folder));
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(url));
    CGPDFPageRef page = CGPDFDocumentGetPage(document, 1);
    const TransformCase &c = GetParam();
    const CGAffineTransform t = CGPDFPageGetDrawingTransform(page, kCGPDFMediaBox, c.rect, c.rotate, c.preserve);
    const CGRect landed = CGRectApplyAffineTransform(CGRectMake(0, 0, 200, 100), t);
    EXPECT_NEAR(landed.origin.x, c.expected.origin.x, 1e-9);
    EXPECT_NEAR(landed.origin.y, c.expected.origin.y, 1e-9);
    EXPECT_NEAR(landed.size.width, c.expected.size.width, 1e-9);
    EXPECT_NEAR(landed.size.height, c.expected.size.height, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DrawingTransform,
    testing::Values(TransformCase{"FitsKeepingTheAspect", CGRectMake(0, 0, 100, 100), 0, true, CGRectMake(0, 25, 100, 50)},
                    TransformCase{"CentredNotScaledUp", CGRectMake(10, 20, 400, 300), 0, true,
                                  CGRectMake(110, 120, 200, 100)},
                    TransformCase{"EachDimensionOnItsOwn", CGRectMake(0, 0, 100, 100), 0, false,
                                  CGRectMake(0, 0, 100, 100)},
                    TransformCase{"QuarterTurn", CGRectMake(0, 0, 100, 100), 90, true, CGRectMake(25, 0, 50, 100)},
                    TransformCase{"OddAngleIsNoTurn", CGRectMake(0, 0, 100, 100), 45, true,
                                  CGRectMake(0, 25, 100, 50)}),
    [](const testing::TestParamInfo<TransformCase> &info) { return std::string(info.param.name); });

TEST(PDF, PageDrawnIntoABitmapLandsInTheExpectedRectangle) {
    lumora::test::ScopedFolder folder("pdf");
    Holder<CFURLRef> url = URLFor(MakePDF(folder));
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(url));
    CGPDFPageRef page = CGPDFDocumentGetPage(document, 1);
    Bitmap bitmap = Bitmap::Make(100, 100, kCGImageAlphaPremultipliedFirst);
    CGContextSaveGState(bitmap.context);
    CGContextConcatCTM(bitmap.context,
                       CGPDFPageGetDrawingTransform(page, kCGPDFMediaBox, CGRectMake(0, 0, 100, 100), 0, true));
    CGContextDrawPDFPage(bitmap.context, page);
    CGContextRestoreGState(bitmap.context);
    // The page lands at (0, 25)-(100, 75) at half size; its rectangle x 10..50, y 70..90 at
    // x 5..25, y 60..70, which is memory rows 30..40.
    const Box box = Painted(bitmap);
    EXPECT_NEAR(box.x0, 5, 1);
    EXPECT_NEAR(box.x1, 25, 1);
    EXPECT_NEAR(box.y0, 30, 1);
    EXPECT_NEAR(box.y1, 40, 1);
    EXPECT_EQ(bitmap.pixel(15, 35), (std::vector<uint8_t>{255, 0, 0, 0}));  // opaque black inside
}

TEST(PDF, FromAProviderAndPagesOutliveTheirDocument) {
    lumora::test::ScopedFolder folder("pdf");
    const std::string bytes = lumora::test::ReadFile(MakePDF(folder));
    ASSERT_FALSE(bytes.empty());
    struct Count {
        int releases = 0;
    } count;
    CGDataProviderRef provider = CGDataProviderCreateWithData(
        &count, bytes.data(), bytes.size(), [](void *info, const void *, size_t) { ++static_cast<Count *>(info)->releases; });
    CGPDFDocumentRef document = CGPDFDocumentCreateWithProvider(provider);
    CGDataProviderRelease(provider);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(count.releases, 0);  // the document reads the provider's bytes in place
    CGPDFPageRef page = CGPDFPageRetain(CGPDFDocumentGetPage(document, 1));
    CGPDFDocumentRelease(document);
    Bitmap bitmap = Bitmap::Make(200, 100, kCGImageAlphaPremultipliedFirst);
    CGContextDrawPDFPage(bitmap.context, page);
    const Box box = Painted(bitmap);
    EXPECT_NEAR(box.x0, 10, 1);
    EXPECT_NEAR(box.x1, 50, 1);
    EXPECT_NEAR(box.y0, 10, 1);
    EXPECT_NEAR(box.y1, 30, 1);
    CGPDFPageRelease(page);
    EXPECT_EQ(count.releases, 1);
}

TEST(PDF, DrawnIntoAGreyBitmapWithAlpha) {
    lumora::test::ScopedFolder folder("pdf");
    Holder<CFURLRef> url = URLFor(MakePDF(folder));
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(url));
    Bitmap bitmap = Bitmap::Make(200, 100, kCGImageAlphaNone, true, 255);
    CGContextSetAlpha(bitmap.context, 0.5);
    CGContextDrawPDFPage(bitmap.context, CGPDFDocumentGetPage(document, 1));
    EXPECT_NEAR(bitmap.at(30, 20)[0], 128, 1);  // half black over white
    EXPECT_EQ(bitmap.at(100, 50)[0], 255);
}

}  // namespace
