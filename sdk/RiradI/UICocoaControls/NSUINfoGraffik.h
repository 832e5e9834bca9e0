// NSUINfoGraffik: a tool button whose pictures are drawn at run time for its exact size (see
// NSUINfoGraffikImage.h): a shape of its kind in its fill colour with a named picture over it,
// one for the off state (the image) and one for the on state (the alternate image).
//
// The title names the picture and is never shown: setting the title (in code or by the nib
// loader, through the "title" property) or an image (by its name) names the picture and, when
// the name is new (compared ignoring case), remakes both pictures for the frame size of that
// moment; resizing does not remake them. awakeFromNib remakes them when the button has a
// delegate (whose colours then apply).
//
// NSUIToolButton(NSUINfoGraffik): the drawing any tool button can use, as free functions:
// the toggle forms (NSUINfoGraffikToggle...) take their pictures from their title once.
#pragma once

#include "NSUIToolButton.h"
#include "NSUINfoGraffikImage.h"

#include <QString>

#include <memory>

// ---- NSUIToolButton(NSUINfoGraffik)

// What makes the pictures (the image class's maker): NSUINfoGraffikImage::buttonImageForSizeState.
using NSUINfoGraffikImageMaker = std::shared_ptr<NSUINfoGraffikImage> (*)(NSUIToolButton *, const QString &, NSSize,
                                                                         int, int);
NSUINfoGraffikImageMaker NSUIToolButton_ButtonCellImageClass(const NSUIToolButton *button);
// With a button and a name: the off picture (state 0) for the button's size as the cell's
// image, then the on picture (state 1) as its alternate image, each only when one is made.
void NSUIToolButton_SetButtonCellImagesForKind(NSUIToolButton *button, const QString &name, int kind);
// The pictures named by the button's title.
void NSUIToolButton_InitInfoGraffik(NSUIToolButton *button, int kind);

// ---- NSUINfoGraffik

// The focus ring types (focusRingType).
enum NSFocusRingType : int { NSFocusRingTypeDefault = 0, NSFocusRingTypeNone = 1, NSFocusRingTypeExterior = 2 };

class NSUINfoGraffik : public NSUIToolButton {
    Q_OBJECT
    Q_PROPERTY(QString buttonName READ buttonName WRITE setButtonName)
    // The title and the image name the picture (see above).
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(std::shared_ptr<NSImage> image READ image WRITE setImage)

public:
    explicit NSUINfoGraffik(QWidget *parent = nullptr);
    ~NSUINfoGraffik() override;

    void setButtonKind(int kind) override { mButtonKind = kind; }
    int buttonKind() const override { return mButtonKind; }

    QString buttonName() const { return mButtonName; }
    // Stores the name only.
    void setButtonName(const QString &name) { mButtonName = name; }
    // True when a name is set and equals this one ignoring case.
    bool isButtonNamed(const QString &name) const;
    // Unless already so named: stores the name and remakes the pictures.
    void setButtonImageName(const QString &name);
    // Remakes the pictures of the name and kind, and repaints.
    void updateButtonImages();

    // The picture's name.
    QString title() const { return mButtonName; }
    void setTitle(const QString &title) { setButtonImageName(title); }
    std::shared_ptr<NSImage> image() const { return NSButton::image(); }
    // Names the picture by the image's name (a null image or an unnamed one: no name).
    void setImage(std::shared_ptr<NSImage> image);

    // The name taken from the title, the pictures of the kind, then the tool button's settings.
    void initToolAttributes();
    // The tool button's settings, then lights by contents.
    void initCellAttributes(NSButtonCell *cell) override;
    // The cell settings again (see NSUIToolButton.h); with a delegate and a name, the pictures.
    void awakeFromNib() override;

    int focusRingType() const { return NSFocusRingTypeNone; }

protected:
    // For the kinds of the subclasses: the kind is set before the set-up.
    NSUINfoGraffik(int kind, QWidget *parent);

private:
    int mButtonKind = 0;
    QString mButtonName;
};

bool import_NSUINfoGraffik();
