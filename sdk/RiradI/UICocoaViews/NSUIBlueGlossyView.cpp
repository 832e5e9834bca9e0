#include "NSUIBlueGlossyView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIBlueGlossyView);

NSUIBlueGlossyView::NSUIBlueGlossyView(QWidget *parent)
    : NSUIGlossetteGlossyView(defaultGlossyColor(), parent) {}

QColor NSUIBlueGlossyView::defaultGlossyColor() { return PlatformColors::blue(); }

bool import_NSUIBlueGlossyView() { return true; }
