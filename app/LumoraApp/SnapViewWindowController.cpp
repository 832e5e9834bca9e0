#include <LumoraApp/SnapViewWindowController.h>

#include <Foundation/NSException.h>

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {

int sCascade = 0;  // main thread

bool OpenWithDesktop(const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

// The file manager's D-Bus interface; false when none answers.
bool RevealWithFileManager(const QString &path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

SnapViewWindow::UrlOpener sOpener = &OpenWithDesktop;
SnapViewWindow::FileRevealer sRevealer = &RevealWithFileManager;

}  // namespace

// ---- SnapViewWindow -----------------------------------------------------------------------------

SnapViewWindow::SnapViewWindow(QWidget *parent) : LumoraWindow(QRect(0, 0, 480, 400), 0, 2, false, parent) {
    setWindowFlag(Qt::Window, true);
    setAttribute(Qt::WA_DeleteOnClose, true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    mToolbar = new QToolBar(this);
    mToolbar->setObjectName(QString::fromLatin1(kToolbarIdentifier));
    mToolbar->setIconSize(QSize(16, 16));  // the small size
    for (const QString &identifier : toolbarAllowedItemIdentifiers()) {
        QAction *item = mToolbar->addAction(identifier.section(QLatin1Char(' '), 0, 0));
        item->setObjectName(identifier);
        item->setToolTip(identifier);
        connect(item, &QAction::triggered, this, [this, identifier] { toolbarItemAction(identifier); });
    }
    layout->addWidget(mToolbar);
    mImageView = new QLabel(this);
    mImageView->setObjectName(QStringLiteral("outletImageView"));
    mImageView->setAlignment(Qt::AlignCenter);
    mImageView->setMinimumSize(160, 120);
    mImageView->setScaledContents(false);
    layout->addWidget(mImageView, 1);
    mMovieView = new QWidget(this);
    mMovieView->setObjectName(QStringLiteral("outletMovieView"));
    mMovieView->hide();
    layout->addWidget(mMovieView, 1);
}

SnapViewWindow::~SnapViewWindow() { mMediaPath.clear(); }

QStringList SnapViewWindow::toolbarAllowedItemIdentifiers() {
    return {QString::fromLatin1(kOpenItem), QString::fromLatin1(kRevealItem)};
}

void SnapViewWindow::setMediaPath(const QString &path) {
    mMediaPath = path;
    if (QFileInfo(path).suffix() == QLatin1String("mov")) {
        // No movie view is built into the viewer: a movie is not shown, the window stays
        // untitled.
        mImageView->hide();
        return;
    }
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull()) return;
    mMovieView->hide();
    mImageView->setPixmap(QPixmap::fromImage(picture).scaled(QSize(480, 360), Qt::KeepAspectRatio,
                                                             Qt::SmoothTransformation));
    mImageView->setProperty("image", picture);
    mImageView->show();
    setWindowTitle(QFileInfo(path).fileName());
    setWindowFilePath(path);
}

QImage SnapViewWindow::image() const { return mImageView->property("image").value<QImage>(); }

int SnapViewWindow::titleBarHeight() const { return frameGeometry().height() - geometry().height(); }

void SnapViewWindow::toolbarItemAction(const QString &identifier) {
    if (identifier == QLatin1String(kOpenItem)) openFinderSnapshotAction();
    else if (identifier == QLatin1String(kRevealItem)) revealFinderSnapshotAction();
}

void SnapViewWindow::openFinderSnapshotAction(QObject *) {
    if (!mMediaPath.isEmpty()) sOpener(mMediaPath);
}

void SnapViewWindow::revealFinderSnapshotAction(QObject *) {
    if (mMediaPath.isEmpty()) return;
    if (!sRevealer(mMediaPath)) sOpener(QFileInfo(mMediaPath).absolutePath());
}

void SnapViewWindow::closeSnapWindow(QObject *) { close(); }

SnapViewWindow::UrlOpener SnapViewWindow::setUrlOpenerForTesting(UrlOpener opener) {
    const UrlOpener previous = sOpener;
    sOpener = opener != nullptr ? opener : &OpenWithDesktop;
    return previous;
}

SnapViewWindow::FileRevealer SnapViewWindow::setFileRevealerForTesting(FileRevealer revealer) {
    const FileRevealer previous = sRevealer;
    sRevealer = revealer != nullptr ? revealer : &RevealWithFileManager;
    return previous;
}

// ---- SnapViewWindowController -------------------------------------------------------------------

SnapViewWindow *SnapViewWindowController::snapViewForMediaPath(const QString &path) {
    if (path.isEmpty()) return nullptr;
    auto *controller = new SnapViewWindowController(path);
    SnapViewWindow *window = controller->snapWindow();
    controller->showWindow();
    return window;
}

SnapViewWindowController::SnapViewWindowController(const QString &path, QObject *parent) : QObject(parent) {
    auto *window = new SnapViewWindow();
    mWindow = window;
    window->setController(this);
    // The controller goes with its window.
    connect(window, &QObject::destroyed, this, &QObject::deleteLater);
    if (!path.isEmpty()) window->setMediaPath(path);
}

SnapViewWindowController::~SnapViewWindowController() {
    NSLog(QStringLiteral("%1 dealloc\n").arg(QLatin1String(metaObject()->className())));
}

void SnapViewWindowController::showWindow() {
    if (!mWindow) return;
    mWindow->show();
    moveSnapWindowDownByTitleBarCount();
}

void SnapViewWindowController::moveSnapWindowDownByTitleBarCount() {
    if (!mWindow) return;
    const int offset = mWindow->titleBarHeight() * sCascade;
    if (offset != 0) mWindow->move(mWindow->pos() + QPoint(0, offset));
    sCascade += 1;
    if (sCascade >= 11) sCascade = 0;
}

int SnapViewWindowController::cascadeCount() { return sCascade; }
void SnapViewWindowController::resetCascadeCount() { sCascade = 0; }

bool import_SnapViewWindowController() { return true; }
