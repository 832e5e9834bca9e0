#include "LumoraMainNib.h"

#include "LumoraInputPanel.h"
#include "LumoraMainWindow.h"

#include <AppKit/NSButton.h>
#include <AppKit/NSNib.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>
#include <CocoaQZ/QTKit/QAudioFileRecorderLink.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <LumoraApp/AppHelpMenuController.h>
#include <LumoraApp/AppInspector.h>
#include <LumoraApp/CamInputVDIGController.h>
#include <LumoraApp/LumBroadcastControl.h>
#include <LumoraApp/LumBrowseController.h>
#include <LumoraApp/LumCountDownCtrl.h>
#include <LumoraApp/LumoraBookmarksPanel.h>
#include <LumoraApp/LumoraInterpolationController.h>
#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRecorder.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/LumoraStepperController.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QActualFPSController.h>
#include <LumoraApp/QFXBundleController.h>
#include <LumoraApp/QMIDIController.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/UCoreFnSampler.h>
#include <LumoraApp/UFMIDIInputController.h>
#include <QCam/CameraControls/NSUICamMenuController.h>
#include <QCam/CameraControls/QCamPlayController.h>
#include <QCam/CameraControls/QCamReflecterView.h>
#include <QCam/QAsyncStillFrameMovieRecorder.h>
#include <QCam/QImageCompressionSettings.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIBookmarksController.h>
#include <USecuritySandbox/USandboxFolderController.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <dispatch/dispatch.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDynamicPropertyChangeEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>
#include <functional>

// The nib's plain objects and views that the form names by class.
NS_REGISTER_CLASS(QTZInputController);
NS_REGISTER_CLASS(LumoraRenderBuffer);
NS_REGISTER_CLASS(NSUIDisplayLinkViewController);
NS_REGISTER_CLASS(LumoraInterpolationController);

namespace {

const char kDefaultEffect[] = "iSight";
// How long quitting waits for a recording under way to become its movie.
constexpr qint64 kFinishRecordingMilliseconds = 30000;
// The switcher's source numbers (QCamReflecter).
constexpr int32_t kSwitcherBlack = 0, kSwitcherCamera = 2;

// The snapshot button's face while the shutter counts down: the seconds left, from the image
// the count-down names on it ("ButtonSnapshotTimer", "...One", "...Two", "...Fire").
class LumoraCountDownFace : public QObject {
public:
    LumoraCountDownFace(QToolButton *button, QString title) : QObject(button), mButton(button), mTitle(std::move(title)) {
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == mButton && event->type() == QEvent::DynamicPropertyChange &&
            static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == "imageName") {
            const QString image = mButton->property("imageName").toString();
            const QString text = image.endsWith(QLatin1String("Timer")) ? QStringLiteral("3…")
                                 : image.endsWith(QLatin1String("One")) ? QStringLiteral("2…")
                                 : image.endsWith(QLatin1String("Two")) ? QStringLiteral("1…")
                                                                        : mTitle;
            mButton->setText(text);
        }
        return false;
    }

private:
    QToolButton *mButton;
    QString mTitle;
};

template <typename T>
T *Child(QObject *root, const char *name) {
    return root != nullptr ? root->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

}  // namespace

bool LumoraLinkMainNibClasses() {
    // The classes the form names are made by name: their modules must be linked in.
    return import_NSUILumoraView() && import_QActualFPSController() && import_UCoreFnSampler() &&
           import_QFXBundleController() && import_QImageCompressionSettings() && import_NSUIDisplayLink() &&
           import_LumoraLayerViewNibbler() && import_USandboxUserFolder() && import_USandboxFolderController() && import_AppController() &&
           import_LumoraStepperController() && import_AppHelpMenuController() && import_LumoraRecorder() &&
           import_LumoraBookmarksPanel() && import_QMIDIController() && import_NSSlider();
}

bool LumoraHasDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal")) return true;
    const char *x = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

LumoraMainNib::LumoraMainNib() : mDelegate(std::make_unique<AppController>()) {}

LumoraMainNib::~LumoraMainNib() { close(); }

void LumoraMainNib::close() {
    // The delegate's folders and the MIDI settings are saved while they are still there.
    if (mDelegate) UPersistentObjectsController::unregisterPersistentObjectShared(mDelegate.get());
    if (mMidiController) UPersistentObjectsController::unregisterPersistentObjectShared(mMidiController.data());
    // A recording under way is finished into its movie, not cut off: the sound is closed, then
    // video and sound are joined (the recorder reports it on the main queue).
    if (mRecorder && mRecorder->isRecording()) {
        bool finished = false;
        const QMetaObject::Connection done = QObject::connect(mRecorder.data(), &QMovieRecorderController::recordingFinished,
                                                              [&finished] { finished = true; });
        mRecorder->stopRecording(nullptr);
        QElapsedTimer timer;
        timer.start();
        while (!finished && timer.elapsed() < kFinishRecordingMilliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            dispatch_main_queue_drain();
        }
        QObject::disconnect(done);
        if (!finished) CoreMachDebugLog("Lumora: the movie being recorded was not finished in time; its files are kept\n");
    }
    // The recorder uses the movies folder, an object of the window's nib, to the end.
    delete mRecorder.data();
    delete mFrameRecorder.data();
    mFiltersPanel.reset();
    mInstallerPanel.reset();  // waits for an install under way
    mWindow.reset();
    for (const QPointer<QObject> &object : mOwned) delete object.data();
    mOwned.clear();
    mSoundRecorder.reset();
}

LumoraRecorder *LumoraMainNib::recorder() const { return mRecorder.data(); }
LumoraBookmarksPanel *LumoraMainNib::bookmarksPanel() const { return mBookmarksPanel.data(); }
QMIDIController *LumoraMainNib::midiController() const { return mMidiController.data(); }

LumoraStepperController *LumoraMainNib::stepper() const {
    return Child<LumoraStepperController>(mWindow.get(), "stepperController");
}

void LumoraMainNib::showPanel(QWidget *panel) {
    if (panel == nullptr) return;
    panel->show();
    panel->raise();
    panel->activateWindow();
}

NSUILumoraView *LumoraMainNib::renderView() const { return qobject_cast<NSUILumoraView *>(mDelegate->outletRenderView.data()); }

QComboBox *LumoraMainNib::effectsPopup() const { return Child<QComboBox>(mWindow.get(), "outletEffectsPopupButton"); }

bool LumoraMainNib::load() {
    LumoraLinkMainNibClasses();
    std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("MainMenu"));
    QList<QObject *> topLevel;
    if (nib == nullptr || !nib->instantiateNibWithOwner(mDelegate.get(), &topLevel) || topLevel.isEmpty()) {
        CoreMachDebugLog("Lumora: the main nib does not load\n");
        for (QObject *object : topLevel) delete object;
        return false;
    }
    mWindow.reset(qobject_cast<QWidget *>(topLevel.takeFirst()));
    for (QObject *object : topLevel) delete object;
    if (auto *window = qobject_cast<LumoraMainWindow *>(mWindow.get())) window->setDelegate(mDelegate.get());

    // Menu items: actions are no widgets, so the delegate's are found by name.
    mDelegate->_openRecentMenu = Child<QMenu>(mWindow.get(), "_openRecentMenu");
    mDelegate->mMenuItemAboutApp = Child<QAction>(mWindow.get(), "mMenuItemAboutApp");
    mDelegate->_menuCheckForUpdates = Child<QAction>(mWindow.get(), "_menuCheckForUpdates");
    mDelegate->rebuildOpenRecentMenu();

    joinCameraSource();
    joinLayerPanel();
    fillEffectsPopup();
    joinEffectControls();
    joinRecorder();
    joinBookmarksPanel();
    joinMIDI();
    joinFiltersPanel();
    joinCameraMenu();
    joinCountDown();
    joinSharing();
    // The panel that installs the bundle's plug-ins for every program on the machine.
    mInstallerPanel = std::make_unique<LumoraInstallerPanel>();
    joinMenuItems();
    return true;
}

void LumoraMainNib::joinMenuItems() {
    QWidget *window = mWindow.get();
    AppController *delegate = mDelegate.get();
    auto connectItem = [window](const char *name, QObject *receiver, std::function<void(QAction *)> handler) {
        QAction *action = Child<QAction>(window, name);
        if (action == nullptr || receiver == nullptr) {
            if (action != nullptr) action->setEnabled(false);  // what it works on is not there
            return;
        }
        QObject::connect(action, &QAction::triggered, receiver, [action, handler] { handler(action); });
    };
    struct Item {
        const char *name;
        void (AppController::*action)(QObject *);
    };
    const Item items[] = {
        {"menuOpenComposition", &AppController::openComposition},
        {"menuReloadComposition", &AppController::reloadComposition},
        {"menuOpenBackgroundImage", &AppController::openBackgroundImage},
        {"menuOpenStencilImage", &AppController::openStencilImage},
        {"menuRevealSnapshotFolder", &AppController::revealSnapshotFolderAction},
        {"menuSnapShotDefaults", &AppController::snapShotDefaults},
        {"menuSnapShotFormatJPEG", &AppController::snapShotFormatJPEG},
    };
    for (const Item &item : items) {
        auto method = item.action;
        connectItem(item.name, delegate, [delegate, method](QAction *action) { (delegate->*method)(action); });
    }
    connectItem("menuQuit", window, [this](QAction *) { mDelegate->windowShouldClose(mWindow.get()); });
    connectItem("mMenuItemAboutApp", window, [window](QAction *) {
        QMetaObject::invokeMethod(window, [window] {
            QMessageBox::about(window, QObject::tr("About Lumora"),
                               QObject::tr("Lumora %1\nA live-camera effects studio.").arg(AppController::kApplicationVersion));
        }, Qt::QueuedConnection);
    });

    // The panels.
    connectItem("menuInputSettings", mDelegate->outletInputPanel.data(),
                [delegate](QAction *) { showPanel(delegate->outletInputPanel.data()); });
    connectItem("menuInspector", qobject_cast<QWidget *>(mDelegate->outletAppInspector.data()),
                [delegate](QAction *) { showPanel(qobject_cast<QWidget *>(delegate->outletAppInspector.data())); });
    connectItem("menuBookmarks", mBookmarksPanel.data(), [this](QAction *) { showPanel(mBookmarksPanel.data()); });
    QWidget *filters = mFiltersPanel ? mFiltersPanel->widget() : nullptr;
    connectItem("menuFilters", filters, [filters](QAction *) { showPanel(filters); });
    QWidget *installer = mInstallerPanel ? mInstallerPanel->widget() : nullptr;
    connectItem("menuInstallPlugIns", installer, [this](QAction *) { mInstallerPanel->show(); });

    // Bookmarks travel as text: the look is copied as its settings text, and text pasted
    // becomes a bookmark.
    NSUIBookmarksController *bookmarks = mBookmarksPanel ? mBookmarksPanel->outletBookmarksController() : nullptr;
    connectItem("menuCopy", bookmarks, [bookmarks](QAction *action) { bookmarks->actionCopyToPasteboardAsText(action); });
    connectItem("menuPaste", bookmarks, [bookmarks](QAction *action) { bookmarks->actionPasteFromPasteboardAsText(action); });
    connectItem("menuRefreshDesigns", mBookmarksPanel.data(),
                [this](QAction *action) { mBookmarksPanel->menuDesignsRefreshWebFeeds(action); });

    // The help menu opens the product's pages in the browser.
    auto *help = Child<AppHelpMenuController>(window, "helpMenuController");
    connectItem("menuHelpContents", help, [help](QAction *action) { help->menuHelpApplicationHelp(action); });
    connectItem("_menuCheckForUpdates", help, [help](QAction *action) { help->menuHelpCheckForUpdates(action); });

    // Movie recording: the item's mark follows the recorder.
    QAction *record = Child<QAction>(window, "menuToggleMovieRecording");
    connectItem("menuToggleMovieRecording", mRecorder.data(), [this](QAction *action) {
        mRecorder->startStopRecording(action);
        action->setChecked(mRecorder->isRecording());
    });
    if (record != nullptr && mRecorder)
        QObject::connect(mRecorder.data(), &QMovieRecorderController::recordingFinished, record,
                         [this, record] { record->setChecked(mRecorder && mRecorder->isRecording()); });

    // The bar's buttons are the menu items' (a form cannot name an action before it is made).
    const struct {
        const char *button, *item;
    } buttons[] = {{"snapshotButton", "menuSnapShotTexture"},
                   {"recordButton", "menuToggleMovieRecording"},
                   {"previousEffectButton", "menuPreviousEffect"},
                   {"nextEffectButton", "menuNextEffect"}};
    for (const auto &pair : buttons) {
        auto *button = Child<QToolButton>(window, pair.button);
        QAction *action = Child<QAction>(window, pair.item);
        if (button != nullptr && action != nullptr) button->setDefaultAction(action);
    }

    // The effect stepper: raising its value walks up the pop-up.
    LumoraStepperController *steps = stepper();
    connectItem("menuPreviousEffect", steps,
                [steps](QAction *) { steps->setLumoraStepperIndex(steps->lumoraStepperIndex() + 1); });
    connectItem("menuNextEffect", steps, [steps](QAction *) {
        // From the pop-up's own items the first effect of the packs is next.
        const QComboBox *popup = steps->effectsPopupButton();
        if (popup != nullptr && popup->currentIndex() < 2) steps->setStepperIndex(0);
        else steps->setLumoraStepperIndex(steps->lumoraStepperIndex() - 1);
    });
}

void LumoraMainNib::joinCameraSource() {
    // The source chain and the tint stage live in the input settings panel, which feeds them
    // to the input controller.
    auto *input = qobject_cast<QTZInputController *>(mDelegate->outletInputController.data());
    if (input == nullptr) return;
    auto *panel = new LumoraInputPanel(input, mWindow.get());
    mDelegate->outletInputPanel = panel->widget();
    mInputPanel = panel;
    mCameraController = panel->cameraController();
    mOwned << panel;

    if (QComboBox *popup = Child<QComboBox>(mWindow.get(), "sourcePopup"))
        QObject::connect(popup, &QComboBox::activated, mDelegate.get(), [this](int index) { selectSource(index); });
}

void LumoraMainNib::selectSource(int source) {
    QComboBox *popup = Child<QComboBox>(mWindow.get(), "sourcePopup");
    QCamReflecterView *reflecter = mCameraController ? mCameraController->camReflectorView() : nullptr;
    if (reflecter == nullptr || reflecter->camReflecter() == nullptr) return;
    if (source == kSourceStill || source == kSourceMovie) {
        const QString filter = source == kSourceStill ? QObject::tr("Images and PDF (*.png *.PNG *.jpg *.JPG *.jpeg *.JPEG *.pdf *.PDF)")
                                                      : QObject::tr("Movies (*.mov *.mp4 *.MP4 *.m4v *.avi *.wmv *.flv *.dv)");
        const QString path = QFileDialog::getOpenFileName(mWindow.get(), QObject::tr("Choose a Source"), QString(), filter);
        if (path.isEmpty() || !openSourceFile(path)) {
            if (popup != nullptr) popup->setCurrentIndex(mSource);  // the source of before stays
            return;
        }
    } else {
        reflecter->camReflecter()->SetSourceMode(source == kSourceCamera ? kSwitcherCamera : kSwitcherBlack, false);
    }
    mSource = source;
    if (popup != nullptr) popup->setCurrentIndex(source);
}

bool LumoraMainNib::openSourceFile(const QString &path) {
    if (!mCameraController || !CamInputVDIGController::isOpenPanelType(path)) return false;
    return mCameraController->openFileName(path);
}

void LumoraMainNib::didFinishLaunching() {
    selectSource(kSourceCamera);
    openSelectedEffect();
}

void LumoraMainNib::joinLayerPanel() {
    NSUILumoraView *view = renderView();
    auto *buffer = view != nullptr ? view->lumoraBuffer() : nullptr;
    if (buffer == nullptr) return;
    // The inspector holds the layer panel with its controls and its matrix form.
    import_AppInspector();
    std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("AppInspector"));
    QList<QObject *> topLevel;
    AppInspector *inspector = nullptr;
    if (nib != nullptr && nib->instantiateNibWithOwner(nullptr, &topLevel) && !topLevel.isEmpty())
        inspector = qobject_cast<AppInspector *>(topLevel.takeFirst());
    for (QObject *object : topLevel) delete object;
    LumoraLayerViewNibbler *panel = inspector != nullptr ? inspector->lumoraLayerController() : nullptr;
    if (panel == nullptr) {
        // Without the inspector the composition's texture is shown all the same, not mirrored.
        CoreMachDebugLog("Lumora: the inspector nib does not load\n");
        delete inspector;
        inspector = nullptr;
        panel = new LumoraLayerViewNibbler;
        panel->hide();
        auto *textureOn = new NSButton(panel);
        textureOn->setState(1);
        auto *matrix = new NSOGLTextureMatrixController(panel);
        matrix->set_textureEnabled(textureOn);
        panel->setLayerMatrixController(matrix);
        mOwned << panel;
    } else {
        mInspector = inspector;
        mOwned << inspector;
        mDelegate->outletAppInspector = inspector;
        view->outletInspector = inspector;
    }
    // The layer draws for the render buffer: its size is the background picture's.
    panel->setDelegate(buffer);
    buffer->setLayerController(panel);
    view->outletLumoraLayerController = panel;
}

QStringList LumoraMainNib::effectTitles() const {
    QStringList titles;
    if (const QComboBox *popup = effectsPopup())
        for (int index = 0; index < popup->count(); ++index)
            if (!popup->itemText(index).isEmpty()) titles.append(popup->itemText(index));
    if (titles.isEmpty()) titles.append(QString::fromLatin1(kDefaultEffect));
    return titles;
}

void LumoraMainNib::fillEffectsPopup() {
    // The pop-up's own items: "iSight" (from the form), then the separator before the effects
    // the stepper added from the packs as they loaded.
    QComboBox *popup = effectsPopup();
    if (popup == nullptr) return;
    if (popup->findText(QString::fromLatin1(kDefaultEffect)) != 0) popup->insertItem(0, QString::fromLatin1(kDefaultEffect));
    popup->insertSeparator(1);
    AppController *delegate = mDelegate.get();
    QObject::connect(popup, &QComboBox::activated, delegate, [delegate, popup](int index) {
        if (index == 0) delegate->openBundleComposition(popup->itemText(0));
    });
}

void LumoraMainNib::joinEffectControls() {
    // The amount slider and the tweening's amount follow each other.
    auto *slider = Child<NSSlider>(mWindow.get(), "effectAmountSlider");
    auto *tweening = Child<LumoraInterpolationController>(mWindow.get(), "interpolator");
    if (slider == nullptr || tweening == nullptr) return;
    slider->setDoubleValue(tweening->inputEffectAmountNormal());
    QObject::connect(slider, &NSSlider::doubleValueChanged, tweening, [slider, tweening] {
        if (slider->doubleValue() != tweening->inputEffectAmountNormal()) tweening->setInputEffectAmount(slider->doubleValue());
    });
    QObject::connect(tweening, &LumoraInterpolationController::inputEffectAmountChanged, slider, [slider, tweening] {
        const QSignalBlocker blocker(slider);
        slider->setDoubleValue(tweening->inputEffectAmountNormal());
    });
}

void LumoraMainNib::joinRecorder() {
    // Rendered frames into a movie of still frames, the microphone beside it, joined into
    // "Lumora NNNN.mov" in the movies folder when the recording stops.
    NSUILumoraView *view = renderView();
    auto *movies = qobject_cast<USandboxUserFolder *>(mDelegate->outletMoviesFolder.data());
    auto *settings = Child<QImageCompressionSettings>(mWindow.get(), "compressionSettings");
    if (view == nullptr || movies == nullptr) return;
    auto *frames = new QAsyncStillFrameMovieRecorder;
    frames->outletCompressionSettings = settings;
    mSoundRecorder = std::make_unique<QAudioFileRecorderLink>();
    auto *recorder = new LumoraRecorder;
    recorder->outletMoviesFolder = movies;
    recorder->outletStillFrameRecorder = frames;
    recorder->outletAudioFileRecorder = mSoundRecorder.get();
    recorder->outletAsyncStillFrameMovieRecorder = frames;
    recorder->outletCompressionSettings = settings;
    recorder->awakeFromNib();
    view->outletLumoraRecorder = recorder;
    mRecorder = recorder;
    mFrameRecorder = frames;
    // The recorder goes before the writers it uses.
    mOwned << recorder << frames;
}

void LumoraMainNib::joinBookmarksPanel() {
    // The bookmarks panel, a tool window of the camera window, with the design browser at its
    // top; the feed's designs are listed in Effects > Designs after its separator.
    NSUILumoraView *view = renderView();
    if (view == nullptr) return;
    auto *panel = new LumoraBookmarksPanel(mWindow.get());
    panel->setOutletBookmarkMenu(Child<QMenu>(mWindow.get(), "menuDesigns"));
    panel->setOutletCheckNewDesignsOnStartup(Child<QAction>(mWindow.get(), "menuCheckNewDesigns"));
    // A form cannot make a separator that has a name: the named item becomes one here.
    QAction *separator = Child<QAction>(mWindow.get(), "menuDesignsSeparator");
    if (separator != nullptr) separator->setSeparator(true);
    panel->setOutletDedorodureroDesignsMenuSeparator(separator);
    if (std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("LumBrowseController"))) {
        QList<QObject *> topLevel;
        if (nib->instantiateNibWithOwner(nullptr, &topLevel) && !topLevel.isEmpty()) {
            if (auto *browse = qobject_cast<LumBrowseController *>(topLevel.takeFirst())) {
                if (auto *layout = qobject_cast<QVBoxLayout *>(panel->layout())) layout->insertWidget(0, browse);
                else browse->setParent(panel);
                browse->setPresetsPanel(panel);
                panel->setOutletBrowseController(browse);
                view->outletBrowseController = browse;
            }
        }
        for (QObject *object : topLevel) delete object;
    }
    panel->awakeFromNib();
    panel->setmBookmarkTargetObject(view);
    mDelegate->outletBookmarksPanel = panel;
    mBookmarksPanel = panel;
    mOwned << panel;
}

void LumoraMainNib::joinCameraMenu() {
    // Camera > Camera Device: "No Camera" and the cameras the system has, the one in use
    // checked; choosing one switches the camera source to it (through the input panel's camera
    // controls).
    QMenu *devices = Child<QMenu>(mWindow.get(), "menuCameraDevice");
    QAction *placeholder = Child<QAction>(mWindow.get(), "menuCameraDevicesPlaceholder");
    QCamPlayController *controls = mInputPanel ? mInputPanel->cameraControls() : nullptr;
    QCamReflecterView *reflecter = mInputPanel ? mInputPanel->reflecterView() : nullptr;
    if (devices == nullptr || placeholder == nullptr || controls == nullptr || reflecter == nullptr) {
        if (devices != nullptr) devices->setEnabled(false);
        return;
    }
    placeholder->setSeparator(true);  // a form cannot make a separator that has a name
    auto *menu = new NSUICamMenuController(mInputPanel->widget());
    menu->hide();
    menu->setCameraMenuSeparator(placeholder);
    menu->setRemoveCameraMenuSeparatorPlaceholder(true);
    menu->setTarget(controls);
    menu->setAction("cameraDeviceInputChanged");
    controls->setProperty("_cameraMenuController", QVariant::fromValue(menu));
    // The list and its check mark as they are whenever the menu opens.
    QPointer<QCamReflecterView> view(reflecter);
    auto update = [menu, view] {
        if (view && view->camReflecter() != nullptr) menu->updateForCameraGrabber(view->camReflecter());
    };
    QObject::connect(devices, &QMenu::aboutToShow, menu, update);
    update();
}

void LumoraMainNib::joinSharing() {
    // The Share button: frames go out to other programs while it is on (the camera view turns
    // it on at launch); while the application runs the virtual camera is linked into the
    // user's components.
    auto *button = Child<QToolButton>(mWindow.get(), "shareButton");
    NSUILumoraView *view = renderView();
    if (button == nullptr || view == nullptr) return;
    auto *control = new LumBroadcastControl(mWindow.get());
    control->hide();
    control->setOutletRebroadcastButton(button);
    view->outletCameraRebroadcastControl = control;
    button->setChecked(control->isBroadcasting());
    QObject::connect(button, &QToolButton::clicked, control, [control] { control->broadcastButtonChanged(control->outletRebroadcastButton()); });
    QObject::connect(control, &NSUICamBroadcastControlUDP::broadcastEnabledChanged, button, [control, button] {
        const QSignalBlocker blocker(button);
        button->setChecked(control->isBroadcasting());
    });
}

void LumoraMainNib::joinCountDown() {
    // The shutter: Snapshot (the bar's button and Camera > Snapshot) counts three seconds down
    // first when Camera > Count Down Before a Snapshot is on, then the camera view takes the
    // picture in the default format (the view's own snapShotTexture takes none).
    QAction *snapshot = Child<QAction>(mWindow.get(), "menuSnapShotTexture");
    auto *button = Child<QToolButton>(mWindow.get(), "snapshotButton");
    NSUILumoraView *view = renderView();
    if (snapshot == nullptr || view == nullptr) return;
    auto *countDown = new LumCountDownCtrl(mWindow.get());
    countDown->hide();
    countDown->setEnabledSwitch(Child<QAction>(mWindow.get(), "menuSnapshotCountDown"));
    countDown->setSnapshotButton(button);
    countDown->setTarget(mDelegate.get());
    countDown->setAction("snapShotDefaults");
    view->outletShutterCountDown = countDown;
    QObject::connect(snapshot, &QAction::triggered, countDown, [countDown, snapshot] { countDown->beginCountDown(snapshot); });
    if (button == nullptr) return;
    // The seconds left on the button while it counts.
    const QString title = snapshot->iconText();
    new LumoraCountDownFace(button, title);
}

void LumoraMainNib::joinFiltersPanel() {
    // The two 1-D filter curves the effects take, edited in their panel, moved by MIDI and kept
    // in the bookmarks.
    mFiltersPanel = std::make_unique<LumoraFiltersPanel>(mWindow.get());
    if (NSUILumoraView *view = renderView()) mFiltersPanel->join(view->lumoraBuffer(), view, mMidiController.data());
}

void LumoraMainNib::joinMIDI() {
    // MIDI from every source: a note takes a snapshot through the delegate, controllers move
    // the effect amount and parameter. Without a MIDI system it stays silent.
    auto *tweening = Child<LumoraInterpolationController>(mWindow.get(), "interpolator");
    auto *channel = new UFMIDIChannelInController;
    channel->setOutletInputPortName(QStringLiteral("Lumora MIDI In"));
    channel->awakeFromNib();
    auto *midi = new QMIDIController;
    midi->setOutletMIDIChannelInController(channel);
    midi->setOutletInterpolationController(tweening);
    midi->setOutletAppController(mDelegate.get());
    midi->awakeFromNib();
    UPersistentObjectsController::registerPersistentObjectShared(midi, true);
    mMidiController = midi;
    mOwned << midi << channel;
}

bool LumoraMainNib::openSelectedEffect() {
    QComboBox *popup = effectsPopup();
    const QString title = popup != nullptr ? popup->currentText() : QString();
    if (!title.isEmpty() && mDelegate->openBundleComposition(title)) return true;
    if (popup != nullptr) popup->setCurrentText(QString::fromLatin1(kDefaultEffect));
    return mDelegate->openBundleComposition(QString::fromLatin1(kDefaultEffect));
}
