#include "NSUIMaskImageView.h"

#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPainter>
#include <QThread>

NS_REGISTER_CLASS(NSUIMaskImageView);

NSUIMaskImageView::NSUIMaskImageView(QWidget *parent) : NSUIImageViewParam(parent) {}

NSUIMaskImageView::~NSUIMaskImageView() { CGImageRelease(mMaskImageRef); }

CGImageRef NSUIMaskImageView::maskImageRef() const {
    std::lock_guard<std::recursive_mutex> guard(mMaskImageLock);
    return mMaskImageRef;
}

CGImageRef NSUIMaskImageView::maskImageRefCopy() const {
    std::lock_guard<std::recursive_mutex> guard(mMaskImageLock);
    return CGImageRetain(mMaskImageRef);
}

void NSUIMaskImageView::setMaskImageRef(CGImageRef image) {
    {
        std::lock_guard<std::recursive_mutex> guard(mMaskImageLock);
        if (image != mMaskImageRef) {
            CGImageRetain(image);
            CGImageRelease(mMaskImageRef);
            mMaskImageRef = image;
        }
    }
    maskImageRefChanged();
}

void NSUIMaskImageView::maskImageRefChanged() {
    if (QThread::currentThread() == thread())
        update();
    else
        QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void NSUIMaskImageView::paintEvent(QPaintEvent *event) {
    CGImageRef mask = maskImageRefCopy();
    if (mask == nullptr) {
        NSUIImageViewParam::paintEvent(event);
        return;
    }
    NSViewQuartzPainting painting(this);
    if (CGContextRef context = painting.context()) {
        const CGRect bounds = CGRectMake(0, 0, width(), height());
        CGContextSetRGBFillColor(context, 1, 1, 1, 1);
        CGContextFillRect(context, bounds);
        CGContextSaveGState(context);
        CGContextSetInterpolationQuality(context, kCGInterpolationHigh);
        CGContextSetAlpha(context, 1.0);
        CGContextSetBlendMode(context, kCGBlendModeNormal);
        CGContextDrawImage(context, bounds, mask);
        CGContextRestoreGState(context);
        QPainter painter(this);
        painter.drawImage(QPointF(0, 0), painting.image());
    }
    CGImageRelease(mask);
}

bool import_NSUIMaskImageView() { return import_NSUIImageViewParam(); }
