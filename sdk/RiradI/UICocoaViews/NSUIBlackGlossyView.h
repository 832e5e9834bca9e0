// NSUIBlackGlossyView: a glossy backdrop view whose default colour is the platform's black.
#pragma once

#include <UICocoaViews/NSUIGlossetteGlossyView.h>

class NSUIBlackGlossyView : public NSUIGlossetteGlossyView {
    Q_OBJECT

public:
    explicit NSUIBlackGlossyView(QWidget *parent = nullptr);

    static QColor defaultGlossyColor();
};

bool import_NSUIBlackGlossyView();
