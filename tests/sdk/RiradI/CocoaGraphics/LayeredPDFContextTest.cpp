// The layered PDF writer: pages and their layers, read back through the PDF reader.
#include <CocoaGraphics/UFLayeredPDFContext.h>

#include <CoreGraphics/CoreGraphics.h>

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "support/TestFolders.h"

namespace {

CGPDFDocumentRef OpenDocument(const std::string &path) {
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()), CFIndex(path.size()), false);
    CGPDFDocumentRef document = CGPDFDocumentCreateWithURL(url);
    CFRelease(url);
    return document;
}

// The page rendered into A, R, G, B bytes of its size in points.
struct Rendered {
    std::vector<uint8_t> bytes;
    size_t width;
    std::vector<uint8_t> at(size_t x, size_t row) const {
        const uint8_t *p = bytes.data() + (row * width + x) * 4;
        return {p, p + 4};
    }
};

Rendered Render(CGPDFPageRef page, size_t width, size_t height) {
    Rendered rendered{std::vector<uint8_t>(width * height * 4, 0), width};
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(rendered.bytes.data(), width, height, 8, width * 4, space,
                                                 kCGImageAlphaPremultipliedFirst);
    CGColorSpaceRelease(space);
    CGContextDrawPDFPage(context, page);
    CGBitmapContextWillAccessData(context);
    CGContextRelease(context);
    return rendered;
}

UFLayeredPDFContext::DrawBlock FillBlock(CGFloat red, CGFloat green, CGFloat blue, CGFloat widthPart,
                                         std::vector<CGRect> *rects) {
    return [=](CGContextRef context, CGRect rect) {
        rects->push_back(rect);
        CGContextSetRGBFillColor(context, red, green, blue, 1);
        CGContextFillRect(context, CGRectMake(0, 0, rect.size.width * widthPart, rect.size.height));
    };
}

const std::vector<uint8_t> kRed{255, 255, 0, 0}, kGreen{255, 0, 255, 0}, kBlue{255, 0, 0, 255},
    kClear{0, 0, 0, 0};

TEST(UFLayeredPDFContext, PagesOfLayersEachOverTheWholePage) {
    lumora::test::ScopedFolder folder("layeredpdf");
    const std::string path = folder.file("snapshot.pdf");
    std::vector<CGRect> rects;
    {
        UFLayeredPDFContext pdf(QUrl::fromLocalFile(QString::fromStdString(path)), CGSizeMake(160, 80));
        ASSERT_TRUE(pdf.isValidContext());
        EXPECT_NE(pdf.contextPDF(), nullptr);
        EXPECT_EQ(pdf.outputFileURL().toLocalFile().toStdString(), path);
        EXPECT_TRUE(CGRectEqualToRect(pdf.bounds(), CGRectMake(0, 0, 160, 80)));
        // Page 1: red everywhere first, blue over the left three quarters, green over the left
        // half last and on top.
        pdf.beginPageDraw(FillBlock(1, 0, 0, 1, &rects));
        pdf.pageLayerDraw(FillBlock(0, 0, 1, 0.75, &rects));
        pdf.endPageDraw(FillBlock(0, 1, 0, 0.5, &rects));
        // Page 2: begun and ended without blocks.
        pdf.beginPageDrawPageInfo(nullptr, nullptr);
        pdf.endPageDraw(nullptr);
        pdf.pageLayerDraw(nullptr);  // a layer outside a page adds nothing
    }
    ASSERT_EQ(rects.size(), 3u);
    for (const CGRect &rect : rects) EXPECT_TRUE(CGRectEqualToRect(rect, CGRectMake(0, 0, 160, 80)));

    CGPDFDocumentRef document = OpenDocument(path);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(CGPDFDocumentGetNumberOfPages(document), 2u);
    for (size_t number : {1u, 2u})
        EXPECT_TRUE(CGRectEqualToRect(CGPDFPageGetBoxRect(CGPDFDocumentGetPage(document, number), kCGPDFMediaBox),
                                      CGRectMake(0, 0, 160, 80)));
    const Rendered first = Render(CGPDFDocumentGetPage(document, 1), 160, 80);
    EXPECT_EQ(first.at(20, 40), kGreen);
    EXPECT_EQ(first.at(100, 40), kBlue);
    EXPECT_EQ(first.at(140, 40), kRed);
    const Rendered second = Render(CGPDFDocumentGetPage(document, 2), 160, 80);
    EXPECT_EQ(second.at(20, 40), kClear);
    EXPECT_EQ(second.at(140, 70), kClear);
    CGPDFDocumentRelease(document);
}

TEST(UFLayeredPDFContext, WithoutAContextEveryPageCallDoesNothing) {
    lumora::test::ScopedFolder folder("layeredpdf");
    const struct {
        const char *name;
        QUrl url;
        CGSize size;
    } cases[] = {
        {"not a file", QUrl("https://example.invalid/a.pdf"), CGSizeMake(10, 10)},
        {"no such folder", QUrl::fromLocalFile(QString::fromStdString(folder.file("none/a.pdf"))), CGSizeMake(10, 10)},
        {"no size", QUrl::fromLocalFile(QString::fromStdString(folder.file("a.pdf"))), CGSizeMake(0, 10)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        UFLayeredPDFContext pdf(c.url, c.size);
        EXPECT_FALSE(pdf.isValidContext());
        EXPECT_EQ(pdf.contextPDF(), nullptr);
        int called = 0;
        const auto block = [&](CGContextRef, CGRect) { ++called; };
        pdf.beginPageDraw(block);
        pdf.pageLayerDraw(block);
        pdf.endPageDraw(block);
        EXPECT_EQ(called, 0);
    }
    EXPECT_NE(::access(folder.file("a.pdf").c_str(), F_OK), 0);
}

TEST(UFLayeredPDFContext, TheSizeIsKeptInSinglePrecisionWithTheDocumentInformation) {
    lumora::test::ScopedFolder folder("layeredpdf");
    const std::string path = folder.file("info.pdf");
    const void *keys[] = {kCGPDFContextTitle};
    const void *values[] = {CFSTR("Filter")};
    CFDictionaryRef info = CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks);
    {
        UFLayeredPDFContext pdf(QUrl::fromLocalFile(QString::fromStdString(path)), CGSizeMake(100.1, 50), info);
        EXPECT_EQ(pdf.bounds().size.width, CGFloat(100.1f));
        pdf.beginPageDraw(nullptr);
        pdf.endPageDraw(nullptr);
    }
    CFRelease(info);
    CGPDFDocumentRef document = OpenDocument(path);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(CGPDFDocumentGetNumberOfPages(document), 1u);
    EXPECT_NEAR(CGPDFPageGetBoxRect(CGPDFDocumentGetPage(document, 1), kCGPDFMediaBox).size.width, 100.1, 1e-3);
    CGPDFDocumentRelease(document);
    EXPECT_NE(lumora::test::ReadFile(path).find("/Title (Filter)"), std::string::npos);
}

}  // namespace
