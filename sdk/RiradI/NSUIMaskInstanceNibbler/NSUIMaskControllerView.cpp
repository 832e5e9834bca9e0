#include "NSUIMaskControllerView.h"

#include "NSUIMaskController.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QPainter>

#include <cmath>

NS_REGISTER_CLASS(NSUIMaskControllerView);

NSUIMaskControllerView::NSUIMaskControllerView(QWidget *parent) : NSUITargetActionView(parent) {}

NSUIMaskControllerView::~NSUIMaskControllerView() = default;

CGRect NSUIMaskControllerView::bounds() const {
    if (mHasBoundsSize) return CGRectMake(0, 0, mBoundsSize.width, mBoundsSize.height);
    return CGRectMake(0, 0, width(), height());
}

void NSUIMaskControllerView::setBoundsSize(CGSize size) {
    mBoundsSize = size;
    mHasBoundsSize = true;
}

std::vector<CGRect> NSUIMaskControllerView::checkerboardSquares(CGRect rect) {
    std::vector<CGRect> squares;
    const CGFloat height = rect.size.height;
    const CGFloat rowEnd = rect.size.width * 2;
    if (!std::isfinite(height) || !std::isfinite(rowEnd)) return squares;
    for (CGFloat y = 0; y < height; y += kCheckerSquare) {
        for (CGFloat x = 0;; x += kCheckerSquare) {
            squares.push_back(CGRectMake(x, y, kCheckerSquare, kCheckerSquare));
            if (x + kCheckerSquare > rowEnd) break;
        }
    }
    return squares;
}

CGFloat NSUIMaskControllerView::checkerboardGray(CGFloat x, CGFloat y) {
    return std::fmod(x + y, 2 * kCheckerSquare) == 0 ? 0.8 : 0.5;
}

void NSUIMaskControllerView::eraseBackground(CGRect rect, CGContextRef context) {
    if (context == nullptr) return;
    CGContextClearRect(context, rect);
    for (const CGRect &square : checkerboardSquares(rect)) {
        CGContextSetGrayFillColor(context, checkerboardGray(square.origin.x, square.origin.y), 1.0);
        CGContextFillRect(context, square);
    }
}

void NSUIMaskControllerView::drawRect(CGContextRef context, CGRect) {
    const CGRect rect = bounds();
    CGContextSaveGState(context);
    eraseBackground(rect, context);
    CGContextRestoreGState(context);
    CGContextSaveGState(context);
    if (VERIFY_TEXT(maskController() != nullptr, " code : _MaskController"))
        maskController()->drawPreview(context, rect);
    CGContextRestoreGState(context);
}

void NSUIMaskControllerView::maskContextChanged(QObject *sender) {
    adjustBoundsToMatchMaskController();
    update();
    performTargetActionWithObject(sender);
}

void NSUIMaskControllerView::onMaskChanged(QObject *sender) { maskContextChanged(sender); }

void NSUIMaskControllerView::adjustBoundsToMatchMaskController() {
    if (maskController() == nullptr) return;
    const CGSize size = maskController()->maskDimensions();
    const CGRect current = bounds();
    if (size.width != current.size.width || size.height != current.size.height) setBoundsSize(size);
}

void NSUIMaskControllerView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    CGContextRef context = painting.context();
    if (context == nullptr) return;
    const CGRect rect = bounds();
    if (rect.size.width > 0 && rect.size.height > 0)
        CGContextScaleCTM(context, width() / rect.size.width, height() / rect.size.height);
    drawRect(context, rect);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSUIMaskControllerView() { return import_NSUITargetActionView() && import_NSUIMaskController(); }
