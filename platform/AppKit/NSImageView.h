// NSImageView: a widget that shows one image, scaled down proportionally and centred, and
// says when its image is replaced (the "image" property and imageChanged), so that controllers
// can observe it through key-value observing.
#pragma once

#include <AppKit/NSImage.h>

#include <QImage>
#include <QWidget>

#include <memory>

class NSImageView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(std::shared_ptr<NSImage> image READ image WRITE setImage NOTIFY imageChanged)

public:
    explicit NSImageView(QWidget *parent = nullptr);
    ~NSImageView() override;

    std::shared_ptr<NSImage> image() const { return mImage; }
    // Shows the image (null: nothing). Setting the image already shown does nothing.
    // Subclasses may add to it; the "image" property goes through the override.
    virtual void setImage(std::shared_ptr<NSImage> image);

signals:
    void imageChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<NSImage> mImage;
    QImage mShown;  // the first bitmap of mImage, converted once
};
