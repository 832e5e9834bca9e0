#include "NSUIGradientLightGrayToGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientLightGrayToGrayView);

NSUIGradientLightGrayToGrayView::NSUIGradientLightGrayToGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientLightGrayToGrayView::gradientStartingColor() { return PlatformColors::lightGray(); }
QColor NSUIGradientLightGrayToGrayView::gradientEndingColor() { return PlatformColors::gray(); }

bool import_NSUIGradientLightGrayToGrayView() { return true; }
