// NSUIBlueGlossyView: a glossy backdrop view whose default colour is the platform's blue.
#pragma once

#include <UICocoaViews/NSUIGlossetteGlossyView.h>

class NSUIBlueGlossyView : public NSUIGlossetteGlossyView {
    Q_OBJECT

public:
    explicit NSUIBlueGlossyView(QWidget *parent = nullptr);

    static QColor defaultGlossyColor();
};

bool import_NSUIBlueGlossyView();
