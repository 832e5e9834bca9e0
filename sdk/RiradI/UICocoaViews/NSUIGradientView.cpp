#include "NSUIGradientView.h"

#include "NSUIGradientBlackToDarkGrayView.h"
#include "NSUIGradientDarkGrayToBlackView.h"
#include "NSUIGradientDarkGrayToGrayView.h"
#include "NSUIGradientDarkGrayToLightGrayView.h"
#include "NSUIGradientGrayToDarkGrayView.h"
#include "NSUIGradientGrayToLightGrayView.h"
#include "NSUIGradientLightGrayToDarkGrayView.h"
#include "NSUIGradientLightGrayToGrayView.h"
#include "NSViewQuartzPainting.h"
#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

#include <QPainter>

NS_REGISTER_CLASS(NSUIGradientView);

NSUIGradientView::NSUIGradientView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

NSUIGradientView::NSUIGradientView(const QColor &start, const QColor &end, QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setDefaults();
    mStartColor = start;
    mEndColor = end;
    initGradient(bounds());
    mBorderSize = CGSizeMake(-1, -1);  // a subclass's border is asked for once it is built
}

NSUIGradientView::~NSUIGradientView() {
    CGGradientRelease(mGradient);
    CGPathRelease(mBorder);
}

QColor NSUIGradientView::gradientStartingColor() { return PlatformColors::gray(); }
QColor NSUIGradientView::gradientEndingColor() { return PlatformColors::darkGray(); }

CGPathRef NSUIGradientView::createBorderForFrameSize(CGSize size) const {
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, 0, 0);
    CGPathAddLineToPoint(path, nullptr, size.width, 0);
    return path;
}

void NSUIGradientView::setDefaults() {
    mBorderColor = PlatformColors::shadow();
    mStartColor = gradientStartingColor();
    mEndColor = gradientEndingColor();
}

void NSUIGradientView::setGradient(CGGradientRef gradient) {
    CGGradientRetain(gradient);
    CGGradientRelease(mGradient);
    mGradient = gradient;
}

void NSUIGradientView::setBorder(CGPathRef border) {
    CGPathRetain(border);
    CGPathRelease(mBorder);
    mBorder = border;
    mBorderSize = CGSizeMake(width(), height());  // kept until the size changes
}

CGPathRef NSUIGradientView::border() const {
    // Qt delivers the resize of a hidden view only when it is shown: the size is checked here.
    const CGSize size = CGSizeMake(width(), height());
    if (!CGSizeEqualToSize(size, mBorderSize)) {
        CGPathRef border = createBorderForFrameSize(size);
        CGPathRelease(mBorder);
        mBorder = border;
        mBorderSize = size;
    }
    return mBorder;
}

void NSUIGradientView::initGradient(CGRect rect) {
    CGGradientRef gradient = nullptr;
    if (mStartColor.isValid() && mEndColor.isValid()) {
        const QColor a = mStartColor.toRgb(), b = mEndColor.toRgb();
        const CGFloat components[8] = {a.redF(), a.greenF(), a.blueF(), a.alphaF(),
                                       b.redF(), b.greenF(), b.blueF(), b.alphaF()};
        CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
        gradient = CGGradientCreateWithColorComponents(space, components, nullptr, 2);
        CGColorSpaceRelease(space);
    }
    setGradient(gradient);
    CGGradientRelease(gradient);
    CGPathRef border = createBorderForFrameSize(rect.size);
    setBorder(border);
    CGPathRelease(border);
    mBorderSize = rect.size;
}

void NSUIGradientView::setStartColor(const QColor &color) {
    mStartColor = color;
    initGradient(bounds());
    update();
}

void NSUIGradientView::setEndColor(const QColor &color) {
    mEndColor = color;
    initGradient(bounds());
    update();
}

CGRect NSUIGradientView::bounds() const { return CGRectMake(0, 0, width(), height()); }

void NSUIGradientView::drawRect(CGContextRef context, CGRect) {
    if (context == nullptr) return;
    const CGRect rect = bounds();
    CGContextSaveGState(context);
    if (mGradient != nullptr) {
        CGContextSaveGState(context);
        CGContextClipToRect(context, rect);
        CGContextDrawLinearGradient(context, mGradient, CGPointMake(CGRectGetMidX(rect), CGRectGetMinY(rect)),
                                    CGPointMake(CGRectGetMidX(rect), CGRectGetMaxY(rect)),
                                    kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
        CGContextRestoreGState(context);
    }
    CGPathRef path = border();
    if (path != nullptr && mBorderColor.isValid()) {
        const QColor c = mBorderColor.toRgb();
        CGContextSetRGBStrokeColor(context, c.redF(), c.greenF(), c.blueF(), c.alphaF());
        CGContextSetLineWidth(context, 1);
        CGContextBeginPath(context);
        CGContextAddPath(context, path);
        CGContextStrokePath(context);
    }
    CGContextRestoreGState(context);
}

void NSUIGradientView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawRect(painting.context(), bounds());
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}


bool import_NSUIGradientView() { return true; }

bool import_NSUIGradientViews() {
    return import_NSUIGradientView() && import_NSUIGradientLightGrayToDarkGrayView() &&
           import_NSUIGradientDarkGrayToLightGrayView() &&
           import_NSUIGradientGrayToDarkGrayView() &&
           import_NSUIGradientDarkGrayToGrayView() &&
           import_NSUIGradientLightGrayToGrayView() &&
           import_NSUIGradientGrayToLightGrayView() &&
           import_NSUIGradientBlackToDarkGrayView() &&
           import_NSUIGradientDarkGrayToBlackView();
}
