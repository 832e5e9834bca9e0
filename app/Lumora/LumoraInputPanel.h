// LumoraInputPanel: the Input Settings panel, a tool window of the camera window. It loads its
// form (nibs/InputPanel.ui) and joins what the form cannot describe to the effect input
// controller; it owns everything it makes.
//
// Its sections, top to bottom:
//   Camera                   the camera source: the reflecter view (the camera picture, and
//                            the drop target for pictures and movies) and its controls
//                            (preview, picture adjustments: brightness, contrast, saturation,
//                            gamma, black and white level, low light, reset defaults; play,
//                            pause and loop for movies). Its controller (CamInputVDIGController)
//                            and source nibbler (CamInputVDIGNibbler) feed the input controller
//                            (setCamViewNibbler).
//   Tint, mask and stencil   the stage every camera frame passes through
//                            (ZodAzerMaskViewNibbler with its own form, nibs/
//                            ZodAzerMaskViewNibbler.ui): the tint, the stencil and the drawn
//                            mask, each with its switches. It becomes the input controller's
//                            tint stage (setTintMaskNibbler).
//
// The window: a tool window above the camera window, titled "Input Settings"; Escape or the
// window's close button hides it. Its place and size are kept in the user defaults under
// kFrameKey whenever they change, whether it is open under kVisibleKey when the user opens or
// closes it; the place is restored when it is made, an open panel is opened again once the
// application has finished launching.
//
// The panel's switches and pushed buttons are NSButtons drawn as the desktop's check boxes,
// radio buttons and push buttons (LumoraPanelSwitch, LumoraPanelPushButton), so the controls
// that take NSButtons (the camera controls, the bookmarks' parameter mapping) take them.
//
// Main thread; a QApplication must exist.
#pragma once

#include <AppKit/NSButton.h>
#include <Foundation/NSNotification.h>

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>

class CamInputVDIGController;
class CamInputVDIGNibbler;
class QCamPlayController;
class QCamReflecterView;
class QTZInputController;
class ZodAzerController;
class ZodAzerMaskViewNibbler;
class NSUIMaskInstanceController;

// A check box (or, with radio set, a radio button) that is an NSButton: a click toggles its
// state; drawn with the desktop's style.
class LumoraPanelSwitch : public NSButton {
    Q_OBJECT
    Q_PROPERTY(bool radio READ isRadio WRITE setRadio)

public:
    Q_INVOKABLE explicit LumoraPanelSwitch(QWidget *parent = nullptr);
    bool isRadio() const { return mRadio; }
    void setRadio(bool radio);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &position) const override;

private:
    bool mRadio = false;
};

// A momentary push button that is an NSButton, drawn with the desktop's style.
class LumoraPanelPushButton : public NSButton {
    Q_OBJECT

public:
    Q_INVOKABLE explicit LumoraPanelPushButton(QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

class LumoraInputPanel : public QObject {
    Q_OBJECT

public:
    static constexpr const char *kNibName = "InputPanel";
    static constexpr const char *kFrameKey = "LumoraInputPanel.frame";
    static constexpr const char *kVisibleKey = "LumoraInputPanel.visible";

    // Loads the form as a tool window of the window (may be null) and joins the camera chain
    // and the stage to the input controller (may be null: nothing is joined). A form that does
    // not load is logged and leaves the panel without widget.
    LumoraInputPanel(QTZInputController *input, QWidget *window, QObject *parent = nullptr);
    // Takes down the window (when the camera window has not already) and the chain.
    ~LumoraInputPanel() override;
    LumoraInputPanel(const LumoraInputPanel &) = delete;
    LumoraInputPanel &operator=(const LumoraInputPanel &) = delete;

    QWidget *widget() const { return mPanel.data(); }
    // Opens the panel (remembered as open), raised and active.
    void show();
    // Closes it (remembered as closed).
    void hide();

    CamInputVDIGController *cameraController() const;
    CamInputVDIGNibbler *cameraNibbler() const;
    QCamReflecterView *reflecterView() const;
    QCamPlayController *cameraControls() const;
    ZodAzerMaskViewNibbler *tintMaskNibbler() const;
    ZodAzerController *tintController() const;

    // Opens the panel again when it was open when the application last ran.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void joinCamera(QTZInputController *input);
    void joinStage(QTZInputController *input);
    void joinButtonActions();
    // The labels and frame of a control shown or hidden with it.
    void showCompanions(QWidget *control, bool shown);
    // The stage's view on the stage's bounds, the stage as tall as the view wants.
    void fitStageView();
    void saveFrame() const;
    void restoreFrame();

    QPointer<QWidget> mPanel;
    QPointer<QCamReflecterView> mReflecterView;
    QPointer<CamInputVDIGController> mCameraController;
    QPointer<CamInputVDIGNibbler> mCameraNibbler;
    QPointer<ZodAzerMaskViewNibbler> mTintMaskNibbler;
    QPointer<NSUIMaskInstanceController> mMaskTypes;
    QPointer<QWidget> mStageView;  // the stage's view and the stage as widgets, for the event
    QPointer<QWidget> mStageHost;  // filter (which may see them while they are destroyed)
    QSet<QObject *> mCompanionOwners;  // while it is made: controls whose labels and frames follow them
    bool mObserving = false;
};

// Links the modules of the classes the panel's forms name (link anchors); true.
bool LumoraLinkInputPanelClasses();
