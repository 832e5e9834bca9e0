// NSUIDarkGrayGlossyView: a glossy backdrop view whose default colour is the platform's dark grey.
#pragma once

#include <UICocoaViews/NSUIGlossetteGlossyView.h>

class NSUIDarkGrayGlossyView : public NSUIGlossetteGlossyView {
    Q_OBJECT

public:
    explicit NSUIDarkGrayGlossyView(QWidget *parent = nullptr);

    static QColor defaultGlossyColor();
};

bool import_NSUIDarkGrayGlossyView();
