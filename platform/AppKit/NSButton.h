// NSButton and NSButtonCell: AppKit's button on a Qt widget.
//
// The cell holds how the button looks and behaves: bezel style, bordered / bezeled, title,
// image position, what highlights it while pressed (highlightsBy) and what shows its state
// (showsStateBy), as masks of NSCellStyleMask; setCellAttribute reaches the same settings by
// attribute. The button holds the images and the state (off 0, on 1, mixed -1).
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

#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSImage.h>

#include <CoreGraphics/CGGeometry.h>

#include <QAbstractButton>
#include <QImage>
#include <QString>

#include <memory>

class QPainter;

enum NSControlStateValue : int {
    NSControlStateValueMixed = -1,
    NSControlStateValueOff = 0,
    NSControlStateValueOn = 1,
};

enum NSBezelStyle : unsigned {
    NSBezelStyleRounded = 1,
    NSBezelStyleShadowlessSquare = 6,
};

enum NSCellImagePosition : unsigned {
    NSNoImage = 0,
    NSImageOnly = 1,
    NSImageLeft = 2,
};

enum NSCellStyleMask : unsigned {
    NSNoCellMask = 0,
    NSContentsCellMask = 1,
    NSPushInCellMask = 2,
    NSChangeGrayCellMask = 4,
    NSChangeBackgroundCellMask = 8,
};

enum NSCellAttribute : unsigned {
    NSPushInCell = 2,
    NSChangeGrayCell = 4,
    NSCellLightsByContents = 6,
    NSCellLightsByGray = 7,
    NSChangeBackgroundCell = 8,
    NSCellLightsByBackground = 9,
    NSCellIsBordered = 10,
    NSCellChangesContents = 14,
};

class NSButtonCell {
public:
    // A rounded, bordered push button without title or image that pushes in and greys while
    // pressed and shows no state.
    explicit NSButtonCell(QWidget *controlView = nullptr) : mControlView(controlView) {}

    NSBezelStyle bezelStyle() const { return mBezelStyle; }
    void setBezelStyle(NSBezelStyle style);
    NSCellImagePosition imagePosition() const { return mImagePosition; }
    void setImagePosition(NSCellImagePosition position);
    bool isBezeled() const { return mBezeled; }
    void setBezeled(bool bezeled);
    bool isBordered() const { return mBordered; }
    void setBordered(bool bordered);
    const QString &title() const { return mTitle; }
    void setTitle(const QString &title);
    unsigned highlightsBy() const { return mHighlightsBy; }
    void setHighlightsBy(unsigned mask);
    unsigned showsStateBy() const { return mShowsStateBy; }
    void setShowsStateBy(unsigned mask);

    // The attributes above as flags: the masks of highlightsBy (PushIn, LightsByContents,
    // LightsByGray, LightsByBackground) and of showsStateBy (ChangeGray, ChangeBackground,
    // ChangesContents), and IsBordered. Other attributes are not kept (0).
    void setCellAttribute(NSCellAttribute attribute, long value);
    long cellAttribute(NSCellAttribute attribute) const;

private:
    void changed();

    QWidget *mControlView;
    NSBezelStyle mBezelStyle = NSBezelStyleRounded;
    NSCellImagePosition mImagePosition = NSNoImage;
    bool mBezeled = false;
    bool mBordered = true;
    QString mTitle;
    unsigned mHighlightsBy = NSPushInCellMask | NSChangeGrayCellMask;
    unsigned mShowsStateBy = NSNoCellMask;
};

class NSButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(bool bordered READ isBordered WRITE setBordered)
    Q_PROPERTY(std::shared_ptr<NSImage> image READ image WRITE setImage)
    Q_PROPERTY(std::shared_ptr<NSImage> alternateImage READ alternateImage WRITE setAlternateImage)

public:
    explicit NSButton(QWidget *parent = nullptr);
    ~NSButton() override;

    NSButtonCell *cell() { return &mCell; }
    const NSButtonCell *cell() const { return &mCell; }

    int state() const { return mState; }
    // -1 is mixed, 0 off, any other value on.
    void setState(int state);
    QString title() const { return mCell.title(); }
    void setTitle(const QString &title) { mCell.setTitle(title); }
    bool isBordered() const { return mCell.isBordered(); }
    void setBordered(bool bordered) { mCell.setBordered(bordered); }
    std::shared_ptr<NSImage> image() const { return mImage; }
    void setImage(std::shared_ptr<NSImage> image);
    std::shared_ptr<NSImage> alternateImage() const { return mAlternateImage; }
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

    NSButtonCell mCell{this};
    int mState = NSControlStateValueOff;
    std::shared_ptr<NSImage> mImage;
    std::shared_ptr<NSImage> mAlternateImage;
    QImage *mCanvas = nullptr;  // what paintEvent draws into, while it runs
};
