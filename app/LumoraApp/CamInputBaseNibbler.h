// CamInputBaseNibbler: the base of the camera-input panel's source nibblers. The effect input
// controller reaches the active source through protocol_QTZCameraInputSource (QTZInputController.h):
// on each render-timer tick the nibbler stamps the host time and passes the tick to its view
// controller; asked for a frame, it wraps the controller's current picture in a CamInputFrame
// with that stamp. Without a view controller the picture is the application's resource
// "cameraImage.png".
//
// Main thread only.
#pragma once

#include <LumoraApp/CamInputFrame.h>
#include <LumoraApp/QTZInputController.h>

#include <UICocoaViews/NSUIViewNibbler.h>

#include <cstdint>

// What a source nibbler asks of its view controller.
class protocol_CamInputViewController {
public:
    virtual ~protocol_CamInputViewController() = default;
    virtual void applicationDidFinishLaunching(const NSNotification &notification) = 0;
    virtual void applicationWillTerminate(const NSNotification &notification) = 0;
    virtual void cameraTimerTick(QObject *sender) = 0;
    // The current picture; null when there is none.
    virtual CIImageRef cameraCIImage() = 0;
};

class CamInputBaseNibbler : public NSUIViewNibbler, public protocol_QTZCameraInputSource {
    Q_OBJECT

public:
    Q_INVOKABLE explicit CamInputBaseNibbler(QWidget *parent = nullptr);
    ~CamInputBaseNibbler() override;

    // The nibbler's controller as a source controller; null when it is none.
    virtual protocol_CamInputViewController *viewController() const;

    // protocol_QTZCameraInputSource.
    void applicationDidFinishLaunching(const NSNotification &notification) override;
    void applicationWillTerminate(const NSNotification &notification) override;
    // With a view controller: stamps frameInputHostTime with the host time, then passes the
    // tick on.
    void cameraTimerTick(QObject *sender) override;
    CamInputFrameRef cameraInputFrame() override;

    CIImageRef cameraCIImage();
    Q_INVOKABLE virtual void resetDefaultValues(QObject *) {}

    uint64_t frameInputHostTime() const { return mFrameInputHostTime; }
    void setFrameInputHostTime(uint64_t time) { mFrameInputHostTime = time; }

    // The picture of the main bundle's resource name.type (PNG or JPEG); null when missing.
    static CIImageRef resourceImage(const QString &name, const QString &type);

private:
    uint64_t mFrameInputHostTime = 0;
    CIImageRef mResourceImage;
};

bool import_CamInputBaseNibbler();
