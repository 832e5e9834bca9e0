// NSUIGrayGlossyView: a glossy backdrop view whose default colour is the platform's grey.
#pragma once

#include <UICocoaViews/NSUIGlossetteGlossyView.h>

class NSUIGrayGlossyView : public NSUIGlossetteGlossyView {
    Q_OBJECT

public:
    explicit NSUIGrayGlossyView(QWidget *parent = nullptr);

    static QColor defaultGlossyColor();
};

bool import_NSUIGrayGlossyView();
