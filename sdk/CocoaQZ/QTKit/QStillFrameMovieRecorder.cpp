#include "QStillFrameMovieRecorder.h"

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <QTKit/MovieFileWriter.h>

#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include <unistd.h>

QStillFrameMovieRecorder::QStillFrameMovieRecorder(QObject *parent) : NSObject(parent) {}

QStillFrameMovieRecorder::~QStillFrameMovieRecorder() { endRecordingMovie(); }

bool QStillFrameMovieRecorder::beginRecordingMovieFileURL(const QUrl &url) {
    return url.isLocalFile() && beginRecordingMovieFile(url.toLocalFile());
}

bool QStillFrameMovieRecorder::beginRecordingMovieFile(const QString &path) {
    if (mMovie) return false;
    const QFileInfo info(path);
    QString problem;
    if (path.isEmpty()) problem = QStringLiteral("No movie file was given.");
    else if (info.exists() || info.isSymLink()) problem = QStringLiteral("The file \"%1\" already exists.").arg(path);
    else if (access(info.absolutePath().toLocal8Bit().constData(), W_OK | X_OK) != 0)
        problem = QStringLiteral("The folder \"%1\" cannot be written.").arg(info.absolutePath());
    if (!problem.isEmpty()) {
        CoreMachDebugLog("VERIFIED_NSERROR(%s, FN:%s __FILE__:%s __LINE__:%d\n%s", qPrintable(problem), __func__,
                         __FILE__, __LINE__, " SOURCE error");
        presentError(problem);
        return false;
    }
    mPath = path;
    mMovie = std::make_unique<lumora::qtkit::MovieFileWriter>();
    mOpened = false;
    mDuration = 0;
    mAddFrameAttributes = QVariantMap{{QStringLiteral("QTAddImageCodecType"), QStringLiteral("rle ")},
                                      {QStringLiteral("QTAddImageCodecQuality"), 1024}};
    mStopwatch.Start();
    return true;
}

int32_t QStillFrameMovieRecorder::calculateElapsedFramesWithFrameDurationSeconds(double seconds) {
    // In double precision throughout: 1/30 s is 20 units, not 19.
    if (!std::isfinite(seconds) || seconds <= 0.0) return 1;
    const double units = std::min(seconds * kVideoTimeScale, double(INT32_MAX));
    return int32_t(std::max<long long>(1, std::llround(units)));
}

bool QStillFrameMovieRecorder::addFrameImageRef(CGImageRef image, double frameDurationInSeconds) {
    if (image == nullptr) return false;
    return addFrameBitmapImage(image, calculateElapsedFramesWithFrameDurationSeconds(frameDurationInSeconds));
}

bool QStillFrameMovieRecorder::addFrameBitmapImage(CGImageRef image, int32_t count) {
    if (!mMovie || image == nullptr || count <= 0) return false;
    const size_t width = CGImageGetWidth(image);
    const size_t height = CGImageGetHeight(image);
    const size_t rowBytes = CGImageGetBytesPerRow(image);
    if (CGImageGetBitsPerPixel(image) != 32 || width == 0 || height == 0) return false;
    if (!mOpened) {
        lumora::qtkit::MovieFileWriter::Format format;
        format.pixelFormat = 'BGRA';
        format.codec = kAnimationCodecType;
        format.timeScale = kVideoTimeScale;
        format.quality = codecLosslessQuality;
        const OSErr err = mMovie->Open(mPath.toStdString(), int(width), int(height), format);
        if (err != noErr) {
            CoreMachDebugLog("QStillFrameMovieRecorder::addFrameBitmapImage: the movie cannot be made (%d)\n", int(err));
            return false;
        }
        mOpened = true;
    }
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr) return false;
    bool added = false;
    if (size_t(CFDataGetLength(data)) >= rowBytes * height)
        added = mMovie->WriteFrame(CFDataGetBytePtr(data), rowBytes, mDuration, count) == noErr;
    CFRelease(data);
    if (added) mDuration += count;
    return added;  // the append's own result
}

double QStillFrameMovieRecorder::getFrameDurationNow() {
    const double seconds = double(mStopwatch.Elapsed_nsec()) / 1000.0 / 1000.0 / 1000.0;
    mStopwatch.Start();
    return seconds;
}

bool QStillFrameMovieRecorder::endRecordingMovie() {
    if (!mMovie) return false;
    std::unique_ptr<lumora::qtkit::MovieFileWriter> movie = std::move(mMovie);  // not recording from here
    mAddFrameAttributes.clear();
    if (mOpened) {
        const OSErr err = movie->Finish();
        if (err != noErr) CoreMachDebugLog("QStillFrameMovieRecorder::endRecordingMovie: %d for %s\n", int(err), qPrintable(mPath));
    }
    mOpened = false;
    return true;
}

void QStillFrameMovieRecorder::presentError(const QString &message) {
    NSLog(QStringLiteral("QStillFrameMovieRecorder: %1").arg(message));
}

bool import_QStillFrameMovieRecorder() { return true; }
