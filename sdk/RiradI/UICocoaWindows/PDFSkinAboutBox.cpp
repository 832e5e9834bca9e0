#include "PDFSkinAboutBox.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PDFSkinAboutBox);

void PDFSkinAboutBox::windowMouseMoveSize_SingleClick() { hide(); }

bool import_PDFSkinAboutBox() { return import_PDFSkinWindow(); }
