// The frame writer interface of movie recording: a video-only movie made from rendered still
// images. QStillFrameMovieRecorder writes synchronously on the caller's thread; the camera
// source kit's QAsyncStillFrameMovieRecorder compresses on background queues. The movie
// recording controller drives either one.
#pragma once

#include <CoreGraphics/CGImage.h>

#include <QUrl>

class QMovieFrameRecorderProtocol {
public:
    virtual ~QMovieFrameRecorderProtocol() = default;
    // Starts a movie at the file URL; false when no movie can be written there (nothing is
    // started then).
    virtual bool beginRecordingMovieFileURL(const QUrl &url) = 0;
    // One frame shown for the given seconds; false when it was not added.
    virtual bool addFrameImageRef(CGImageRef image, double frameDurationInSeconds) = 0;
    // The duration of the frame to add now, in seconds.
    virtual double getFrameDurationNow() = 0;
    virtual bool isRecordingMovie() = 0;
    // Completes the movie file; false when nothing was being recorded.
    virtual bool endRecordingMovie() = 0;
};
