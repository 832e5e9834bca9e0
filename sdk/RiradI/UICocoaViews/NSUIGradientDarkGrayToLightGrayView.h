// NSUIGradientDarkGrayToLightGrayView: a gradient view from the platform's dark grey at the bottom to its light
// grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientDarkGrayToLightGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientDarkGrayToLightGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientDarkGrayToLightGrayView();
