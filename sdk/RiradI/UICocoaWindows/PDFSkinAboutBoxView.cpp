#include "PDFSkinAboutBoxView.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PDFSkinAboutBoxView);

// Presses fall through to the window, whose move loop sees them.
PDFSkinAboutBoxView::PDFSkinAboutBoxView(QWidget *parent) : PDFSkinView(parent) {}

bool PDFSkinAboutBoxView::acceptsFirstMouse(QMouseEvent *) const { return true; }

bool import_PDFSkinAboutBoxView() { return import_PDFSkinView(); }
