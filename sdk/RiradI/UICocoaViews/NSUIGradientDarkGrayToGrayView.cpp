#include "NSUIGradientDarkGrayToGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientDarkGrayToGrayView);

NSUIGradientDarkGrayToGrayView::NSUIGradientDarkGrayToGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientDarkGrayToGrayView::gradientStartingColor() { return PlatformColors::darkGray(); }
QColor NSUIGradientDarkGrayToGrayView::gradientEndingColor() { return PlatformColors::gray(); }

bool import_NSUIGradientDarkGrayToGrayView() { return true; }
