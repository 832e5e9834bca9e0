// QCameraGrabberBase: one Sequence Grabber video channel on one camera input, delivering
// frames into an offscreen frame buffer.
//
// Life of a grabber: closed (no component) -> component open and initialised
// (QSequenceGrabber::OpenInitialize) -> channel open and prepared (OpenVideoChannel;
// OnGrabberStateChanged 1, then 2) -> recording (StartRecord: decompression begun,
// SGStartRecord) -> stopped (StopRecord: SGStop, channel closed) -> recording again
// (ReopenCamera or SwitchToCamera) -> closed (Close, destructor). The frame buffer, which
// a subclass provides, outlives channel changes as long as its size and pixel format stay
// the same.
//
// The usual caller: OpenInitialize(frame at (0, 0), k32ARGBPixelFormat, null for the
// default camera); StartRecord; Idle on every tick of a timer (each frame is delivered
// through OnThisDataProc and DefaultDataProc from inside Idle); StopRecord and StartRecord
// again when Idle answers an error; SwitchToCamera, UseNextCamera, UsePrevCamera on the
// user's request; StopRecord and Close at the end.
//
// Cameras are the inputs of the devices of the channel's device list (QSGDeviceList);
// a camera is named by a QSGDeviceList::InputIterator record.
//
// Every failed check and non-zero status is reported to the debug log under the
// operation's name, and the operation returns its failure value (paramErr for a failed
// precondition). Nothing throws. Single-threaded: every call, the data procedure included,
// runs on the thread that calls Idle.
#pragma once

#include <CoreQ/QImageDescription.h>
#include <CoreQ/QSGDeviceList.h>
#include <CoreQ/QSequenceGrabber.h>

class QCameraGrabberBase : public QSequenceGrabber {
public:
    typedef QSGDeviceList::InputIterator CameraInput;

    // The states passed to OnGrabberStateChanged.
    enum : int {
        kGrabberState_NoCamera = 0,
        kGrabberState_ChannelCreated = 1,
        kGrabberState_ChannelPrepared = 2,
    };

    QCameraGrabberBase();
    // Closes the video channel, the camera's description and the component.
    ~QCameraGrabberBase() override;

    // DefaultDataProc with the frame's data; a non-zero result is reported and returned
    // to the component.
    OSErr OnThisDataProc(SGChannel channel, Ptr data, long dataSize, long *offset, long channelRefCon,
                         TimeValue time, short writeType) override;

    // Fetches the channel's sample description, begins the decompression into the frame
    // buffer (BeginDecompression) and starts recording.
    virtual OSErr StartRecord();
    // Stops the component (SGStop) and closes the video channel. paramErr without a
    // channel (not reported) or without a component (reported); an SGStop error is
    // returned and the channel stays open.
    virtual OSErr StopRecord();
    // Closes the component and forgets the video channel.
    virtual OSErr Close();
    // Stops, reopens the component on the camera input and records again. paramErr
    // without a report when it is already the current camera; paramErr (reported) when
    // the input is not a camera of the active list.
    virtual OSErr SwitchToCamera(const CameraInput &cameraInput);
    // The camera after (before) the current one in the active list; false with fewer than
    // two cameras, at the end (start) of the list, or when switching fails.
    virtual bool UseNextCamera();
    virtual bool UsePrevCamera();
    // The first camera whose input name equals the C string (Mac OS Roman) exactly.
    virtual bool FindCameraNamed(CameraInput &cameraInput, const char *inputName);
    // Walks of the active device list.
    virtual bool GetFirstCamera(CameraInput &cameraInput);
    virtual bool GetLastCamera(CameraInput &cameraInput);
    // The channel's own device and input, found in the active list by device name and
    // input name.
    virtual bool GetCurrentCamera(CameraInput &cameraInput);
    virtual bool GetNextCamera(CameraInput &cameraInput);
    virtual bool GetPrevCamera(CameraInput &cameraInput);
    // The frame buffer, as the subclass provides it.
    virtual bool IsFrameBufferConstructed();
    virtual GWorldPtr GetFrameBufferGWorldPtr();
    virtual bool GetFrameBufferImageDescription(QImageDescription &description);
    // kGrabberState_NoCamera, kGrabberState_ChannelCreated or kGrabberState_ChannelPrepared.
    virtual void OnGrabberStateChanged(int state);
    // Makes (or keeps) the frame buffer for the rectangle and pixel format.
    virtual bool CreateFrameBuffer(const Rect &frameRect, OSType frameBufferPixelFormat);
    virtual bool OnFrameBufferCreated();
    // Opens a 'vide' channel on the camera input (null: the component's default device),
    // sets it up to deliver frames for the frame buffer and prepares it.
    virtual OSErr OpenVideoChannel(const Rect &frameRect, OSType frameBufferPixelFormat,
                                   const CameraInput *cameraInput);
    // Disposes the video channel (reporting an error) and forgets it; noErr without one.
    virtual OSErr CloseVideoChannel();
    virtual OSErr OnChannelPrepared();
    // Selects the camera input's device and input on the channel (nothing for null).
    // Each failing step is reported; answers noErr.
    virtual OSErr InitializeVideoChannel(SGChannel channel, const CameraInput *cameraInput);
    // Frame buffer, channel bounds, world, usage and data procedure.
    virtual OSErr InitializeSequenceGrabToOffscreenWorld(const Rect &bounds, OSType frameBufferPixelFormat);
    // Begins decompressing frames of the description from the source rectangle onto the
    // destination rectangle of the frame buffer.
    virtual OSErr BeginDecompression(const QImageDescription &description, const Rect &sourceRect,
                                     const Rect &destinationRect);
    // One frame's data, delivered from inside Idle.
    virtual OSErr DefaultDataProc(Ptr data, long dataSize);

    // The channel's device list with the inputs of each device; false (reported) when it
    // cannot be read or has no device.
    bool GetActiveCameraDeviceList(QSGDeviceList &list);
    // The active list with a channel open; without one, the list of a temporary channel.
    bool GetCameraInputList(QSGDeviceList &list);
    // The number of cameras from GetFirstCamera through every GetNextCamera (the inputs
    // over all devices of the active list); 0 without a list.
    short CountCameras();
    bool IsThisTheCurrentCamera(const CameraInput &cameraInput);
    // The channel's sample description, owned by `description`.
    OSErr GetVideoSampleDescription(QImageDescription &description);
    OSErr SetChannelBounds(const Rect &bounds);
    // While no channel is open, Idle retries opening the camera (when retryOpen) at most
    // once every retryIntervalSeconds: only when strictly more time than that has passed
    // since the last retry or this call. A negative or non-finite interval is reported and
    // the interval is left as it was.
    void SetFramePacing(bool retryOpen, float retryIntervalSeconds);
    // Opens the component when closed (and starts recording), opens a channel and starts
    // recording when only the channel is missing, and switches to the camera input (when
    // given) when both are open.
    OSErr ReopenCamera(const CameraInput *cameraInput);
    // StopRecord answered noErr.
    bool StopCamera();
    // With a channel, idles the component (frames arrive from inside this call). Without
    // one, retries opening the camera as SetFramePacing says, then idles.
    OSErr Idle();
    // Frame buffer for the rectangle and pixel format, component opened and initialised,
    // no movie file, then OpenVideoChannel.
    OSErr OpenInitialize(const Rect &frameRect, OSType frameBufferPixelFormat, const CameraInput *cameraInput);
    // The channel's sample description, then BeginDecompression from the whole camera
    // frame onto mFrameBufferRect.
    OSErr InitializeDecompressionToOffscreenWorld();

    // The microsecond clock (Microseconds) as a double.
    static double CurrentMicroseconds();

    Rect mVDIGRequestRect;
    Rect mFrameBufferRect;
    OSType mFrameBufferPixelFormat;
    QImageDescription mCameraImageDesc;
    SGChannel mVideoChannel;
    bool mPaceOpen;
    float mPaceSeconds;
    double mLastPaceTime;
};
