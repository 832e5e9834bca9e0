// PDFSkinAboutBox: a skinned window for the about box: a single click (a release where the
// press was) orders it out; a drag moves it.
#pragma once

#include "PDFSkinWindow.h"

class PDFSkinAboutBox : public PDFSkinWindow {
    Q_OBJECT
public:
    using PDFSkinWindow::PDFSkinWindow;

    void windowMouseMoveSize_SingleClick() override;
};

bool import_PDFSkinAboutBox();
