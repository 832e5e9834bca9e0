// QStillFrameMovieRecorder: the synchronous frame writer. A video-only movie of still
// images, each shown for the time that passed since the previous one, encoded at once with
// the Animation codec ('rle ', lossless) in 600 units per second. The movie is written
// under a temporary name and appears under its own name, complete, when recording ends;
// a file already at that name is never replaced (begin answers false).
//
// Threads: the caller's (the main thread); nothing is locked.
#pragma once

#include "QMovieFrameRecorderProtocol.h"

#include <CoreX/CoreMachElapsedTime.h>
#include <Foundation/NSObject.h>

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>

namespace lumora::qtkit {
class MovieFileWriter;
}

class QStillFrameMovieRecorder : public NSObject, public QMovieFrameRecorderProtocol {
    Q_OBJECT
public:
    static constexpr int kVideoTimeScale = 30 * 20;  // 600 units per second

    Q_INVOKABLE explicit QStillFrameMovieRecorder(QObject *parent = nullptr);
    ~QStillFrameMovieRecorder() override;  // a recording in progress is completed first

    bool beginRecordingMovieFileURL(const QUrl &url) override;
    bool addFrameImageRef(CGImageRef image, double frameDurationInSeconds) override;
    double getFrameDurationNow() override;
    bool isRecordingMovie() override { return mMovie != nullptr; }
    bool endRecordingMovie() override;

    bool beginRecordingMovieFile(const QString &path);
    // The image (32-bit BGRA) for count units of 1/600 s; false when it was not added.
    bool addFrameBitmapImage(CGImageRef image, int32_t numberOfFramesInVideoTimeScale);
    // Seconds as units of 1/600 s, rounded to the nearest, at least 1.
    static int32_t calculateElapsedFramesWithFrameDurationSeconds(double seconds);

    // While recording: codec type "rle " and codec quality 1024 (lossless).
    QVariantMap addFrameAttributes() const { return mAddFrameAttributes; }
    // The movie's time after the frames added so far, in 1/600 s.
    int64_t movieDuration() const { return mDuration; }

protected:
    // A movie that cannot be made: logged here; the interface may show it.
    virtual void presentError(const QString &message);

private:
    // Made at begin, opened at the first frame (which gives the size).
    std::unique_ptr<lumora::qtkit::MovieFileWriter> mMovie;
    QString mPath;
    bool mOpened = false;
    QVariantMap mAddFrameAttributes;
    CoreMachElapsedTime mStopwatch;
    int64_t mDuration = 0;
};

bool import_QStillFrameMovieRecorder();
