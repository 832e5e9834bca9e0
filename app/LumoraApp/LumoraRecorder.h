// LumoraRecorder: the application's movie recorder, a QMovieRecorderController fixed to
// 640 x 480 at 30 frames per second, which opens each finished movie in a snapshot viewer.
// The camera view hands it every rendered frame while it records (movieRecordingRecordCurrentFrame).
#pragma once

#include <CocoaQZ/QTKit/QMovieRecorderController.h>

#include <QPointer>

class LumoraRecorder : public QMovieRecorderController {
    Q_OBJECT
    Q_PROPERTY(QObject *outletAsyncStillFrameMovieRecorder MEMBER outletAsyncStillFrameMovieRecorder)
    Q_PROPERTY(QObject *outletCompressionSettings MEMBER outletCompressionSettings)
public:
    static constexpr int kWidth = 640, kHeight = 480;
    static constexpr double kFrameRate = 30.0;

    Q_INVOKABLE explicit LumoraRecorder(QObject *parent = nullptr);
    ~LumoraRecorder() override;

    // The still-frame recorder (its "imageSize" set before each recording) and the compression
    // settings (QImageCompressionSettings); not owned, either may be null.
    QPointer<QObject> outletAsyncStillFrameMovieRecorder;
    QPointer<QObject> outletCompressionSettings;

    // The settings' input and output frame sizes 640 x 480 and frame rate 30, then the base's.
    Q_INVOKABLE void awakeFromNib();
    // The still-frame recorder's image size 640 x 480 (an asynchronous grabber's frame size,
    // else its "imageSize" property), then the base's.
    Q_INVOKABLE void startStopRecording(QObject *sender = nullptr);
    // Opens the finished movie in a snapshot viewer.
    void openFinalMovieFilePathName(const QString &path) override;
    // Shows the compression settings dialog.
    Q_INVOKABLE void actionOpenCodecOptions(QObject *sender = nullptr);
};

bool import_LumoraRecorder();
