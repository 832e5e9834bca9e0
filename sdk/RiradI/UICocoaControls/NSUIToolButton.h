// NSUIToolButton: the borderless, title-less picture button of tool bars and panels. Its fill
// and stroke colours and image opacity per state come from a delegate when it answers, else
// from fixed defaults. NSUIToggleButton is its two-state form (the alternate image shows while
// pressed and while on); NSUIOvalToolButton draws a filled oval behind a button that has only
// one image.
//
// The cell settings are made whichever way the button is made: in the constructor for code,
// and again in awakeFromNib for a nib, whose loader sets the nib's properties (a title, a
// border) after construction; so a nib's bezel, border and title never show.
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/UICocoaControls/NSUIToolButton".
#pragma once

#include <AppKit/NSButton.h>

#include <QColor>
#include <QObject>
#include <QPointer>

#include <optional>

class NSUIToolButton;

// What a panel may say about its tool buttons; each answer is optional (nullopt: not
// answered, the button's default is used; a colour answer that is not valid counts as nil).
class NSUIToolButtonDelegate {
public:
    virtual std::optional<QColor> toolButtonFillColorForState(NSUIToolButton *button, int state);
    virtual std::optional<QColor> toolButtonStrokeColorForState(NSUIToolButton *button, int state);
    virtual std::optional<double> toolButtonImageOpacityForState(NSUIToolButton *button, int state);

protected:
    NSUIToolButtonDelegate() = default;
    virtual ~NSUIToolButtonDelegate() = default;
};

class NSUIToolButton : public NSButton {
    Q_OBJECT
    // An outlet: an object that is also an NSUIToolButtonDelegate; not owned, null once gone.
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(int buttonKind READ buttonKind WRITE setButtonKind)

public:
    explicit NSUIToolButton(QWidget *parent = nullptr);
    ~NSUIToolButton() override;

    QObject *delegate() const { return mDelegate; }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }

    // Applies the cell settings once more after the nib's properties (see above).
    Q_INVOKABLE virtual void awakeFromNib();

    void initToolAttributes();
    virtual void initCellAttributes(NSButtonCell *cell);
    // Bezel shadowless square, image only, not bezeled, not bordered, no title, highlighted
    // and showing state by nothing, lights by background, grey and contents off. False (and
    // " code : buttonCell" reported) for a null cell.
    static bool setDefaultCellAttributes(NSButtonCell *buttonCell);

    QColor buttonFillColorForState(int state);
    QColor buttonStrokeColorForState(int state);
    double buttonImageOpacityForState(int state);

    // On: defaultButtonHighlightColor; otherwise light grey (0.75) at alpha 0.25.
    QColor defaultButtonFillColorForState(int state) const;
    // Dark grey (0.1) at alpha 0.8.
    QColor defaultButtonStrokeColorForState(int state) const;
    double defaultButtonImageOpacityForState(int state) const;
    // The colour of the current control tint: the palette's highlight colour, as RGB.
    QColor defaultButtonHighlightColor() const;

    // True without an alternate image.
    bool hasOnlyOneImage() const { return alternateImage() == nullptr; }

    // Hooks for subclasses that keep a kind: here nothing is kept and the kind is 0.
    virtual void setButtonKind(int kind);
    virtual int buttonKind() const;

private:
    NSUIToolButtonDelegate *toolDelegate() const;

    QPointer<QObject> mDelegate;
};

class NSUIToggleButton : public NSUIToolButton {
    Q_OBJECT
public:
    explicit NSUIToggleButton(QWidget *parent = nullptr);
    // The tool button's settings, then lights by contents and changes contents on.
    void initCellAttributes(NSButtonCell *cell) override;
};

class NSUIOvalToolButton : public NSUIToolButton {
    Q_OBJECT
public:
    explicit NSUIOvalToolButton(QWidget *parent = nullptr);

    // The oval first when the button has only one image, then the button's own drawing.
    void drawRect(CGRect dirtyRect) override;
    // Fills the oval inscribed in the bounds (not the rectangle given) at alpha 0.8: the
    // control tint colour when the state is not off, dark grey (0.1) when it is; inside a saved
    // graphics state of the current context.
    void drawBackground(CGRect rect, int state);
};

bool import_NSUIToolButton();
