// NSUIRetroBox: a box that paints its own flat background, border and title and carries a
// row of small cells (buttons, sliders) along its top edge, drawn and clicked through the
// cell attachments (NSView_CellAttachments.h).
//
// The box is a QWidget. Its geometry is AppKit's: bounds with y upwards from the bottom-left
// corner, cells placed in those coordinates. Background and border are drawn by hand with the
// Core Graphics layer; the title and the cells go through Qt (text, pictures, the style's
// slider) into the same buffer (NSViewQuartzPainting). Subclasses draw more by overriding
// drawRect and using currentContext / withCurrentPainter while it runs.
//
// Set-up: the constructor runs initBoxAttributes (so boxes from .ui files and from code start
// alike); awakeFromNib runs after the outlets are connected (the nib loader calls it, code
// that makes a box by hand calls it itself); subclasses add their cells there.
#pragma once

#include <AppKit/NSButtonCell.h>
#include <AppKit/NSImage.h>
#include <AppKit/NSSliderCell.h>
#include <CoreG/Drawing/namespace_CoreGraphics_Colors.h>
#include <CoreGraphics/CoreGraphics.h>

#include <UICocoaViews/NSView_CellAttachments.h>

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class NSViewQuartzPainting;

class NSUIRetroBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    static constexpr CGFloat borderWidth = 1.0;
    static constexpr CGFloat constAttachmentsMargin = 2.0;
    static constexpr CGFloat constTitleMargin = 2.0;
    static constexpr CGFloat constButtonCellMargin = 4.0;

    explicit NSUIRetroBox(QWidget *parent = nullptr);
    ~NSUIRetroBox() override;

    QString title() const { return mTitle; }
    void setTitle(const QString &title);

    color_4D boxBorderColor() const { return _borderColor; }
    void setBoxBorderColor(color_4D color);
    color_4D boxFillColor() const { return _fillColor; }
    void setBoxFillColor(color_4D color);

    // Checks that the cell attachments are linked.
    Q_INVOKABLE virtual void awakeFromNib();

    // The bounds: (0, 0, width, height).
    CGRect bounds() const;
    bool isOpaque() const { return false; }
    bool preservesContentDuringLiveResize() const { return false; }
    bool acceptsFirstMouse() const { return true; }

    // The title's font (bold, the mini control size), colour and paragraph style: a map
    // {"NSFont": QFont, "NSColor": QColor, "NSParagraphStyle": {"alignment": 0 (left),
    // "lineBreakMode": 4 (truncate the tail)}}, made once per process.
    static const QVariantMap &titleTextAttributesOfClass();
    const QVariantMap &titleTextAttributes() const { return titleTextAttributesOfClass(); }

    // Cells made for boxes (the caller holds them; adding one to a box shares it).
    static std::shared_ptr<NSButtonCell> buttonCellType(int type, std::shared_ptr<NSImage> upImage,
                                                        std::shared_ptr<NSImage> downImage,
                                                        const QByteArray &action, QObject *target);
    static std::shared_ptr<NSSliderCell> kindSliderCell(int count, const QByteArray &action, QObject *target);

    // Places the cell at (origin.x + the next free x, origin.y + height - size.height -
    // margin) with the size, and moves the next free x on by size.width + margin.
    std::shared_ptr<NSCell> addAttachmentCell(std::shared_ptr<NSCell> cell, CGPoint origin, CGSize size,
                                              CGFloat margin);
    // Origin (0, 0), the cell's size, margin 0.
    std::shared_ptr<NSCell> addAttachmentCell(std::shared_ptr<NSCell> cell);
    // Origin (0, -4), the cell's size, margin 4.
    std::shared_ptr<NSCell> addButtonCell(std::shared_ptr<NSCell> cell);
    // A momentary push-in button (a toggle for the on/off form) with the box as its target.
    std::shared_ptr<NSButtonCell> addPushButton(std::shared_ptr<NSImage> upImage, std::shared_ptr<NSImage> downImage,
                                                const QByteArray &action);
    std::shared_ptr<NSButtonCell> addPushButton(std::shared_ptr<NSImage> image, const QByteArray &action);
    std::shared_ptr<NSButtonCell> addPushOnOffButton(std::shared_ptr<NSImage> upImage,
                                                     std::shared_ptr<NSImage> downImage, const QByteArray &action);
    // A tick slider of count values 0 ... count - 1 with the box as its target.
    std::shared_ptr<NSSliderCell> addIntSliderCell(int count, const QByteArray &action);
    // At (0, 2), 20 x the integer part of maxValue wide and 12 high, margin 0. A null cell is
    // reported and nothing is added.
    std::shared_ptr<NSSliderCell> addSliderCell(std::shared_ptr<NSSliderCell> sliderCell);
    CGPoint attachmentOrigin(const NSCell *cell) const;
    const NSViewCellAttachments &attachments() const { return _attachments; }

    // A picture the boxes' buttons use, by name ("ResetButton", "ResetButtonDown",
    // "LockButton", "LockedButton"): <name>.png from the application bundle's Resources
    // folder when there is one, else a small drawn picture of that name. Null for an
    // unknown name.
    static std::shared_ptr<NSImage> boxImageNamed(const QString &name);

    // Fills and strokes (line width 1) a rounded rectangle in roundRect with corners of
    // min(width, height) x 0.5 x (radius + 0.05); boxRect is not used.
    static void drawRoundRect(CGContextRef context, CGRect boxRect, CGRect roundRect, color_4D fillColor,
                              color_4D strokeColor, CGFloat radius);

protected:
    // Colours and the first free x; see setBoxDefaults.
    virtual void initBoxAttributes();
    // A hook run by initBoxAttributes (the base does nothing). It runs from the base's
    // constructor, so a subclass's own version runs only when the subclass calls
    // initBoxAttributes again from its constructor.
    virtual void setBoxDefaults() {}

    // The box's drawing, in bounds coordinates (y upwards): background, title, cells.
    virtual void drawRect(CGRect dirtyRect);
    virtual void drawBackground(CGRect rect);
    virtual void drawTitleText(CGRect boxRect);
    virtual void drawAttachments(CGRect rect);
    // Where the title goes; the base right-aligns it in the box.
    virtual void adjustTitleRectSelf(CGRect boxRect, CGRect &titleRect);

    // While drawRect runs: the Core Graphics context of the buffer, and Qt drawing into it.
    CGContextRef currentContext() const;
    void withCurrentPainter(const std::function<void(QPainter &)> &drawing);

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    NSViewCellAttachments _attachments;
    CGFloat _leftButtonX = constButtonCellMargin;
    color_4D _borderColor{};
    color_4D _fillColor{};

private:
    QString mTitle;
    NSViewQuartzPainting *mPainting = nullptr;  // only while painting
};

bool import_NSUIRetroBox();
