// The composition download cache ("LumoraQache") and the download that fills it.
//
// One name per URL. The cache file of a URL is derived from the URL alone: a short hash of the
// whole URL (so two URLs never share a file) followed by the URL's last path component cut down
// to letters, digits, '-', '_' and '.', at most 64 characters, never starting with a dot, and
// always ending in ".qtz". The lookup before a download and the store after it use the same
// name, so a URL opened twice downloads once. The server's suggested file name is never used
// for the location: a name like "../../x" cannot leave the folder.
//
// Writes. A downloaded composition is written only inside the cache folder, through a temporary
// file renamed into place, so a reader never sees half a file and a link at the name is
// replaced, never written through. Without a cache
// folder nothing is stored (the download fails); nothing is ever written elsewhere.
//
// The download. LumoraCompositionDownload runs a QNetworkAccessManager on its own thread: the
// main thread never waits on the network. It enforces a transfer time-out (60 s by default) and
// a size cap (an announced or received length above the cap aborts it), reports progress, and
// hands the result back to the thread that started it (queued signals). Only http and https
// URLs are fetched.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QThread;

namespace LumoraCompositionCache {

// The largest composition the cache takes.
constexpr qint64 kMaximumCompositionBytes = 32 * 1024 * 1024;
// The transfer time-out of a download.
constexpr int kDownloadTimeoutMilliseconds = 60 * 1000;

// The cache file name of the URL (see the top of the file); empty for an invalid or empty URL.
// The suggested name of a server plays no part.
QString cacheFileNameForURL(const QUrl &url);
// True when the name is one cacheFileNameForURL can answer: a plain file name of the allowed
// characters, not "." or "..", ending in ".qtz".
bool isSafeCacheFileName(const QString &name);

// The cache folder: "LumoraQache" in the user domain's Library folder, made when missing; an
// empty string when it cannot be had. A test may set another folder (an empty one resets it).
QString cacheFolderPath();
void setCacheFolderPathForTesting(const QString &folder);

// The cache file of the URL when it exists, else an empty string.
QString cachedPathForURL(const QUrl &url);
// Writes the bytes as the URL's cache file (atomically, inside the folder only, never through
// a link). Answers the path, or an empty string with the reason in *error.
QString storeCompositionForURL(const QString &folder, const QUrl &url, const QByteArray &bytes,
                               QString *error = nullptr);

}  // namespace LumoraCompositionCache

// One download of a composition into the cache. Made and started on any thread with an event
// loop; its signals arrive there. Deletes its worker thread when done; the object itself is the
// caller's.
class LumoraCompositionDownload : public QObject {
    Q_OBJECT
public:
    // The folder is fixed at start (cacheFolderPath() when empty).
    explicit LumoraCompositionDownload(const QUrl &url, const QString &folder = QString(),
                                       QObject *parent = nullptr);
    ~LumoraCompositionDownload() override;

    void setTimeoutMilliseconds(int milliseconds) { mTimeout = milliseconds; }
    void setMaximumBytes(qint64 bytes) { mMaximumBytes = bytes; }
    // Starts the transfer on a thread of its own; false (nothing started) for a URL that is not
    // http or https, a second start, or no cache folder.
    bool start();
    // Stops the transfer; finished is sent with a failure.
    void cancel();
    bool isRunning() const { return mRunning; }
    QUrl url() const { return mUrl; }

signals:
    // Bytes received and expected (-1 when unknown).
    void progress(qint64 received, qint64 total);
    // The cache file on success; an empty path and the reason otherwise.
    void finished(const QString &path, const QString &error);

private:
    void deliver(const QString &path, const QString &error);

    QUrl mUrl;
    QString mFolder;
    int mTimeout = LumoraCompositionCache::kDownloadTimeoutMilliseconds;
    qint64 mMaximumBytes = LumoraCompositionCache::kMaximumCompositionBytes;
    QThread *mThread = nullptr;
    QObject *mWorker = nullptr;  // lives on mThread
    bool mRunning = false;
    bool mStarted = false;
};

bool import_LumoraCompositionCache();
