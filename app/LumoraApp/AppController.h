// AppController: the application's delegate and the owner of its top-level menu actions.
//
// It fans the launch and terminate notifications out to the main controllers in a fixed order:
//     launch     inspector, camera view, bookmarks panel, input controller
//     terminate  input controller, camera view, bookmarks panel, inspector
// opens compositions, background and stencil images chosen by the user (a QFileDialog) or
// handed over on the command line, keeps a file that arrives before launch has completed and
// opens it once right after, reveals the snapshot and movie folders in the desktop's file
// manager, forwards snapshot actions to the camera view and keeps the video-digitizer
// preferences that start-up reads (LumoraStartup.h).
//
// Class preferences: each reads the standard user defaults and answers the stored value
// unchanged whatever its kind; only a missing key gives the default (a boolean). Each setter
// stores the value and writes the defaults at once.
//     "autoDetectVDIG" YES, "loadAvistor" NO, "loadMovidra" NO, "loadWindrakeVDIG" NO
//
// Recent documents: our own list of paths (newest first, at most kRecentDocumentsLimit) in the
// user defaults under "NSRecentDocuments", shown in the open-recent menu.
//
// Main thread only.
#pragma once

#include <CoreX/CoreMachElapsedTime.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSObject.h>
#include <CocoaFoundation/UPersistentObjectsController.h>

#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

#include <QAction>
#include <QMenu>
#include <QWidget>

class AppController : public NSObject, public UPersistentObject {
    Q_OBJECT
    Q_PROPERTY(QWidget *outletMainWindow MEMBER outletMainWindow)
    Q_PROPERTY(QObject *outletRenderView MEMBER outletRenderView)
    Q_PROPERTY(QObject *outletInputController MEMBER outletInputController)
    Q_PROPERTY(QObject *outletBookmarksPanel MEMBER outletBookmarksPanel)
    Q_PROPERTY(QWidget *outletInputPanel MEMBER outletInputPanel)
    Q_PROPERTY(QObject *outletAppInspector MEMBER outletAppInspector)
    Q_PROPERTY(QObject *outletPersistentObjects MEMBER outletPersistentObjects)
    Q_PROPERTY(QObject *outletPicturesFolder MEMBER outletPicturesFolder)
    Q_PROPERTY(QObject *outletMoviesFolder MEMBER outletMoviesFolder)
    Q_PROPERTY(QObject *outletEffectPacks MEMBER outletEffectPacks)
    Q_PROPERTY(QString launchFileOpenPath READ launchFileOpenPath WRITE setLaunchFileOpenPath)
    Q_PROPERTY(bool launchComplete READ launchComplete WRITE setLaunchComplete)

public:
    static constexpr char kAboutFormat[] = "About %s %s\n";
    static constexpr char kApplicationName[] = "Lum@ra";
    static constexpr char kApplicationVersion[] = "2.0.4";
    static constexpr char kRecentDocumentsKey[] = "NSRecentDocuments";
    static constexpr int kRecentDocumentsLimit = 10;
    // The modifier bit (Command on the original keyboard, Ctrl here) that picks the movies folder.
    static constexpr quint64 kCommandKeyMask = 1ull << 20;

    Q_INVOKABLE explicit AppController(QObject *parent = nullptr);
    ~AppController() override;

    // The class set-up, once per process: the image units of the three Library domains loaded,
    // the "attributedStringFromCoreFoundationString" value transformer registered.
    static void initialize();

    // ---- Class preferences ----
    static QVariant class_autoDetectVDIG();
    static void class_setAutoDetectVDIG(const QVariant &value);
    static QVariant class_loadAvistor();
    static void class_setLoadAvistor(const QVariant &value);
    static QVariant class_loadMovidra();
    static void class_setLoadMovidra(const QVariant &value);
    static QVariant class_loadWindrakeVDIG();
    static void class_setLoadWindrakeVDIG(const QVariant &value);
    QVariant autoDetectVDIG() const { return class_autoDetectVDIG(); }
    void setAutoDetectVDIG(const QVariant &value) { class_setAutoDetectVDIG(value); }
    QVariant loadAvistor() const { return class_loadAvistor(); }
    void setLoadAvistor(const QVariant &value) { class_setLoadAvistor(value); }
    QVariant loadMovidra() const { return class_loadMovidra(); }
    void setLoadMovidra(const QVariant &value) { class_setLoadMovidra(value); }
    QVariant loadWindrakeVDIG() const { return class_loadWindrakeVDIG(); }
    void setLoadWindrakeVDIG(const QVariant &value) { class_setLoadWindrakeVDIG(value); }

    // "outletMoviesFolder.sandboxBookmarkData", "outletPicturesFolder.sandboxBookmarkData".
    QSet<QString> persistentObjectKeyPaths() const override;

    // ---- Outlets (nib objects, not owned) ----
    QPointer<QWidget> outletMainWindow;
    QPointer<QObject> outletRenderView;       // NSUILumoraView
    QPointer<QObject> outletInputController;  // QTZInputController
    QPointer<QObject> outletBookmarksPanel;
    QPointer<QWidget> outletInputPanel;
    QPointer<QObject> outletAppInspector;
    QPointer<QObject> outletPersistentObjects;  // UPersistentObjectsController
    QPointer<QObject> outletPicturesFolder;     // USandboxPicturesFolder
    QPointer<QObject> outletMoviesFolder;       // USandboxMoviesFolder
    QPointer<QObject> outletEffectPacks;        // QFXBundleController
    QPointer<QMenu> _openRecentMenu;
    QPointer<QAction> mMenuItemAboutApp;
    QPointer<QAction> _menuCheckForUpdates;

    QString launchFileOpenPath() const { return _launchFileOpenPath; }
    void setLaunchFileOpenPath(const QString &path) { _launchFileOpenPath = path; }
    bool launchComplete() const { return _launchComplete; }
    void setLaunchComplete(bool complete) { _launchComplete = complete; }
    double masterTimeClock() const { return _masterTimeClock; }

    // ---- Life cycle ----
    // launchComplete NO, registered with the persistent objects, the open-recent menu filled.
    Q_INVOKABLE void awakeFromNib();
    // Observes the application's launch and terminate notifications and its activation.
    void observeApplication();
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);
    Q_INVOKABLE void applicationDidBecomeActive(const NSNotification &notification);
    Q_INVOKABLE void applicationDidResignActive(const NSNotification &notification);
    // The main window closing ends the application; any window may close. Always true.
    bool windowShouldClose(QObject *sender);

    // ---- Opening ----
    Q_INVOKABLE void openComposition(QObject *sender = nullptr);
    QString openFileForType(const QString &type);
    // One file of the extensions through the open panel; empty unless the panel ends with OK
    // and a file (an OK without one is reported).
    QString openFileForTypes(const QStringList &extensions);
    // Whether the composition at the path opened (the path noted as a recent document first).
    bool openFile(const QString &path);
    // False for an empty list; else the first path: kept until launch completes, or opened.
    bool openFiles(const QStringList &paths);
    bool applicationOpenFiles(const QStringList &paths) { return openFiles(paths); }
    // The composition of that name through the camera view (openCompositionName); without one
    // that opens names, an effect pack's, else "<name>.qtz" of the resources.
    bool openBundleComposition(const QString &name);
    Q_INVOKABLE void selectCompositionByName(QObject *menuItem);
    Q_INVOKABLE void reloadComposition(QObject *sender = nullptr);
    Q_INVOKABLE void openBackgroundImage(QObject *sender = nullptr);
    Q_INVOKABLE void openStencilImage(QObject *sender = nullptr);

    // ---- Snapshots and folders ----
    Q_INVOKABLE void snapShotTexture(QObject *sender = nullptr);
    Q_INVOKABLE void snapShotDefaults(QObject *sender = nullptr);
    Q_INVOKABLE void snapShotFormatJPEG(QObject *sender = nullptr);
    // The movies folder with the Command (Ctrl) modifier, else the pictures folder, shown in
    // the file manager; false (reported) when it cannot be shown.
    bool revealSnapshotFolder(quint64 modifierFlags);
    Q_INVOKABLE void revealSnapshotFolderAction(QObject *sender = nullptr);
    Q_INVOKABLE void toggleMovieRecording(QObject *) {}
    bool shouldFilterDesign(const QVariant &) const { return false; }

    // ---- Recent documents ----
    static QStringList recentDocuments();
    static void noteNewRecentDocument(const QString &path);
    static void clearRecentDocuments();
    void rebuildOpenRecentMenu();

    // ---- Seams for tests ----
    // What the open panel answers: (accepted, chosen file). The default shows a QFileDialog.
    using OpenPanel = std::function<std::pair<bool, QString>(const QStringList &extensions)>;
    void setOpenPanel(OpenPanel panel) { mOpenPanel = std::move(panel); }
    // Shows a folder in the file manager; the default asks org.freedesktop.FileManager1 over
    // D-Bus and falls back to opening the folder with the desktop's handler.
    using FolderRevealer = std::function<bool(const QString &path)>;
    void setFolderRevealer(FolderRevealer revealer) { mRevealer = std::move(revealer); }
    static bool revealInFileManager(const QString &path);

private:
    QObject *renderView() const { return outletRenderView.data(); }
    void forward(QObject *target, const char *selector, const NSNotification &notification);
    bool openCompositionData(const QByteArray &data, const QString &what);

    double _masterTimeClock;
    QString _launchFileOpenPath;
    bool _launchComplete = false;
    OpenPanel mOpenPanel;
    FolderRevealer mRevealer;
    bool mObserving = false;
};

bool import_AppController();
