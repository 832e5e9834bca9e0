#include "PDFSkinView.h"

#include <AppKit/NSGraphicsContext.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QPainter>

NS_REGISTER_CLASS(PDFSkinView);

PDFSkinView::PDFSkinView(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    initView();
}

PDFSkinView::~PDFSkinView() = default;

void PDFSkinView::initView() { mPDFSkinImage.reset(); }

bool PDFSkinView::setResourceImage(const QString &name) {
    mPDFSkinImage = NSImage::imageNamed(name);
    return mPDFSkinImage != nullptr;
}

bool PDFSkinView::setResourceImageFromWindowTitle() {
    QWidget *skinWindow = window();
    if (skinWindow == nullptr || skinWindow->windowTitle().isEmpty()) return false;
    return setResourceImage(skinWindow->windowTitle());
}

void PDFSkinView::awakeFromNib() {
    if (setResourceImageFromWindowTitle()) update();
}

void PDFSkinView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    CGContextRef context = painting.context();
    if (context == nullptr) return;
    CGContextClearRect(context, CGRectMake(0, 0, width(), height()));
    CGImageRef image = nullptr;
    if (mPDFSkinImage && !mPDFSkinImage->representations().empty())
        image = NSBitmapImageRepCreateCGImage(mPDFSkinImage->representations().front());
    if (image != nullptr) {
        CGContextSaveGState(context);
        CGContextSetBlendMode(context, kCGBlendModeNormal);  // source over
        drawSkin(context, image);
        CGContextRestoreGState(context);
        CGImageRelease(image);
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), painting.image());
    painter.end();
    invalidateWindowShadow();
}

void PDFSkinView::drawSkin(CGContextRef context, CGImageRef image) {
    const NSSize size = mPDFSkinImage->size();
    CGContextDrawImage(context, CGRectMake(0, 0, size.width, size.height), image);
}

void PDFSkinView::invalidateWindowShadow() {}

bool import_PDFSkinView() { return true; }
