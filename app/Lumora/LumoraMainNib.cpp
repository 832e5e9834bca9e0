#include "LumoraMainNib.h"

#include "LumoraMainWindow.h"

#include <AppKit/NSButton.h>
#include <AppKit/NSNib.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <LumoraApp/CamInputVDIGController.h>
#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QFXBundleController.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/QActualFPSController.h>
#include <LumoraApp/UCoreFnSampler.h>
#include <QCam/QImageCompressionSettings.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <QCam/CameraControls/QCamPlayController.h>
#include <QCam/CameraControls/QCamReflecterView.h>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

#include <cstdlib>

// The nib's plain objects and views that the form names by class.
NS_REGISTER_CLASS(QTZInputController);
NS_REGISTER_CLASS(LumoraRenderBuffer);
NS_REGISTER_CLASS(NSUIDisplayLinkViewController);

namespace {

const char kDefaultEffect[] = "iSight";
// The switcher's source numbers (QCamReflecter).
constexpr int32_t kSwitcherBlack = 0, kSwitcherCamera = 2;

template <typename T>
T *Child(QObject *root, const char *name) {
    return root != nullptr ? root->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

}  // namespace

bool LumoraLinkMainNibClasses() {
    // The classes the form names are made by name: their modules must be linked in.
    return import_NSUILumoraView() && import_QActualFPSController() && import_UCoreFnSampler() &&
           import_QFXBundleController() && import_QImageCompressionSettings() && import_NSUIDisplayLink() &&
           import_LumoraLayerViewNibbler() && import_USandboxUserFolder() && import_AppController();
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
    // The delegate's folders are saved while they are still there.
    if (mDelegate) UPersistentObjectsController::unregisterPersistentObjectShared(mDelegate.get());
    mWindow.reset();
    for (const QPointer<QObject> &object : mOwned) delete object.data();
    mOwned.clear();
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
        {"menuSnapShotTexture", &AppController::snapShotTexture},
        {"menuSnapShotDefaults", &AppController::snapShotDefaults},
        {"menuSnapShotFormatJPEG", &AppController::snapShotFormatJPEG},
        {"menuToggleMovieRecording", &AppController::toggleMovieRecording},
    };
    for (const Item &item : items)
        if (QAction *action = Child<QAction>(mWindow.get(), item.name)) {
            AppController *delegate = mDelegate.get();
            auto method = item.action;
            QObject::connect(action, &QAction::triggered, delegate, [delegate, method, action] { (delegate->*method)(action); });
        }
    if (QAction *quit = Child<QAction>(mWindow.get(), "menuQuit"))
        QObject::connect(quit, &QAction::triggered, mWindow.get(), [this] { mDelegate->windowShouldClose(mWindow.get()); });
    if (QAction *about = Child<QAction>(mWindow.get(), "mMenuItemAboutApp"))
        QObject::connect(about, &QAction::triggered, mWindow.get(), [this] {
            QWidget *window = mWindow.get();
            QMetaObject::invokeMethod(window, [window] {
                QMessageBox::about(window, QObject::tr("About Lumora"),
                                   QObject::tr("Lumora %1\nA live-camera effects studio.").arg(AppController::kApplicationVersion));
            }, Qt::QueuedConnection);
        });

    joinCameraSource();
    joinLayerPanel();
    fillEffectsPopup();
    return true;
}

void LumoraMainNib::joinCameraSource() {
    // The source chain: the reflecter view (camera, still, movie or test camera), its
    // controller, and the nibbler the input controller pulls frames from.
    auto *input = qobject_cast<QTZInputController *>(mDelegate->outletInputController.data());
    if (input == nullptr) return;
    auto *reflecter = new QCamReflecterView;
    reflecter->hide();
    auto *preview = new NSButton(reflecter);
    auto *controls = new QCamPlayController(reflecter);
    reflecter->setProperty("_previewButton", QVariant::fromValue(preview));
    reflecter->setProperty("_camController", QVariant::fromValue(controls));
    reflecter->awakeFromNib();
    auto *controller = new CamInputVDIGController;
    controller->setCamReflectorView(reflecter);
    controller->awakeFromNib();
    auto *nibbler = new CamInputVDIGNibbler;
    nibbler->hide();
    nibbler->setNibblerController(controller);
    input->setCamViewNibbler(nibbler);
    mCameraController = controller;
    mOwned << nibbler << controller << reflecter;

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
    // The composition's texture shown, not mirrored.
    auto *panel = new LumoraLayerViewNibbler;
    panel->hide();
    auto *textureOn = new NSButton(panel);
    textureOn->setState(1);
    auto *matrix = new NSOGLTextureMatrixController(panel);
    matrix->set_textureEnabled(textureOn);
    panel->setLayerMatrixController(matrix);
    buffer->setLayerController(panel);
    view->outletLumoraLayerController = panel;
    mOwned << panel;
}

QStringList LumoraMainNib::effectTitles() const {
    QStringList titles{QString::fromLatin1(kDefaultEffect)};
    if (auto *packs = qobject_cast<QFXBundleController *>(mDelegate->outletEffectPacks.data()))
        for (const QString &name : packs->compositionNames())
            if (!titles.contains(name)) titles.append(name);
    return titles;
}

void LumoraMainNib::fillEffectsPopup() {
    QComboBox *popup = effectsPopup();
    if (popup == nullptr) return;
    popup->clear();
    popup->addItems(effectTitles());
    AppController *delegate = mDelegate.get();
    QObject::connect(popup, &QComboBox::textActivated, delegate,
                     [delegate](const QString &title) { delegate->openBundleComposition(title); });
}

bool LumoraMainNib::openSelectedEffect() {
    QComboBox *popup = effectsPopup();
    const QString title = popup != nullptr ? popup->currentText() : QString();
    if (!title.isEmpty() && mDelegate->openBundleComposition(title)) return true;
    if (popup != nullptr) popup->setCurrentText(QString::fromLatin1(kDefaultEffect));
    return mDelegate->openBundleComposition(QString::fromLatin1(kDefaultEffect));
}
