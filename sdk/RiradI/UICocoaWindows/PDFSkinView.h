// PDFSkinView: the look of a skinned borderless window. It shows an application image (a PDF
// document or any other picture) named by its window's title, extension included ("Skin.pdf"),
// drawn once at its own size at the view's bottom-left corner over a clear background; where the
// image is transparent the desktop shows through.
#pragma once

#include <AppKit/NSImage.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>

#include <QWidget>

#include <memory>

class PDFSkinView : public QWidget {
    Q_OBJECT

public:
    explicit PDFSkinView(QWidget *parent = nullptr);
    ~PDFSkinView() override;

    // No image.
    void initView();

    // Drops the image held and holds the application's image of that name; true when found.
    bool setResourceImage(const QString &name);
    // setResourceImage with the window's title; false without a window or a title.
    bool setResourceImageFromWindowTitle();
    // Loads the image from the window title and redisplays when found.
    Q_INVOKABLE void awakeFromNib();

    const std::shared_ptr<NSImage> &skinImage() const { return mPDFSkinImage; }

protected:
    void paintEvent(QPaintEvent *event) override;
    // Draws the image into the painting's context (Quartz coordinates, y up).
    virtual void drawSkin(CGContextRef context, CGImageRef image);
    // The window's shadow follows the new pixels. On X11 the compositor draws a translucent
    // window's shadow from its alpha on every frame, so nothing has to be invalidated.
    void invalidateWindowShadow();

    std::shared_ptr<NSImage> mPDFSkinImage;
};

bool import_PDFSkinView();
