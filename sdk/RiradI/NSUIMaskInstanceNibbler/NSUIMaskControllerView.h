// NSUIMaskControllerView: the preview of a mask controller, the composite drawn white over
// black on a grey checkerboard. The view is the controller's target: each merge resizes its
// bounds to the mask's size (so the mask is scaled to the frame), redraws it and passes its
// own action on with the sender.
//
// Drawn by hand with the Core Graphics layer into the view's buffer (NSViewQuartzPainting),
// in bounds coordinates with y upwards.
#pragma once

#include "NSUIMaskController.h"

#include <CoreGraphics/CoreGraphics.h>
#include <UICocoaControls/NSUITargetActionView.h>

#include <QPointer>

#include <vector>


class NSUIMaskControllerView : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(NSUIMaskController *maskController READ maskController WRITE setMaskController)

public:
    static constexpr CGFloat kCheckerSquare = 10;

    Q_INVOKABLE explicit NSUIMaskControllerView(QWidget *parent = nullptr);
    ~NSUIMaskControllerView() override;

    NSUIMaskController *maskController() const { return _MaskController.data(); }
    void setMaskController(NSUIMaskController *controller) { _MaskController = controller; }

    // The drawing space: (0, 0, width, height) until the mask's size replaces the size.
    CGRect bounds() const;
    void setBoundsSize(CGSize size);

    // The checkerboard, then the controller's preview (reported when there is none).
    void drawRect(CGContextRef context, CGRect dirtyRect);
    // Clears the rect, then the checkerboard squares over it.
    void eraseBackground(CGRect rect, CGContextRef context);
    // The squares of the checkerboard of a rect: rows every 10 points from y = 0 below its
    // height, each row from x = 0 up to the first square past twice its width; placed from
    // (0, 0), not from the rect's origin.
    static std::vector<CGRect> checkerboardSquares(CGRect rect);
    // The grey of the square at (x, y): 0.8 when x + y is a multiple of 20, else 0.5.
    static CGFloat checkerboardGray(CGFloat x, CGFloat y);

    Q_INVOKABLE void maskContextChanged(QObject *sender);
    Q_INVOKABLE void onMaskChanged(QObject *sender);
    void adjustBoundsToMatchMaskController();

    Q_INVOKABLE void awakeFromNib() {}

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<NSUIMaskController> _MaskController;
    bool mHasBoundsSize = false;
    CGSize mBoundsSize{};
};

bool import_NSUIMaskControllerView();
