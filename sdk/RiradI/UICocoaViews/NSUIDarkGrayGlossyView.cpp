#include "NSUIDarkGrayGlossyView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIDarkGrayGlossyView);

NSUIDarkGrayGlossyView::NSUIDarkGrayGlossyView(QWidget *parent)
    : NSUIGlossetteGlossyView(defaultGlossyColor(), parent) {}

QColor NSUIDarkGrayGlossyView::defaultGlossyColor() { return PlatformColors::darkGray(); }

bool import_NSUIDarkGrayGlossyView() { return true; }
