#include <QCam/CameraControls/QCamReflecterView.h>

#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <CoreGraphics/CoreGraphics.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreMachElapsedTime.h>
#include <QCam/Camera/QCamDefaultCaptureFormat.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSourceMovie = 3;
constexpr float kHighlightLineWidth = 6.0f;

// Draws through Core Graphics into an image of the widget's size (the memory layout Qt
// paints from), origin at the bottom-left.
class CGCanvas {
public:
    explicit CGCanvas(const QSize &size) : mImage(size, QImage::Format_ARGB32_Premultiplied) {
        mImage.fill(Qt::black);
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        mContext = CGBitmapContextCreate(mImage.bits(), size_t(mImage.width()), size_t(mImage.height()), 8,
                                         size_t(mImage.bytesPerLine()), space,
                                         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
        CGColorSpaceRelease(space);
    }
    ~CGCanvas() {
        if (mContext != nullptr) CGContextRelease(mContext);
    }
    CGCanvas(const CGCanvas &) = delete;
    CGCanvas &operator=(const CGCanvas &) = delete;

    CGContextRef context() const { return mContext; }
    // The drawing, brought into the image's memory.
    const QImage &image() {
        if (mContext != nullptr) CGBitmapContextWillAccessData(mContext);
        return mImage;
    }

private:
    QImage mImage;
    CGContextRef mContext = nullptr;
};

void DrawImageRef(CGContextRef context, CGImageRef image, CGRect rect, float opacity) {
    if (context == nullptr || image == nullptr) return;
    CGContextSaveGState(context);
    CGContextSetInterpolationQuality(context, CGInterpolationQuality(2));
    CGContextSetAlpha(context, opacity);
    CGContextDrawImage(context, rect, image);
    CGContextRestoreGState(context);
}

}  // namespace

QCamReflecterView::QCamReflecterView(QWidget *parent)
    : QWidget(parent),
      _activePreview(false),
      _dropHighlight(false),
      _camFrameTime(0.0),
      _camFrameRate(QCamDefaultCaptureFormat::Get().frameRate),
      _camFrameDuration_s(float(1.0 / QCamDefaultCaptureFormat::Get().frameRate)) {
    constructQCamReflecter();
    setAcceptDrops(true);
}

QCamReflecterView::~QCamReflecterView() {
    if (__camReflecter != nullptr) __camReflecter->SetView(nullptr);
}

void QCamReflecterView::constructQCamReflecter() { __camReflecter = QCamSwitcherCreate(); }

double QCamReflecterView::nowMicroseconds() { return double(CoreMachElapsedTime::GetNanoseconds()) / 1000.0; }

void QCamReflecterView::awakeFromNib() {
    if (_scrubControl != nullptr) _scrubControl->setVisible(false);
    setAcceptDrops(true);
    if (!VERIFY_TEXT(_camController != nullptr, "_camController")) return;
    _camController->setCamera(__camReflecter.get());
}

// ---- Grabbing -----------------------------------------------------------------------------

int16_t QCamReflecterView::cameraGrabBegin(QCamOutputBase *output, float frameRate, bool) {
    _camFrameTime = nowMicroseconds();
    _camFrameRate = frameRate > 0.0f && std::isfinite(frameRate) ? frameRate : QCamDefaultCaptureFormat::Get().frameRate;
    _camFrameDuration_s = float(1.0 / _camFrameRate);
    QCamSwitcher *camera = __camReflecter.get();
    camera->SetView(this);
    camera->SetOutputEnabled(true);
    camera->SetOutput(output);
    int16_t err = camera->BeginCameraGrab(kGrabFlags);
    if (err != 0) return err;
    err = camera->StartCameraRecord();
    if (err != 0) return err;
    camera->SetPlayState(1);
    if (_camController != nullptr) _camController->cameraOpened();
    return 0;
}

bool QCamReflecterView::shouldSkipTick(double elapsedSeconds, double intervalSeconds) {
    return int64_t(elapsedSeconds * 100.0) < int64_t(intervalSeconds * 100.0);
}

void QCamReflecterView::cameraGrabTimer(bool forced) {
    QCamSwitcher *camera = __camReflecter.get();
    if (!camera->HasGrabberComponent()) return;
    const double pace = camera->GetPaceRate(_camFrameRate);
    const double interval = std::max(double(_camFrameDuration_s), pace > 0.0 ? 1.0 / pace : 0.0);
    const double now = nowMicroseconds();
    const double elapsed = (now - _camFrameTime) / 1.0e6;
    if (!forced && shouldSkipTick(elapsed, interval)) return;
    _camFrameTime = now;
    camera->GrabTick();
}

void QCamReflecterView::cameraGrabEnd() { __camReflecter->EndCamera(); }

void QCamReflecterView::cameraGrabSetCamOutput(QCamOutputBase *output) { __camReflecter->SetOutput(output); }

// ---- Files --------------------------------------------------------------------------------

bool QCamReflecterView::openFile(const QString &path) {
    if (_camController == nullptr) return false;
    return _camController->openFile(path);
}

bool QCamReflecterView::openFileURL(const QUrl &url) {
    if (!url.isLocalFile()) {
        CoreMachDebugLog("QCamReflecterView: cannot open \"%s\": not a file\n", url.toString().toUtf8().constData());
        return false;
    }
    return openFile(url.toLocalFile());
}

// ---- Sources ------------------------------------------------------------------------------

void QCamReflecterView::QCamReflecterSourceChanged(const QVariant &source) {
    const int number = source.toInt();
    QCamSwitcher *camera = __camReflecter.get();
    if (number == kSourceMovie) {
        if (_movieSlider != nullptr) {
            _movieSlider->setMovie(camera->CurrentMovie());
            _movieSlider->takeNormalValueFromMovie(this);
            _movieSlider->setVisible(true);
        }
        if (_scrubControl != nullptr) _scrubControl->setVisible(true);
        if (_camController != nullptr) {
            _camController->showLoopButton(true);
            camera->SetPlayState(_camController->playStateButton());
        }
    } else {
        if (_movieSlider != nullptr) {
            _movieSlider->setVisible(false);
            _movieSlider->clearMovie();
        }
        if (_scrubControl != nullptr) _scrubControl->setVisible(false);
        if (_camController != nullptr) _camController->showLoopButton(false);
    }
    setCamReflecterSourceButton(number);
}

void QCamReflecterView::setSourceButton(QObject *sender) {
    NSButton *button = qobject_cast<NSButton *>(sender);
    if (!VERIFY_TEXT(button != nullptr, "sourceType")) return;
    _sourceType = button;
    for (NSButton *each : {_sourceNone.data(), _sourceImage.data(), _sourceLive.data(), _sourceMovie.data()})
        if (each != nullptr) each->setState(each == button ? 1 : 0);
}

int QCamReflecterView::camReflecterSourceButton() const {
    const NSButton *button = _sourceType.data();
    if (button != nullptr && button == _sourceImage) return 1;
    if (button != nullptr && button == _sourceLive) return 2;
    if (button != nullptr && button == _sourceMovie) return 3;
    return 0;
}

void QCamReflecterView::setCamReflecterSourceButton(int source) {
    NSButton *button = source == 1 ? _sourceImage.data()
                       : source == 2 ? _sourceLive.data()
                       : source == 3 ? _sourceMovie.data()
                                     : _sourceNone.data();
    if (button != nullptr) setSourceButton(button);
}

void QCamReflecterView::cameraSourceButtonChanged(QObject *sender) {
    setSourceButton(sender);
    __camReflecter->SetSourceMode(camReflecterSourceButton(), false);
    update();
}

void QCamReflecterView::movieSliderChanged(QObject *) {
    if (_movieSlider == nullptr) return;
    _movieSlider->setMovie(__camReflecter->CurrentMovie());
    _movieSlider->setMovieTimeToNormalValue(_movieSlider->normalSliderValue());
}

void QCamReflecterView::movieScrubControlChanged(QObject *) {
    if (_movieSlider == nullptr || _scrubControl == nullptr) return;
    _movieSlider->setMovie(__camReflecter->CurrentMovie());
    _movieSlider->setMovieTimeToNormalValue(_scrubControl->normalValue());
}

void QCamReflecterView::oneSecondTimer() {
    if (__camReflecter->Source() == kSourceMovie && _movieSlider != nullptr) _movieSlider->takeNormalValueFromMovie(this);
}

// ---- Preview ------------------------------------------------------------------------------

bool QCamReflecterView::isPreview() const {
    return _activePreview || (_previewButton != nullptr && _previewButton->state() == 1);
}

void QCamReflecterView::setActivePreview(bool active) {
    _activePreview = active;
    __camReflecter->SetActivePreview(isPreview());
    update();
}

void QCamReflecterView::previewButtonChanged(QObject *) { setActivePreview(_activePreview); }

void QCamReflecterView::cameraControlsChanged(QObject *) { update(); }

CGImageRef QCamReflecterView::copyPreviewImageRef() {
    __camReflecter->UpdatePreview();
    return __camReflecter->CopyPreviewImage();
}

void QCamReflecterView::setDropHighlight(bool highlight) {
    _dropHighlight = highlight;
    update();
}

void QCamReflecterView::paintEvent(QPaintEvent *) {
    if (width() < 1 || height() < 1) return;
    CGCanvas canvas(size());
    CGContextRef context = canvas.context();
    QCamSwitcher *camera = __camReflecter.get();
    const CGRect bounds = CGRectMake(0, 0, width(), height());
    if (context != nullptr && camera->HasGrabberComponent()) {
        if (!isPreview()) {
            const QByteArray name = _camImagePDF.isEmpty() ? QByteArray(kDefaultCamImagePDF) : _camImagePDF;
            CFURLRef url = CoreGraphics::CopyMainBundleResourceURL(name.constData(), CFSTR("pdf"));
            if (url != nullptr) {
                CGContextSaveGState(context);
                CGContextSetAlpha(context, 0.5);
                CoreGraphics::DrawPDFPageInRect(context, url, bounds, 1.0f, 1.0f);
                CGContextRestoreGState(context);
                CFRelease(url);
            }
        } else if (camera->PreviewKind() != 0) {
            CGImageRef preview = copyPreviewImageRef();
            DrawImageRef(context, preview, bounds, 1.0f);
            if (preview != nullptr) CGImageRelease(preview);
        }
    }
    if (context != nullptr && _dropHighlight) {
        const QColor tint = palette().color(QPalette::Highlight);
        CGContextSaveGState(context);
        CGContextSetRGBStrokeColor(context, tint.redF(), tint.greenF(), tint.blueF(), 1.0);
        CGContextSetLineWidth(context, kHighlightLineWidth);
        CGContextStrokeRect(context, bounds);
        CGContextRestoreGState(context);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, canvas.image());
}

// ---- Drops --------------------------------------------------------------------------------

void QCamReflecterView::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData() != nullptr && event->mimeData()->hasUrls()) {
        setDropHighlight(true);
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void QCamReflecterView::dragLeaveEvent(QDragLeaveEvent *) { setDropHighlight(false); }

void QCamReflecterView::dropEvent(QDropEvent *event) {
    setDropHighlight(false);
    if (event->source() == this) {
        event->acceptProposedAction();
        return;
    }
    const QMimeData *data = event->mimeData();
    if (data != nullptr && data->hasUrls() && !data->urls().isEmpty()) {
        VERIFY_TEXT(openFileURL(data->urls().first()), " code : fileURL");
    }
    event->acceptProposedAction();
}

// ---- Preferences --------------------------------------------------------------------------

void QCamReflecterView::loadPreferences() {
    if (_camController != nullptr) _camController->loadPreferences();
}

void QCamReflecterView::savePreferences() {
    if (_camController != nullptr) _camController->savePreferences();
}
