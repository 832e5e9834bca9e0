#include "NSUIGlossetteGlossyView.h"

#include "GlossyShading.h"
#include "NSUIBlackGlossyView.h"
#include "NSUIBlueGlossyView.h"
#include "NSUIDarkGrayGlossyView.h"
#include "NSUIGrayGlossyView.h"
#include "NSViewQuartzPainting.h"
#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

#include <QPainter>

// Made by name when a .ui file names the class.
NS_REGISTER_CLASS(NSUIGlossetteGlossyView);

NSUIGlossetteGlossyView::NSUIGlossetteGlossyView(QWidget *parent)
    : NSUIGlossetteGlossyView(defaultGlossyColor(), parent) {}

NSUIGlossetteGlossyView::NSUIGlossetteGlossyView(const QColor &color, QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setGlossyColor(color);
}

NSUIGlossetteGlossyView::~NSUIGlossetteGlossyView() = default;

QColor NSUIGlossetteGlossyView::defaultGlossyColor() { return PlatformColors::darkGray(); }

CGRect NSUIGlossetteGlossyView::bounds() const { return CGRectMake(0, 0, width(), height()); }

void NSUIGlossetteGlossyView::drawRect(CGContextRef context, CGRect) {
    if (context == nullptr) return;
    CGContextRetain(context);
    CGContextSaveGState(context);
    FillGlossyShading(context, glossyColor(), bounds(), 0.5, kCGColorSpaceSRGB);
    CGContextRestoreGState(context);
    CGContextRelease(context);
}

void NSUIGlossetteGlossyView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawRect(painting.context(), bounds());
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSUIGlossyViews() {
    return import_GlossyShading() && import_NSUIBlackGlossyView() && import_NSUIDarkGrayGlossyView() &&
           import_NSUIGrayGlossyView() && import_NSUIBlueGlossyView();
}
