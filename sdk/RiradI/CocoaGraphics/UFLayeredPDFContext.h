// UFLayeredPDFContext: a PDF file written page by page, each piece of drawing made in a layer
// of its own that is then placed over the whole page.
//
// The context writes the file of a file URL with the media box `bounds` (origin 0, 0 and the
// size given). A page is begun (optionally drawing a first layer), and ended (optionally
// drawing a last layer on top); `pageLayerDraw` adds a layer in between. A drawing block gets
// the layer's context and the rectangle to fill (`bounds`). When the PDF context cannot be
// made (a URL that is not a file, a size that gives no page, a file that cannot be written)
// `isValidContext` is false and every page call does nothing; a layer that cannot be made
// skips its block. The file is complete when the object is destroyed.
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreGraphics/CGContext.h>
#include <Foundation/NSObject.h>

#include <QUrl>

#include <functional>

class UFLayeredPDFContext : public NSObject {
    Q_OBJECT
public:
    using DrawBlock = std::function<void(CGContextRef context, CGRect rect)>;

    UFLayeredPDFContext(const QUrl &outputFileURL, CGSize contextSize, QObject *parent = nullptr);
    // auxiliaryPDFInfo: the document information (CGPDFContext keys) or null; not kept.
    UFLayeredPDFContext(const QUrl &outputFileURL, CGSize contextSize, CFDictionaryRef auxiliaryPDFInfo,
                        QObject *parent = nullptr);
    ~UFLayeredPDFContext() override;

    QUrl outputFileURL() const { return mOutputFileURL; }
    // The PDF context, owned by the object; null when it could not be made.
    CGContextRef contextPDF() const { return mContextPDF; }
    // Origin 0, 0 and the context size (kept in single precision).
    CGRect bounds() const;
    bool isValidContext() const { return mContextPDF != nullptr; }

    // Begins a page (page information: CGPDFContext page keys, or null), then draws the
    // block, if any, in a layer.
    void beginPageDraw(const DrawBlock &block);
    void beginPageDrawPageInfo(const DrawBlock &block, CFDictionaryRef pageInfo);
    // Draws the block, if any, in a layer, then ends the page.
    void endPageDraw(const DrawBlock &block);
    // One layer the size of the page: the block draws into it, then it is drawn over the page.
    void pageLayerDraw(const DrawBlock &block);

private:
    QUrl mOutputFileURL;
    CGContextRef mContextPDF = nullptr;
    float mContextWidth = 0;
    float mContextHeight = 0;
};

bool import_UFLayeredPDFContext();
