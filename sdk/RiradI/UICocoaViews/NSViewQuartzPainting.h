// Painting a view by hand with the Core Graphics layer: a buffer in cairo's own layout (the
// memory of a premultiplied ARGB32 QImage at the view's device pixel ratio) with a bitmap
// context over it whose user space is the view's points, y upwards from the bottom-left
// corner as AppKit views draw. Qt drawing (text, styled controls, pictures) goes into the
// same buffer through withPainter, which keeps the two in step. The buffer is then drawn
// on the view.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <QImage>

#include <functional>

class QPainter;
class QWidget;

class NSViewQuartzPainting {
public:
    // A transparent buffer of the view's size; context() is null when none could be made
    // (an empty view).
    explicit NSViewQuartzPainting(const QWidget *view);
    ~NSViewQuartzPainting();
    NSViewQuartzPainting(const NSViewQuartzPainting &) = delete;
    NSViewQuartzPainting &operator=(const NSViewQuartzPainting &) = delete;

    CGContextRef context() const { return mContext; }
    // Runs the drawing with a painter on the buffer in the view's Qt coordinates (y down).
    void withPainter(const std::function<void(QPainter &)> &drawing);
    // The pixels drawn so far.
    const QImage &image();

private:
    QImage mImage;
    CGContextRef mContext = nullptr;
};
