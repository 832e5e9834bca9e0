#include "CamInputVDIGController.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>
#include <QCam/CameraControls/QCamReflecterView.h>

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

const QStringList &OpenPanelTypes() {
    static const QStringList sTypes = {"mov", "mp4", "MP4", "m4v", "avi", "wmv", "flv", "dv",
                                       "pdf", "PDF", "png", "PNG", "jpg", "JPG", "jpeg", "JPEG"};
    return sTypes;
}

}  // namespace

CamInputVDIGController::CamInputVDIGController(QObject *parent)
    : NSObject(parent), mCamOutputClock(0.0), mCamOutputImage(nullptr), mCamPixelBuffer(nullptr) {
    mCamOutputBufferFormat._Width = 0;
    mCamOutputBufferFormat._Height = 0;
    mCamOutputBufferFormat._RowBytes = 0;
    mCamOutputBufferFormat._PixelFormat = kCVPixelFormatType_422YpCbCr8;
}

CamInputVDIGController::~CamInputVDIGController() {
    // The pixel buffer borrows the output buffer's pixels: it goes first.
    setCamPixelBuffer(nullptr);
    setCamOutputImage(nullptr);
}

void CamInputVDIGController::awakeFromNib() {
    if (mCamReflectorView != nullptr) mCamReflectorView->setCamImagePDF(kCamImagePDF);
}

void CamInputVDIGController::applicationDidFinishLaunching(const NSNotification &) {
    mCamOutputBuffer.GetFormat(mCamOutputBufferFormat);
    mCamOutputClock = QCamReflecterView::nowMicroseconds();
    if (mCamReflectorView == nullptr) return;
    mCamReflectorView->cameraGrabBegin(&mCamOutputBuffer, float(kDefaultFrameRate), true);
    mCamReflectorView->loadPreferences();
    const QVariant stored = NSUserDefaults::standardUserDefaults().objectForKey(QString::fromLatin1(kPreviewButtonKey));
    if (NSButton *button = mCamReflectorView->previewButton()) button->setState(stored.isValid() ? stored.toInt() : 0);
}

void CamInputVDIGController::applicationWillTerminate(const NSNotification &) {
    if (mCamReflectorView != nullptr) {
        mCamReflectorView->cameraGrabEnd();
        mCamReflectorView->savePreferences();
        if (NSButton *button = mCamReflectorView->previewButton())
            NSUserDefaults::standardUserDefaults().setInteger(button->state(), QString::fromLatin1(kPreviewButtonKey));
    }
    mCamOutputBuffer.EraseOutputBlack();
}

void CamInputVDIGController::cameraTimerTick(QObject *) {
    if (mCamReflectorView == nullptr) return;
    mCamReflectorView->cameraGrabTimer(true);
    const double now = QCamReflecterView::nowMicroseconds();
    if (now - mCamOutputClock > 1.0e6) {
        mCamOutputClock = now;
        mCamReflectorView->oneSecondTimer();
    }
    CGImageRef image = mCamReflectorView->copyPreviewImageRef();
    setCamOutputImage(image);
    if (image != nullptr) CGImageRelease(image);
    CVPixelBufferRef pixelBuffer = createCameraPixelBuffer();
    setCamPixelBuffer(pixelBuffer);
    if (pixelBuffer != nullptr) CVPixelBufferRelease(pixelBuffer);
    mCamReflectorView->update();
}

CIImageRef CamInputVDIGController::cameraCIImage() {
    CVPixelBufferRef pixelBuffer = camPixelBufferCopy();
    if (pixelBuffer != nullptr) {
        CIImageRef image = CIImage::imageWithCVImageBuffer(pixelBuffer);
        CVPixelBufferRelease(pixelBuffer);
        return image;
    }
    CGImageRef preview = camOutputImageCopy();
    if (preview == nullptr) return nullptr;
    CIImageRef image = CIImage::imageWithCGImage(preview);
    CGImageRelease(preview);
    return image;
}

void CamInputVDIGController::setCameraActive(bool active) {
    if (mCamReflectorView != nullptr) mCamReflectorView->setActivePreview(active);
}

bool CamInputVDIGController::isOpenPanelType(const QString &path) {
    const int dot = int(path.lastIndexOf('.'));
    if (dot < 0 || path.indexOf('/', dot) >= 0) return false;
    return OpenPanelTypes().contains(path.mid(dot + 1));
}

void CamInputVDIGController::fileOpen(QObject *) {
    QStringList patterns;
    for (const QString &type : OpenPanelTypes()) patterns << "*." + type;
    QFileDialog dialog(nullptr, QStringLiteral("Open"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Movies, documents and images (%1)").arg(patterns.join(' ')));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty()) return;
    const QUrl url = dialog.selectedUrls().first();
    if (!url.isLocalFile()) return;
    const QString path = url.toLocalFile();
    // The dialog's filter may match other spellings of the suffixes.
    if (!isOpenPanelType(path)) {
        CoreMachDebugLog("CamInputVDIGController: \"%s\" is not a type the camera source opens\n",
                         path.toUtf8().constData());
        return;
    }
    openFileName(path);
}

bool CamInputVDIGController::openFileName(const QString &path) {
    if (mCamReflectorView == nullptr) return false;
    return mCamReflectorView->openFile(path);
}

CVPixelBufferRef CamInputVDIGController::createCameraPixelBuffer() {
    Q_2vuy_buffer frame;
    if (!mCamOutputBuffer.GetFrameBuffer(frame) || !frame.HasPixelRows()) return nullptr;
    CVPixelBufferRef pixelBuffer = nullptr;
    const CVReturn result = CVPixelBufferCreateWithBytes(nullptr, size_t(frame._Width), size_t(frame._Height),
                                                         frame._PixelFormat, frame._PixelData, size_t(frame._RowBytes),
                                                         nullptr, nullptr, nullptr, &pixelBuffer);
    return result == kCVReturnSuccess ? pixelBuffer : nullptr;
}

CVPixelBufferRef CamInputVDIGController::camPixelBuffer() {
    std::lock_guard<std::mutex> guard(mLock);
    return mCamPixelBuffer;
}

CVPixelBufferRef CamInputVDIGController::camPixelBufferCopy() {
    std::lock_guard<std::mutex> guard(mLock);
    return mCamPixelBuffer != nullptr ? CVPixelBufferRetain(mCamPixelBuffer) : nullptr;
}

void CamInputVDIGController::setCamPixelBuffer(CVPixelBufferRef pixelBuffer) {
    {
        std::lock_guard<std::mutex> guard(mLock);
        if (pixelBuffer != nullptr) CVPixelBufferRetain(pixelBuffer);
        if (mCamPixelBuffer != nullptr) CVPixelBufferRelease(mCamPixelBuffer);
        mCamPixelBuffer = pixelBuffer;
    }
    camPixelBufferChanged();
}

CGImageRef CamInputVDIGController::camOutputImage() {
    std::lock_guard<std::mutex> guard(mLock);
    return mCamOutputImage;
}

CGImageRef CamInputVDIGController::camOutputImageCopy() {
    std::lock_guard<std::mutex> guard(mLock);
    return mCamOutputImage != nullptr ? CGImageRetain(mCamOutputImage) : nullptr;
}

void CamInputVDIGController::setCamOutputImage(CGImageRef image) {
    {
        std::lock_guard<std::mutex> guard(mLock);
        if (image != nullptr) CGImageRetain(image);
        if (mCamOutputImage != nullptr) CGImageRelease(mCamOutputImage);
        mCamOutputImage = image;
    }
    camOutputImageChanged();
}

// ---- CamInputVDIGNibbler --------------------------------------------------------------------

CamInputVDIGNibbler::CamInputVDIGNibbler(QWidget *parent) : CamInputBaseNibbler(parent) {}

protocol_CamInputViewController *CamInputVDIGNibbler::viewController() const {
    QObject *controller = nibblerController();
    VERIFY_TEXT(qobject_cast<CamInputVDIGController *>(controller) != nullptr, "self.nibblerController");
    return CamInputBaseNibbler::viewController();
}

bool import_CamInputVDIGController() { return import_CamInputBaseNibbler(); }
