#include "NSUIGradientGrayToDarkGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientGrayToDarkGrayView);

NSUIGradientGrayToDarkGrayView::NSUIGradientGrayToDarkGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientGrayToDarkGrayView::gradientStartingColor() { return PlatformColors::gray(); }
QColor NSUIGradientGrayToDarkGrayView::gradientEndingColor() { return PlatformColors::darkGray(); }

bool import_NSUIGradientGrayToDarkGrayView() { return true; }
