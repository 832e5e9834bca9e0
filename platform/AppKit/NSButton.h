// NSButton: AppKit's button on a Qt widget.
//
// The button's cell (NSButtonCell.h, the one the boxes draw too; this button is its control
// view) holds how the button looks and behaves, its images and its state (off 0, on 1, mixed
// -1). The button's cell starts as a rounded, bordered push button without title or image
// that pushes in and greys while pressed and shows no state.
//
// Behaviour: a click moves the state to the next one (off or mixed -> on -> off) when the cell
// shows a state (showsStateBy not 0), before any other receiver of clicked() runs; a momentary
// button (showsStateBy 0) keeps its state.
//
// Drawing: the widget paints into an image of its own with a flipped graphics context on it
// made current (NSGraphicsContext, origin top-left, y down, in points), and calls drawRect.
// The default drawRect draws the cell with Qt's style: the bezel when bordered or bezeled,
// the image (the alternate image while pressed when highlightsBy has the contents mask, and
// while on when showsStateBy has it), centred and scaled down to fit, and the title; with an
// image position other than "no image" and "image only" the image goes left of the title.
// While pressed with the grey or background masks in highlightsBy (or on with them in
// showsStateBy) the button is darkened.
#pragma once

#include <AppKit/NSButtonCell.h>
#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSImage.h>

#include <CoreGraphics/CGGeometry.h>

#include <QAbstractButton>
#include <QImage>
#include <QString>

#include <memory>

class QPainter;

class NSButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    // A switch's number is its state: key paths such as "outletX.intValue" read and set it.
    Q_PROPERTY(int intValue READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(bool bordered READ isBordered WRITE setBordered)
    Q_PROPERTY(std::shared_ptr<NSImage> image READ image WRITE setImage)
    Q_PROPERTY(std::shared_ptr<NSImage> alternateImage READ alternateImage WRITE setAlternateImage)

public:
    explicit NSButton(QWidget *parent = nullptr);
    ~NSButton() override;

    NSButtonCell *cell() { return mCell.get(); }
    const NSButtonCell *cell() const { return mCell.get(); }

    int state() const { return mCell->state(); }
    // -1 is mixed, 0 off, any other value on.
    void setState(int state);
    QString title() const { return mCell->title(); }
    void setTitle(const QString &title) { mCell->setTitle(title); }
    bool isBordered() const { return mCell->isBordered(); }
    void setBordered(bool bordered) { mCell->setBordered(bordered); }
    std::shared_ptr<NSImage> image() const { return mCell->image(); }
    void setImage(std::shared_ptr<NSImage> image);
    std::shared_ptr<NSImage> alternateImage() const { return mCell->alternateImage(); }
    void setAlternateImage(std::shared_ptr<NSImage> image);

    // The bounds in points (origin top-left).
    CGRect bounds() const;
    QSize sizeHint() const override;

signals:
    void stateChanged(int state);

protected:
    // Draws the button into the current graphics context; here the cell.
    virtual void drawRect(CGRect dirtyRect);
    // The cell drawn with Qt's style into the current graphics context.
    void drawCell();

    void paintEvent(QPaintEvent *event) override;

private:
    void advanceState();

    const std::shared_ptr<NSButtonCell> mCell;
    QImage *mCanvas = nullptr;  // what paintEvent draws into, while it runs
};
