#include "QMovieRecorderController.h"

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreNumberedFilename.h>
#include <Foundation/NSException.h>
#include <QTKit/MovieFlattener.h>
#include <USecuritySandbox/USandboxUserFolder.h>

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace {

constexpr uint32_t kSoundStopDelayMicroseconds = 11111;

bool PathExists(const QString &path) { return !path.isEmpty() && QFileInfo::exists(path); }

QString ReplaceExtension(const QString &path, const QString &extension) {
    const QFileInfo info(path);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') + extension;
}

}  // namespace

// MARK: flattening operation

std::shared_ptr<QMovieFlattenerQueueOp> QMovieFlattenerQueueOp::movieFlattenerWithMovieFileName(
    const QString &movieFileName, const QString &audioFileName, const QString &videoFileName) {
    if (movieFileName.isEmpty() || videoFileName.isEmpty()) return nullptr;
    return std::make_shared<QMovieFlattenerQueueOp>(movieFileName, audioFileName, videoFileName);
}

QMovieFlattenerQueueOp::QMovieFlattenerQueueOp(const QString &movieFileName, const QString &audioFileName,
                                               const QString &videoFileName)
    : movieFileName(movieFileName),
      audioFileName(audioFileName),
      videoFileName(videoFileName),
      tempFileName(ReplaceExtension(movieFileName, QStringLiteral("QMovieFlattenerQueueOp"))) {}

bool QMovieFlattenerQueueOp::flattenRefMovie(const QString &fileName) {
    CoreMachDebugLog("QMovieFlattenerQueueOp::flattenRefMovie:%s toFileName:%s\n", qPrintable(tempFileName),
                     qPrintable(fileName));
    // The sound joins the movie when its file holds sound; a sound file with nothing in it
    // (no buffer was ever written) makes a video-only movie.
    lumora::qtkit::MovieFileInfo sound;
    const bool haveSound = PathExists(audioFileName) &&
                           lumora::qtkit::GetMovieFileInfo(audioFileName.toStdString(), sound) == noErr &&
                           sound.hasAudio && sound.audioSeconds > 0.0;
    lumora::qtkit::MovieFlattenRequest request;
    request.videoPath = videoFileName.toStdString();
    request.audioPath = haveSound ? audioFileName.toStdString() : std::string();
    request.temporaryPath = tempFileName.toStdString();
    request.moviePath = fileName.toStdString();
    request.copyright = madeWithMetaData.toStdString();
    OSErr err = lumora::qtkit::FlattenMovieFiles(request);
    withSound = haveSound && err == noErr;
    if (err != noErr && err != dupFNErr && haveSound) {
        // The sound could not be joined: the video alone still makes a movie.
        CoreMachDebugLog("QMovieFlattenerQueueOp::flattenRefMovie: with sound failed (%d), video only\n", int(err));
        request.audioPath.clear();
        err = lumora::qtkit::FlattenMovieFiles(request);
    }
    if (err != noErr)
        CoreMachDebugLog("QMovieFlattenerQueueOp::flattenRefMovie: failed (%d) for %s\n", int(err), qPrintable(fileName));
    return err == noErr;
}

void QMovieFlattenerQueueOp::main() {
    succeeded = false;
    try {
        succeeded = PathExists(videoFileName) && flattenRefMovie(movieFileName);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QMovieFlattenerQueueOp::main exception:%1").arg(exception.description()));
        succeeded = false;
    }
    operationCompleted(succeeded);
}

void QMovieFlattenerQueueOp::operationCompleted(bool result) {
    succeeded = result;
    if (succeeded) {
        // The movie holds the video, and the sound when it joined: only then do the
        // temporaries go.
        std::remove(videoFileName.toLocal8Bit().constData());
        if (!audioFileName.isEmpty()) {
            lumora::qtkit::MovieFileInfo sound;
            const bool empty = lumora::qtkit::GetMovieFileInfo(audioFileName.toStdString(), sound) == noErr &&
                               (!sound.hasAudio || sound.audioSeconds <= 0.0);
            if (withSound || empty) std::remove(audioFileName.toLocal8Bit().constData());
        }
    } else {
        // Nothing made: the claimed movie name is given back, the recording's files stay.
        CoreNumberedFilename::ReleaseClaimedPath(movieFileName.toLocal8Bit().constData());
    }
    std::shared_ptr<QMovieFlattenerQueueOp> self = shared_from_this();
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (self->delegate != nullptr && !self->delegateAlive.expired()) self->delegate->movieFlattenerCompleted(self);
    });
}

// MARK: controller

QMovieRecorderController::QMovieRecorderController(QObject *parent)
    : NSObject(parent), mAlive(std::make_shared<bool>(true)) {
    mMovieFlattenerQueue = dispatch_queue_create("QMovieFlattenerQueue", nullptr);
}

QMovieRecorderController::~QMovieRecorderController() {
    mAlive.reset();  // completions still queued find no controller
    // Flattenings already queued finish: what was recorded is not left half-made.
    dispatch_sync(mMovieFlattenerQueue, [] {});
    dispatch_release(mMovieFlattenerQueue);
    if (outletMoviesFolder != nullptr && !mMovieFileURL.isEmpty())
        outletMoviesFolder->releaseFileURLWithFileName(mMovieFileURL);
}

void QMovieRecorderController::awakeFromNib() { mMovieFileURL = QUrl(); }

bool QMovieRecorderController::isRecording() const {
    return outletStillFrameRecorder != nullptr && outletStillFrameRecorder->isRecordingMovie();
}

void QMovieRecorderController::startStopRecording(QObject *sender) {
    if (isRecording()) stopRecording(sender);
    else startRecording(sender);
}

void QMovieRecorderController::startRecording(QObject * /*sender*/) {
    if (isRecording() || outletMoviesFolder == nullptr || outletStillFrameRecorder == nullptr) return;
    const QString folderPath = outletMoviesFolder->folderURL().toLocalFile();
    if (folderPath.isEmpty()) return;
    CoreNumberedFilename numbered;
    if (!numbered.Construct(folderPath.toLocal8Bit().constData())) return;
    // Claims "Lumora NNNN.mov" exclusively: no other recording or snapshot can take it.
    char claimed[CoreNumberedFilename::kPathBufferSize];
    if (!numbered.FindFirstAvailableNamedPath(claimed, "Lumora %04d", "mov")) return;
    const QString moviePath = QString::fromLocal8Bit(claimed);
    const QString base = QFileInfo(moviePath).completeBaseName();
    const QUrl movie = outletMoviesFolder->createFileURLWithFileName(base + QStringLiteral(".mov"));
    const QUrl video = outletMoviesFolder->createFileURLWithFileName(base + QStringLiteral(".qt"));
    const QUrl audio = outletMoviesFolder->createFileURLWithFileName(base + QStringLiteral(".aiff"));
    const QUrl flattener = outletMoviesFolder->createFileURLWithFileName(base + QStringLiteral(".MooV"));
    if (movie.isEmpty() || video.isEmpty() || audio.isEmpty() || flattener.isEmpty()) {
        CoreNumberedFilename::ReleaseClaimedPath(claimed);
        return;
    }
    mMovieFileURL = movie;
    mVideoFileURL = video;
    mAudioFileURL = audio;
    mFlattenerFileURL = flattener;
    if (!outletStillFrameRecorder->beginRecordingMovieFileURL(mVideoFileURL)) {
        CoreNumberedFilename::ReleaseClaimedPath(claimed);
        return;
    }
    if (outletAudioFileRecorder != nullptr)
        outletAudioFileRecorder->startRecordingSession(mAudioFileURL, mBeginAudioImmediately);
}

bool QMovieRecorderController::addFrameImageRef(CGImageRef image, double frameDurationInSeconds,
                                                uint64_t frameTimeStamp) {
    if (outletStillFrameRecorder == nullptr) return false;
    const bool added = outletStillFrameRecorder->addFrameImageRef(image, frameDurationInSeconds);
    // The microphone follows the video only while a movie is being recorded.
    if (outletAudioFileRecorder != nullptr && outletStillFrameRecorder->isRecordingMovie()) {
        const double seconds = double(frameTimeStamp) / 1000.0 / 1000.0 / 1000.0;
        if (!outletAudioFileRecorder->recording())
            outletAudioFileRecorder->startCapturingAudioWithFirstVideoFrameHostTime(seconds);
        else if (outletAudioFileRecorder->firstVideoFrameHostTime() == 0.0)
            outletAudioFileRecorder->setFirstVideoFrameHostTime(seconds);
    }
    return added;
}

double QMovieRecorderController::getFrameDurationNow() {
    return outletStillFrameRecorder != nullptr ? outletStillFrameRecorder->getFrameDurationNow() : 0.0;
}

void QMovieRecorderController::stopRecording(QObject * /*sender*/) {
    if (!isRecording()) return;
    outletStillFrameRecorder->endRecordingMovie();
    // This recording's names, fixed now: a recording started before the sound is closed
    // has names of its own.
    const QString moviePath = mMovieFileURL.toLocalFile();
    const QString audioPath = mAudioFileURL.toLocalFile();
    const QString videoPath = mVideoFileURL.toLocalFile();
    const QString flattenerPath = mFlattenerFileURL.toLocalFile();
    const std::weak_ptr<bool> alive = mAlive;
    auto flatten = [this, alive, moviePath, audioPath, videoPath, flattenerPath] {
        if (alive.expired()) return;
        std::shared_ptr<QMovieFlattenerQueueOp> operation =
            QMovieFlattenerQueueOp::movieFlattenerWithMovieFileName(moviePath, audioPath, videoPath);
        if (!operation || mMovieFlattenerQueue == nullptr) return;
        operation->delegate = this;
        operation->delegateAlive = alive;
        operation->madeWithMetaData = QStringLiteral("Made with Lum@ra");
        operation->tempFileName = flattenerPath;
        dispatch_async(mMovieFlattenerQueue, [operation] { operation->main(); });
    };
    if (outletAudioFileRecorder != nullptr)
        outletAudioFileRecorder->stopRecordingSessionAfterMicroseconds(kSoundStopDelayMicroseconds, flatten);
    else
        dispatch_async(dispatch_get_main_queue(), flatten);
}

void QMovieRecorderController::waitUntilFlatteningsFinished() { dispatch_sync(mMovieFlattenerQueue, [] {}); }

void QMovieRecorderController::movieFlattenerCompleted(const std::shared_ptr<QMovieFlattenerQueueOp> &operation) {
    if (!operation) return;
    if (operation->succeeded) {
        openFinalMovieFilePathName(operation->movieFileName);
    } else {
        recordingKeptFiles(PathExists(operation->videoFileName) ? operation->videoFileName : QString(),
                           PathExists(operation->audioFileName) ? operation->audioFileName : QString());
    }
    if (outletMoviesFolder != nullptr) {
        outletMoviesFolder->releaseFileURLWithFileName(QUrl::fromLocalFile(operation->audioFileName));
        outletMoviesFolder->releaseFileURLWithFileName(QUrl::fromLocalFile(operation->videoFileName));
        outletMoviesFolder->releaseFileURLWithFileName(QUrl::fromLocalFile(operation->tempFileName));
    }
    emit recordingFinished(operation->movieFileName, operation->succeeded);
}

void QMovieRecorderController::openFinalMovieFilePathName(const QString & /*path*/) {}

void QMovieRecorderController::recordingKeptFiles(const QString &videoPath, const QString &audioPath) {
    NSLog(QStringLiteral("QMovieRecorderController: the movie could not be made; the recording is kept in \"%1\"%2")
              .arg(videoPath, audioPath.isEmpty() ? QString() : QStringLiteral(" and \"%1\"").arg(audioPath)));
}

bool import_QMovieRecorderController() { return true; }
