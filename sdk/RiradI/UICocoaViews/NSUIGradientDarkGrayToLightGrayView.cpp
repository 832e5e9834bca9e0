#include "NSUIGradientDarkGrayToLightGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientDarkGrayToLightGrayView);

NSUIGradientDarkGrayToLightGrayView::NSUIGradientDarkGrayToLightGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientDarkGrayToLightGrayView::gradientStartingColor() { return PlatformColors::darkGray(); }
QColor NSUIGradientDarkGrayToLightGrayView::gradientEndingColor() { return PlatformColors::lightGray(); }

bool import_NSUIGradientDarkGrayToLightGrayView() { return true; }
