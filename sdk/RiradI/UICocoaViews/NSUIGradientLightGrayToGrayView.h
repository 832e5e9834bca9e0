// NSUIGradientLightGrayToGrayView: a gradient view from the platform's light grey at the bottom to its grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientLightGrayToGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientLightGrayToGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientLightGrayToGrayView();
