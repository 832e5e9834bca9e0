// The camera view's open composition, its download cache and its bookmark settings, without a
// window: a real render buffer plays what the view opens; downloads come from a small HTTP
// server in the test (QTcpServer on the main thread, so a download that ran on the main thread
// could never be answered).
//  - opening by name, by path, by data and by URL; reload reopens what any of them opened; the
//    identity fields (a name clears the path and URL, and so on) and their settings values;
//  - a URL opened twice is fetched once; the cache file is named from the URL alone and stays in
//    the cache folder whatever the server suggests; no cache folder, no download and nothing
//    written anywhere; a link at the cache name is replaced, never written through;
//  - the download's size cap and time-out;
//  - drops: a "qtz" file in any letter case opens, a folder, a picture, a file without
//    extension and a remote URL are refused, and the answer says so;
//  - bookmarks: the whole look captured, applied to a fresh view and captured again is equal;
//    a bookmark of a downloaded composition records the URL; hostile settings are refused,
//    dropped or clamped.
#include <LumoraApp/LumoraCompositionCache.h>
#include <LumoraApp/LumoraInterpolationController.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>

#include <UIParamMapping/NSUIParamMapping.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <functional>
#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

void Spin() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (dispatch_main_queue_drain() > 0) {
    }
}

// Runs the event loop until the condition holds or 20 seconds pass.
bool WaitFor(const std::function<bool()> &condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 20000) return false;
        Spin();
        QThread::msleep(2);
    }
    return true;
}

QByteArray ISightComposition() {
    QFile file(QStringLiteral(LUMORA_APP_RESOURCES "/iSight.qtz"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Answers every GET with the same response; counts the requests and keeps their paths.
class HttpServer : public QTcpServer {
public:
    HttpServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    mRequest[socket].append(socket->readAll());
                    if (!mRequest[socket].contains("\r\n\r\n")) return;
                    const QByteArray line = mRequest[socket].left(mRequest[socket].indexOf("\r\n"));
                    paths.append(QString::fromLatin1(line.split(' ').value(1)));
                    ++requests;
                    if (silent) return;
                    QByteArray head = "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n";
                    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
                    if (!suggestedName.isEmpty())
                        head += "Content-Disposition: attachment; filename=\"" + suggestedName + "\"\r\n";
                    head += "Connection: close\r\n\r\n";
                    socket->write(head + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString url(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path); }

    QByteArray body, status = "200 OK", suggestedName;
    bool silent = false;
    int requests = 0;
    QStringList paths;

private:
    QHash<QTcpSocket *, QByteArray> mRequest;
};

// A stand-in control that answers the settings selectors of the bookmark table.
class Knob : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QVariant color4DParam() const { return values.value(QStringLiteral("color4DParam")); }
    Q_INVOKABLE void setColor4DParam(const QVariant &v) { values.insert(QStringLiteral("color4DParam"), v); }
    Q_INVOKABLE QVariant intParam() const { return values.value(QStringLiteral("intParam")); }
    Q_INVOKABLE void setIntParam(const QVariant &v) { values.insert(QStringLiteral("intParam"), v); }
    Q_INVOKABLE QVariant nameParamValue() const { return values.value(QStringLiteral("nameParamValue")); }
    Q_INVOKABLE void setNameParamValue(const QVariant &v) { values.insert(QStringLiteral("nameParamValue"), v); }
    Q_INVOKABLE QVariant pathParamValue() const { return values.value(QStringLiteral("pathParamValue")); }
    Q_INVOKABLE void setPathParamValue(const QVariant &v) { values.insert(QStringLiteral("pathParamValue"), v); }
    Q_INVOKABLE QVariant URLParamValue() const { return values.value(QStringLiteral("URLParamValue")); }
    Q_INVOKABLE void setURLParamValue(const QVariant &v) { values.insert(QStringLiteral("URLParamValue"), v); }
    Q_INVOKABLE QVariant stringParamValue() const { return values.value(QStringLiteral("stringParamValue")); }
    Q_INVOKABLE void setStringParamValue(const QVariant &v) { values.insert(QStringLiteral("stringParamValue"), v); }
    Q_INVOKABLE QVariant buttonStateParam() const { return values.value(QStringLiteral("buttonStateParam")); }
    Q_INVOKABLE void setButtonStateParam(const QVariant &v) { values.insert(QStringLiteral("buttonStateParam"), v); }
    Q_INVOKABLE QVariant normalParam() const { return values.value(QStringLiteral("normalParam")); }
    Q_INVOKABLE void setNormalParam(const QVariant &v) { values.insert(QStringLiteral("normalParam"), v); }
    Q_INVOKABLE QVariant typeStringValue() const { return values.value(QStringLiteral("typeStringValue")); }
    Q_INVOKABLE void setTypeStringValue(const QVariant &v) { values.insert(QStringLiteral("typeStringValue"), v); }
    Q_INVOKABLE QVariant phaseStringValue() const { return values.value(QStringLiteral("phaseStringValue")); }
    Q_INVOKABLE void setPhaseStringValue(const QVariant &v) { values.insert(QStringLiteral("phaseStringValue"), v); }
    Q_INVOKABLE QVariant amplitudeStringValue() const { return values.value(QStringLiteral("amplitudeStringValue")); }
    Q_INVOKABLE void setAmplitudeStringValue(const QVariant &v) { values.insert(QStringLiteral("amplitudeStringValue"), v); }
    Q_INVOKABLE QVariant frequencyStringValue() const { return values.value(QStringLiteral("frequencyStringValue")); }
    Q_INVOKABLE void setFrequencyStringValue(const QVariant &v) { values.insert(QStringLiteral("frequencyStringValue"), v); }
    Q_INVOKABLE QVariant quantizeStringValue() const { return values.value(QStringLiteral("quantizeStringValue")); }
    Q_INVOKABLE void setQuantizeStringValue(const QVariant &v) { values.insert(QStringLiteral("quantizeStringValue"), v); }
    Q_INVOKABLE QVariant filterSamplesStringValue() const { return values.value(QStringLiteral("filterSamplesStringValue")); }
    Q_INVOKABLE void setFilterSamplesStringValue(const QVariant &v) { values.insert(QStringLiteral("filterSamplesStringValue"), v); }
    Q_INVOKABLE QVariant saveSamplesStringValue() const { return values.value(QStringLiteral("saveSamplesStringValue")); }
    Q_INVOKABLE void setSaveSamplesStringValue(const QVariant &v) { values.insert(QStringLiteral("saveSamplesStringValue"), v); }
    Q_INVOKABLE void setFilterStringValue(const QVariant &v) { values.insert(QStringLiteral("filterValues"), v); }
    QVariantMap values;
};

// The layer controller's outlets, and the layer matrix controller's.
class LayerOutlets : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *outletBackgroundImageView MEMBER imageView)
    Q_PROPERTY(QObject *outletBackgroundColorDraw MEMBER colorDraw)
    Q_PROPERTY(QObject *outletBackgroundColorWell MEMBER colorWell)
    Q_PROPERTY(QObject *outletBackgroundImageDraw MEMBER imageDraw)
    Q_PROPERTY(QObject *outletLayerMatrixController MEMBER matrix)
public:
    QObject *imageView = nullptr, *colorDraw = nullptr, *colorWell = nullptr, *imageDraw = nullptr, *matrix = nullptr;
};

class MatrixOutlets : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *outletTextureEnabled MEMBER enabled)
    Q_PROPERTY(QObject *outletTextureFlippedX MEMBER flippedX)
    Q_PROPERTY(QObject *outletTextureFlippedY MEMBER flippedY)
    Q_PROPERTY(QObject *outletMatrixScaleSlider MEMBER scale)
    Q_PROPERTY(QObject *outletMatrixTranslateXSlider MEMBER translateX)
    Q_PROPERTY(QObject *outletMatrixTranslateYSlider MEMBER translateY)
    Q_PROPERTY(QObject *outletMatrixTranslateZSlider MEMBER translateZ)
    Q_PROPERTY(QObject *outletMatrixAngleZSlider MEMBER angleZ)
    Q_PROPERTY(QObject *outletMatrixAngleXSlider MEMBER angleX)
    Q_PROPERTY(QObject *outletMatrixAngleYSlider MEMBER angleY)
public:
    QObject *enabled = nullptr, *flippedX = nullptr, *flippedY = nullptr, *scale = nullptr, *translateX = nullptr,
            *translateY = nullptr, *translateZ = nullptr, *angleZ = nullptr, *angleX = nullptr, *angleY = nullptr;
};

// A camera view with every control the bookmark table reaches.
struct Studio {
    Studio() {
        buffer = std::make_unique<LumoraRenderBuffer>();
        view = std::make_unique<NSUILumoraView>();
        view->outletLumoraBuffer = buffer.get();
        view->outletInterpolator = &interpolator;
        view->outletShutterPopupButton = &shutter;
        view->outletHorizontalImageFilter = &horizontal;
        view->outletVerticalImageFilter = &vertical;
        layer.imageView = &imageView;
        layer.colorDraw = &colorDraw;
        layer.colorWell = &colorWell;
        layer.imageDraw = &imageDraw;
        layer.matrix = &matrix;
        for (QObject **slot : {&matrix.enabled, &matrix.flippedX, &matrix.flippedY, &matrix.scale, &matrix.translateX,
                               &matrix.translateY, &matrix.translateZ, &matrix.angleZ, &matrix.angleX, &matrix.angleY}) {
            knobs.push_back(std::make_unique<Knob>());
            *slot = knobs.back().get();
        }
        view->outletLumoraLayerController = &layer;
    }
    ~Studio() {
        view.reset();
        Spin();
    }
    std::unique_ptr<LumoraRenderBuffer> buffer;
    std::unique_ptr<NSUILumoraView> view;
    LumoraInterpolationController interpolator;
    Knob shutter, horizontal, vertical, imageView, colorDraw, colorWell, imageDraw;
    LayerOutlets layer;
    MatrixOutlets matrix;
    std::vector<std::unique_ptr<Knob>> knobs;
};

class CameraViewCacheing : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_NSUILumoraView());
        ASSERT_TRUE(mCache.isValid());
        LumoraCompositionCache::setCacheFolderPathForTesting(mCache.filePath(QStringLiteral("LumoraQache")));
        mComposition = ISightComposition();
        ASSERT_FALSE(mComposition.isEmpty()) << "the build makes iSight.qtz";
        mServer.body = mComposition;
        ASSERT_TRUE(mServer.isListening());
    }
    void TearDown() override {
        mStudio.reset();
        LumoraCompositionCache::setCacheFolderPathForTesting(QString());
    }
    NSUILumoraView &View() { return *mStudio->view; }
    QString CacheFolder() const { return mCache.filePath(QStringLiteral("LumoraQache")); }
    // Opens the URL and waits until its download (if any) is over.
    bool OpenURL(const QString &url) {
        if (!View().openCompositionURL(url)) return false;
        return WaitFor([this] { return View().compositionDownload() == nullptr; });
    }

    QTemporaryDir mCache, mFiles;
    QByteArray mComposition;
    HttpServer mServer;
    std::unique_ptr<Studio> mStudio = std::make_unique<Studio>();
};

// ---- Opening and reloading ----

TEST_F(CameraViewCacheing, ReloadReopensWhatANamePathOrDataOpened) {
    const QString path = mFiles.filePath(QStringLiteral("effect.qtz"));
    ASSERT_TRUE(WriteBytes(path, mComposition));
    const struct {
        const char *how;
        std::function<bool()> open;
    } cases[] = {
        {"name", [&] { return View().openCompositionName(QStringLiteral("iSight")); }},
        {"path", [&] { return View().openCompositionPath(path); }},
        {"file URL", [&] { return View().compositionOpenFileURL(QUrl::fromLocalFile(path)); }},
        {"data", [&] { return View().openCompositionData(mComposition); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        View().closeComposition();
        ASSERT_TRUE(c.open());
        const QByteArray opened = View().compositionData();
        EXPECT_FALSE(opened.isEmpty());
        EXPECT_TRUE(View().reloadComposition());
        EXPECT_TRUE(View().isCompositionOpen());
        EXPECT_EQ(View().compositionData(), opened);
    }
}

TEST_F(CameraViewCacheing, EachIdentityClearsTheOthersAndTheValuesFollow) {
    const QString path = mFiles.filePath(QStringLiteral("effect.qtz"));
    ASSERT_TRUE(WriteBytes(path, mComposition));
    ASSERT_TRUE(View().openCompositionPath(path));
    EXPECT_EQ(View().compositionPathValue(), path);
    EXPECT_TRUE(View().compositionNameValue().isEmpty());

    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight")));
    EXPECT_EQ(View().compositionNameValue(), QStringLiteral("iSight"));
    EXPECT_TRUE(View().compositionPathValue().isEmpty());
    EXPECT_TRUE(View().compositionURLParamValue().isEmpty());

    ASSERT_TRUE(OpenURL(mServer.url(QStringLiteral("/effects/Wave.qtz"))));
    EXPECT_TRUE(View().compositionNameValue().isEmpty());
    EXPECT_TRUE(View().compositionPathValue().isEmpty());
    EXPECT_EQ(View().compositionURLParamValue(), mServer.url(QStringLiteral("/effects/Wave.qtz")));

    // Privately: the composition changes, the identity does not.
    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight"), true));
    EXPECT_EQ(View().compositionURLParamValue(), mServer.url(QStringLiteral("/effects/Wave.qtz")));
}

TEST_F(CameraViewCacheing, WhatCannotBeFoundLeavesTheOpenCompositionOpen) {
    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight")));
    const QString garbage = mFiles.filePath(QStringLiteral("garbage.qtz"));
    ASSERT_TRUE(WriteBytes(garbage, "not a composition"));
    for (const QString &name : {QStringLiteral("NoSuchEffect"), QStringLiteral("../iSight"), QStringLiteral("/etc/passwd"),
                                QString(), QStringLiteral(".hidden")}) {
        EXPECT_FALSE(View().openCompositionName(name)) << name.toStdString();
        EXPECT_TRUE(View().isCompositionOpen());
        EXPECT_EQ(View().compositionNameValue(), QStringLiteral("iSight"));
    }
    EXPECT_FALSE(View().openCompositionPath(mFiles.filePath(QStringLiteral("missing.qtz"))));
    EXPECT_FALSE(View().openCompositionPath(garbage));
    EXPECT_EQ(View().compositionNameValue(), QStringLiteral("iSight"));
}

// ---- URLs and the cache ----

TEST_F(CameraViewCacheing, AURLOpenedTwiceDownloadsOnceAndNeverOnTheMainThread) {
    const QString url = mServer.url(QStringLiteral("/effects/Wave.qtz"));
    QList<qint64> progress;
    QStringList shown;
    QObject::connect(&View(), &NSUILumoraView::compositionDownloadProgress, &View(), [&](qint64 received, qint64) {
        progress.append(received);
        shown.append(View().toolTip());
    });
    ASSERT_TRUE(View().openCompositionURL(url));
    // The call came back before the server (on this thread) could even see the request.
    EXPECT_EQ(mServer.requests, 0);
    EXPECT_NE(View().compositionDownload(), nullptr);
    ASSERT_TRUE(WaitFor([this] { return View().compositionDownload() == nullptr; }));
    EXPECT_EQ(mServer.requests, 1);
    EXPECT_TRUE(View().isCompositionOpen());
    EXPECT_FALSE(progress.isEmpty());
    EXPECT_TRUE(shown.value(0).startsWith(QStringLiteral("Loading ") + url)) << shown.value(0).toStdString();
    EXPECT_TRUE(View().toolTip().isEmpty());
    const QString cached = NSUILumoraView::getURLCachedPathName(url);
    ASSERT_FALSE(cached.isEmpty());
    EXPECT_EQ(View().compositionURLPath(), cached);

    View().closeComposition();
    ASSERT_TRUE(View().openCompositionURL(url));
    EXPECT_EQ(View().compositionDownload(), nullptr) << "the cached file opens at once";
    EXPECT_TRUE(View().isCompositionOpen());
    Spin();
    EXPECT_EQ(mServer.requests, 1);
    EXPECT_TRUE(View().reloadComposition());
}

TEST_F(CameraViewCacheing, TheServersSuggestedNameNeverPlacesTheFile) {
    for (const QByteArray &suggested : {QByteArray("../../x.qtz"), QByteArray("/tmp/x.qtz"), QByteArray("..")}) {
        SCOPED_TRACE(suggested.toStdString());
        mServer.suggestedName = suggested;
        const QString url = mServer.url(QStringLiteral("/s/") + QString::number(mServer.requests) + QStringLiteral(".qtz"));
        ASSERT_TRUE(OpenURL(url));
        const QString cached = NSUILumoraView::getURLCachedPathName(url);
        ASSERT_FALSE(cached.isEmpty());
        EXPECT_EQ(QFileInfo(cached).absolutePath(), QFileInfo(CacheFolder()).absoluteFilePath());
        EXPECT_EQ(QFileInfo(cached).fileName(), LumoraCompositionCache::cacheFileNameForURL(QUrl(url)));
    }
    EXPECT_FALSE(QFileInfo::exists(mCache.filePath(QStringLiteral("x.qtz"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(mCache.path()).absoluteFilePath(QStringLiteral("../x.qtz"))));
    // Only the cache files (no temporary file left behind).
    EXPECT_EQ(QDir(CacheFolder()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(CameraViewCacheing, CacheNamesAreSafeForHostileURLs) {
    const QString longName(5000, QLatin1Char('a'));
    const QString urls[] = {
        QStringLiteral("http://h/a/b/Wave.qtz"),
        QStringLiteral("http://h/a/..%2F..%2Fx"),
        QStringLiteral("http://h/%2e%2e"),
        QStringLiteral("http://h/"),
        QStringLiteral("http://h/x%00y.qtz"),
        QStringLiteral("http://h/\u00e9t\u00e9/\u6ce2.qtz"),
        QStringLiteral("http://h/") + longName,
        QStringLiteral("http://h/.qtz"),
        QStringLiteral("http://h/a.QTZ?q=../../z#frag"),
        QStringLiteral("http://h/a%5C..%5Cb.qtz"),
    };
    QSet<QString> names;
    for (const QString &url : urls) {
        const QString name = LumoraCompositionCache::cacheFileNameForURL(QUrl(url));
        SCOPED_TRACE(url.left(80).toStdString() + " -> " + name.toStdString());
        EXPECT_TRUE(LumoraCompositionCache::isSafeCacheFileName(name));
        EXPECT_LE(name.size(), 100);
        EXPECT_FALSE(name.contains(QLatin1Char('/')));
        EXPECT_FALSE(name.startsWith(QLatin1Char('.')));
        EXPECT_EQ(name, LumoraCompositionCache::cacheFileNameForURL(QUrl(url))) << "the same every time";
        names.insert(name);
    }
    EXPECT_EQ(names.size(), int(std::size(urls))) << "no two URLs share a cache file";
    EXPECT_TRUE(LumoraCompositionCache::cacheFileNameForURL(QUrl(QStringLiteral("http://h/a/b/Wave.qtz")))
                    .endsWith(QLatin1String("-Wave.qtz")));
    EXPECT_TRUE(LumoraCompositionCache::cacheFileNameForURL(QUrl()).isEmpty());
    for (const char *bad : {"", ".", "..", "../x.qtz", "a/b.qtz", "x.png", ".qtz"})
        EXPECT_FALSE(LumoraCompositionCache::isSafeCacheFileName(QString::fromLatin1(bad))) << bad;
}

TEST_F(CameraViewCacheing, AStoreReplacesALinkAtTheCacheNameAndLeavesItsTargetAlone) {
    const QUrl url(QStringLiteral("http://h/e/Wave.qtz"));
    ASSERT_TRUE(QDir().mkpath(CacheFolder()));
    const QString outside = mFiles.filePath(QStringLiteral("precious.qtz"));
    ASSERT_TRUE(WriteBytes(outside, "the user's own file"));
    const QString name = QDir(CacheFolder()).filePath(LumoraCompositionCache::cacheFileNameForURL(url));
    ASSERT_TRUE(QFile::link(outside, name));
    QString error;
    EXPECT_EQ(LumoraCompositionCache::storeCompositionForURL(CacheFolder(), url, "new bytes", &error), name) << error.toStdString();
    QFile kept(outside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("the user's own file"));
    EXPECT_FALSE(QFileInfo(name).isSymLink());
}

TEST_F(CameraViewCacheing, WithoutACacheFolderNothingIsFetchedOrWritten) {
    const QString blocker = mFiles.filePath(QStringLiteral("file"));
    ASSERT_TRUE(WriteBytes(blocker, "x"));
    LumoraCompositionCache::setCacheFolderPathForTesting(blocker + QStringLiteral("/LumoraQache"));
    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight")));
    EXPECT_FALSE(View().openCompositionURL(mServer.url(QStringLiteral("/Wave.qtz"))));
    Spin();
    EXPECT_EQ(mServer.requests, 0);
    EXPECT_TRUE(NSUILumoraView::getUserCompositionsFilePath(QStringLiteral("a.qtz")).isEmpty());
    EXPECT_FALSE(QDir(QDir::homePath() + QStringLiteral("/Documents")).exists(QStringLiteral("Wave.qtz")));
}

TEST_F(CameraViewCacheing, AFailedDownloadKeepsTheURLAndCachesNothing) {
    for (const QByteArray status : {QByteArray("404 Not Found"), QByteArray("500 Oops")}) {
        mServer.status = status;
        const QString url = mServer.url(QStringLiteral("/missing/") + QString::fromLatin1(status.left(3)) + QStringLiteral(".qtz"));
        QString failure;
        QObject::connect(&View(), &NSUILumoraView::compositionDownloadFinished, &View(),
                         [&](const QString &, const QString &error) { failure = error; });
        ASSERT_TRUE(OpenURL(url));
        EXPECT_FALSE(failure.isEmpty());
        EXPECT_EQ(View().compositionURLParamValue(), url);
        EXPECT_FALSE(NSUILumoraView::isURLCached(url));
    }
    EXPECT_FALSE(View().openCompositionURL(QStringLiteral("ftp://h/x.qtz")));
    EXPECT_FALSE(View().openCompositionURL(QStringLiteral("not a url at all")));
}

TEST_F(CameraViewCacheing, ALateDownloadDoesNotReplaceALaterChoice) {
    mServer.silent = true;
    ASSERT_TRUE(View().openCompositionURL(mServer.url(QStringLiteral("/slow.qtz"))));
    ASSERT_TRUE(WaitFor([this] { return mServer.requests == 1; }));
    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight")));
    EXPECT_EQ(View().compositionDownload(), nullptr) << "the new choice ends the download";
    EXPECT_EQ(View().compositionNameValue(), QStringLiteral("iSight"));
}

TEST(CompositionDownload, TheSizeCapAndTheTimeOutEndADownload) {
    riradi_test::Application();
    QTemporaryDir folder;
    HttpServer server;
    server.body = QByteArray(5000, 'x');
    const struct {
        const char *what;
        bool silent;
        qint64 cap;
        int timeout;
    } cases[] = {{"too large", false, 1000, 60000}, {"time-out", true, 1 << 20, 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        server.silent = c.silent;
        LumoraCompositionDownload download(QUrl(server.url(QStringLiteral("/big.qtz"))), folder.path());
        download.setMaximumBytes(c.cap);
        download.setTimeoutMilliseconds(c.timeout);
        bool done = false;
        QString path, error;
        QObject::connect(&download, &LumoraCompositionDownload::finished, &download,
                         [&](const QString &p, const QString &e) { done = true, path = p, error = e; });
        ASSERT_TRUE(download.start());
        EXPECT_FALSE(download.start()) << "one start";
        ASSERT_TRUE(WaitFor([&] { return done; }));
        EXPECT_TRUE(path.isEmpty());
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
    // A download destroyed while it runs ends its thread and calls nobody.
    server.silent = true;
    auto download = std::make_unique<LumoraCompositionDownload>(QUrl(server.url(QStringLiteral("/x.qtz"))), folder.path());
    ASSERT_TRUE(download->start());
    download.reset();
    Spin();
}

// ---- Drops ----

TEST_F(CameraViewCacheing, DropsAnswerWhetherTheCompositionOpened) {
    const QString upper = mFiles.filePath(QStringLiteral("EFFECT.QTZ"));
    const QString folder = mFiles.filePath(QStringLiteral("folder.qtz"));
    const QString picture = mFiles.filePath(QStringLiteral("picture.png"));
    const QString bare = mFiles.filePath(QStringLiteral("noextension"));
    const QString broken = mFiles.filePath(QStringLiteral("broken.qtz"));
    ASSERT_TRUE(WriteBytes(upper, mComposition));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WriteBytes(picture, mComposition));
    ASSERT_TRUE(WriteBytes(bare, mComposition));
    ASSERT_TRUE(WriteBytes(broken, "<plist>broken"));
    const struct {
        QUrl url;
        bool entered, prepared, performed;
    } cases[] = {
        {QUrl::fromLocalFile(upper), true, true, true},
        {QUrl::fromLocalFile(folder), true, false, false},
        {QUrl::fromLocalFile(picture), true, false, false},
        {QUrl::fromLocalFile(bare), true, false, false},
        {QUrl::fromLocalFile(broken), true, true, false},
        {QUrl::fromLocalFile(mFiles.filePath(QStringLiteral("gone.qtz"))), true, false, false},
        {QUrl(QStringLiteral("http://h/remote.qtz")), false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        View().closeComposition();
        QMimeData data;
        data.setUrls({c.url});
        EXPECT_EQ(View().draggingEntered(&data), c.entered);
        EXPECT_EQ(View().dropHighlight(), c.entered);
        EXPECT_EQ(View().prepareForDragOperation(&data), c.prepared);
        EXPECT_FALSE(View().dropHighlight());
        EXPECT_EQ(View().performDragOperation(&data, nullptr), c.performed);
        EXPECT_EQ(View().isCompositionOpen(), c.performed);
    }
    QMimeData empty;
    EXPECT_FALSE(View().performDragOperation(&empty, nullptr));
    // A drag from the view itself is taken and changes nothing.
    QMimeData own;
    own.setUrls({QUrl::fromLocalFile(upper)});
    View().closeComposition();
    EXPECT_TRUE(View().performDragOperation(&own, &View()));
    EXPECT_FALSE(View().isCompositionOpen());
    // The same through the window system's drop events, once the view takes drops.
    View().closeComposition();
    View().dragAndDropRegisterUserInterface();
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &own, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(View().dropHighlight());
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &own, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(View().isCompositionOpen());
    QMimeData picturesOnly;
    picturesOnly.setUrls({QUrl::fromLocalFile(picture)});
    QDropEvent refused(QPointF(1, 1), Qt::CopyAction, &picturesOnly, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_TRUE(NSUILumoraView::acceptFileName(QStringLiteral("a.QtZ")));
    EXPECT_FALSE(NSUILumoraView::acceptFileName(QStringLiteral("a")));
}

// ---- Bookmarks ----

// Every key of the bookmark table that a bookmark stores.
QStringList StoredKeys() {
    QStringList keys;
    for (const char *key :
         {"bookmark.refines", "requires.version", "camera.composition.menu", "camera.composition.pathname",
          "camera.composition.url", "camera.background.color.rgba", "camera.background.color.erase",
          "camera.background.picture.menu", "camera.background.picture.pathname", "camera.background.picture.url",
          "camera.background.picture.enabled", "camera.shutter.menu", "camera.draw.enabled", "camera.draw.flipped.x",
          "camera.draw.flipped.y", "camera.draw.scale.xy", "camera.draw.translate.x", "camera.draw.translate.y",
          "camera.draw.translate.z", "camera.draw.angle", "camera.draw.angle.x", "camera.draw.angle.y",
          "camera.interpolation.mirror", "camera.interpolation.auto", "camera.interpolation.time",
          "camera.interpolation.amplitude", "camera.interpolation.parameter"})
        keys << QString::fromLatin1(key);
    for (const char *axis : {"vertical", "horizontal"})
        for (const char *suffix : {"function.type", "function.phase", "function.amplitude", "function.frequency",
                                   "quantization", "amount", "sampledata", "savesamplevalues"})
            keys << QStringLiteral("camera.filter.%1.%2").arg(QLatin1String(axis), QLatin1String(suffix));
    return keys;
}

void DressUp(Studio &studio) {
    int n = 0;
    auto text = [&n](const char *prefix) { return QStringLiteral("%1 %2").arg(QLatin1String(prefix)).arg(++n); };
    studio.colorWell.setColor4DParam(QStringLiteral("rgba(0.2,0.4,0.6,1.0)"));
    studio.colorDraw.setIntParam(QStringLiteral("0"));
    studio.imageDraw.setIntParam(QStringLiteral("1"));
    studio.imageView.setNameParamValue(QStringLiteral("Clouds"));
    studio.imageView.setPathParamValue(QStringLiteral("/pictures/clouds.png"));
    studio.imageView.setURLParamValue(QStringLiteral("http://h/clouds.png"));
    studio.shutter.setStringParamValue(QStringLiteral("Slow"));
    for (auto &knob : studio.knobs) {
        knob->setButtonStateParam(QString::number(n++ % 2));
        knob->setNormalParam(QString::number(0.1 * (n % 9), 'f', 1));
    }
    for (Knob *filter : {&studio.vertical, &studio.horizontal}) {
        filter->setTypeStringValue(text("type"));
        filter->setPhaseStringValue(text("phase"));
        filter->setAmplitudeStringValue(text("amplitude"));
        filter->setFrequencyStringValue(text("frequency"));
        filter->setQuantizeStringValue(text("quantize"));
        filter->setFilterSamplesStringValue(text("samples"));
        filter->setSaveSamplesStringValue(text("save"));
    }
    studio.interpolator.setTimeMirrored(true);
    studio.interpolator.setAutomaticEffectTime(false);
    studio.interpolator.setInputEffectTime(0.25);
    studio.interpolator.setInputEffectAmount(0.75);
    studio.interpolator.setInputEffectParameter(0.5);
    studio.buffer->setInputEffectTex1DXAmount(0.25);
    studio.buffer->setInputEffectTex1DYAmount(0.5);
}

TEST_F(CameraViewCacheing, AWholeLookTravelsToAFreshViewAsText) {
    DressUp(*mStudio);
    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight")));
    const QVariantMap look = View().currentSettingsDictionary(true);
    for (const QString &key : StoredKeys()) EXPECT_TRUE(look.contains(key)) << key.toStdString();
    EXPECT_EQ(look.value(QStringLiteral("bookmark.version")).toInt(), 1);
    EXPECT_EQ(look.value(QStringLiteral("camera.composition.menu")).toString(), QStringLiteral("iSight"));
    const QString script = View().currentSettingsDictionaryScript(true);

    Studio fresh;
    ASSERT_TRUE(fresh.view->setSettingsDictionaryScript(script));
    Spin();
    EXPECT_TRUE(fresh.view->isCompositionOpen());
    const QVariantMap again = fresh.view->currentSettingsDictionary(true);
    for (const QString &key : StoredKeys())
        EXPECT_EQ(again.value(key).toString(), look.value(key).toString()) << key.toStdString();
    EXPECT_EQ(fresh.view->currentSettingsDictionaryScript(true), script);
}

TEST_F(CameraViewCacheing, ABookmarkOfADownloadRecordsTheURL) {
    const QString url = mServer.url(QStringLiteral("/shared/Wave.qtz"));
    for (int round = 0; round < 2; ++round) {  // downloaded, then from the cache
        SCOPED_TRACE(round);
        View().closeComposition();
        ASSERT_TRUE(OpenURL(url));
        const QVariantMap look = View().currentSettingsDictionary(false);
        EXPECT_EQ(look.value(QStringLiteral("camera.composition.url")).toString(), url);
        EXPECT_TRUE(look.value(QStringLiteral("camera.composition.pathname")).toString().isEmpty());
        EXPECT_TRUE(look.value(QStringLiteral("camera.composition.menu")).toString().isEmpty());
    }
    EXPECT_EQ(mServer.requests, 1);
    Studio fresh;
    ASSERT_TRUE(fresh.view->setSettingsDictionary(View().currentSettingsDictionary(false)));
    EXPECT_EQ(fresh.view->compositionURLParamValue(), url);
    EXPECT_TRUE(fresh.view->isCompositionOpen());
}

TEST_F(CameraViewCacheing, SettingsAnswerWhetherTheyApplied) {
    DressUp(*mStudio);
    ASSERT_TRUE(View().openCompositionName(QStringLiteral("iSight")));
    const QVariantMap before = View().currentSettingsDictionary(false);
    EXPECT_FALSE(View().setSettingsDictionary(QVariantMap())) << "empty: nothing changes";
    EXPECT_FALSE(View().setSettingsDictionary({{QStringLiteral("no.such.key"), QStringLiteral("1")}}));
    QVariantMap flood;
    for (int i = 0; i < 10000; ++i) flood.insert(QStringLiteral("camera.shutter.menu.%1").arg(i), QStringLiteral("x"));
    EXPECT_FALSE(View().setSettingsDictionary(flood)) << "refused as a whole";
    Spin();
    EXPECT_EQ(View().currentSettingsDictionary(false), before);

    // "defaults" resets the controls and keeps the composition.
    EXPECT_TRUE(View().setSettingsDictionary({{QStringLiteral("bookmark.refines"), QStringLiteral("DEFAULTS")}}));
    Spin();
    EXPECT_EQ(mStudio->shutter.stringParamValue().toString(), QStringLiteral("Default"));
    EXPECT_EQ(mStudio->colorWell.color4DParam().toString(), QStringLiteral("rgba(0.0,0.0,0.0,1.0)"));
    EXPECT_EQ(mStudio->imageView.nameParamValue().toString(), QStringLiteral("Samples"));
    EXPECT_EQ(View().compositionNameValue(), QStringLiteral("iSight"));
}

TEST_F(CameraViewCacheing, HostileSettingsAreDroppedOrClamped) {
    DressUp(*mStudio);
    const QVariantMap hostile = {
        {QStringLiteral("camera.shutter.menu"), QVariantList{1, 2, 3}},
        {QStringLiteral("camera.background.color.rgba"), QString(1 << 20, QLatin1Char('9'))},
        {QStringLiteral("camera.interpolation.amplitude"), QStringLiteral("1e308")},
        {QStringLiteral("camera.interpolation.time"), QStringLiteral("-5")},
        {QStringLiteral("camera.interpolation.parameter"), QStringLiteral("nan")},
        {QStringLiteral("camera.filter.vertical.amount"), 1e300},
        {QStringLiteral("camera.draw.scale.xy"), QStringLiteral("lots")},
        {QStringLiteral("camera.composition.menu"), QStringLiteral("../../../etc/passwd")},
        {QStringLiteral("camera.composition.pathname"), QString(100000, QLatin1Char('/'))},
        {QStringLiteral("camera.composition.url"), QStringLiteral("file:///etc/passwd")},
        {QStringLiteral("camera.interpolation.mirror"), QVariantMap{{QStringLiteral("a"), 1}}},
        {QStringLiteral("unknown"), QStringLiteral("x")},
    };
    View().setSettingsDictionary(hostile);
    Spin();
    EXPECT_EQ(mStudio->shutter.stringParamValue().toString(), QStringLiteral("Slow"));
    EXPECT_EQ(mStudio->colorWell.color4DParam().toString(), QStringLiteral("rgba(0.2,0.4,0.6,1.0)"));
    EXPECT_DOUBLE_EQ(mStudio->interpolator.inputEffectAmountNormal(), 1.0);
    EXPECT_DOUBLE_EQ(mStudio->interpolator.inputEffectTimeNormal(), 0.0);
    EXPECT_DOUBLE_EQ(mStudio->interpolator.inputEffectParameterNormal(), 0.5);
    EXPECT_TRUE(std::isfinite(mStudio->buffer->inputEffectTex1DYAmount().toDouble()));
    EXPECT_LE(mStudio->buffer->inputEffectTex1DYAmount().toDouble(), 1.0);
    EXPECT_FALSE(View().isCompositionOpen());
    // A text that is not a settings text at all.
    EXPECT_FALSE(View().setSettingsDictionaryScript(QStringLiteral("\x01\x02 {{{{ ]]]] \"")));
}

}  // namespace

#include "CameraViewCacheingTests.moc"
