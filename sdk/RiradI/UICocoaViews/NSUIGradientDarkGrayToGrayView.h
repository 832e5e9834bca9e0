// NSUIGradientDarkGrayToGrayView: a gradient view from the platform's dark grey at the bottom to its grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientDarkGrayToGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientDarkGrayToGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientDarkGrayToGrayView();
