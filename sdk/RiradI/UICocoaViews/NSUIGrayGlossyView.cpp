#include "NSUIGrayGlossyView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGrayGlossyView);

NSUIGrayGlossyView::NSUIGrayGlossyView(QWidget *parent)
    : NSUIGlossetteGlossyView(defaultGlossyColor(), parent) {}

QColor NSUIGrayGlossyView::defaultGlossyColor() { return PlatformColors::gray(); }

bool import_NSUIGrayGlossyView() { return true; }
