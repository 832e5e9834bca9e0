// NSCell: a small control that a view draws and tracks itself, without a widget of its own
// (a box carries a row of them along its top edge). A cell is a QObject for key-value coding
// and invoke-by-name; it has no parent and is shared (std::shared_ptr<NSCell>), as AppKit's
// cells are retained by those that hold them.
//
// Frames given to a cell are in the control view's Qt coordinates (y downwards); a view
// that keeps its frames y upwards converts them before it calls the cell.
//
// Mouse tracking (AppKit's trackMouse:inRect:ofView:untilMouseUp:) is split into the three
// events of a Qt widget: the view calls trackMouseDown at the press inside the cell's frame,
// trackMouseDragged at each move and trackMouseUp at the release. Sending the action is the
// cell's own business (a button on release inside, a continuous slider at every change).
#pragma once

#include <Foundation/NSGeometry.h>

#include <QByteArray>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>

class QPainter;
class QWidget;

// Control sizes (controlSize).
enum NSControlSize : int { NSRegularControlSize = 0, NSSmallControlSize = 1, NSMiniControlSize = 2 };

class NSCell : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)
    Q_PROPERTY(int integerValue READ integerValue WRITE setIntegerValue)
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool highlighted READ isHighlighted WRITE setHighlighted)
    Q_PROPERTY(bool continuous READ isContinuous WRITE setContinuous)
    Q_PROPERTY(int controlSize READ controlSize WRITE setControlSize)

public:
    NSCell();
    ~NSCell() override;

    // The target is not retained: a destroyed target reads as null.
    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    // A selector name ("buttonResetBoxControls:"); empty for none.
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    double doubleValue() const { return mValue; }
    virtual void setDoubleValue(double value) { mValue = value; }
    // The value truncated towards zero.
    int integerValue() const { return int(mValue); }
    void setIntegerValue(int value) { setDoubleValue(value); }

    bool isEnabled() const { return mEnabled; }
    void setEnabled(bool enabled) { mEnabled = enabled; }
    bool isHighlighted() const { return mHighlighted; }
    void setHighlighted(bool highlighted) { mHighlighted = highlighted; }
    bool isContinuous() const { return mContinuous; }
    void setContinuous(bool continuous) { mContinuous = continuous; }
    int controlSize() const { return mControlSize; }
    void setControlSize(int size) { mControlSize = size; }

    // The smallest size that shows the cell; (0, 0) for the base.
    virtual NSSize cellSize() const;
    // Draws the cell in the frame with the painter of the control view; the base draws nothing.
    virtual void drawWithFrame(const QRectF &frame, QWidget *controlView, QPainter &painter) const;

    // Tracking, see above. Up answers whether the mouse went up inside the frame.
    virtual void trackMouseDown(QPointF point, const QRectF &frame, QWidget *controlView);
    virtual void trackMouseDragged(QPointF point, const QRectF &frame, QWidget *controlView);
    virtual bool trackMouseUp(QPointF point, const QRectF &frame, QWidget *controlView);

    // Sends the action to the target at once with this cell as the argument. False (and
    // nothing sent) without a target or an action.
    bool sendAction();

private:
    QPointer<QObject> mTarget;
    QByteArray mAction;
    double mValue = 0;
    bool mEnabled = true;
    bool mHighlighted = false;
    bool mContinuous = false;
    int mControlSize = NSRegularControlSize;
};
