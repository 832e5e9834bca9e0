// QCamPlayController: the controller of the camera source panel. It chooses sources from
// the pop-up of available sources, plays, pauses and loops, opens files by type and hooks
// the camera menu to the switcher (QCamSwitcher, its camera from NSUICamImageControls).
//
// Opening a file (openFile) routes by the exact suffix: ".mov" ".MOV" ".dv" ".DV" ".avi"
// ".AVI" ".wmv" ".WMV" ".flv" ".FLV" ".m4v" ".M4V" ".mp4" ".MP4" open as a movie, ".pdf"
// ".PDF" as a document, ".png" ".PNG" ".jpg" ".JPG" ".jpeg" ".JPEG" as an image. Anything
// else is refused with a message in the debug log, and so is a file on a network or FUSE
// file system (QCamFileLocation.h): opening it could block the main thread for as long as
// its server takes.
//
// Preferences: the loop button under "_loopedButton" (default 1), besides the low-light key.
//
// Main thread only.
#pragma once

#include <QCam/CameraControls/CamAvailablePopupButton.h>
#include <QCam/CameraControls/NSUIBaseImageControls.h>
#include <QCam/CameraControls/NSUICamMenuController.h>

#include <QString>

#include <functional>
#include <string>

class QCamPlayController : public NSUICamImageControls {
    Q_OBJECT
    Q_PROPERTY(NSUICamMenuController *_cameraMenuController MEMBER _cameraMenuController)
    Q_PROPERTY(CamAvailablePopupButton *mAvailablePopupButton MEMBER mAvailablePopupButton)
    Q_PROPERTY(NSButton *_playButton MEMBER _playButton)
    Q_PROPERTY(NSButton *_pauseButton MEMBER _pauseButton)
    Q_PROPERTY(NSButton *_loopedButton MEMBER _loopedButton)

public:
    static constexpr const char *kLoopedKey = "_loopedButton";
    // What openFile makes of a path.
    enum class FileKind { Movie, Vector, Raster, Unknown };

    explicit QCamPlayController(QWidget *parent = nullptr);

    Q_INVOKABLE void awakeFromNib();
    void setCamera(QCamSwitcher *camera) override;

    // Routes the path by its suffix (see above); false for refused paths.
    bool openFile(const QString &path);
    bool openMovieFile(const QString &path);
    bool openVectorFile(const QString &path);
    bool openRasterFile(const QString &path);
    static FileKind kindOfFile(const QString &path);
    static bool isMovieFile(const QString &path) { return kindOfFile(path) == FileKind::Movie; }
    static bool isPDFFile(const QString &path) { return kindOfFile(path) == FileKind::Vector; }

    Q_INVOKABLE void selectAvailable(QObject *sender);
    void selectSourceByName(const QString &name);
    void reflectAvailablePopupState();
    Q_INVOKABLE void playPauseButtonChanged(QObject *sender);
    Q_INVOKABLE void setStateButton(QObject *sender);
    // 1 (playing) unless the remembered button is the pause button.
    int playStateButton() const;
    Q_INVOKABLE void loopControlChanged(QObject *sender);
    void showLoopButton(bool show);
    Q_INVOKABLE void cameraOpened();
    Q_INVOKABLE void cameraDeviceMenuChanged(QObject *sender);
    Q_INVOKABLE void cameraDeviceInputChanged(QObject *sender);
    // The available-source pop-up's action.
    Q_INVOKABLE void availableSourceChanged(QObject *sender);

    void loadPreferences() override;
    void savePreferences() override;

    // Test hook: the check that refuses network paths (QCamIsRemotePath by default).
    using RemotePathCheck = std::function<bool(const std::string &path, std::string *fileSystemType)>;
    static void setRemotePathCheck(RemotePathCheck check);

    NSUICamMenuController *cameraMenuController() const { return _cameraMenuController.data(); }
    CamAvailablePopupButton *availablePopupButton() const { return mAvailablePopupButton.data(); }

private:
    QPointer<NSUICamMenuController> _cameraMenuController;
    QPointer<CamAvailablePopupButton> mAvailablePopupButton;
    QPointer<NSButton> _playButton;
    QPointer<NSButton> _pauseButton;
    QPointer<NSButton> _loopedButton;
    QPointer<NSButton> _playState;
};
