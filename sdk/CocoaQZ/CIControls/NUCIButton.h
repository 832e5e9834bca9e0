// NUCIButton and its family: squishy buttons whose two faces (off and on) are drawn at run
// time (NUCIButtonImage.h) for the button's name, and shown through Core Image: the state's
// face, through the state's filter (a glow, for some classes) and a crop to the face's size.
//
// The name: a button's title names its symbol (setTitle and setImage rename the faces: the
// title, or the image's name). Naming a button with the name it bears (compared without
// regard to case) keeps its faces; another name makes both faces and filters again, at the
// button's size then, and sets squishyAmountNormal to the face class's squishiness. The faces
// are not remade on resizing, except for a button named while it had no area (no face could
// be made then), whose faces are made at its first real size.
//
// The cell shows the faces: the off face as its image, the on face as its alternate image,
// without bezel, border or title; it changes its contents when on, so a click toggles the
// state. The 70s square button is a momentary change button instead.
//
// Release decisions (see NUCISquishyButton.h, one action per press):
//   class                                    click on a release inside    action without click
//   NUCIButton and most subclasses           yes                          -
//   NU70sHardwareSquareButton, ...RoundButton never                       on a release inside
//   NU70sHardwareSquareButtonWithGreenLED    yes                          -
//
// Drawing state (faces, filters, name) is changed on the main thread: called on another
// thread, setButtonImageName, setTitle and setImage are queued to the main thread.
#pragma once

#include "NUCIButtonImage.h"
#include "NUCISquishyButton.h"

#include <QString>

class NUCIButton : public NUCISquishyButton {
    Q_OBJECT
    Q_PROPERTY(QString title READ buttonImageName WRITE setTitle)
    Q_PROPERTY(QString buttonImageName READ buttonImageName WRITE setButtonImageName)

public:
    explicit NUCIButton(QWidget *parent = nullptr);
    ~NUCIButton() override;

    // The class of the faces.
    virtual NUCIButtonImageClass buttonImageClass() const { return &NUCIButtonImageClassOf<NUCIRoundRectButtonImage>; }
    // The filter of the state's face: the face class's, unless a button class says otherwise.
    virtual CIFilterRef filterWithDefaultsForState(int state) const;

    QString buttonImageName() const { return mButtonName; }
    void setButtonImageName(const QString &name);
    // Case-insensitive; false for a button without a name.
    bool isButtonNamed(const QString &name) const;
    void setTitle(const QString &title) { setButtonImageName(title); }
    // Renames the faces with the image's name (nothing for a null image or one without a name).
    void setImage(const std::shared_ptr<NSImage> &image);

    // The shadowless square bezel, image only, no bezel or border, no title, nothing
    // highlighted or shown by the cell's own drawing. False (reported "buttonCell") for null.
    static bool clearButtonCellAttributes(NSButtonCell *cell);
    // Lights by contents and changes contents: the alternate image while pressed and while on.
    virtual void setButtonCellAttributes();
    // Makes both faces and filters for the name at the button's size (reported "imageName"
    // for an empty name, and nothing else happens).
    void setButtonCellImages(const QString &name);

    // The state's face (1 for on, else off) as a Core Image image, upright; null without one.
    CIImageRef buttonImageForState(int state) const;
    // Through the state's filter, then cropped to the face; the face itself without a filter.
    CIImageRef filteredButtonImageForState(int state) const;
    static CIImageRef coreImageWithNSImage(const NSImage &image);
    // "CICrop" with (0, 0, width, height).
    static CIFilterRef cropFilterForSize(CGSize size);

    const std::shared_ptr<NUCIButtonImage> &buttonOffImage() const { return mButtonOffImage; }
    const std::shared_ptr<NUCIButtonImage> &buttonOnImage() const { return mButtonOnImage; }
    const CIFilterRef &buttonOffStateFilter() const { return mButtonOffStateFilter; }
    const CIFilterRef &buttonOnStateFilter() const { return mButtonOnStateFilter; }
    const CIFilterRef &buttonCropFilter() const { return mButtonCropFilter; }

protected:
    void drawRect(CGRect dirtyRect) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void makeMissingFaces();

    QString mButtonName;
    std::shared_ptr<NUCIButtonImage> mButtonOffImage, mButtonOnImage;
    CIFilterRef mButtonOffStateFilter, mButtonOnStateFilter, mButtonCropFilter;
};

class NUCIRoundButton : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<NUCIRoundButtonImage>; }
};

class NUCIRoundRectButton : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<NUCIRoundRectButtonImage>; }
};

class NUCIRoundGradientButton : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override {
        return &NUCIButtonImageClassOf<NUCIRoundGradientButtonImage>;
    }
};

class NUCIRoundRectGradientButton : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override {
        return &NUCIButtonImageClassOf<NUCIRoundRectGradientButtonImage>;
    }
};

class NU70sHardwareSquareButton : public NUCIButton {
    Q_OBJECT
public:
    explicit NU70sHardwareSquareButton(QWidget *parent = nullptr);
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<NU70sHardwareButtonImage>; }
    // A momentary change button.
    void setButtonCellAttributes() override;
    bool shouldMouseUpPerformClick(QPointF) const override { return false; }
};

class NU70sHardwareSquareButtonWithGreenLED : public NU70sHardwareSquareButton {
    Q_OBJECT
public:
    using NU70sHardwareSquareButton::NU70sHardwareSquareButton;
    NUCIButtonImageClass buttonImageClass() const override {
        return &NUCIButtonImageClassOf<NU70sHardwareButtonImageWithGreenLED>;
    }
    bool shouldMouseUpPerformClick(QPointF point) const override { return squishyShouldMouseUpPerformClick(point); }
};

class NU70sHardwareRoundButton : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override {
        return &NUCIButtonImageClassOf<NU70sHardwareRoundButtonImage>;
    }
    bool shouldMouseUpPerformClick(QPointF) const override { return false; }
};

class NU70sHardwareRecordButton : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override {
        return &NUCIButtonImageClassOf<NU70sHardwareRecordButtonImage>;
    }
};

class NU70sHardwareRecordButtonWithSquareLight : public NUCIButton {
    Q_OBJECT
public:
    using NUCIButton::NUCIButton;
    NUCIButtonImageClass buttonImageClass() const override {
        return &NUCIButtonImageClassOf<NU70sHardwareRecordButtonImageWithSquareLED>;
    }
};

bool import_NUCIButton();
