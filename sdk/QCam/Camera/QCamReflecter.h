// QCamReflecter: the camera source switcher. Whatever the user chose as the video source is
// turned into '2vuy' frames of the output size and written into a camera output sink
// (QCamOutputBase). Four sources:
//
//   0 black           a black frame, prepared once
//   1 still document  a raster image file or page 1 of a PDF, drawn once into the still
//                     bitmap and converted
//   2 live camera     the Sequence Grabber, one frame per data-procedure call
//   3 movie           a looping movie played offscreen by QCamOffscreenMovie
//
// It is a camera grabber (QCameraGrabCGContext): the grabber's ARGB frame buffer is also the
// preview image, into which the preview sequence decompresses the 2vuy output.
//
// Writing into the sink is always lock, fill, frame-written hook, release, and happens only
// while output is enabled and a sink is set. Camera frames go through the luma path: low
// light (table with histogram equalisation), image adjustments (table), else a plain copy.
// Stills, black and movie frames are copied plainly from the 2vuy frame.
//
// Failures never stop the loop: an image or PDF that cannot be read, a movie that opens in
// no world and a camera that stops delivering (unplugged) all leave the black frame in the
// sink, with one line in the debug log ("QCamReflecter: ..."). A camera that is lost is
// retried once a second and the camera source resumes when it comes back.
//
// Main thread only (grab timer, controls, the data procedure during Idle, the movie's
// event-loop timer). The source-change notice is queued to the view's thread: the view's
// invokable QCamReflecterSourceChanged(QVariant) receives the source number.
#pragma once

#include <CoreFoundation/CFURL.h>
#include <CoreG/Capture/QCameraGrabCGContext.h>
#include <CoreG/Drawing/namespace_CoreGeometry_T_clamped_value.h>
#include <CoreG/Frames422/CLUT_BASE.h>
#include <CoreG/Frames422/Q_2vuy_buffer.h>
#include <CoreQ/QCVOffscreenMovie.h>
#include <CoreQ/QGWorld.h>
#include <CoreQ/QImageSequence.h>

#include <QCam/Camera/QCamSwitcher.h>

#include <QObject>
#include <QPointer>

#include <cstdint>

class QCamOutputBase;
class QCamReflecter;

typedef T_normal_value<CoreGeometry::T_clamped_value<float>> QCamNormalValue;

// The movie player of the switcher: calls its owner after each frame it has drawn.
class QCamOffscreenMovie : public QCVOffscreenMovie {
public:
    explicit QCamOffscreenMovie(QCamReflecter *owner) : mThis(owner) {}
    // mFrameRate becomes the default capture frame rate, then the movie's own when it has one.
    void OnMovieOpened() override;
    // The owner's MovieFrameReady; noErr.
    OSErr OnMovieDrawingComplete() override;

    QCamReflecter *mThis;
};

// The IIDC feature settings record ('fstg'), 24 bytes, big-endian in its atom.
struct QCamIIDCFeatureSettings {
    uint32_t capabilityFlags;
    uint16_t rawMinimum;
    uint16_t rawMaximum;
    float absoluteMinimum;
    float absoluteMaximum;
    uint32_t stateFlags;
    float stateValue;

    static constexpr int kRecordSize = 24;
    static constexpr uint32_t kSettableFlags = 0x25;
    bool Read(const uint8_t (&bytes)[kRecordSize]);
    void Write(uint8_t (&bytes)[kRecordSize]) const;
};

class QCamReflecter : public QCameraGrabCGContext, public QCamSwitcher {
public:
    enum : int32_t { kSourceBlack = 0, kSourceStill = 1, kSourceCamera = 2, kSourceMovie = 3 };
    enum : int32_t { kPreviewNone = 0, kPreviewCamera = 2, kPreviewMovie = 3, kPreviewStill = 4 };
    // The resource shown when the camera ends ("be right back").
    static constexpr const char *kEndCameraResourceName = "CameraBRB";

    QCamReflecter();
    // Stops the movie, releases the URLs, frames, worlds and sequences.
    ~QCamReflecter() override;

    // ---- Grabber hooks ------------------------------------------------------------------
    // A camera frame: CameraFrameArrived, then one more frame this tick; noErr.
    OSErr DefaultDataProc(Ptr data, long dataSize) override;
    // The grabber's frame buffer was made: AllocateOutputBuffers.
    bool OnFrameBufferCreated() override;
    // The channel is ready: the camera's own saturation is read (GetDigitizerSaturation).
    OSErr OnChannelPrepared() override;
    // The inherited decompression set-up, then BeginCameraSequence and, with an output
    // format, UseCameraIfOpen.
    OSErr BeginDecompression(const QImageDescription &description, const Rect &sourceRect,
                             const Rect &destinationRect) override;
    // Ends the preview and camera sequences (their worlds go with the grabber's frame
    // buffer), closes the grabber and, in the camera source, selects black.
    OSErr Close() override;
    // Re-creates the still bitmap (32-bit ARGB with its world) at that size.
    virtual bool CreateBackgroundContext(int width, int height);
    // After a frame is written into the sink, before the sink is released. Empty.
    virtual void OnFrameWritten(const Q_2vuy_buffer &frame);
    // Reads the digitizer's saturation into mDigitizerSaturation; noErr.
    virtual OSErr ReadDigitizerSaturation();

    // ---- Set-up -------------------------------------------------------------------------
    void SetView(QObject *view) override { mView = view; }
    void SetActivePreview(bool active) override { mActivePreview = active; }
    // True when the sink is not null.
    bool SetOutput(QCamOutputBase *sink) override;
    void SetOutputEnabled(bool enabled) override { mOutputEnabled = enabled; }
    void SetLowLight(bool lowLight) override { mLowLight = lowLight; }
    void SetPlayState(int32_t playState) override;
    void SetLooping(bool loop) override;

    // ---- Sources ------------------------------------------------------------------------
    void SetSourceMode(int32_t source, bool force) override;
    // A resource of the main bundle by name: "pdf", then "mov", then "png", then "jpg".
    // Null selects black; a name with none of them changes nothing.
    void OpenSourceResource(const char *name) override;
    void OpenRasterFile(CFURLRef url) override;
    void OpenVectorFile(CFURLRef url) override;
    void OpenMovieFile(CFURLRef url) override;
    // Opens the grabber on the frame rectangle; on an error selects the still source
    // (forced) and returns the error.
    OSErr BeginCamera(const Rect &frameRect, long flags, void *options);
    // The be-right-back resource, then recording stopped and the grabber closed.
    void EndCamera() override;
    // The camera source when a grabber component is open, else black.
    void UseCameraIfOpen() override;
    // One tick of the grab timer.
    void GrabTick() override;
    // The rate at which the view should grab (frames per second).
    double GetPaceRate(double frameRate) const override;

    // ---- Image adjustments --------------------------------------------------------------
    void SetBrightness(float v) override;
    void SetContrast(float v) override;
    void SetGamma(float v) override;
    void SetLevels(float black, float white) override;
    void SetImageAdjustmentsEnabled(bool on) override;
    void SetSaturation(float v) override;
    // The digitizer value of a level 0..1: trunc(32767.5 v + 6553), 16-bit.
    static uint16_t SaturationToDigitizer(float v);
    bool GetDigitizerSaturation(uint16_t &saturation);
    bool SetDigitizerSaturation(uint16_t saturation);
    OSErr SetIIDCFeature(SGChannel channel, OSType feature, float level);
    // The settings change SetIIDCFeature writes: state flags 0x25 and value level x m /
    // rawMaximum (m = rawMaximum up to 256, else 256). noErr with the record changed;
    // 1 (no change) when the capabilities allow none of 0x25; paramErr (no change, reported)
    // for a raw maximum of 0 or a level that is not a number.
    static OSErr ApplyIIDCFeatureLevel(QCamIIDCFeatureSettings &settings, float level);

    // ---- Switcher interface (see QCamSwitcher.h) -----------------------------------------
    Movie CurrentMovie() const override { return mMovie.GetMovie(); }
    int16_t BeginCameraGrab(long flags) override;
    int16_t StartCameraRecord() override { return StartRecord(); }
    bool HasGrabberComponent() const override { return mComponent != nullptr; }
    bool HasVideoChannel() const override { return mVideoChannel != nullptr; }
    std::vector<std::string> CameraDeviceNames() override;
    bool CurrentCameraDeviceName(std::string &name) override;
    void CloseCamera() override;
    bool UseCameraDevice(const std::string &name) override;
    bool UseNextCameraDevice() override { return UseNextCamera(); }
    bool UsePrevCameraDevice() override { return UsePrevCamera(); }

    // ---- Preview ------------------------------------------------------------------------
    void UpdatePreview() override;
    // A new image (a copy) of the still bitmap for preview kind 4, else of the preview
    // bitmap; null when there is none. The caller releases it.
    CGImageRef CopyPreviewImage() override;
    CoreGraphics::QitmapContext &BackgroundImageContext() { return mStillBitmap; }
    void RequestPreviewRedraw();

    // ---- Steps (public for the view and the tests) --------------------------------------
    bool AllocateOutputBuffers();
    void BeginCameraSequence();
    void CameraFrameArrived(Ptr data, long dataSize);
    // Draws the document (or black for none) into the still bitmap and converts it.
    // False (logged, black drawn) when the document cannot be read.
    bool DrawStillDocument(bool raster, CFURLRef url);
    void OutputBlack();
    bool OutputStillFrame(bool updatePreview);
    bool OpenMovie(CFURLRef url);
    OSErr ReopenMovie(bool force);
    void ApplyPlayState();
    void MovieFrameReady();
    void RebuildLookupTable();
    // Writes the 2vuy frame into the sink (plain copy); false when nothing was written.
    bool Write2vuyFrame(int flag);
    // Writes a frame through the luma path; true even when nothing was written.
    bool WriteThroughLookup(const Q_2vuy_buffer &frame);
    // Decompresses through the grabber's own sequence into the ARGB frame buffer and
    // converts that into the sink; false when nothing was written.
    bool WriteThroughARGB(Ptr data, long dataSize);
    // Fills the 2vuy frame with black (Y 16, Cb 128, Cr 128).
    bool Fill2vuyBlack();

    int32_t Source() const override { return mSource; }
    int32_t PlayState() const { return mPlayState; }
    int32_t PreviewKind() const override { return mPreviewKind; }
    bool PreviewDirty() const { return mPreviewDirty; }
    QCamOffscreenMovie &MoviePlayer() { return mMovie; }
    const Q_2vuy_buffer &Frame2vuy() const { return m2vuyFrame; }
    const CLUT_BASE<unsigned short, 255> &LookupTable() const { return mTable; }
    const Q_2vuy_format &OutputFormat() const { return mOutputFormat; }

    // Members, in order.
    QPointer<QObject> mView;
    bool mActivePreview;
    QCamOutputBase *mOutput;
    Q_2vuy_format mOutputFormat;
    int32_t mSource;
    int32_t mPlayState;
    bool mOutputEnabled;
    bool mLowLight;
    bool mImageAdjustments;
    CLUT_BASE<unsigned short, 255> mTable;
    Q_2vuy_buffer::LumaHistogram mHistogram;
    QCamNormalValue mBrightness;
    QCamNormalValue mContrast;
    QCamNormalValue mGamma;
    QCamNormalValue mWhiteLevel;
    QCamNormalValue mBlackLevel;
    QCamNormalValue mSaturation;
    uint16_t mDigitizerSaturation;
    QCamOffscreenMovie mMovie;
    QGWorld mMovieBetterWorld;
    bool mMovieDrawn2vuy;
    bool mLoop;
    CFURLRef mMovieURL;
    CoreGraphics::QitmapContext mStillBitmap;
    CFURLRef mStillURL;
    bool mStillIsRaster;
    Q_2vuy_buffer m2vuyFrame;
    QGWorld m2vuyWorld;
    QImageSequence mPreviewSequence;
    QImageSequence mCameraSequence;
    int32_t mPreviewKind;
    bool mPreviewDirty;
    int32_t mFramesThisTick;
    // The camera stopped delivering and black is shown until it returns.
    bool mCameraLost;
};

bool import_QCamReflecter();
