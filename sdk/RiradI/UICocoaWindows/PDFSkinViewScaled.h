// PDFSkinViewScaled: a skin view that draws its whole image into its bounds.
#pragma once

#include "PDFSkinView.h"

class PDFSkinViewScaled : public PDFSkinView {
    Q_OBJECT
public:
    explicit PDFSkinViewScaled(QWidget *parent = nullptr) : PDFSkinView(parent) {}

protected:
    void drawSkin(CGContextRef context, CGImageRef image) override;
};

bool import_PDFSkinViewScaled();
