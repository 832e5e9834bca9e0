#include "NSUIBlackGlossyView.h"

#include "PlatformColors.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIBlackGlossyView);

NSUIBlackGlossyView::NSUIBlackGlossyView(QWidget *parent)
    : NSUIGlossetteGlossyView(defaultGlossyColor(), parent) {}

QColor NSUIBlackGlossyView::defaultGlossyColor() { return PlatformColors::black(); }

bool import_NSUIBlackGlossyView() { return true; }
