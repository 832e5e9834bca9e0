#include "NSUIGradientGrayToLightGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientGrayToLightGrayView);

NSUIGradientGrayToLightGrayView::NSUIGradientGrayToLightGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientGrayToLightGrayView::gradientStartingColor() { return PlatformColors::gray(); }
QColor NSUIGradientGrayToLightGrayView::gradientEndingColor() { return PlatformColors::lightGray(); }

bool import_NSUIGradientGrayToLightGrayView() { return true; }
