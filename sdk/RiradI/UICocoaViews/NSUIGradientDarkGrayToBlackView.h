// NSUIGradientDarkGrayToBlackView: a gradient view from the platform's dark grey at the bottom to its black at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientDarkGrayToBlackView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientDarkGrayToBlackView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientDarkGrayToBlackView();
