// Two threads drawing into their own contexts at once get what one thread gets alone (as
// the composite mask paints its shape and screen masks on two threads).
#include <gtest/gtest.h>

#include <CoreGraphics/CoreText.h>
#include <cairo.h>

#include <thread>

#include "CGTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

void MakePDF(const std::string &path) {
    ASSERT_TRUE(lumora::test::WritePDF(path, 64, 64, [](cairo_t *cr) {
        cairo_arc(cr, 32, 32, 20, 0, 6.3);
        cairo_fill(cr);
    }));
}

std::vector<uint8_t> Paint(int variant, const std::string &pdfPath) {
    Bitmap bitmap = Bitmap::Make(64, 64, kCGImageAlphaNone, true, 255);
    CGContextRef c = bitmap.context;
    CGContextSetGrayFillColor(c, 0, 1);
    CGContextFillEllipseInRect(c, CGRectMake(4 + variant, 4, 40, 30));
    CGContextSetGrayStrokeColor(c, 0.5, 1);
    CGContextSetLineWidth(c, 3);
    CGContextStrokeRect(c, CGRectMake(10, 10, 30 + variant, 40));

    Holder<CFURLRef> url(CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(pdfPath.data()), CFIndex(pdfPath.size()), false));
    Holder<CGPDFDocumentRef> document(CGPDFDocumentCreateWithURL(url));
    CGContextSetAlpha(c, 0.5);
    CGContextDrawPDFPage(c, CGPDFDocumentGetPage(document, 1));
    CGContextSetAlpha(c, 1);

    Holder<CFStringRef> text(CFStringCreateWithCString(kCFAllocatorDefault, variant ? "Two" : "One", kCFStringEncodingUTF8));
    Holder<CFAttributedStringRef> plain(CFAttributedStringCreate(kCFAllocatorDefault, text, nullptr));
    Holder<CTLineRef> line(CTLineCreateWithAttributedString(plain));
    CGContextSetTextPosition(c, 8, 40);
    CTLineDraw(line, c);
    return bitmap.bytes();
}

TEST(Threads, ContextsDrawnAtOnceMatchContextsDrawnAlone) {
    lumora::test::ScopedFolder folder("threads");
    const std::string pdf = folder.file("disc.pdf");
    MakePDF(pdf);
    const std::vector<uint8_t> alone[2] = {Paint(0, pdf), Paint(1, pdf)};
    ASSERT_NE(alone[0], alone[1]);
    std::vector<uint8_t> together[2][10];
    std::thread second([&] {
        for (auto &result : together[1]) result = Paint(1, pdf);
    });
    for (auto &result : together[0]) result = Paint(0, pdf);
    second.join();
    for (int v = 0; v < 2; ++v)
        for (const auto &result : together[v]) EXPECT_EQ(result, alone[v]) << "variant " << v;
}

}  // namespace
