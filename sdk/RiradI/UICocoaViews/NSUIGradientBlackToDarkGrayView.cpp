#include "NSUIGradientBlackToDarkGrayView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGradientBlackToDarkGrayView);

NSUIGradientBlackToDarkGrayView::NSUIGradientBlackToDarkGrayView(QWidget *parent)
    : NSUIGradientView(gradientStartingColor(), gradientEndingColor(), parent) {}

QColor NSUIGradientBlackToDarkGrayView::gradientStartingColor() { return PlatformColors::black(); }
QColor NSUIGradientBlackToDarkGrayView::gradientEndingColor() { return PlatformColors::darkGray(); }

bool import_NSUIGradientBlackToDarkGrayView() { return true; }
