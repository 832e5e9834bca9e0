// PDFSkinWindow: a borderless see-through window with a shadow whose look is a skin view; it
// can become the key window and moves when dragged anywhere (a press in its bottom-right corner
// resizes it), through the standard move-and-resize loop.
#pragma once

#include "NSAlphaWindow.h"
#include "category_NSWindow_MouseMoveSize.h"

class PDFSkinWindow : public NSAlphaWindowWithShadow, public category_NSWindow_MouseMoveSize {
    Q_OBJECT
public:
    explicit PDFSkinWindow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2, bool defer = false,
                           QWidget *parent = nullptr);
    ~PDFSkinWindow() override;

    Q_INVOKABLE bool canBecomeKeyWindow() const { return true; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

bool import_PDFSkinWindow();
