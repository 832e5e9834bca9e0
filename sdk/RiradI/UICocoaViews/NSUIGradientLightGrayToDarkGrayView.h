// NSUIGradientLightGrayToDarkGrayView: a gradient view from the platform's light grey at the bottom to its dark
// grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientLightGrayToDarkGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientLightGrayToDarkGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientLightGrayToDarkGrayView();
