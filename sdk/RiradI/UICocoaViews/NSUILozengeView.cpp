#include "NSUILozengeView.h"

#include <Foundation/NSObjCRuntime.h>

#include <cmath>

NS_REGISTER_CLASS(NSUIBaseLozengeView);
NS_REGISTER_CLASS(NSUIGreyLozengeView);
NS_REGISTER_CLASS(NSUIMedGreyLozengeView);
NS_REGISTER_CLASS(NSUIDarkGreyLozengeView);
NS_REGISTER_CLASS(NSUIBlackLozengeView);
NS_REGISTER_CLASS(NSUIAccentLozengeView);

void DrawLozenge(CGContextRef context, CGFloat x, CGFloat y, CGFloat width, CGFloat height, float red, float green,
                 float blue, float alpha) {
    if (context == nullptr) return;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height)) return;
    const CGRect r = CGRectMake(x, y + 1, width, height - 2);
    const CGFloat w = r.size.width, h = r.size.height;
    CGContextSaveGState(context);
    CGContextSetRGBStrokeColor(context, red, green, blue, alpha);
    CGContextSetLineCap(context, kCGLineCapRound);
    if (w > h) {
        CGContextSetLineWidth(context, h);
        CGContextBeginPath(context);
        CGContextMoveToPoint(context, r.origin.x + h / 2, r.origin.y + h / 2);
        CGContextAddLineToPoint(context, r.origin.x + h / 2 + (w - h), r.origin.y + h / 2);
        CGContextStrokePath(context);
    } else if (h > w) {
        CGContextSetLineWidth(context, w);
        CGContextBeginPath(context);
        CGContextMoveToPoint(context, r.origin.x + w / 2, r.origin.y + w / 2);
        CGContextAddLineToPoint(context, r.origin.x + w / 2, r.origin.y + w / 2 + (h - w));
        CGContextStrokePath(context);
    } else {
        CGContextSetRGBFillColor(context, red, green, blue, alpha);
        CGContextFillEllipseInRect(context, r);
    }
    CGContextRestoreGState(context);
}

NSUIBaseLozengeView::NSUIBaseLozengeView(QWidget *parent) : NSUIColorContentView(parent) {
    NSUIBaseLozengeView::initColorContentView();
}
void NSUIBaseLozengeView::initColorContentView() { setGreyColor(0.75f, 0.8f); }
void NSUIBaseLozengeView::drawRect(CGContextRef context, CGRect) const {
    const CGRect b = boundsRect();
    const color_3D c = viewColorRGB();
    DrawLozenge(context, b.origin.x, b.origin.y, b.size.width, b.size.height, c.red, c.green, c.blue, alphaOpacity());
}

NSUIGreyLozengeView::NSUIGreyLozengeView(QWidget *parent) : NSUIBaseLozengeView(parent) {
    NSUIGreyLozengeView::initColorContentView();
}
void NSUIGreyLozengeView::initColorContentView() { setGreyColor(0.75f, 0.8f); }

NSUIMedGreyLozengeView::NSUIMedGreyLozengeView(QWidget *parent) : NSUIBaseLozengeView(parent) {
    NSUIMedGreyLozengeView::initColorContentView();
}
void NSUIMedGreyLozengeView::initColorContentView() { setGreyColor(0.5f, 0.75f); }

NSUIDarkGreyLozengeView::NSUIDarkGreyLozengeView(QWidget *parent) : NSUIBaseLozengeView(parent) {
    NSUIDarkGreyLozengeView::initColorContentView();
}
void NSUIDarkGreyLozengeView::initColorContentView() { setGreyColor(0.25f, 0.75f); }

NSUIBlackLozengeView::NSUIBlackLozengeView(QWidget *parent) : NSUIBaseLozengeView(parent) {
    NSUIBlackLozengeView::initColorContentView();
}
void NSUIBlackLozengeView::initColorContentView() { setGreyColor(0.05f, 0.75f); }

NSUIAccentLozengeView::NSUIAccentLozengeView(QWidget *parent) : NSUIBaseLozengeView(parent) {
    NSUIAccentLozengeView::initColorContentView();
}
void NSUIAccentLozengeView::initColorContentView() { setAccentColors(); }

bool import_NSUILozengeView() { return true; }
