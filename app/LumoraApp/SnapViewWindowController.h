// The snapshot viewer: a small window of its own showing a new snapshot (an image view), with a
// toolbar to open the file with the desktop's default application or reveal it in the file
// manager. Viewers cascade: each new one is moved down by one more title-bar height than the
// last, ten times, then the next starts again unmoved.
//
// Linux choices: "Open with Finder" opens the file through QDesktopServices; "Reveal in Finder"
// asks the file manager over D-Bus (org.freedesktop.FileManager1 ShowItems) and, when no file
// manager answers, opens the file's folder. There is no photo library to import into, so that
// toolbar item is not offered. Everything here runs on the main thread.
#pragma once

#include <LumoraApp/LumoraWindow.h>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QLabel;
class QToolBar;
class SnapViewWindowController;

class SnapViewWindow : public LumoraWindow {
    Q_OBJECT
public:
    static constexpr char kOpenItem[] = "Open with Finder";
    static constexpr char kRevealItem[] = "Reveal in Finder";
    static constexpr char kToolbarIdentifier[] = "kSnapViewWindowToolbar";

    explicit SnapViewWindow(QWidget *parent = nullptr);
    ~SnapViewWindow() override;

    // The toolbar's items, in order.
    static QStringList toolbarAllowedItemIdentifiers();

    // Stores the path and shows the file: a picture in the image view; a movie ("mov") hides
    // the image view and is shown only when it can be opened. The window is titled by the file
    // when it could be shown.
    void setMediaPath(const QString &path);
    QString mediaPath() const { return mMediaPath; }
    // The image shown, or a null image.
    QImage image() const;
    SnapViewWindowController *controller() const { return mController.data(); }
    void setController(SnapViewWindowController *controller) { mController = controller; }
    QLabel *imageView() const { return mImageView; }
    QWidget *movieView() const { return mMovieView; }
    QToolBar *toolbar() const { return mToolbar; }
    // Frame height minus content height.
    int titleBarHeight() const;

    // By identifier: open or reveal; anything else does nothing.
    Q_INVOKABLE void toolbarItemAction(const QString &identifier);
    Q_INVOKABLE void openFinderSnapshotAction(QObject *sender = nullptr);
    Q_INVOKABLE void revealFinderSnapshotAction(QObject *sender = nullptr);
    Q_INVOKABLE void closeSnapWindow(QObject *sender = nullptr);

    // Test seams: how a URL is opened and how a file is revealed (null restores).
    using UrlOpener = bool (*)(const QString &pathOrFolder);
    static UrlOpener setUrlOpenerForTesting(UrlOpener opener);
    using FileRevealer = bool (*)(const QString &path);
    static FileRevealer setFileRevealerForTesting(FileRevealer revealer);

private:
    QString mMediaPath;
    QLabel *mImageView = nullptr;
    QWidget *mMovieView = nullptr;
    QToolBar *mToolbar = nullptr;
    QPointer<SnapViewWindowController> mController;
};

class SnapViewWindowController : public QObject {
    Q_OBJECT
public:
    // A new controller and viewer for the path, shown; the window (deleted when closed, with its
    // controller). Null when there is no path.
    static SnapViewWindow *snapViewForMediaPath(const QString &path);
    static SnapViewWindow *snapViewForImagePath(const QString &path) { return snapViewForMediaPath(path); }

    explicit SnapViewWindowController(const QString &path, QObject *parent = nullptr);
    ~SnapViewWindowController() override;

    SnapViewWindow *snapWindow() const { return mWindow.data(); }
    // Shows the window, then moves it down by the cascade.
    void showWindow();
    void moveSnapWindowDownByTitleBarCount();
    bool windowShouldClose() const { return true; }

    // The cascade counter (0 to 10).
    static int cascadeCount();
    static void resetCascadeCount();

private:
    QPointer<SnapViewWindow> mWindow;
};

bool import_SnapViewWindowController();
