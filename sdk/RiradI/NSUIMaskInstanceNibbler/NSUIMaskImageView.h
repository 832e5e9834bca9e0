// NSUIMaskImageView: the image view of a picture-based mask. It shows its picture until it is
// given a mask image (a grey CGImage of the remapped mask), then shows that over white. The
// mask image is read and replaced under the view's own lock, so any thread may hand the view a
// new one; the redisplay then runs on the main thread.
#pragma once

#include <UICocoaControls/NSUIImageViewParam.h>

#include <CoreGraphics/CGImage.h>

#include <mutex>

class NSUIMaskImageView : public NSUIImageViewParam {
    Q_OBJECT

public:
    explicit NSUIMaskImageView(QWidget *parent = nullptr);
    ~NSUIMaskImageView() override;

    // The mask image, no new reference (null when there is none).
    CGImageRef maskImageRef() const;
    // The same with a reference for the caller.
    CGImageRef maskImageRefCopy() const;
    // Keeps the image (a reference of its own; null drops it), then maskImageRefChanged.
    void setMaskImageRef(CGImageRef image);
    void clearMaskImageRef() { setMaskImageRef(nullptr); }
    // Redisplay (queued to the main thread when called elsewhere).
    virtual void maskImageRefChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    mutable std::recursive_mutex mMaskImageLock;
    CGImageRef mMaskImageRef = nullptr;
};

bool import_NSUIMaskImageView();
