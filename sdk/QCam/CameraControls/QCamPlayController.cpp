#include <QCam/CameraControls/QCamPlayController.h>

#include <CoreFoundation/CFURL.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>
#include <QCam/Camera/QCamFileLocation.h>
#include <QCam/Camera/QCamSwitcher.h>

#include <QFileInfo>
#include <QStringList>

namespace {

QCamPlayController::RemotePathCheck &RemoteCheck() {
    static QCamPlayController::RemotePathCheck sCheck = [](const std::string &path, std::string *type) {
        return QCamIsRemotePath(path, type);
    };
    return sCheck;
}

bool EndsWithAny(const QString &path, const QStringList &suffixes) {
    for (const QString &suffix : suffixes)
        if (path.endsWith(suffix, Qt::CaseSensitive)) return true;
    return false;
}

// A file URL of the path (null when it cannot be made). The caller releases it.
CFURLRef FileURLOf(const QString &path) {
    const QByteArray bytes = path.toUtf8();
    if (bytes.isEmpty()) return nullptr;
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(bytes.constData()),
                                                   CFIndex(bytes.size()), false);
}

}  // namespace

QCamPlayController::QCamPlayController(QWidget *parent) : NSUICamImageControls(parent) {}

void QCamPlayController::setRemotePathCheck(RemotePathCheck check) {
    RemoteCheck() = check ? std::move(check) : [](const std::string &path, std::string *type) {
        return QCamIsRemotePath(path, type);
    };
}

void QCamPlayController::awakeFromNib() {
    VERIFY_TEXT(_cameraMenuController != nullptr, "_cameraMenuController");
    VERIFY_TEXT(mAvailablePopupButton != nullptr, "mAvailablePopupButton");
    VERIFY_TEXT(_loopedButton != nullptr, "_loopedButton");
    VERIFY_TEXT(_playButton != nullptr, "_playButton");
    // A camera menu without a target of its own reports its choices here.
    if (_cameraMenuController != nullptr && _cameraMenuController->target() == nullptr) {
        _cameraMenuController->setTarget(this);
        _cameraMenuController->setAction("cameraDeviceInputChanged");
    }
    setStateButton(_playButton);
}

void QCamPlayController::setCamera(QCamSwitcher *camera) {
    NSUICamImageControls::setCamera(camera);
    if (camera == nullptr) return;
    loopControlChanged(_loopedButton);
    reflectAvailablePopupState();
    if (_cameraMenuController != nullptr) _cameraMenuController->updateForCameraGrabber(camera);
    playPauseButtonChanged(_playState);
    loopControlChanged(_loopedButton);
}

// ---- Files ----------------------------------------------------------------------------------

QCamPlayController::FileKind QCamPlayController::kindOfFile(const QString &path) {
    static const QStringList kMovies = {".mov", ".MOV", ".dv", ".DV", ".avi", ".AVI", ".wmv",
                                        ".WMV", ".flv", ".FLV", ".m4v", ".M4V", ".mp4", ".MP4"};
    static const QStringList kVectors = {".pdf", ".PDF"};
    static const QStringList kRasters = {".png", ".PNG", ".jpg", ".JPG", ".jpeg", ".JPEG"};
    if (EndsWithAny(path, kMovies)) return FileKind::Movie;
    if (EndsWithAny(path, kVectors)) return FileKind::Vector;
    if (EndsWithAny(path, kRasters)) return FileKind::Raster;
    return FileKind::Unknown;
}

bool QCamPlayController::openFile(const QString &path) {
    const QByteArray text = path.toUtf8();
    const FileKind kind = kindOfFile(path);
    if (kind == FileKind::Unknown) {
        CoreMachDebugLog("QCamPlayController: cannot open \"%s\": not a movie (.mov .mp4 .m4v .avi .dv .wmv .flv), "
                         "a PDF document (.pdf) or an image (.png .jpg .jpeg)\n",
                         text.constData());
        return false;
    }
    std::string fileSystem;
    if (RemoteCheck()(text.toStdString(), &fileSystem)) {
        CoreMachDebugLog("QCamPlayController: refusing to open \"%s\": it lies on a network file system (%s), "
                         "which could stall the picture; copy it to a local folder first\n",
                         text.constData(), fileSystem.c_str());
        return false;
    }
    bool success = false;
    switch (kind) {
    case FileKind::Movie:
        success = openMovieFile(path);
        VERIFY_TEXT(success, " code : success = [self openMovieFile:systemPathName]");
        break;
    case FileKind::Vector:
        success = openVectorFile(path);
        VERIFY_TEXT(success, " code : success = [self openVectorFile:systemPathName]");
        break;
    default:
        success = openRasterFile(path);
        VERIFY_TEXT(success, " code : success = [self openRasterFile:systemPathName]");
        break;
    }
    if (!VERIFY_TEXT(success, " code : success")) return false;
    if (mAvailablePopupButton != nullptr) mAvailablePopupButton->setCurrentIndex(-1);
    return true;
}

bool QCamPlayController::openMovieFile(const QString &path) {
    if (_camera == nullptr) return true;
    CFURLRef url = FileURLOf(path);
    if (url == nullptr) return false;
    _camera->OpenMovieFile(url);
    CFRelease(url);
    return true;
}

bool QCamPlayController::openVectorFile(const QString &path) {
    if (_camera == nullptr) return true;
    CFURLRef url = FileURLOf(path);
    if (url == nullptr) return false;
    _camera->OpenVectorFile(url);
    CFRelease(url);
    return true;
}

bool QCamPlayController::openRasterFile(const QString &path) {
    if (_camera == nullptr) return true;
    CFURLRef url = FileURLOf(path);
    if (url == nullptr) return false;
    _camera->OpenRasterFile(url);
    CFRelease(url);
    return true;
}

// ---- Available sources ----------------------------------------------------------------------

void QCamPlayController::reflectAvailablePopupState() {
    if (mAvailablePopupButton == nullptr) return;
    const int index = mAvailablePopupButton->currentIndex();
    if (!VERIFY_TEXT(index >= 0, " code : selectedItem")) return;
    if (_camera == nullptr) return;
    if (mAvailablePopupButton->tagAt(index) != 0) {
        const QByteArray name = mAvailablePopupButton->itemText(index).toUtf8();
        _camera->OpenSourceResource(name.constData());
    } else {
        _camera->UseCameraIfOpen();
    }
}

void QCamPlayController::selectSourceByName(const QString &name) {
    if (mAvailablePopupButton == nullptr) return;
    const int index = mAvailablePopupButton->findText(name);
    if (index < 0) return;
    mAvailablePopupButton->setCurrentIndex(index);
    reflectAvailablePopupState();
}

void QCamPlayController::selectAvailable(QObject *) {
    if (mAvailablePopupButton != nullptr) {
        const int index = mAvailablePopupButton->availableMenuItem();
        if (index >= 0) mAvailablePopupButton->setCurrentIndex(index);
    }
    playPauseButtonChanged(_playState);
}

void QCamPlayController::availableSourceChanged(QObject *) { reflectAvailablePopupState(); }

// ---- Play, pause, loop ----------------------------------------------------------------------

void QCamPlayController::setStateButton(QObject *sender) {
    NSButton *button = qobject_cast<NSButton *>(sender);
    if (!VERIFY_TEXT(button != nullptr, "stateType")) return;
    _playState = button;
    if (_playButton != nullptr) _playButton->setState(button == _playButton ? 1 : 0);
    if (_pauseButton != nullptr) _pauseButton->setState(button == _pauseButton ? 1 : 0);
}

int QCamPlayController::playStateButton() const {
    return _playState != nullptr && _playState == _pauseButton ? 0 : 1;
}

void QCamPlayController::playPauseButtonChanged(QObject *sender) {
    if (sender != nullptr) setStateButton(sender);
    if (_camera != nullptr) _camera->SetPlayState(playStateButton());
}

void QCamPlayController::loopControlChanged(QObject *sender) {
    const NSButton *button = qobject_cast<NSButton *>(sender);
    if (button == nullptr || _camera == nullptr) return;
    _camera->SetLooping(button->state() == 1);
}

void QCamPlayController::showLoopButton(bool show) {
    if (_loopedButton != nullptr) _loopedButton->setVisible(show);
}

// ---- Camera menu ----------------------------------------------------------------------------

void QCamPlayController::cameraOpened() {
    if (!VERIFY_TEXT(_camera != nullptr, " code : _camera")) return;
    if (_cameraMenuController != nullptr) _cameraMenuController->updateForCameraGrabber(_camera);
}

void QCamPlayController::cameraDeviceMenuChanged(QObject *) { cameraOpened(); }

void QCamPlayController::cameraDeviceInputChanged(QObject *) {
    if (!VERIFY_TEXT(_cameraMenuController != nullptr, " code : _cameraMenuController")) return;
    if (!VERIFY_TEXT(_camera != nullptr, " code : _camera")) return;
    _cameraMenuController->changeCameraGrabberDevice(_camera);
}

// ---- Preferences ----------------------------------------------------------------------------

void QCamPlayController::loadPreferences() {
    NSUICamImageControls::loadPreferences();
    const QVariant stored = NSUserDefaults::standardUserDefaults().objectForKey(QString::fromLatin1(kLoopedKey));
    const int state = stored.isValid() ? stored.toInt() : 1;
    if (_loopedButton != nullptr) _loopedButton->setState(state != 0 ? 1 : 0);
    loopControlChanged(_loopedButton);
}

void QCamPlayController::savePreferences() {
    NSUICamImageControls::savePreferences();
    if (_loopedButton != nullptr)
        NSUserDefaults::standardUserDefaults().setInteger(_loopedButton->state(), QString::fromLatin1(kLoopedKey));
}
