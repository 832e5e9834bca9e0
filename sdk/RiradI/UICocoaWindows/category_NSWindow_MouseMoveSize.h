// NSWindow(MouseMoveSize): moving a borderless window by dragging anywhere in it and resizing it
// from its corners, on the capture loop (UICocoaViews/protocol_MouseCapture.h). A top-level
// widget mixes this class in and starts a loop from its mousePressEvent.
//
// Geometry is Qt's: screen coordinates with y down, a frame is the window's frame geometry
// (top-left origin). So the corner regions and the resizing formulas are those of a window
// whose origin is its top-left corner: the grabbed corner stays under the mouse even when a
// size limit bites (the opposite corner moves instead), and a constrained window keeps its top
// edge at or below the top of the primary screen.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <UICocoaViews/protocol_MouseCapture.h>

struct NSWindow_MouseMoveSize : MouseCaptureRecord {
    using MouseCaptureRecord::MouseCaptureRecord;

    enum HitRegion { kHitNone = 0, kHitTopLeft = 1, kHitTopRight = 2, kHitBottomLeft = 3, kHitBottomRight = 4 };
    enum Mode {
        kModeNone = 0,
        kModeMove = 1,
        kModeSizeTopLeft = 2,
        kModeSizeTopRight = 3,
        kModeSizeBottomRight = 4,
        kModeSizeBottomLeft = 5
    };

    int hitRegion = kHitNone;
    // Move mode: the press position minus the window's origin (screen coordinates).
    QPointF dragOffset;
    // The window's frame at the press.
    QRectF startFrame;
    int mode = kModeNone;
    // False: a dragged window does not rise above the top of the primary screen.
    bool unconstrained = false;
};

class category_NSWindow_MouseMoveSize : public protocol_MouseCapture {
public:
    explicit category_NSWindow_MouseMoveSize(QWidget *window);

    // 32 × 32 corners: a press in the bottom-right corner resizes from there, anywhere else moves
    // the window (kept below the top of the primary screen). Left presses only.
    bool windowMouseMoveSize_StandardBehaviour(const QMouseEvent &event);
    // Hit region 0 moves, 1 to 4 resize from that corner; not constrained to the screen.
    bool windowMouseMoveSize_FromHitRegion(const QMouseEvent &event, int hitRegion);
    // The corner of the window's area the event lies in (half-open rectangles tested top-left,
    // top-right, bottom-left, bottom-right: overlapping corners go to the lower number), else 0.
    int windowMouseMoveSize_MouseHitTest(const QMouseEvent &event, QSizeF cornerSize) const;
    static int windowMouseMoveSize_HitRegion(QSizeF area, QPointF point, QSizeF cornerSize);

    // Hooks: the size unchanged; nothing (release where the press was); nothing (after each move).
    virtual QSizeF windowMouseMoveSize_ConstrainAspectRatio(QSizeF size);
    virtual void windowMouseMoveSize_SingleClick();
    virtual void windowMouseMoveSize_OnDragMoved();

    // Raises each dimension to the window's minimum size, then lowers it to the maximum size (so
    // the maximum wins a conflict), then the aspect-ratio hook.
    void windowConstrainSize(NSWindow_MouseMoveSize &record, QSizeF &size);

    // The steps of the loop.
    void windowMouseDownBegin(NSWindow_MouseMoveSize &record);
    void windowMouseMove(NSWindow_MouseMoveSize &record);
    void windowMouseUp(NSWindow_MouseMoveSize &record);
    void windowMouseMoveDragging(NSWindow_MouseMoveSize &record);
    void windowMouseSizeFromTopLeft(NSWindow_MouseMoveSize &record);
    void windowMouseSizeFromTopRight(NSWindow_MouseMoveSize &record);
    void windowMouseSizeFromBottomLeft(NSWindow_MouseMoveSize &record);
    void windowMouseSizeFromBottomRight(NSWindow_MouseMoveSize &record);

    // The frame a resize gives, from the record's start frame and mouse positions.
    QRectF windowMouseMoveSize_ResizedFrame(NSWindow_MouseMoveSize &record, bool left, bool top);

    void mouseCaptureBegin(MouseCaptureRecord &record) override;
    void mouseCaptureMove(MouseCaptureRecord &record) override;
    void mouseCaptureUp(MouseCaptureRecord &record) override;

private:
    bool runLoop(const QMouseEvent &event, int hitRegion, bool unconstrained);
    void sizeFrom(NSWindow_MouseMoveSize &record, bool left, bool top);

    QWidget *mWindow;
};

bool import_category_NSWindow_MouseMoveSize();
