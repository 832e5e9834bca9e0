// NSUIBigLinearSliderPanel: a floating panel that lends a small linear slider a fine slider. It
// attaches to one slider at a time: the fine slider takes the slider's range and value, the
// help caption its tool tip, the value caption the value; moving the fine slider sets the small
// slider and fires its action. OK keeps the value reached; Cancel puts back the value the slider
// had when it was attached and fires its action once more. Closing the panel otherwise
// (orderOut, Escape) keeps the slider attached; the next attach replaces it.
//
// One panel is shared: the last one set up (its alpha-window set-up runs when it is made). The
// shared reference and the attached slider are weak: a destroyed panel or slider reads nil and
// is never messaged.
//
// The slider's action is sent through the main thread's queue and waited for: on the main
// thread it runs at once. While it runs the panel ignores settings of the attached slider
// (re-entry from the slider's owner).
//
// Nib ("NSUIBigLinearSliderPanel"): the outlets below, the fine slider's action
// fineSliderChanged: to the panel, OK and Cancel connected to buttonOK and buttonCancel.
#pragma once

#include "NSSlider.h"
#include "NSUIFineSlider.h"

#include <AppKit/NSTextField.h>
#include <UICocoaWindows/NSAlphaWindow.h>

#include <QAbstractButton>
#include <QPointer>

class NSUIBigLinearSliderPanel : public NSAlphaPanelWithShadow {
    Q_OBJECT
    Q_PROPERTY(NSUIFineSlider *_sliderUI READ sliderUI WRITE setSliderUI)
    Q_PROPERTY(NSTextField *_sliderHelpCaption READ sliderHelpCaption WRITE setSliderHelpCaption)
    Q_PROPERTY(NSTextField *_sliderValueCaption READ sliderValueCaption WRITE setSliderValueCaption)
    Q_PROPERTY(QAbstractButton *_buttonOK READ buttonOKControl WRITE setButtonOKControl)
    Q_PROPERTY(QAbstractButton *_buttonCancel READ buttonCancelControl WRITE setButtonCancelControl)
    Q_PROPERTY(NSSlider *attachedSlider READ attachedSlider)

public:
    explicit NSUIBigLinearSliderPanel(QWidget *parent = nullptr);
    ~NSUIBigLinearSliderPanel() override;

    // The shared panel; nil when none was made or it was destroyed.
    static NSUIBigLinearSliderPanel *sharedPanel();
    // True for a slider that is not restricted to tick-mark values; false for anything else.
    static bool canAttachToSlider(QObject *slider);
    // Attaches the slider to the shared panel when it can. True when the slider is attached.
    static bool attachSlider(QObject *slider);

    // Becomes the shared panel, empties the attachment, floats above normal windows.
    void NSAlphaWindow_initSubclass() override;
    Q_INVOKABLE void awakeFromNib();

    bool hasAttachedSlider() const { return _attachedSlider != nullptr; }
    NSSlider *attachedSlider() const { return _attachedSlider; }
    bool isAttachedSlider(QObject *slider) const { return slider != nullptr && slider == _attachedSlider; }
    double attachedSliderInitialValue() const { return _attachedSliderInitialValue; }

    void setAttachedSlider(NSSlider *slider);
    void completeAttachToSlider();
    // Answers the slider that was attached (nil when none); with restore, it is put back to its
    // value at attaching and its action fired.
    NSSlider *detachFromSlider(bool restore);
    // OK, Cancel and the fine slider on or off; off also empties both captions, forgets the
    // initial value and resets the fine slider. (QWidget's setEnabled is another thing.)
    void setPanelEnabled(bool enabled);
    void setAttachedDoubleValue(double value, bool performAction);
    Q_INVOKABLE void reflectAttachedSliderValueToBigSlider();
    Q_INVOKABLE void reflectAttachedSliderValueToCaption();

    Q_INVOKABLE void fineSliderChanged(QObject *sender);
    Q_INVOKABLE void buttonOK(QObject *sender = nullptr);
    Q_INVOKABLE void buttonCancel(QObject *sender = nullptr);
    // Hides the panel; the slider stays attached.
    Q_INVOKABLE void orderOut(QObject *sender = nullptr);

    NSUIFineSlider *sliderUI() const { return _sliderUI; }
    void setSliderUI(NSUIFineSlider *slider) { _sliderUI = slider; }
    NSTextField *sliderHelpCaption() const { return _sliderHelpCaption; }
    void setSliderHelpCaption(NSTextField *field) { _sliderHelpCaption = field; }
    NSTextField *sliderValueCaption() const { return _sliderValueCaption; }
    void setSliderValueCaption(NSTextField *field) { _sliderValueCaption = field; }
    QAbstractButton *buttonOKControl() const { return _buttonOK; }
    void setButtonOKControl(QAbstractButton *button) { _buttonOK = button; }
    QAbstractButton *buttonCancelControl() const { return _buttonCancel; }
    void setButtonCancelControl(QAbstractButton *button) { _buttonCancel = button; }

protected:
    // Hook: after attaching (with the slider) and after detaching (with nil). Nothing here.
    virtual void onSliderAttachComplete(QObject *slider);

    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<NSUIFineSlider> _sliderUI;
    QPointer<NSTextField> _sliderHelpCaption;
    QPointer<NSTextField> _sliderValueCaption;
    QPointer<QAbstractButton> _buttonOK;
    QPointer<QAbstractButton> _buttonCancel;
    QPointer<NSSlider> _attachedSlider;
    double _attachedSliderInitialValue = 0.0;
    int _recursiveDepth = 0;
};

bool import_NSUIBigLinearSliderPanel();
