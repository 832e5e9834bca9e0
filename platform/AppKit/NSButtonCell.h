// NSButtonCell: a button's cell. It serves both a button drawn by a view of its own (see
// NSCell.h: the boxes' attachments draw and track their cells) and NSButton, whose widget
// holds one cell (see NSButton.h).
//
// The cell holds how the button looks and behaves: bezel style, bordered / bezeled, title,
// image position, images, what highlights it while pressed (highlightsBy) and what shows its
// state (showsStateBy), as masks of NSCellStyleMask; setCellAttribute reaches the same
// settings by attribute. Any change repaints the control view, when the cell has one.
//
// The cells drawn by a view show a picture (the up image, or the alternate image while
// pressed or while on) and optionally a title; they are drawn by hand, not with the Qt
// style: their faces are pictures.
//
// The state is the cell's value (off 0, on 1, mixed -1). A toggle (NSToggleButton,
// NSPushOnPushOffButton, NSOnOffButton) flips it when released inside; every button sends its
// action when released inside.
#pragma once

#include <AppKit/NSCell.h>
#include <AppKit/NSImage.h>

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

enum NSButtonType : int {
    NSMomentaryLightButton = 0,
    NSPushOnPushOffButton = 1,
    NSToggleButton = 2,
    NSSwitchButton = 3,
    NSRadioButton = 4,
    NSMomentaryChangeButton = 5,
    NSOnOffButton = 6,
    NSMomentaryPushInButton = 7,
};

enum NSControlStateValue : int {
    NSControlStateValueMixed = -1,
    NSControlStateValueOff = 0,
    NSControlStateValueOn = 1,
};

// Both of AppKit's spellings.
enum NSBezelStyle : int {
    NSBezelStyleRounded = 1,
    NSRoundedBezelStyle = NSBezelStyleRounded,
    NSBezelStyleShadowlessSquare = 6,
    NSShadowlessSquareBezelStyle = NSBezelStyleShadowlessSquare,
};

enum NSCellImagePosition : int {
    NSNoImage = 0,
    NSImageOnly = 1,
    NSImageLeft = 2,
};

// Bits of highlightsBy and showsStateBy.
enum NSCellStyleMask : int {
    NSNoCellMask = 0,
    NSContentsCellMask = 1,
    NSPushInCellMask = 2,
    NSChangeGrayCellMask = 4,
    NSChangeBackgroundCellMask = 8,
};

// Cell attributes (setCellAttribute).
enum NSCellAttribute : int {
    NSPushInCell = 2,
    NSChangeGrayCell = 4,
    NSCellLightsByContents = 6,
    NSCellLightsByGray = 7,
    NSChangeBackgroundCell = 8,
    NSCellLightsByBackground = 9,
    NSCellIsBordered = 10,
    NSCellChangesContents = 14,
};

class NSButtonCell : public NSCell {
    Q_OBJECT
    Q_PROPERTY(int state READ state WRITE setState)
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    // A rounded, bezeled and bordered momentary push button titled "Button", that pushes in and
    // greys while pressed and shows no state.
    NSButtonCell();
    ~NSButtonCell() override;

    // The widget repainted when the cell changes; not retained (a destroyed view reads as null).
    QWidget *controlView() const { return mControlView.data(); }
    void setControlView(QWidget *view) { mControlView = view; }

    int buttonType() const { return mButtonType; }
    // Sets the type and what it highlights by (push-in for momentary buttons, contents for
    // toggles), as AppKit does.
    void setButtonType(int type);
    int bezelStyle() const { return mBezelStyle; }
    void setBezelStyle(int style);
    int imagePosition() const { return mImagePosition; }
    void setImagePosition(int position);
    bool isBezeled() const { return mBezeled; }
    void setBezeled(bool bezeled);
    bool isBordered() const { return mBordered; }
    void setBordered(bool bordered);
    QString title() const { return mTitle; }
    void setTitle(const QString &title);
    const std::shared_ptr<NSImage> &image() const { return mImage; }
    void setImage(std::shared_ptr<NSImage> image);
    const std::shared_ptr<NSImage> &alternateImage() const { return mAlternateImage; }
    void setAlternateImage(std::shared_ptr<NSImage> image);
    int highlightsBy() const { return mHighlightsBy; }
    void setHighlightsBy(int mask);
    int showsStateBy() const { return mShowsStateBy; }
    void setShowsStateBy(int mask);

    // The settings above as flags: the masks of highlightsBy (PushIn, LightsByContents,
    // LightsByGray, LightsByBackground) and of showsStateBy (ChangeGray, ChangeBackground,
    // ChangesContents), and IsBordered. Other attributes are not kept (0).
    int cellAttribute(int attribute) const;
    void setCellAttribute(int attribute, int value);

    int state() const { return integerValue(); }
    // -1 is mixed, 0 off, any other value on.
    void setState(int state);
    bool isToggle() const;

    // The picture shown now: the alternate image while pressed (lights by contents) or while
    // on (a toggle), else the image.
    std::shared_ptr<NSImage> shownImage() const;

    // The image's size, else the title's with the application font; (0, 0) for neither.
    NSSize cellSize() const override;
    void drawWithFrame(const QRectF &frame, QWidget *controlView, QPainter &painter) const override;
    bool trackMouseUp(QPointF point, const QRectF &frame, QWidget *controlView) override;

private:
    void changed();

    QPointer<QWidget> mControlView;
    int mButtonType = NSMomentaryPushInButton;
    int mBezelStyle = NSRoundedBezelStyle;
    int mImagePosition = NSNoImage;
    bool mBezeled = true;
    bool mBordered = true;
    QString mTitle = QStringLiteral("Button");
    std::shared_ptr<NSImage> mImage;
    std::shared_ptr<NSImage> mAlternateImage;
    int mHighlightsBy = NSPushInCellMask | NSChangeGrayCellMask;
    int mShowsStateBy = NSNoCellMask;
};
