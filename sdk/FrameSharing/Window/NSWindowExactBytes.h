// NSWindowExactBytes and NSViewExactBytes: a small borderless window whose pixels are exactly
// the pixels of an image it is given, for another process to capture through the window list.
//
// X keeps no pixels of a window that is not mapped, so the window is mapped: an
// override-redirect window (no frame, no task-bar entry, no focus) of the image's size at the
// top-left corner of the screen, lowered below the other windows. Its pixels are readable
// wherever the X server keeps them: always when nothing covers it, and under a compositing
// manager (which keeps every window's picture) also when covered.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <mutex>

class NSViewExactBytes : public QWidget {
public:
    explicit NSViewExactBytes(QWidget *parent = nullptr);
    ~NSViewExactBytes() override;

    // Replaces the image shown (retained) and repaints at once.
    void setImageDataWritten(CGImageRef image);
    // The image shown, not retained / retained for the caller.
    CGImageRef imageDataWritten() const;
    CGImageRef imageDataWrittenCopy() const;
    bool hasImageDataWritten() const;
    // The view's own reading of its pixels (the caller releases it); null when it has none.
    CGImageRef imageDataRead();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    mutable std::mutex mLock;
    CGImageRef mImageDataWritten = nullptr;
    QImage mShown;  // the held image's pixels, as painted
};

class NSWindowExactBytes : public QWidget {
public:
    // A window of the wrapper's size for n bytes (CGImageDataWrapper); an empty one, which
    // takes no image, for a size the wrapper refuses.
    explicit NSWindowExactBytes(uint32_t rawDataSizeBytes);
    ~NSWindowExactBytes() override;

    static CGRect calculatedContentRectFromRawDataSizeBytes(uint32_t rawDataSizeBytes);

    QString abstractWindowName() const { return windowTitle(); }
    void setAbstractWindowName(const QString &name) { setWindowTitle(name); }
    uint32_t rawDataSizeBytes() const { return mRawDataSizeBytes; }
    NSViewExactBytes *viewExactBytes() const { return mView; }
    // The X window id (0 before the window exists on a server).
    uint32_t quartzWindowID() const;

    // Shows the image at once and flushes the window to the server; whether the view holds
    // an image.
    bool writeImageData(CGImageRef image);
    // Capture of this window through the window list (the caller releases it).
    CGImageRef copyWindowGlobalImage() const;
    CGImageRef copyWindowViewImage() const { return mView->imageDataRead(); }

    // Window capture by identifier: only that window, opaque.
    static CGImageRef createWindowImageWithWindowID(uint32_t windowID);
    // The identifier of the last window of the list whose name is `name` (and whose owner
    // name is `ownerName`, when given); 0 when none.
    static uint32_t findGlobalWindowWithName(const QString &name, const QString &ownerName = QString());

private:
    uint32_t mRawDataSizeBytes;
    NSViewExactBytes *mView;
};
