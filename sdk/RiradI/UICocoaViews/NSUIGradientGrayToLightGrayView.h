// NSUIGradientGrayToLightGrayView: a gradient view from the platform's grey at the bottom to its light grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientGrayToLightGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientGrayToLightGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientGrayToLightGrayView();
