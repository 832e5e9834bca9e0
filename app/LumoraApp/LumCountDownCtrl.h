// LumCountDownCtrl: the shutter's timed-snapshot control with a choice of shutter sound. The
// sound's file name ("Default.aiff" at launch, else the chosen item's title with ".aiff") is
// what the click plays; the count-down switch is kept in the user defaults under "_enabled".
#pragma once

#include <Foundation/NSNotification.h>
#include <QCam/CameraControls/NSUICamTimedSnapper.h>

#include <QPointer>
#include <QString>

class LumCountDownCtrl : public NSUICamTimedSnapper {
    Q_OBJECT
    Q_PROPERTY(QObject *_clicksPopUpButton MEMBER mClicksPopUpButton)
    Q_PROPERTY(QString cameraClickSoundFile READ cameraClickSoundFile WRITE setCameraClickSoundFile)
public:
    Q_INVOKABLE explicit LumCountDownCtrl(QWidget *parent = nullptr);
    ~LumCountDownCtrl() override;

    QString cameraClickSoundFile() const override { return mCameraClickSoundFile; }
    void setCameraClickSoundFile(const QString &fileName) { mCameraClickSoundFile = fileName; }

    // The item's title followed by ".aiff"; a checkable item becomes the only one checked in
    // its group.
    Q_INVOKABLE void shutterSoundChanged(QObject *menuItem);
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

private:
    QPointer<QObject> mClicksPopUpButton;
    QString mCameraClickSoundFile = QStringLiteral("Default.aiff");
};

bool import_LumCountDownCtrl();
