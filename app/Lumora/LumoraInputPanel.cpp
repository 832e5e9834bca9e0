#include "LumoraInputPanel.h"

#include <AppKit/NSNib.h>
#include <AppKit/NSSegmentedControl.h>
#include <AppKit/NSWindow.h>
#include <CocoaQZ/CIControls/CIImageMouseDragView.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/CamInputVDIGController.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/ZodAzerController.h>
#include <LumoraApp/ZodAzerMaskViewNibbler.h>
#include <NSUIMaskInstanceNibbler/NSUIContextMaskOperatorTypeSlider.h>
#include <NSUIMaskInstanceNibbler/NSUIContextMaskScreenTypeSlider.h>
#include <NSUIMaskInstanceNibbler/NSUIContextMaskShapeTypeSlider.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageView.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageViewController.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstanceController.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstancePlaceholder.h>
#include <QCam/CameraControls/QCamPlayController.h>
#include <QCam/CameraControls/QCamReflecterView.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaColor/UFColorSchemeController.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIImageViewParam.h>

#include <QAbstractButton>
#include <QToolButton>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

// The panel's own buttons and the classes its forms name that no other module registers.
NS_REGISTER_CLASS(LumoraPanelSwitch);
NS_REGISTER_CLASS(LumoraPanelPushButton);
NS_REGISTER_CLASS(QCamReflecterView);
NS_REGISTER_CLASS(QCamPlayController);
NS_REGISTER_CLASS(NSColorWellWithAlpha);

namespace {

template <typename T>
T *Child(const QObject *root, const char *name) {
    return root != nullptr ? root->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

// The style option of a button drawn as a check box, radio button or push button.
QStyleOptionButton ButtonOption(const NSButton &button, bool checkable) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.title();
    if (button.isDown()) option.state |= QStyle::State_Sunken;
    if (checkable) option.state |= button.state() == 1 ? QStyle::State_On : button.state() < 0 ? QStyle::State_NoChange : QStyle::State_Off;
    else option.state |= QStyle::State_Raised;
    return option;
}

}  // namespace

bool LumoraLinkInputPanelClasses() {
    return import_CamInputVDIGController() && import_ZodAzerMaskViewNibbler() && import_NSUIMaskImageViewController() &&
           import_NSUIMaskImageView() && import_NSUIMaskInstancePlaceholder() && import_NSUIContextMaskOperatorTypeSlider() &&
           import_NSUIContextMaskScreenTypeSlider() && import_NSUIContextMaskShapeTypeSlider() &&
           import_NSUIMaskInstanceController() && import_NSSegmentedControl() && import_CIImageMouseDragView() &&
           import_NSUIImageViewParam() && import_NSSlider() && import_NSColorWellWithAlpha() && import_UFColorSchemeController();
}

// ---- The panel's buttons -----------------------------------------------------------------------

LumoraPanelSwitch::LumoraPanelSwitch(QWidget *parent) : NSButton(parent) {
    cell()->setButtonType(NSSwitchButton);
    cell()->setShowsStateBy(NSContentsCellMask);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void LumoraPanelSwitch::setRadio(bool radio) {
    mRadio = radio;
    cell()->setButtonType(radio ? NSRadioButton : NSSwitchButton);
    cell()->setShowsStateBy(NSContentsCellMask);
    updateGeometry();
    update();
}

QSize LumoraPanelSwitch::sizeHint() const {
    const QStyleOptionButton option = ButtonOption(*this, true);
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, title());
    return style()->sizeFromContents(mRadio ? QStyle::CT_RadioButton : QStyle::CT_CheckBox, &option, text, this);
}

bool LumoraPanelSwitch::hitButton(const QPoint &position) const { return rect().contains(position); }

void LumoraPanelSwitch::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    const QStyleOptionButton option = ButtonOption(*this, true);
    painter.drawControl(mRadio ? QStyle::CE_RadioButton : QStyle::CE_CheckBox, option);
}

LumoraPanelPushButton::LumoraPanelPushButton(QWidget *parent) : NSButton(parent) {
    cell()->setButtonType(NSMomentaryPushInButton);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LumoraPanelPushButton::sizeHint() const {
    const QStyleOptionButton option = ButtonOption(*this, false);
    QSize text = fontMetrics().size(Qt::TextShowMnemonic, title());
    text.rwidth() += 2 * style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this);
    return style()->sizeFromContents(QStyle::CT_PushButton, &option, text, this);
}

void LumoraPanelPushButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    painter.drawControl(QStyle::CE_PushButton, ButtonOption(*this, false));
}

// ---- The panel ---------------------------------------------------------------------------------

LumoraInputPanel::LumoraInputPanel(QTZInputController *input, QWidget *window, QObject *parent) : QObject(parent) {
    LumoraLinkInputPanelClasses();
    std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QString::fromLatin1(kNibName));
    QList<QObject *> topLevel;
    if (nib == nullptr || !nib->instantiateNibWithOwner(this, &topLevel) || topLevel.isEmpty()) {
        CoreMachDebugLog("Lumora: the input settings panel does not load\n");
        for (QObject *object : topLevel) delete object;
        return;
    }
    auto *panel = qobject_cast<QWidget *>(topLevel.takeFirst());
    for (QObject *object : topLevel) delete object;
    if (panel == nullptr) return;
    // A tool window of the camera window: above it, gone with it.
    panel->setParent(window, Qt::Tool);
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    mPanel = panel;
    mReflecterView = Child<QCamReflecterView>(panel, "camReflectorView");
    mTintMaskNibbler = Child<ZodAzerMaskViewNibbler>(panel, "tintMaskNibbler");

    joinButtonActions();
    joinCamera(input);
    joinStage(input);
    // What the controllers hid while they were set up.
    for (QObject *control : std::as_const(mCompanionOwners))
        if (auto *widget = qobject_cast<QWidget *>(control)) showCompanions(widget, !widget->isHidden());
    mCompanionOwners.clear();  // the filters stay; the pointers would outlive the widgets

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &LumoraInputPanel::hide);
    restoreFrame();
    panel->installEventFilter(this);
    NSNotificationCenter::defaultCenter().addObserver(this, "applicationDidFinishLaunching",
                                                      QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr);
    mObserving = true;
}

LumoraInputPanel::~LumoraInputPanel() {
    if (mObserving) NSNotificationCenter::defaultCenter().removeObserver(this);
    if (mPanel != nullptr) mPanel->removeEventFilter(this);
    if (mStageView != nullptr) mStageView->removeEventFilter(this);
    if (mStageHost != nullptr) mStageHost->removeEventFilter(this);
    delete mCameraNibbler.data();
    delete mCameraController.data();
    delete mPanel.data();
}

CamInputVDIGController *LumoraInputPanel::cameraController() const { return mCameraController.data(); }
CamInputVDIGNibbler *LumoraInputPanel::cameraNibbler() const { return mCameraNibbler.data(); }
QCamReflecterView *LumoraInputPanel::reflecterView() const { return mReflecterView.data(); }
ZodAzerMaskViewNibbler *LumoraInputPanel::tintMaskNibbler() const { return mTintMaskNibbler.data(); }

QCamPlayController *LumoraInputPanel::cameraControls() const {
    return mReflecterView != nullptr ? mReflecterView->camController() : nullptr;
}

ZodAzerController *LumoraInputPanel::tintController() const {
    return mTintMaskNibbler != nullptr ? mTintMaskNibbler->tintController() : nullptr;
}

void LumoraInputPanel::joinButtonActions() {
    // NSButtons carry no action of their own in a form: each sends its controller's action here.
    struct Action {
        const char *button;
        const char *target;
        const char *selector;
    };
    const Action actions[] = {
        {"previewButton", "camReflectorView", "previewButtonChanged:"},
        {"enabledButton", "camControls", "enabledButtonChanged:"},
        {"lowLightButton", "camControls", "lowLightButtonChanged:"},
        {"resetButton", "camControls", "resetButtonChanged:"},
        {"playButton", "camControls", "playPauseButtonChanged:"},
        {"pauseButton", "camControls", "playPauseButtonChanged:"},
        {"loopedButton", "camControls", "loopControlChanged:"},
        {"stencilInvertButton", "outletSampledMaskController", "imageChanged:"},
    };
    for (const Action &action : actions) {
        NSButton *button = Child<NSButton>(mPanel, action.button);
        QObject *target = Child<QObject>(mPanel, action.target);
        if (button == nullptr || target == nullptr) continue;
        const QByteArray selector(action.selector);
        connect(button, &QAbstractButton::clicked, target, [button, target, selector] { performSelector(target, selector, QVariant::fromValue<QObject *>(button)); });
    }
    // Controls that their controllers show and hide (the camera adjustments, the tint kind's
    // views) take their labels and frames with them.
    for (auto *label : mPanel->findChildren<QLabel *>())
        if (QWidget *buddy = label->buddy()) mCompanionOwners.insert(buddy);
    for (const char *well : {"tintImageWell", "stencilImageWell"})
        if (QWidget *view = Child<QWidget>(mPanel, well)) mCompanionOwners.insert(view);
    for (QObject *control : mCompanionOwners) control->installEventFilter(this);
}

void LumoraInputPanel::joinCamera(QTZInputController *input) {
    // The source chain: the reflecter view (camera, still, movie or test camera) with its
    // controls from the form, its controller, and the nibbler the input controller pulls
    // frames from.
    if (mReflecterView == nullptr) return;
    auto *controller = new CamInputVDIGController;
    controller->setCamReflectorView(mReflecterView);
    controller->awakeFromNib();
    auto *nibbler = new CamInputVDIGNibbler;
    nibbler->hide();
    nibbler->setNibblerController(controller);
    mCameraController = controller;
    mCameraNibbler = nibbler;
    if (QCamPlayController *controls = cameraControls()) controls->loadPreferences();
    if (input != nullptr) input->setCamViewNibbler(nibbler);
}

void LumoraInputPanel::joinStage(QTZInputController *input) {
    ZodAzerMaskViewNibbler *stage = mTintMaskNibbler.data();
    if (stage == nullptr) return;
    // The stage's form is loaded by the nibbler itself (the form sent it awakeFromNib). Its view
    // is kept on the nibbler's bounds, and the nibbler takes the height the view asks for.
    if (QWidget *view = stage->nibblerView()) {
        mStageView = view;
        mStageHost = stage;
        stage->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        stage->installEventFilter(this);
        view->installEventFilter(this);
        fitStageView();
    }
    ZodAzerController *tint = stage->tintController();
    if (tint != nullptr) {
        tint->setColorSchemeController(UFColorSchemeController::sharedColorSchemeController());
        auto *one = qobject_cast<NSUIColorWellBase *>(tint->colorWellOne());
        auto *two = qobject_cast<NSUIColorWellBase *>(tint->colorWellTwo());
        if (one != nullptr) one->bind(QStringLiteral("value"), tint, QStringLiteral("colorOne"));
        if (two != nullptr) two->bind(QStringLiteral("value"), tint, QStringLiteral("colorTwo"));
        for (NSUIColorWellBase *well : {one, two})
            if (well != nullptr) {
                well->setTarget(tint);
                well->setAction("controllerColorChanged:");
            }
        if (auto *kinds = qobject_cast<NSSegmentedControl *>(tint->tintTypeSelected())) {
            const char *const tips[] = {"Tints with a gradient from colour one to colour two", "Tints with colour one",
                                        "Tints with the colours of a picture"};
            for (int segment = 0; segment < 3; ++segment)
                if (QAbstractButton *button = kinds->segmentButton(segment)) button->setToolTip(QObject::tr(tips[segment]));
        }
        if (auto *popUp = qobject_cast<QComboBox *>(tint->gradientTypePopUp()))
            connect(popUp, &QComboBox::activated, tint, [tint] { tint->controllerGradientChanged(); });
        // The colours now come from the scheme: the defaults again, with the tint images.
        tint->setDefaultValues();
        tint->setTarget(stage);
        tint->setAction("inputMaskTintingChanged:");
    }
    if (auto *stencil = qobject_cast<NSUIMaskImageViewController *>(stage->sampledMaskController())) {
        stencil->setTarget(stage);
        stencil->setAction("inputMaskSampledChanged:");
    }
    if (auto *mask = qobject_cast<NSUIMaskInstance *>(stage->filterMaskController())) {
        // The shape and screen pop-ups name the types the type sliders step through.
        mMaskTypes = new NSUIMaskInstanceController(this);
        mMaskTypes->setOutletMaskInstance(mask);
        NSUIMaskInstanceController *types = mMaskTypes.data();
        struct PopUp {
            const char *name;
            QStringList names;
            QVariant (NSUIMaskInstanceController::*type)() const;
            void (NSUIMaskInstanceController::*setType)(const QVariant &);
        };
        const PopUp popUps[] = {
            {"outletShapeTypePopUp", NSUIMaskInstanceController::shapeTypeNames(), &NSUIMaskInstanceController::shapeType,
             &NSUIMaskInstanceController::setShapeType},
            {"outletScreenTypePopUp", NSUIMaskInstanceController::screenTypeNames(),
             &NSUIMaskInstanceController::screenType, &NSUIMaskInstanceController::setScreenType},
        };
        for (const PopUp &entry : popUps) {
            QComboBox *popUp = Child<QComboBox>(stage, entry.name);
            if (popUp == nullptr) continue;
            popUp->addItems(entry.names);
            popUp->setCurrentIndex((types->*entry.type)().toInt());
            auto setType = entry.setType;
            connect(popUp, &QComboBox::activated, types, [types, setType](int index) { (types->*setType)(index); });
        }
        // The type sliders move the pop-ups along.
        if (QComboBox *popUp = Child<QComboBox>(stage, "outletShapeTypePopUp"))
            if (NSSlider *slider = types->shapeTypeSlider())
                connect(slider, &NSSlider::doubleValueChanged, popUp, [popUp, types] { popUp->setCurrentIndex(types->shapeType().toInt()); });
        if (QComboBox *popUp = Child<QComboBox>(stage, "outletScreenTypePopUp"))
            if (NSSlider *slider = types->screenTypeSlider())
                connect(slider, &NSSlider::doubleValueChanged, popUp, [popUp, types] { popUp->setCurrentIndex(types->screenType().toInt()); });
        mask->updateMaskContext();
    }
    if (input != nullptr) input->setTintMaskNibbler(stage);
}

void LumoraInputPanel::show() {
    if (mPanel == nullptr) return;
    NSUserDefaults::standardUserDefaults().setBool(true, QString::fromLatin1(kVisibleKey));
    mPanel->show();
    mPanel->raise();
    mPanel->activateWindow();
}

void LumoraInputPanel::hide() {
    if (mPanel == nullptr) return;
    NSUserDefaults::standardUserDefaults().setBool(false, QString::fromLatin1(kVisibleKey));
    mPanel->hide();
}

void LumoraInputPanel::applicationDidFinishLaunching(const NSNotification &) {
    if (NSUserDefaults::standardUserDefaults().boolForKey(QString::fromLatin1(kVisibleKey))) {
        // After the delegate has made it a tool window (which hides a shown window).
        QPointer<LumoraInputPanel> self(this);
        QMetaObject::invokeMethod(this, [self] { if (self) self->show(); }, Qt::QueuedConnection);
    }
}

void LumoraInputPanel::fitStageView() {
    QWidget *view = mStageView.data();
    QWidget *stage = mStageHost.data();
    if (view == nullptr || stage == nullptr || view->parentWidget() != stage) return;
    const QSize wanted(view->minimumSizeHint().width(), view->sizeHint().height());
    if (stage->minimumWidth() != wanted.width() || stage->height() != wanted.height() || stage->minimumHeight() != wanted.height()) {
        stage->setMinimumWidth(wanted.width());
        stage->setFixedHeight(wanted.height());
    }
    if (view->geometry() != stage->rect()) view->setGeometry(stage->rect());
}

bool LumoraInputPanel::eventFilter(QObject *watched, QEvent *event) {
    if (mStageView != nullptr && (watched == mStageView.data() || watched == mStageHost.data())) {
        // The nibbler moves its view by the change of its own size; the view stays on its bounds.
        const QEvent::Type type = event->type();
        if (type == QEvent::Resize || type == QEvent::Move || type == QEvent::LayoutRequest || type == QEvent::Show) {
            QPointer<LumoraInputPanel> self(this);
            QMetaObject::invokeMethod(this, [self] { if (self) self->fitStageView(); }, Qt::QueuedConnection);
            if (watched == mStageView.data() && type == QEvent::LayoutRequest) fitStageView();
        }
        return false;
    }
    if (watched == mPanel.data()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (mPanel->isVisible()) saveFrame();
            break;
        case QEvent::Close:
            // The window's close button: remembered as closed, as Escape does.
            NSUserDefaults::standardUserDefaults().setBool(false, QString::fromLatin1(kVisibleKey));
            break;
        default:
            break;
        }
        return false;
    }
    if (mPanel != nullptr && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        showCompanions(qobject_cast<QWidget *>(watched), event->type() == QEvent::ShowToParent);
    return false;
}

void LumoraInputPanel::showCompanions(QWidget *control, bool shown) {
    if (control == nullptr || mPanel == nullptr) return;
    for (auto *label : mPanel->findChildren<QLabel *>())
        if (label->buddy() == control) label->setVisible(shown);
    // A well's frame (named after it) goes with it.
    QWidget *parent = control->parentWidget();
    if (parent != nullptr && parent->objectName() == control->objectName() + QStringLiteral("Frame")) parent->setVisible(shown);
}

void LumoraInputPanel::saveFrame() const {
    NSUserDefaults::standardUserDefaults().setObject(NSWindow::stringWithSavedFrame(mPanel), QString::fromLatin1(kFrameKey));
}

void LumoraInputPanel::restoreFrame() {
    const QRect frame = NSWindow::frameFromString(NSUserDefaults::standardUserDefaults().stringForKey(QString::fromLatin1(kFrameKey)));
    // A frame from a screen that is no longer there, or too small to use, is left alone.
    bool onScreen = false;
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(frame)) onScreen = true;
    if (onScreen && frame.width() >= 100 && frame.height() >= 100) {
        mPanel->setGeometry(frame);
        return;
    }
    // The default: wide enough for the sliders, as tall as a screen allows (it scrolls).
    QSize size = mPanel->sizeHint().expandedTo(QSize(420, 720));
    if (QScreen *screen = QGuiApplication::primaryScreen()) size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    mPanel->resize(size);
}
