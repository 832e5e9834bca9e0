#include <LumoraApp/LumoraRecorder.h>

#include <LumoraApp/SnapViewWindowController.h>

#include <CocoaGL/AsyncFrameGrabber.h>

#include <Foundation/NSObjCRuntime.h>

#include <QSize>
#include <QSizeF>
#include <QVariant>

NS_REGISTER_CLASS(LumoraRecorder);

LumoraRecorder::LumoraRecorder(QObject *parent) : QMovieRecorderController(parent) {}
LumoraRecorder::~LumoraRecorder() = default;

void LumoraRecorder::awakeFromNib() {
    if (QObject *settings = outletCompressionSettings.data()) {
        settings->setProperty("inputFrameSize", QSizeF(kWidth, kHeight));
        settings->setProperty("outputFrameSize", QSizeF(kWidth, kHeight));
        settings->setProperty("frameRate", kFrameRate);
    }
    QMovieRecorderController::awakeFromNib();
}

void LumoraRecorder::startStopRecording(QObject *sender) {
    // The frame writer refuses to start without a frame size.
    if (auto *frames = dynamic_cast<AsyncBaseGrabber *>(outletAsyncStillFrameMovieRecorder.data()))
        frames->setImageSizePixels(CGSizeMake(kWidth, kHeight));
    else if (QObject *recorder = outletAsyncStillFrameMovieRecorder.data())
        recorder->setProperty("imageSize", QSize(kWidth, kHeight));
    QMovieRecorderController::startStopRecording(sender);
}

void LumoraRecorder::openFinalMovieFilePathName(const QString &path) {
    SnapViewWindowController::snapViewForMediaPath(path);
}

void LumoraRecorder::actionOpenCodecOptions(QObject *sender) {
    if (QObject *settings = outletCompressionSettings.data())
        QMetaObject::invokeMethod(settings, "actionDisplaySettingsDialog", Qt::DirectConnection, Q_ARG(QObject *, sender));
}

bool import_LumoraRecorder() { return import_QMovieRecorderController(); }
