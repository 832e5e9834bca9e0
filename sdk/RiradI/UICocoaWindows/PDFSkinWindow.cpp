#include "PDFSkinWindow.h"

#include <Foundation/NSObjCRuntime.h>

#include <QMouseEvent>

NS_REGISTER_CLASS(PDFSkinWindow);

PDFSkinWindow::PDFSkinWindow(const QRect &contentRect, unsigned styleMask, int backing, bool defer, QWidget *parent)
    : NSAlphaWindowWithShadow(contentRect, styleMask, backing, defer, parent), category_NSWindow_MouseMoveSize(this) {}

PDFSkinWindow::~PDFSkinWindow() = default;

void PDFSkinWindow::mousePressEvent(QMouseEvent *event) {
    if (windowMouseMoveSize_StandardBehaviour(*event))
        event->accept();
    else
        NSAlphaWindowWithShadow::mousePressEvent(event);
}

bool import_PDFSkinWindow() { return import_NSAlphaWindow() && import_category_NSWindow_MouseMoveSize(); }
