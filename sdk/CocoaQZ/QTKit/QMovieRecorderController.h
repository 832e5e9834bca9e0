// QMovieRecorderController: rendered frames plus the microphone into one finished movie.
//
// While recording, two files are written side by side in the movies folder: a video-only
// movie of still frames (the frame writer, "Lumora NNNN.qt") and the microphone's AIFF
// file ("Lumora NNNN.aiff"). The final name "Lumora NNNN.mov" is claimed exclusively when
// recording starts, so no earlier movie is ever replaced. On stop, a QMovieFlattenerQueueOp
// joins video and sound (a remux, no re-encoding) through the temporary reference file
// "Lumora NNNN.MooV" into the final movie on a serial queue, removes the temporaries and
// reports back on the main thread.
//
// Nothing recorded is lost: without sound (no microphone, or no sound written) the movie is
// made from the video alone; when the movie cannot be made, the video and sound files are
// kept and recordingKeptFiles says where they are. Every recording carries its own file
// names from the moment stop is pressed, so stopping and starting again at once makes two
// separate movies.
//
// Threads: start, stop, frames and the completion on the main thread; the flattening on
// the controller's serial queue "QMovieFlattenerQueue".
#pragma once

#include "QAudioFileRecorderProtocol.h"
#include "QMovieFrameRecorderProtocol.h"

#include <Foundation/NSObject.h>
#include <dispatch/dispatch.h>

#include <QString>
#include <QUrl>

#include <cstdint>
#include <memory>

class USandboxUserFolder;
class QMovieFlattenerQueueOp;

class QMovieFlattenerQueueOpDelegate {
public:
    virtual ~QMovieFlattenerQueueOpDelegate() = default;
    // On the main thread, once the operation has finished.
    virtual void movieFlattenerCompleted(const std::shared_ptr<QMovieFlattenerQueueOp> &operation) = 0;
};

// One finished recording's flattening.
class QMovieFlattenerQueueOp : public std::enable_shared_from_this<QMovieFlattenerQueueOp> {
public:
    static std::shared_ptr<QMovieFlattenerQueueOp> movieFlattenerWithMovieFileName(const QString &movieFileName,
                                                                                   const QString &audioFileName,
                                                                                   const QString &videoFileName);
    QMovieFlattenerQueueOp(const QString &movieFileName, const QString &audioFileName,
                           const QString &videoFileName);

    QString movieFileName;
    QString audioFileName;
    QString videoFileName;
    // The temporary reference movie: made, and removed, under this one name. By default the
    // movie's name with the extension "QMovieFlattenerQueueOp".
    QString tempFileName;
    QString madeWithMetaData;
    // Told on the main thread, while delegateAlive still holds.
    QMovieFlattenerQueueOpDelegate *delegate = nullptr;
    std::weak_ptr<bool> delegateAlive;
    bool succeeded = false;
    // Whether the sound joined the movie (false for a video-only movie).
    bool withSound = false;

    // Runs the flattening (on the queue's thread) and reports through operationCompleted.
    void main();
    bool flattenRefMovie(const QString &fileName);
    void operationCompleted(bool succeeded);
};

class QMovieRecorderController : public NSObject, public QMovieFlattenerQueueOpDelegate {
    Q_OBJECT
    Q_PROPERTY(bool beginAudioImmediately READ beginAudioImmediately WRITE setBeginAudioImmediately)
public:
    Q_INVOKABLE explicit QMovieRecorderController(QObject *parent = nullptr);
    ~QMovieRecorderController() override;

    Q_INVOKABLE void awakeFromNib();

    USandboxUserFolder *outletMoviesFolder = nullptr;
    QMovieFrameRecorderProtocol *outletStillFrameRecorder = nullptr;
    QAudioFileRecorderProtocol *outletAudioFileRecorder = nullptr;

    Q_INVOKABLE void startRecording(QObject *sender = nullptr);
    Q_INVOKABLE void stopRecording(QObject *sender = nullptr);
    Q_INVOKABLE void startStopRecording(QObject *sender = nullptr);
    bool isRecording() const;

    // One rendered frame: the image, its duration and the host time stamp (nanoseconds).
    bool addFrameImageRef(CGImageRef image, double frameDurationInSeconds, uint64_t frameTimeStamp);
    double getFrameDurationNow();

    QUrl movieFileURL() const { return mMovieFileURL; }
    QUrl audioFileURL() const { return mAudioFileURL; }
    QUrl videoFileURL() const { return mVideoFileURL; }
    QUrl flattenerFileURL() const { return mFlattenerFileURL; }
    QString movieFileName() const { return mMovieFileURL.toLocalFile(); }
    QString audioFileName() const { return mAudioFileURL.toLocalFile(); }
    QString videoFileName() const { return mVideoFileURL.toLocalFile(); }

    bool beginAudioImmediately() const { return mBeginAudioImmediately; }
    void setBeginAudioImmediately(bool value) { mBeginAudioImmediately = value; }

    // Waits until every queued flattening has finished (their completions are then waiting
    // on the main queue).
    void waitUntilFlatteningsFinished();

    void movieFlattenerCompleted(const std::shared_ptr<QMovieFlattenerQueueOp> &operation) override;
    // The finished movie; subclasses show it.
    virtual void openFinalMovieFilePathName(const QString &path);
    // A movie could not be made: the recording's video and sound files are kept at these
    // paths (either may be empty). Logged here; subclasses may tell the user.
    virtual void recordingKeptFiles(const QString &videoPath, const QString &audioPath);

signals:
    void recordingFinished(const QString &moviePath, bool succeeded);

private:
    QUrl mMovieFileURL;
    QUrl mAudioFileURL;
    QUrl mVideoFileURL;
    QUrl mFlattenerFileURL;
    dispatch_queue_t mMovieFlattenerQueue = nullptr;
    bool mBeginAudioImmediately = false;
    std::shared_ptr<bool> mAlive;
};

bool import_QMovieRecorderController();
