// PDF contexts and layers: files written page by page and read back through the PDF reader.
#include <gtest/gtest.h>

#include <CoreGraphics/CoreGraphics.h>

#include <cmath>
#include <string>

#include "CGTestSupport.h"
#include "support/TestFolders.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

Holder<CFURLRef> URLFor(const std::string &path) {
    return Holder<CFURLRef>(CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()), CFIndex(path.size()), false));
}

void Fill(CGContextRef c, CGRect rect, CGFloat r, CGFloat g, CGFloat b) {
    CGContextSetRGBFillColor(c, r, g, b, 1);
    CGContextFillRect(c, rect);
}

// A layer of 50 x 20 whose top half (y 10..20) is blue.
Holder<CGLayerRef> BlueTopLayer(CGContextRef context) {
    Holder<CGLayerRef> layer(CGLayerCreateWithContext(context, CGSizeMake(50, 20), nullptr));
    if (layer) Fill(CGLayerGetContext(layer), CGRectMake(0, 10, 50, 10), 0, 0, 1);
    return layer;
}

// ARGB bytes of a rendered pixel; row counted from the top.
std::vector<uint8_t> Pixel(const Bitmap &bitmap, size_t x, size_t row) { return bitmap.pixel(x, row); }
const std::vector<uint8_t> kRed{255, 255, 0, 0}, kBlue{255, 0, 0, 255}, kClear{0, 0, 0, 0};

TEST(PDFContext, PagesAndLayersReadBack) {
    lumora::test::ScopedFolder folder("pdfcontext");
    const std::string path = folder.file("layers.pdf");
    {
        const CGRect box = CGRectMake(0, 0, 200, 100);
        Holder<CGContextRef> pdf(CGPDFContextCreateWithURL(URLFor(path), &box, nullptr));
        ASSERT_TRUE(pdf);
        Fill(pdf, CGRectMake(0, 0, 200, 100), 0, 1, 0);  // outside a page: dropped
        CGPDFContextBeginPage(pdf, nullptr);
        Fill(pdf, CGRectMake(0, 0, 100, 100), 1, 0, 0);
        Holder<CGLayerRef> layer = BlueTopLayer(pdf);
        ASSERT_TRUE(layer);
        EXPECT_TRUE(CGSizeEqualToSize(CGLayerGetSize(layer), CGSizeMake(50, 20)));
        EXPECT_EQ(CGBitmapContextGetData(CGLayerGetContext(layer)), nullptr);
        CGContextDrawLayerInRect(pdf, CGRectMake(100, 0, 100, 100), layer);  // scaled 2 x 5
        CGPDFContextEndPage(pdf);
        CGPDFContextBeginPage(pdf, nullptr);  // an empty page
        CGPDFContextBeginPage(pdf, nullptr);  // ends the one before
        CGPDFContextEndPage(pdf);
        EXPECT_EQ(CGBitmapContextGetData(pdf), nullptr);
        // No bitmap behind it.
        EXPECT_EQ(CGBitmapContextGetWidth(pdf), 0u);
        EXPECT_EQ(CGBitmapContextGetBytesPerRow(pdf), 0u);
        EXPECT_EQ(CGBitmapContextGetBitsPerPixel(pdf), 0u);
        EXPECT_EQ(CGBitmapContextGetColorSpace(pdf), nullptr);
        EXPECT_EQ(CGBitmapContextCreateImage(pdf), nullptr);
    }  // the last release completes the file

    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(URLFor(path)));
    ASSERT_TRUE(document);
    ASSERT_EQ(CGPDFDocumentGetNumberOfPages(document), 3u);
    for (size_t number = 1; number <= 3; ++number)
        EXPECT_TRUE(CGRectEqualToRect(CGPDFPageGetBoxRect(CGPDFDocumentGetPage(document, number), kCGPDFMediaBox),
                                      CGRectMake(0, 0, 200, 100)));
    Bitmap first = Bitmap::Make(200, 100, kCGImageAlphaPremultipliedFirst);
    CGContextDrawPDFPage(first.context, CGPDFDocumentGetPage(document, 1));
    EXPECT_EQ(Pixel(first, 50, 50), kRed);
    EXPECT_EQ(Pixel(first, 150, 20), kBlue);   // the layer's top half at the top
    EXPECT_EQ(Pixel(first, 150, 80), kClear);  // and nothing under it
    Bitmap second = Bitmap::Make(200, 100, kCGImageAlphaPremultipliedFirst);
    CGContextDrawPDFPage(second.context, CGPDFDocumentGetPage(document, 2));
    EXPECT_EQ(Pixel(second, 50, 50), kClear);  // the drawing before the first page went nowhere
}

TEST(PDFContext, DocumentInformationAndClosing) {
    lumora::test::ScopedFolder folder("pdfcontext");
    const std::string path = folder.file("closed.pdf");
    const void *keys[] = {kCGPDFContextTitle};
    const void *values[] = {CFSTR("Filter curve")};
    Holder<CFDictionaryRef> info(CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                                    &kCFTypeDictionaryValueCallBacks));
    Holder<CGContextRef> pdf(CGPDFContextCreateWithURL(URLFor(path), nullptr, info));
    ASSERT_TRUE(pdf);
    CGPDFContextBeginPage(pdf, nullptr);
    CGPDFContextClose(pdf);  // ends the page and completes the file while the context lives
    CGPDFContextClose(pdf);
    CGPDFContextBeginPage(pdf, nullptr);  // too late: dropped
    Fill(pdf, CGRectMake(0, 0, 10, 10), 1, 0, 0);
    CGPDFContextEndPage(pdf);
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(URLFor(path)));
    ASSERT_TRUE(document);
    EXPECT_EQ(CGPDFDocumentGetNumberOfPages(document), 1u);
    EXPECT_TRUE(CGRectEqualToRect(CGPDFPageGetBoxRect(CGPDFDocumentGetPage(document, 1), kCGPDFMediaBox),
                                  CGRectMake(0, 0, 612, 792)));
    EXPECT_NE(lumora::test::ReadFile(path).find("/Title (Filter curve)"), std::string::npos);
}

TEST(PDFContext, AContextNeverGivenAPageWritesOneEmptyPage) {
    lumora::test::ScopedFolder folder("pdfcontext");
    const std::string path = folder.file("nopage.pdf");
    const CGRect box = CGRectMake(0, 0, 30, 40);
    CGContextRelease(CGPDFContextCreateWithURL(URLFor(path), &box, nullptr));
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(URLFor(path)));
    ASSERT_TRUE(document);
    EXPECT_EQ(CGPDFDocumentGetNumberOfPages(document), 1u);
}

TEST(PDFContext, RefusesWhatCannotBeWritten) {
    lumora::test::ScopedFolder folder("pdfcontext");
    const CGRect box = CGRectMake(0, 0, 100, 100);
    EXPECT_EQ(CGPDFContextCreateWithURL(nullptr, &box, nullptr), nullptr);
    EXPECT_EQ(CGPDFContextCreateWithURL(URLFor(folder.file("no/such/folder.pdf")), &box, nullptr), nullptr);
    for (const CGRect bad : {CGRectMake(0, 0, 0, 100), CGRectMake(0, 0, 100, -0.0), CGRectMake(0, 0, 1e9, 10),
                             CGRectMake(0, 0, INFINITY, 10)})
        EXPECT_EQ(CGPDFContextCreateWithURL(URLFor(folder.file("bad.pdf")), &bad, nullptr), nullptr);
    // Calls on a null context or one that is no PDF context do nothing.
    CGPDFContextBeginPage(nullptr, nullptr);
    CGPDFContextEndPage(nullptr);
    CGPDFContextClose(nullptr);
    Bitmap bitmap = Bitmap::Make(4, 4, kCGImageAlphaPremultipliedFirst);
    CGPDFContextBeginPage(bitmap.context, nullptr);
    CGPDFContextClose(bitmap.context);
    EXPECT_EQ(CGLayerCreateWithContext(nullptr, CGSizeMake(1, 1), nullptr), nullptr);
    EXPECT_EQ(CGLayerCreateWithContext(bitmap.context, CGSizeMake(0, 1), nullptr), nullptr);
    EXPECT_EQ(CGLayerCreateWithContext(bitmap.context, CGSizeMake(NAN, 1), nullptr), nullptr);
}

TEST(CGLayer, DrawsScaledIntoBitmapsAndNotIntoItself) {
    Bitmap bitmap = Bitmap::Make(100, 40, kCGImageAlphaPremultipliedFirst);
    Holder<CGLayerRef> layer = BlueTopLayer(bitmap.context);
    ASSERT_TRUE(layer);
    CGContextDrawLayerInRect(CGLayerGetContext(layer), CGRectMake(0, 0, 50, 20), layer);  // ignored
    CGContextDrawLayerInRect(bitmap.context, CGRectMake(0, 0, 100, 40), layer);
    EXPECT_EQ(Pixel(bitmap, 50, 5), kBlue);
    EXPECT_EQ(Pixel(bitmap, 50, 35), kClear);
    // Drawn again after more drawing: the layer keeps what it has and gains the new.
    Fill(CGLayerGetContext(layer), CGRectMake(0, 0, 25, 10), 1, 0, 0);
    CGContextDrawLayerInRect(bitmap.context, CGRectMake(0, 0, 100, 40), layer);
    EXPECT_EQ(Pixel(bitmap, 10, 35), kRed);
    EXPECT_EQ(Pixel(bitmap, 60, 35), kClear);
    EXPECT_EQ(Pixel(bitmap, 10, 5), kBlue);
}

}  // namespace
