#include "NSUIGradientDarkGrayToBlackView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientDarkGrayToBlackView);

NSUIGradientDarkGrayToBlackView::NSUIGradientDarkGrayToBlackView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientDarkGrayToBlackView::gradientStartingColor() { return PlatformColors::darkGray(); }
QColor NSUIGradientDarkGrayToBlackView::gradientEndingColor() { return PlatformColors::black(); }

bool import_NSUIGradientDarkGrayToBlackView() { return true; }
