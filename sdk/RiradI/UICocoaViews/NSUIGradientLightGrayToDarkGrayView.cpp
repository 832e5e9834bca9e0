#include "NSUIGradientLightGrayToDarkGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientLightGrayToDarkGrayView);

NSUIGradientLightGrayToDarkGrayView::NSUIGradientLightGrayToDarkGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientLightGrayToDarkGrayView::gradientStartingColor() { return PlatformColors::lightGray(); }
QColor NSUIGradientLightGrayToDarkGrayView::gradientEndingColor() { return PlatformColors::darkGray(); }

bool import_NSUIGradientLightGrayToDarkGrayView() { return true; }
