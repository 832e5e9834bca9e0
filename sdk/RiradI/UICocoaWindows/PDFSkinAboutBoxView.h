// PDFSkinAboutBoxView: the skin view of an about box; it takes the first click, so a single
// click closes an inactive about box.
#pragma once

#include "PDFSkinView.h"

class QMouseEvent;

class PDFSkinAboutBoxView : public PDFSkinView {
    Q_OBJECT
public:
    explicit PDFSkinAboutBoxView(QWidget *parent = nullptr);
    Q_INVOKABLE bool acceptsFirstMouse(QMouseEvent *event) const;
};

bool import_PDFSkinAboutBoxView();
