// NSButtonCell: a button drawn by its view (see NSCell.h). The cells here show a picture
// (the up image, or the alternate image while pressed or while on) and optionally a title;
// they are drawn by hand, not with the Qt style: their faces are pictures.
//
// The state is the cell's value (0 off, 1 on). A toggle (NSToggleButton, NSPushOnPushOffButton,
// NSOnOffButton) flips it when released inside; every button sends its action when released
// inside.
#pragma once

#include <AppKit/NSCell.h>
#include <AppKit/NSImage.h>

#include <QString>

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

enum NSBezelStyle : int { NSRoundedBezelStyle = 1, NSShadowlessSquareBezelStyle = 6 };
enum NSCellImagePosition : int { NSNoImage = 0, NSImageOnly = 1 };
// Bits of highlightsBy.
enum NSCellStyleMask : int { NSContentsCellMask = 1, NSPushInCellMask = 2, NSChangeGrayCellMask = 4,
                             NSChangeBackgroundCellMask = 8 };
// Cell attributes (setCellAttribute).
enum NSCellAttribute : int { NSCellLightsByContents = 6 };

class NSButtonCell : public NSCell {
    Q_OBJECT
    Q_PROPERTY(int state READ state WRITE setState)
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    NSButtonCell();
    ~NSButtonCell() override;

    int buttonType() const { return mButtonType; }
    // Sets the type and what it highlights by (push-in for momentary buttons, contents for
    // toggles), as AppKit does.
    void setButtonType(int type);
    int bezelStyle() const { return mBezelStyle; }
    void setBezelStyle(int style) { mBezelStyle = style; }
    int imagePosition() const { return mImagePosition; }
    void setImagePosition(int position) { mImagePosition = position; }
    bool isBezeled() const { return mBezeled; }
    void setBezeled(bool bezeled) { mBezeled = bezeled; }
    bool isBordered() const { return mBordered; }
    void setBordered(bool bordered) { mBordered = bordered; }
    QString title() const { return mTitle; }
    void setTitle(const QString &title) { mTitle = title; }
    const std::shared_ptr<NSImage> &image() const { return mImage; }
    void setImage(std::shared_ptr<NSImage> image) { mImage = std::move(image); }
    const std::shared_ptr<NSImage> &alternateImage() const { return mAlternateImage; }
    void setAlternateImage(std::shared_ptr<NSImage> image) { mAlternateImage = std::move(image); }
    int highlightsBy() const { return mHighlightsBy; }
    void setHighlightsBy(int mask) { mHighlightsBy = mask; }
    // Only NSCellLightsByContents is kept; other attributes read 0.
    int cellAttribute(int attribute) const;
    void setCellAttribute(int attribute, int value);

    int state() const { return integerValue(); }
    void setState(int state) { setIntegerValue(state); }
    bool isToggle() const;

    // The picture shown now: the alternate image while pressed (lights by contents) or while
    // on (a toggle), else the image.
    std::shared_ptr<NSImage> shownImage() const;

    // The image's size, else the title's with the application font; (0, 0) for neither.
    NSSize cellSize() const override;
    void drawWithFrame(const QRectF &frame, QWidget *controlView, QPainter &painter) const override;
    bool trackMouseUp(QPointF point, const QRectF &frame, QWidget *controlView) override;

private:
    int mButtonType = NSMomentaryPushInButton;
    int mBezelStyle = NSRoundedBezelStyle;
    int mImagePosition = NSNoImage;
    bool mBezeled = true;
    bool mBordered = true;
    QString mTitle = QStringLiteral("Button");
    std::shared_ptr<NSImage> mImage;
    std::shared_ptr<NSImage> mAlternateImage;
    int mHighlightsBy = NSPushInCellMask | NSChangeGrayCellMask;
    bool mLightsByContents = false;
};
