// NSUIGradientBlackToDarkGrayView: a gradient view from the platform's black at the bottom to its dark grey at the top.
#pragma once

#include <UICocoaViews/NSUIGradientView.h>

class NSUIGradientBlackToDarkGrayView : public NSUIGradientView {
    Q_OBJECT

public:
    explicit NSUIGradientBlackToDarkGrayView(QWidget *parent = nullptr);

    static QColor gradientStartingColor();
    static QColor gradientEndingColor();
};

bool import_NSUIGradientBlackToDarkGrayView();
