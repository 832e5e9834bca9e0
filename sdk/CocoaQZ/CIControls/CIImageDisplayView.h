// CIImageDisplayView: a view that shows a Core Image image, its whole extent drawn into the
// view's bounds; nothing without an image. `inputImage` is another name for `image`.
//
// The image is drawing state, changed only on the main thread: setInputImage (and setImage)
// called on another thread queues the change and the redisplay to the main thread; on the
// main thread the image is stored at once and the view redisplayed.
#pragma once

#include <CoreImage/CIImage.h>

#include <QWidget>

class CIImageDisplayView : public QWidget {
    Q_OBJECT

public:
    explicit CIImageDisplayView(QWidget *parent = nullptr);
    ~CIImageDisplayView() override;

    const CIImageRef &image() const { return mImage; }
    void setImage(CIImageRef image);
    const CIImageRef &inputImage() const { return mImage; }
    void setInputImage(CIImageRef image) { setImage(std::move(image)); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CIImageRef mImage;
};

bool import_CIImageDisplayView();
