#include "AppController.h"

#include "LumoraStartup.h"
#include "NSUILumoraView.h"
#include "QFXBundleController.h"
#include "QTZInputController.h"

#include <CocoaFoundation/NSAttributedString_NSCFString_ValueTransformer.h>
#include <CocoaFoundation/PersistentKeyPaths.h>
#include <CoreFoundation/CFData.h>
#include <CoreImage/CIPlugIn.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreMachElapsedTime.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>
#include <Foundation/NSValueTransformer.h>
#include <QuartzComposer/QCComposition.h>

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <QUrl>
#include <QWidget>

NS_REGISTER_CLASS(AppController);

namespace {

QVariant Preference(const char *key, bool fallback) {
    const QVariant stored = NSUserDefaults::standardUserDefaults().objectForKey(QString::fromLatin1(key));
    return stored.isValid() ? stored : QVariant(fallback);
}

void SetPreference(const char *key, const QVariant &value) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(value, QString::fromLatin1(key));
    defaults.synchronize();
}

// The object when it has the invokable method of that signature; null otherwise.
QObject *Implementing(QObject *object, const char *signature) {
    return object != nullptr && object->metaObject()->indexOfMethod(signature) >= 0 ? object : nullptr;
}

bool SendObject(QObject *object, const char *method, QObject *argument) {
    const QByteArray signature = QByteArray(method) + "(QObject*)";
    QObject *target = Implementing(object, signature.constData());
    return target != nullptr && QMetaObject::invokeMethod(target, method, Qt::DirectConnection, Q_ARG(QObject *, argument));
}

bool SendString(QObject *object, const char *method, const QString &argument) {
    const QByteArray signature = QByteArray(method) + "(QString)";
    QObject *target = Implementing(object, signature.constData());
    return target != nullptr && QMetaObject::invokeMethod(target, method, Qt::DirectConnection, Q_ARG(QString, argument));
}

}  // namespace

AppController::AppController(QObject *parent)
    : NSObject(parent), _masterTimeClock(double(CoreMachElapsedTime::GetNanoseconds()) / 1000.0) {
    initialize();
}

AppController::~AppController() {
    // Persistent objects unregister before they go (saved then, if still registered).
    UPersistentObjectsController::unregisterPersistentObjectShared(this);
    if (mObserving) NSNotificationCenter::defaultCenter().removeObserver(this);
}

void AppController::initialize() {
    static const bool once = [] {
        CIPlugIn::loadAllPlugIns();
        import_LumoraStartup();
        NSValueTransformer::setValueTransformer(std::make_shared<NSAttributedString_NSCFString_ValueTransformer>(),
                                                QStringLiteral("attributedStringFromCoreFoundationString"));
        return true;
    }();
    (void)once;
}

// ---- Class preferences ----------------------------------------------------------------------

QVariant AppController::class_autoDetectVDIG() { return Preference("autoDetectVDIG", true); }
void AppController::class_setAutoDetectVDIG(const QVariant &value) { SetPreference("autoDetectVDIG", value); }
QVariant AppController::class_loadAvistor() { return Preference("loadAvistor", false); }
void AppController::class_setLoadAvistor(const QVariant &value) { SetPreference("loadAvistor", value); }
QVariant AppController::class_loadMovidra() { return Preference("loadMovidra", false); }
void AppController::class_setLoadMovidra(const QVariant &value) { SetPreference("loadMovidra", value); }
QVariant AppController::class_loadWindrakeVDIG() { return Preference("loadWindrakeVDIG", false); }
void AppController::class_setLoadWindrakeVDIG(const QVariant &value) { SetPreference("loadWindrakeVDIG", value); }

QSet<QString> AppController::persistentObjectKeyPaths() const {
    return {QStringLiteral("outletMoviesFolder.sandboxBookmarkData"), QStringLiteral("outletPicturesFolder.sandboxBookmarkData")};
}

// ---- Life cycle -----------------------------------------------------------------------------

void AppController::awakeFromNib() {
    setLaunchComplete(false);
    auto *persistent = qobject_cast<UPersistentObjectsController *>(outletPersistentObjects.data());
    if (persistent == nullptr) persistent = UPersistentObjectsController::sharedPersistentObjectsController();
    if (persistent != nullptr) persistent->registerPersistentObject(this);
    rebuildOpenRecentMenu();
}

void AppController::observeApplication() {
    if (mObserving) return;
    mObserving = true;
    NSNotificationCenter &centre = NSNotificationCenter::defaultCenter();
    centre.addObserver(this, "applicationDidFinishLaunching", QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr);
    centre.addObserver(this, "applicationWillTerminate", QString::fromLatin1(NSApplicationWillTerminateNotification), nullptr);
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) applicationDidBecomeActive(NSNotification());
            else if (state == Qt::ApplicationInactive) applicationDidResignActive(NSNotification());
        });
    }
}

void AppController::forward(QObject *target, const char *selector, const NSNotification &notification) {
    const QByteArray signature = QByteArray(selector) + "(NSNotification)";
    if (QObject *object = Implementing(target, signature.constData()))
        QMetaObject::invokeMethod(object, selector, Qt::DirectConnection, Q_ARG(NSNotification, notification));
}

void AppController::applicationDidFinishLaunching(const NSNotification &notification) {
    if (QWidget *window = outletMainWindow.data()) {
        // The panel stays above the camera window as the window's own tool window.
        if (QWidget *panel = outletInputPanel.data()) panel->setWindowFlag(Qt::Tool, true);
        // The picture keeps its shape: the view's frame, else the window's, gives the ratio.
        auto *view = qobject_cast<QWidget *>(outletRenderView.data());
        const QSize frame = view != nullptr && !view->size().isEmpty() ? view->size() : window->size();
        window->setProperty("aspectRatio", QSizeF(frame));
    }
    if (QAction *about = mMenuItemAboutApp.data()) {
        // The format's line end is a menu title's no more.
        about->setText(QString::asprintf(kAboutFormat, kApplicationName, kApplicationVersion).trimmed());
    }
    forward(outletAppInspector.data(), "applicationDidFinishLaunching", notification);
    forward(outletRenderView.data(), "applicationDidFinishLaunching", notification);
    forward(outletBookmarksPanel.data(), "applicationDidFinishLaunching", notification);
    forward(outletInputController.data(), "applicationDidFinishLaunching", notification);
    setLaunchComplete(true);
    if (!launchFileOpenPath().isEmpty()) {
        QPointer<AppController> self(this);
        QTimer::singleShot(0, this, [self] {
            if (!self) return;
            const QString path = self->launchFileOpenPath();
            self->setLaunchFileOpenPath(QString());
            if (!path.isEmpty()) self->openFile(path);
        });
    }
}

void AppController::applicationWillTerminate(const NSNotification &notification) {
    forward(outletInputController.data(), "applicationWillTerminate", notification);
    forward(outletRenderView.data(), "applicationWillTerminate", notification);
    forward(outletBookmarksPanel.data(), "applicationWillTerminate", notification);
    forward(outletAppInspector.data(), "applicationWillTerminate", notification);
}

void AppController::applicationDidBecomeActive(const NSNotification &) {
    if (auto *input = qobject_cast<QTZInputController *>(outletInputController.data())) input->setCameraActive(true);
}

void AppController::applicationDidResignActive(const NSNotification &) {
    if (auto *input = qobject_cast<QTZInputController *>(outletInputController.data())) input->setCameraActive(false);
}

bool AppController::windowShouldClose(QObject *sender) {
    if (sender != nullptr && sender == outletMainWindow.data()) {
        if (NSApplication *application = NSApplication::sharedApplication()) application->terminate(this);
        else QCoreApplication::quit();
    }
    return true;
}

// ---- Opening --------------------------------------------------------------------------------

void AppController::openComposition(QObject *) {
    const QString path = openFileForType(QStringLiteral("qtz"));
    if (!VERIFY_TEXT(!path.isEmpty(), " code : compositionPath")) return;
    openFile(path);
}

QString AppController::openFileForType(const QString &type) { return openFileForTypes(QStringList{type}); }

QString AppController::openFileForTypes(const QStringList &extensions) {
    std::pair<bool, QString> answer{false, QString()};
    if (mOpenPanel) {
        answer = mOpenPanel(extensions);
    } else {
        QStringList patterns;
        for (const QString &extension : extensions) patterns.append(QStringLiteral("*.") + extension);
        QFileDialog panel(outletMainWindow.data(), tr("Open"));
        panel.setFileMode(QFileDialog::ExistingFile);
        panel.setNameFilter(tr("Files (%1)").arg(patterns.join(QLatin1Char(' '))));
        const bool accepted = panel.exec() == QDialog::Accepted;
        const QStringList files = panel.selectedFiles();
        answer = {accepted, files.isEmpty() ? QString() : files.first()};
    }
    if (!answer.first) return QString();
    // An OK without a file is no success.
    if (!VERIFY_TEXT(!answer.second.isEmpty(), " code : result = [openPanel filename]")) return QString();
    return answer.second;
}

bool AppController::openCompositionData(const QByteArray &data, const QString &what) {
    auto *view = qobject_cast<NSUILumoraView *>(renderView());
    if (view == nullptr) return false;
    std::string error = "no data";
    if (data.isEmpty() || !QCComposition::compositionWithBytes(data.constData(), size_t(data.size()), &error)) {
        CoreMachDebugLog("AppController: %s does not open as a composition: %s\n", what.toUtf8().constData(), error.c_str());
        return false;
    }
    // The composition's video input becomes the published camera input.
    QByteArray opened = data;
    CFDataRef bytes = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(data.constData()), CFIndex(data.size()));
    if (bytes != nullptr) {
        if (CFDataRef rewritten = QTZInputController::transformCompositionData(bytes)) {
            opened = QByteArray(reinterpret_cast<const char *>(CFDataGetBytePtr(rewritten)), int(CFDataGetLength(rewritten)));
            CFRelease(rewritten);
        }
        CFRelease(bytes);
    }
    view->openCompositionPrivateData(opened);
    return view->isCompositionOpenPrivate();
}

bool AppController::openFile(const QString &path) {
    if (path.isEmpty()) return false;
    noteNewRecentDocument(QFileInfo(path).absoluteFilePath());
    // A view that opens paths itself answers for itself.
    QObject *view = renderView();
    const QByteArray signature = "openCompositionPath(QString)";
    if (QObject *target = Implementing(view, signature.constData())) {
        bool opened = false;
        QMetaObject::invokeMethod(target, "openCompositionPath", Qt::DirectConnection, Q_RETURN_ARG(bool, opened),
                                  Q_ARG(QString, path));
        return opened;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CoreMachDebugLog("AppController: cannot read %s\n", path.toUtf8().constData());
        return false;
    }
    return openCompositionData(file.readAll(), path);
}

bool AppController::openFiles(const QStringList &paths) {
    if (paths.isEmpty()) return false;
    const QString &first = paths.first();
    if (!launchComplete()) {
        setLaunchFileOpenPath(first);  // the last one handed over before launch wins
        return true;
    }
    return openFile(first);
}

bool AppController::openBundleComposition(const QString &name) {
    if (name.isEmpty()) return false;
    // The camera view opens it by name, and so records it as the composition that plays (its
    // bookmarks and the effect pop-up name it).
    if (QObject *view = Implementing(renderView(), "openCompositionName(QString,bool)")) {
        bool opened = false;
        QMetaObject::invokeMethod(view, "openCompositionName", Qt::DirectConnection, Q_RETURN_ARG(bool, opened),
                                  Q_ARG(QString, name), Q_ARG(bool, false));
        return opened;
    }
    if (auto *packs = qobject_cast<QFXBundleController *>(outletEffectPacks.data())) {
        const QByteArray data = packs->compositionDataWithCompositionName(name);
        if (!data.isEmpty()) return openCompositionData(data, name);
    }
    const QString resource = DirectoryLocations::mainBundleResourcesFolder() + QStringLiteral("/") + name + QStringLiteral(".qtz");
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        CoreMachDebugLog("AppController: no composition named %s\n", name.toUtf8().constData());
        return false;
    }
    return openCompositionData(file.readAll(), name);
}

void AppController::selectCompositionByName(QObject *menuItem) {
    if (auto *action = qobject_cast<QAction *>(menuItem)) openBundleComposition(action->text());
    else if (menuItem != nullptr) openBundleComposition(menuItem->property("currentText").toString());
}

void AppController::reloadComposition(QObject *) {
    if (auto *view = qobject_cast<NSUILumoraView *>(renderView())) {
        const QByteArray data = view->compositionData();
        if (!data.isEmpty()) view->openCompositionPrivateData(data);
    }
}

void AppController::openBackgroundImage(QObject *) {
    const QString path = openFileForTypes(LumoraStillImageExtensions());
    SendString(renderView(), "openBackgroundImagePath", path);
}

void AppController::openStencilImage(QObject *) {
    const QString path = openFileForTypes(LumoraStillImageExtensions());
    SendString(renderView(), "openStencilImagePath", path);
}

// ---- Snapshots and folders ------------------------------------------------------------------

void AppController::snapShotTexture(QObject *sender) { SendObject(renderView(), "snapShotTexture", sender); }

void AppController::snapShotDefaults(QObject *) {
    if (QObject *view = Implementing(renderView(), "snapShotSceneWithDefaultImageFormat()"))
        QMetaObject::invokeMethod(view, "snapShotSceneWithDefaultImageFormat", Qt::DirectConnection);
}

void AppController::snapShotFormatJPEG(QObject *) {
    if (QObject *view = Implementing(renderView(), "snapShotSceneWithImageFormat(int)"))
        QMetaObject::invokeMethod(view, "snapShotSceneWithImageFormat", Qt::DirectConnection, Q_ARG(int, 0));
}

bool AppController::revealInFileManager(const QString &path) {
    const QString url = QUrl::fromLocalFile(path).toString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{url} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool AppController::revealSnapshotFolder(quint64 modifierFlags) {
    QObject *folder = (modifierFlags & kCommandKeyMask) != 0 ? outletMoviesFolder.data() : outletPicturesFolder.data();
    const QString path = folder != nullptr ? folder->property("folderPath").toString() : QString();
    if (path.isEmpty()) return false;
    const bool shown = mRevealer ? mRevealer(path) : revealInFileManager(path);
    return VERIFY_TEXT(shown, " code : [[NSWorkspace sharedWorkspace] selectFile:folderPath inFileViewerRootedAtPath:nil]");
}

void AppController::revealSnapshotFolderAction(QObject *) {
    const bool command = (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) != 0;
    revealSnapshotFolder(command ? kCommandKeyMask : 0);
}

// ---- Recent documents -----------------------------------------------------------------------

QStringList AppController::recentDocuments() {
    QStringList paths;
    for (const QVariant &value : NSUserDefaults::standardUserDefaults().arrayForKey(QString::fromLatin1(kRecentDocumentsKey)))
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty()) paths.append(value.toString());
    return paths;
}

void AppController::noteNewRecentDocument(const QString &path) {
    if (path.isEmpty()) return;
    QStringList paths = recentDocuments();
    paths.removeAll(path);
    paths.prepend(path);
    while (paths.size() > kRecentDocumentsLimit) paths.removeLast();
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(QVariant(QVariantList(paths.begin(), paths.end())), QString::fromLatin1(kRecentDocumentsKey));
    defaults.synchronize();
}

void AppController::clearRecentDocuments() {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.removeObject(QString::fromLatin1(kRecentDocumentsKey));
    defaults.synchronize();
}

void AppController::rebuildOpenRecentMenu() {
    QMenu *menu = _openRecentMenu.data();
    if (menu == nullptr) return;
    menu->clear();
    const QStringList paths = recentDocuments();
    for (const QString &path : paths) {
        QAction *item = menu->addAction(QFileInfo(path).fileName());
        item->setToolTip(path);
        connect(item, &QAction::triggered, this, [this, path] {
            openFile(path);
            rebuildOpenRecentMenu();
        });
    }
    if (!paths.isEmpty()) menu->addSeparator();
    QAction *clear = menu->addAction(tr("Clear Menu"));
    clear->setEnabled(!paths.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        clearRecentDocuments();
        rebuildOpenRecentMenu();
    });
}

bool import_AppController() { return true; }
