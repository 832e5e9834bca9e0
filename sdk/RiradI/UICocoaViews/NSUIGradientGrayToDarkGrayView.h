// NSUIGradientGrayToDarkGrayView: a gradient view from the platform's grey at the bottom to its dark grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientGrayToDarkGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientGrayToDarkGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientGrayToDarkGrayView();
