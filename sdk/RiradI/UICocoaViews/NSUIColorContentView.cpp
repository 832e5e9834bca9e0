#include "NSUIColorContentView.h"

#include "NSUILozengeView.h"
#include "NSViewQuartzPainting.h"

#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <Foundation/NSObjCRuntime.h>

#include <QPainter>

#include <cmath>

// Made by name when a .ui file names the class.
NS_REGISTER_CLASS(NSUIColorContentView);
NS_REGISTER_CLASS(NSUITransparentView);
NS_REGISTER_CLASS(NSUIGreyStrokedRoundRectView);
NS_REGISTER_CLASS(NSUIAccentRoundRectView);
NS_REGISTER_CLASS(NSUIAccentRoundRectViewCorner10);
NS_REGISTER_CLASS(NSUIWhiteOpaqueView);
NS_REGISTER_CLASS(NSUILightGreyOpaqueView);
NS_REGISTER_CLASS(NSUIGreyOpaqueView);
NS_REGISTER_CLASS(NSUIMedGreyOpaqueView);
NS_REGISTER_CLASS(NSUIDarkGreyOpaqueView);
NS_REGISTER_CLASS(NSUIOpaqueBlackView);
NS_REGISTER_CLASS(NSUIBlackRoundRectView);
NS_REGISTER_CLASS(NSUIDarkGreyRoundRectView);
NS_REGISTER_CLASS(NSUIGreyRoundRectView);
NS_REGISTER_CLASS(NSUIWhiteRoundRectView);
NS_REGISTER_CLASS(NSUIBlackRoundRectViewCorner10);
NS_REGISTER_CLASS(NSUIDarkGreyRoundRectViewCorner10);
NS_REGISTER_CLASS(NSUIGreyRoundRectViewCorner10);
NS_REGISTER_CLASS(NSUIMedGreyRoundRectViewCorner10);
NS_REGISTER_CLASS(NSUIWhiteRoundRectViewCorner10);
NS_REGISTER_CLASS(NSUIBlackRoundRectTopViewCorner10);
NS_REGISTER_CLASS(NSUIDarkGreyRoundRectTopViewCorner10);
NS_REGISTER_CLASS(NSUIGreyRoundRectTopViewCorner10);
NS_REGISTER_CLASS(NSUIMedGreyRoundRectTopViewCorner10);
NS_REGISTER_CLASS(NSUIWhiteRoundRectTopViewCorner10);
NS_REGISTER_CLASS(NSUIBlackRoundRectBottomViewCorner10);
NS_REGISTER_CLASS(NSUIDarkGreyRoundRectBottomViewCorner10);
NS_REGISTER_CLASS(NSUIGreyRoundRectBottomViewCorner10);
NS_REGISTER_CLASS(NSUIMedGreyRoundRectBottomViewCorner10);
NS_REGISTER_CLASS(NSUIWhiteRoundRectBottomViewCorner10);
NS_REGISTER_CLASS(NSUIBlackCircleView);
NS_REGISTER_CLASS(NSUIDarkGreyCircleView);
NS_REGISTER_CLASS(NSUIGreyCircleView);

NSUIColorContentView::NSUIColorContentView(QWidget *parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    NSUIColorContentView::initColorContentView();
}

NSUIColorContentView::~NSUIColorContentView() = default;

std::unique_ptr<NSUIColorContentView> NSUIColorContentView::colorViewWith(float red, float green, float blue) {
    auto view = std::make_unique<NSUIColorContentView>();
    view->setColor({red, green, blue});
    return view;
}

void NSUIColorContentView::initColorContentView() { setGreyColor(1.0f, 1.0f); }

void NSUIColorContentView::setColor(color_3D color) {
    mViewColorRGB = color;
    update();
}

void NSUIColorContentView::setGreyColor(float grey) { setColor({grey, grey, grey}); }

void NSUIColorContentView::setOpacity(float opacity) {
    mAlphaOpacity = opacity;
    update();
}

void NSUIColorContentView::setGreyColor(float grey, float opacity) {
    setGreyColor(grey);
    setOpacity(opacity);
}

void NSUIColorContentView::setWhiteOpaque() { setGreyColor(1.0f, 1.0f); }
void NSUIColorContentView::setLightGreyOpaque() { setGreyColor(0.85f, 1.0f); }
void NSUIColorContentView::setGreyOpaque() { setGreyColor(0.75f, 1.0f); }
void NSUIColorContentView::setMedGreyOpaque() { setGreyColor(0.5f, 1.0f); }
void NSUIColorContentView::setDarkGreyOpaque() { setGreyColor(0.25f, 1.0f); }
void NSUIColorContentView::setOpaqueBlack() { setGreyColor(0.05f, 1.0f); }
void NSUIColorContentView::setAccentColors() { setGreyColor(0.5f, 0.25f); }

bool NSUIColorContentView::acceptsFirstMouse(QMouseEvent *) const { return true; }

CGRect NSUIColorContentView::boundsRect() const { return CGRectMake(0, 0, width(), height()); }

void NSUIColorContentView::drawRect(CGContextRef context, CGRect rect) const {
    if (context == nullptr) return;
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, mViewColorRGB.red, mViewColorRGB.green, mViewColorRGB.blue, mAlphaOpacity);
    CGContextFillRect(context, rect);
    CGContextRestoreGState(context);
}

void NSUIColorContentView::drawRect_EllipseRect(CGContextRef context) const {
    if (context == nullptr) return;
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, mViewColorRGB.red, mViewColorRGB.green, mViewColorRGB.blue, mAlphaOpacity);
    CGContextFillEllipseInRect(context, boundsRect());
    CGContextRestoreGState(context);
}

void NSUIColorContentView::drawCircle(CGContextRef context) const {
    if (context == nullptr) return;
    CGContextClearRect(context, boundsRect());
    drawRect_EllipseRect(context);
}

void NSUIColorContentView::drawRect_roundRect(CGContextRef context, float corner, int flags) const {
    if (context == nullptr || !std::isfinite(corner) || corner < 0) return;
    const CGRect b = boundsRect();
    CGRect shape;
    switch (flags) {
    case kRoundAllCorners: shape = b; break;
    case kRoundBottomCorners: shape = CGRectMake(b.origin.x, b.origin.y, b.size.width, 2 * b.size.height); break;
    case kRoundTopCorners:
        shape = CGRectMake(b.origin.x, b.origin.y - b.size.height, b.size.width, 2 * b.size.height);
        break;
    default: return;
    }
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, mViewColorRGB.red, mViewColorRGB.green, mViewColorRGB.blue, mAlphaOpacity);
    CoreGraphics::FillRoundedRectPath(context, float(shape.origin.x), float(shape.origin.y), float(shape.size.width),
                                      float(shape.size.height), 0, corner);
    CGContextRestoreGState(context);
}

void NSUIColorContentView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawRect(painting.context(), boundsRect());
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

// The presets.

NSUIWhiteOpaqueView::NSUIWhiteOpaqueView(QWidget *parent) : NSUIColorContentView(parent) { NSUIWhiteOpaqueView::initColorContentView(); }
void NSUIWhiteOpaqueView::initColorContentView() { setWhiteOpaque(); }

NSUILightGreyOpaqueView::NSUILightGreyOpaqueView(QWidget *parent) : NSUIColorContentView(parent) { NSUILightGreyOpaqueView::initColorContentView(); }
void NSUILightGreyOpaqueView::initColorContentView() { setLightGreyOpaque(); }

NSUIGreyOpaqueView::NSUIGreyOpaqueView(QWidget *parent) : NSUIColorContentView(parent) { NSUIGreyOpaqueView::initColorContentView(); }
void NSUIGreyOpaqueView::initColorContentView() { setGreyOpaque(); }

NSUIMedGreyOpaqueView::NSUIMedGreyOpaqueView(QWidget *parent) : NSUIColorContentView(parent) { NSUIMedGreyOpaqueView::initColorContentView(); }
void NSUIMedGreyOpaqueView::initColorContentView() { setMedGreyOpaque(); }

NSUIDarkGreyOpaqueView::NSUIDarkGreyOpaqueView(QWidget *parent) : NSUIColorContentView(parent) { NSUIDarkGreyOpaqueView::initColorContentView(); }
void NSUIDarkGreyOpaqueView::initColorContentView() { setDarkGreyOpaque(); }

NSUIOpaqueBlackView::NSUIOpaqueBlackView(QWidget *parent) : NSUIColorContentView(parent) { NSUIOpaqueBlackView::initColorContentView(); }
void NSUIOpaqueBlackView::initColorContentView() { setOpaqueBlack(); }


NSUITransparentView::NSUITransparentView(QWidget *parent) : NSUIColorContentView(parent) {
    NSUITransparentView::initColorContentView();
}
void NSUITransparentView::initColorContentView() { setGreyColor(1.0f, 0.0f); }

NSUIGreyStrokedRoundRectView::NSUIGreyStrokedRoundRectView(QWidget *parent) : NSUIColorContentView(parent) {
    NSUIGreyStrokedRoundRectView::initColorContentView();
}
// Only the grey: the opacity of a new view is 0.
void NSUIGreyStrokedRoundRectView::initColorContentView() { setGreyColor(0.75f, 0.0f); }
void NSUIGreyStrokedRoundRectView::drawRect(CGContextRef context, CGRect) const {
    if (context == nullptr) return;
    const color_3D c = viewColorRGB();
    const CGRect b = boundsRect();
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, c.red, c.green, c.blue, alphaOpacity());
    CGContextSetRGBStrokeColor(context, c.red, c.green, c.blue, 1.0);
    CoreGraphics::FillRoundedRectPath(context, float(b.origin.x), float(b.origin.y), float(b.size.width),
                                      float(b.size.height), 3, 0.25f);
    CGContextRestoreGState(context);
}

NSUIAccentRoundRectView::NSUIAccentRoundRectView(QWidget *parent) : NSUIColorContentView(parent) {
    NSUIAccentRoundRectView::initColorContentView();
}
void NSUIAccentRoundRectView::initColorContentView() { setAccentColors(); }
void NSUIAccentRoundRectView::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 0.25f); }

NSUIAccentRoundRectViewCorner10::NSUIAccentRoundRectViewCorner10(QWidget *parent) : NSUIAccentRoundRectView(parent) {}
void NSUIAccentRoundRectViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10); }

// The shapes.

NSUIBlackRoundRectView::NSUIBlackRoundRectView(QWidget *parent) : NSUIOpaqueBlackView(parent) {}
void NSUIBlackRoundRectView::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 0.25f); }

NSUIDarkGreyRoundRectView::NSUIDarkGreyRoundRectView(QWidget *parent) : NSUIDarkGreyOpaqueView(parent) {}
void NSUIDarkGreyRoundRectView::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 0.25f); }

NSUIGreyRoundRectView::NSUIGreyRoundRectView(QWidget *parent) : NSUIGreyOpaqueView(parent) {}
void NSUIGreyRoundRectView::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 0.25f); }

NSUIWhiteRoundRectView::NSUIWhiteRoundRectView(QWidget *parent) : NSUIWhiteOpaqueView(parent) {}
void NSUIWhiteRoundRectView::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 0.25f); }

NSUIBlackRoundRectViewCorner10::NSUIBlackRoundRectViewCorner10(QWidget *parent) : NSUIOpaqueBlackView(parent) {}
void NSUIBlackRoundRectViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10); }

NSUIDarkGreyRoundRectViewCorner10::NSUIDarkGreyRoundRectViewCorner10(QWidget *parent) : NSUIDarkGreyOpaqueView(parent) {}
void NSUIDarkGreyRoundRectViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10); }

NSUIGreyRoundRectViewCorner10::NSUIGreyRoundRectViewCorner10(QWidget *parent) : NSUIGreyOpaqueView(parent) {}
void NSUIGreyRoundRectViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10); }

NSUIMedGreyRoundRectViewCorner10::NSUIMedGreyRoundRectViewCorner10(QWidget *parent) : NSUIMedGreyOpaqueView(parent) {}
void NSUIMedGreyRoundRectViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10); }

NSUIWhiteRoundRectViewCorner10::NSUIWhiteRoundRectViewCorner10(QWidget *parent) : NSUIWhiteOpaqueView(parent) {}
void NSUIWhiteRoundRectViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10); }

NSUIBlackRoundRectTopViewCorner10::NSUIBlackRoundRectTopViewCorner10(QWidget *parent) : NSUIOpaqueBlackView(parent) {}
void NSUIBlackRoundRectTopViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundTopCorners); }

NSUIDarkGreyRoundRectTopViewCorner10::NSUIDarkGreyRoundRectTopViewCorner10(QWidget *parent) : NSUIDarkGreyOpaqueView(parent) {}
void NSUIDarkGreyRoundRectTopViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundTopCorners); }

NSUIGreyRoundRectTopViewCorner10::NSUIGreyRoundRectTopViewCorner10(QWidget *parent) : NSUIGreyOpaqueView(parent) {}
void NSUIGreyRoundRectTopViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundTopCorners); }

NSUIMedGreyRoundRectTopViewCorner10::NSUIMedGreyRoundRectTopViewCorner10(QWidget *parent) : NSUIMedGreyOpaqueView(parent) {}
void NSUIMedGreyRoundRectTopViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundTopCorners); }

NSUIWhiteRoundRectTopViewCorner10::NSUIWhiteRoundRectTopViewCorner10(QWidget *parent) : NSUIWhiteOpaqueView(parent) {}
void NSUIWhiteRoundRectTopViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundTopCorners); }

NSUIBlackRoundRectBottomViewCorner10::NSUIBlackRoundRectBottomViewCorner10(QWidget *parent) : NSUIOpaqueBlackView(parent) {}
void NSUIBlackRoundRectBottomViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundBottomCorners); }

NSUIDarkGreyRoundRectBottomViewCorner10::NSUIDarkGreyRoundRectBottomViewCorner10(QWidget *parent) : NSUIDarkGreyOpaqueView(parent) {}
void NSUIDarkGreyRoundRectBottomViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundBottomCorners); }

NSUIGreyRoundRectBottomViewCorner10::NSUIGreyRoundRectBottomViewCorner10(QWidget *parent) : NSUIGreyOpaqueView(parent) {}
void NSUIGreyRoundRectBottomViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundBottomCorners); }

NSUIMedGreyRoundRectBottomViewCorner10::NSUIMedGreyRoundRectBottomViewCorner10(QWidget *parent) : NSUIMedGreyOpaqueView(parent) {}
void NSUIMedGreyRoundRectBottomViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundBottomCorners); }

NSUIWhiteRoundRectBottomViewCorner10::NSUIWhiteRoundRectBottomViewCorner10(QWidget *parent) : NSUIWhiteOpaqueView(parent) {}
void NSUIWhiteRoundRectBottomViewCorner10::drawRect(CGContextRef context, CGRect) const { drawRect_roundRect(context, 10, kRoundBottomCorners); }

NSUIBlackCircleView::NSUIBlackCircleView(QWidget *parent) : NSUIOpaqueBlackView(parent) {}
void NSUIBlackCircleView::drawRect(CGContextRef context, CGRect) const { drawCircle(context); }

NSUIDarkGreyCircleView::NSUIDarkGreyCircleView(QWidget *parent) : NSUIDarkGreyOpaqueView(parent) {}
void NSUIDarkGreyCircleView::drawRect(CGContextRef context, CGRect) const { drawCircle(context); }

NSUIGreyCircleView::NSUIGreyCircleView(QWidget *parent) : NSUIGreyOpaqueView(parent) {}
void NSUIGreyCircleView::drawRect(CGContextRef context, CGRect) const { drawCircle(context); }

bool import_NSUIColorContentView() { return import_NSUILozengeView(); }
