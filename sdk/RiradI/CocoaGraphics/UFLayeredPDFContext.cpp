#include "UFLayeredPDFContext.h"

#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGLayer.h>
#include <CoreGraphics/CGPDFContext.h>

UFLayeredPDFContext::UFLayeredPDFContext(const QUrl &outputFileURL, CGSize contextSize, QObject *parent)
    : UFLayeredPDFContext(outputFileURL, contextSize, nullptr, parent) {}

UFLayeredPDFContext::UFLayeredPDFContext(const QUrl &outputFileURL, CGSize contextSize,
                                         CFDictionaryRef auxiliaryPDFInfo, QObject *parent)
    : NSObject(parent), mOutputFileURL(outputFileURL), mContextWidth(static_cast<float>(contextSize.width)),
      mContextHeight(static_cast<float>(contextSize.height)) {
    if (!outputFileURL.isLocalFile()) return;
    const QByteArray path = outputFileURL.toLocalFile().toUtf8();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.constData()), path.size(), false);
    if (url == nullptr) return;
    const CGRect mediaBox = bounds();
    mContextPDF = CGPDFContextCreateWithURL(url, &mediaBox, auxiliaryPDFInfo);
    CFRelease(url);
}

UFLayeredPDFContext::~UFLayeredPDFContext() {
    if (mContextPDF) CGContextRelease(mContextPDF);
}

CGRect UFLayeredPDFContext::bounds() const { return CGRectMake(0, 0, mContextWidth, mContextHeight); }

void UFLayeredPDFContext::beginPageDraw(const DrawBlock &block) { beginPageDrawPageInfo(block, nullptr); }

void UFLayeredPDFContext::beginPageDrawPageInfo(const DrawBlock &block, CFDictionaryRef pageInfo) {
    if (!isValidContext()) return;
    CGPDFContextBeginPage(mContextPDF, pageInfo);
    if (block) pageLayerDraw(block);
}

void UFLayeredPDFContext::endPageDraw(const DrawBlock &block) {
    if (!isValidContext()) return;
    if (block) pageLayerDraw(block);
    CGPDFContextEndPage(mContextPDF);
}

void UFLayeredPDFContext::pageLayerDraw(const DrawBlock &block) {
    if (!isValidContext()) return;
    const CGRect rect = bounds();
    CGLayerRef layer = CGLayerCreateWithContext(mContextPDF, rect.size, nullptr);
    if (layer == nullptr) return;
    if (block) block(CGLayerGetContext(layer), rect);
    CGContextDrawLayerInRect(mContextPDF, rect, layer);
    CGLayerRelease(layer);
}

bool import_UFLayeredPDFContext() { return true; }
