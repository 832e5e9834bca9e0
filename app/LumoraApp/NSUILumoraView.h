// NSUILumoraView: the live camera view and the owner of the frame loop.
//
// Every output frame is made here, on the main thread: a repeating render timer, running at four
// times the frame rate of the compression settings, pulls one camera frame through the input
// controller, draws it flipped and scaled into the 640 x 480 input-stack framebuffer, hands that
// surface's image to the render buffer, renders the effect composition into the render buffer,
// offers the result to frame sharing and, while recording, to the recorder. The display link
// shows the finished frame from its own thread (NSUILumoraView_DisplayLink.cpp).
//
// Threads, contexts and locks.
//   main thread          the timer, every frame step, launch and terminate. Renders only on the
//                        root sharing context (the render buffer, the input stack); it never
//                        uses the view's context while it holds the composition lock.
//   display-link thread  lock the view's CGL context, then the composition lock, draw the render
//                        buffer's texture into the window, unlock both.
// The two threads meet only on the composition lock (recursive) and the two flags. The flags are
// atomics: "in progress" is claimed with an exchange, so a tick during a frame does nothing;
// "available" is set with release after the render buffer's texture is finished, and read with
// acquire before it is drawn. Both locks and the in-progress flag are held by scope guards, so no
// exception in one frame (NSException or any other) keeps them and the next tick runs. A frame
// step that fails is logged and the loop goes on.
//
// Outlets whose objects are not built into this library (inspector, count-down, quick-save and
// movie folders, recorder, 1-D filter editors, effect packs, browse controller) are plain
// QObject properties that may be null; their uses are skipped when they are. The frame-sharing
// controller is reached through protocol_IOSurfaceSharingController; without one connected, the
// view's own IOSurfaceSharingController takes its place.
//
// User defaults (standard defaults; loads take a stored value only of the expected kind):
//   "outletMenuItemOpenSnapshot" integer 1, "outletEffectsPopupButton" string "iSight",
//   "outletShutterPopupButton" string "Default" (the pop-ups are loaded only when no composition
//   is open).
#pragma once

#include <LumoraApp/CamInputFrame.h>
#include <LumoraApp/IOSurfaceSharingController.h>
#include <LumoraApp/LumoraCompositionCache.h>

#include <UIParamMapping/NSUIBookmarksTarget.h>

#include <CocoaGL/NSUIOGLOrthoUnitView.h>
#include <CocoaGL/category_NSOGLRenderTimer.h>
#include <CocoaQZ/CoreImage/CIContextFBORenderer.h>
#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>
#include <CocoaGL/CGImageRenderTexture.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSNotification.h>
#include <dispatch/dispatch.h>

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>

class LumoraRenderBuffer;
class LumoraLayerViewNibbler;
class QTZInputController;
class QActualFPSController;
class LumBroadcastControl;
class LumoraInterpolationController;
class QImageCompressionSettings;
class NSUIDisplayLinkViewController;
class ParamMapping;
class QMimeData;

class NSUILumoraView : public NSUIOGLOrthoUnitView,
                       public NSKeyValueObserver,
                       public IOSurfaceSharingControllerDelegate,
                       public protocol_NSUIDisplayLinkDelegate,
                       public protocol_NSUIBookmarksTarget {
    Q_OBJECT
    Q_PROPERTY(QObject *outletInspector MEMBER outletInspector)
    Q_PROPERTY(QObject *outletCameraRebroadcastControl MEMBER outletCameraRebroadcastControl)
    Q_PROPERTY(QObject *outletMenuItemOpenSnapshot MEMBER outletMenuItemOpenSnapshot)
    Q_PROPERTY(QObject *outletShutterPopupButton MEMBER outletShutterPopupButton)
    Q_PROPERTY(QObject *outletShutterCountDown MEMBER outletShutterCountDown)
    Q_PROPERTY(QObject *outletQuickSaveFolder MEMBER outletQuickSaveFolder)
    Q_PROPERTY(QObject *outletInputController MEMBER outletInputController)
    Q_PROPERTY(QObject *outletLumoraBuffer MEMBER outletLumoraBuffer)
    Q_PROPERTY(QObject *outletLumoraLayerController MEMBER outletLumoraLayerController)
    Q_PROPERTY(QObject *outletIOSurfaceSharing MEMBER outletIOSurfaceSharing)
    Q_PROPERTY(QObject *outletLumoraRecorder MEMBER outletLumoraRecorder)
    Q_PROPERTY(QObject *outletInterpolator MEMBER outletInterpolator)
    Q_PROPERTY(QObject *outletHorizontalImageFilter MEMBER outletHorizontalImageFilter)
    Q_PROPERTY(QObject *outletVerticalImageFilter MEMBER outletVerticalImageFilter)
    Q_PROPERTY(QObject *outletBundleCompositions MEMBER outletBundleCompositions)
    Q_PROPERTY(QObject *outletEffectsPopupButton MEMBER outletEffectsPopupButton)
    Q_PROPERTY(QObject *outletEffectsPopupMenuPresetsSeparator MEMBER outletEffectsPopupMenuPresetsSeparator)
    Q_PROPERTY(QObject *outletMoviesFolder MEMBER outletMoviesFolder)
    Q_PROPERTY(QObject *outletBrowseController MEMBER outletBrowseController)
    Q_PROPERTY(QObject *outletActualFPSController MEMBER outletActualFPSController)
    Q_PROPERTY(QObject *outletCompressionSettings MEMBER outletCompressionSettings)
    Q_PROPERTY(QObject *outletDisplayLinkViewController MEMBER outletDisplayLinkViewController)

public:
    // Stage labels of the process-wide timing sampler.
    static constexpr char kRenderTimer[] = "Render Timer";
    static constexpr char kRenderInputFrame[] = "Render Input Frame";
    static constexpr char kRenderInputStack[] = "Render Input Stack";
    static constexpr char kRenderQuartzComposition[] = "Render Quartz Composition";
    static constexpr char kRenderSharedImage[] = "Render Shared Image";
    static constexpr char kRenderMovieFrame[] = "Render Movie Frame";
    // The input stack and the read-back textures.
    static constexpr uint32_t kFrameWidth = 640, kFrameHeight = 480;

    // initWithFrame: the shared view, the two serial queues, the composition lock.
    Q_INVOKABLE explicit NSUILumoraView(QWidget *parent = nullptr);
    // dealloc: stops the timer, ends the observation, closes the composition, releases the
    // queues.
    ~NSUILumoraView() override;

    // The view initialised last (one per process); null once it is gone.
    static NSUILumoraView *sharedSingleton();

    // ---- Outlets (nib objects, not owned) ----
    QPointer<QObject> outletInspector;
    QPointer<QObject> outletCameraRebroadcastControl;  // LumBroadcastControl
    QPointer<QObject> outletMenuItemOpenSnapshot;      // a checkable QAction or button
    QPointer<QObject> outletShutterPopupButton;        // QComboBox
    QPointer<QObject> outletShutterCountDown;
    QPointer<QObject> outletQuickSaveFolder;
    QPointer<QObject> outletInputController;           // QTZInputController
    QPointer<QObject> outletLumoraBuffer;              // LumoraRenderBuffer's object
    QPointer<QObject> outletLumoraLayerController;     // LumoraLayerViewNibbler
    QPointer<QObject> outletIOSurfaceSharing;          // a protocol_IOSurfaceSharingController
    QPointer<QObject> outletLumoraRecorder;
    QPointer<QObject> outletInterpolator;              // LumoraInterpolationController
    QPointer<QObject> outletHorizontalImageFilter;
    QPointer<QObject> outletVerticalImageFilter;
    QPointer<QObject> outletBundleCompositions;
    QPointer<QObject> outletEffectsPopupButton;        // QComboBox
    QPointer<QObject> outletEffectsPopupMenuPresetsSeparator;
    QPointer<QObject> outletMoviesFolder;
    QPointer<QObject> outletBrowseController;
    QPointer<QObject> outletActualFPSController;       // QActualFPSController
    QPointer<QObject> outletCompressionSettings;       // QImageCompressionSettings ("frameRate")
    QPointer<QObject> outletDisplayLinkViewController; // NSUIDisplayLinkViewController

    // The render buffer of outletLumoraBuffer; null without one.
    LumoraRenderBuffer *lumoraBuffer() const;
    // The connected sharing controller, else the view's own (never null).
    protocol_IOSurfaceSharingController *surfaceSharing();
    // The rebroadcast control's switch (false without a control): handed to every broadcast.
    bool isBroadcasting() const;
    // The view's own controller, used while no other is connected.
    IOSurfaceSharingController &surfaceSharingController() { return mSharingController; }

    // ---- Frame loop (main thread) ----

    // (Re)creates the render timer at four times the compression settings' frame rate, clears
    // the available flag, then the in-progress flag, and starts the display link with this
    // view. A frame rate that is not a positive number leaves the view without a timer.
    void renderSceneTimerInitialize();
    // The timer's action, timed as "Render Timer": one tick. Nothing thrown leaves it.
    Q_INVOKABLE void renderSceneDoubleTimer();
    // Makes one frame unless one is in progress (the tick is then skipped).
    void renderCameraInputOnMainThread(QObject *sender);
    // The next filtered frame of the input controller, timed as "Render Input Frame"; null
    // without a controller.
    virtual CamInputFrameRef captureInputFrameStack();
    // Composes, shares and records the frame under the composition lock; nothing for null.
    void renderCameraInputAndRelease(CamInputFrameRef frame);
    // Draws the frame flipped into the input stack and hands the surface's image to the render
    // buffer, timed as "Render Input Stack". A frame without a Core Image image draws nothing.
    virtual void renderInputFrameStack(const CamInputFrameRef &frame);
    // Renders the composition into the render buffer at renderTime (root sharing context, the
    // buffer's lock), timed as "Render Quartz Composition", then marks a frame available.
    virtual void renderLumoraBufferSync();
    // Records the current frame while recording, timed as "Render Movie Frame".
    void renderMovieRecording();
    // Reads the render buffer's frame back (the pixels copied) and hands it to the recorder
    // (a QMovieRecorderController) with the recorder's frame duration now and the host time
    // stamp of the camera frame the render buffer shows. Nothing without a recording texture,
    // a render buffer or such a recorder (NSUILumoraView_Snapshots.cpp).
    virtual void movieRecordingRecordCurrentFrame();
    // Seconds since the first composed frame (0 for that frame); the clock never restarts.
    double renderTime();

    // ---- Snapshots (NSUILumoraView_Snapshots.cpp) ----
    // The menu and button action: a snapshot in the default format (PNG).
    Q_INVOKABLE void snapShotScene(QObject *sender = nullptr);
    Q_INVOKABLE void snapShotSceneWithDefaultImageFormat();
    // Reads the current frame back, copies its pixels at once (the read-back surface is reused
    // by the next snapshot) and saves the copy on a background queue as the next free
    // "Lumora %04d" picture of the snapshot folder, in the quick-save type (0 JPEG, 1 PNG,
    // 2 TIFF); an existing file is never replaced. Nothing without a snapshot folder. The saved
    // path comes back to snapshotOpen on the main thread.
    Q_INVOKABLE void snapShotSceneWithImageFormat(int quickSaveImageType);
    // Reads the render buffer's current picture back and calls the block with it before
    // returning; the image is valid only during the call. False (the block not called) without
    // a render buffer or a snapshot texture, or when nothing was read back.
    bool snapCurrentFrameWithCompletion(const std::function<void(CGImageRef image)> &completion);
    // A copy of the current picture; a null image when nothing was read back.
    QImage snapCurrentNSBitmapImageRep();
    // Opens the saved picture in a snapshot viewer when the open-snapshot switch is on.
    Q_INVOKABLE void snapshotOpen(const QString &path);
    // Flips the open-snapshot switch.
    Q_INVOKABLE void toggleOpenSnapAction(QObject *sender = nullptr);
    Q_INVOKABLE void snapShotTexture(QObject *) {}
    // The open-snapshot switch (the menu item's state; on without an item).
    bool openSnapshotEnabled() const;
    // Snapshots asked for and not yet saved (or given up), process-wide.
    static int pendingSnapshotSaves();
    // A copy of a Quartz image as premultiplied ARGB32 (a null image for null).
    static QImage imageCopyOfCGImage(CGImageRef image);

    // The delegate call of frame sharing, timed as "Render Shared Image": draws the render
    // buffer into the surface under the buffer's lock.
    void surfaceSharingRenderSurface(protocol_IOSurfaceSharingController *sharing,
                                     protocol_IOSurfaceSharingSurface *surface) override;

    // ---- The flags ----
    bool renderFrameInProgress() const { return mRenderFrameInProgress.load(std::memory_order_acquire); }
    void setRenderFrameInProgress(bool value) { mRenderFrameInProgress.store(value, std::memory_order_release); }
    bool renderFrameAvailable() const { return mRenderFrameAvailable.load(std::memory_order_acquire); }
    void setRenderFrameAvailable(bool value) { mRenderFrameAvailable.store(value, std::memory_order_release); }

    // ---- Owned objects ----
    NSOGLRenderTimer *renderTimer() const { return mRenderTimer.get(); }
    std::recursive_mutex &compositionLock() { return mCompositionLock; }
    dispatch_queue_t renderQueue() const { return mRenderQueue; }
    dispatch_queue_t workerQueue() const { return mWorkerQueue; }
    std::shared_ptr<CIContextFBORenderer> inputStackRenderer() const { return mInputStackRenderer; }
    void setInputStackRenderer(std::shared_ptr<CIContextFBORenderer> renderer) { mInputStackRenderer = std::move(renderer); }
    std::shared_ptr<CGImageRenderTexture> recordingTexture() const { return mRecordingTexture; }
    std::shared_ptr<CGImageRenderTexture> snapshotTexture() const { return mSnapshotTexture; }
    QByteArray compositionData() const { return mCompositionData; }
    void setCompositionData(const QByteArray &data) { mCompositionData = data; }

    // ---- Composition access ----
    // Stops frame-rate sampling, then takes the composition lock and the render buffer's lock.
    void beginUpdateCompositionSequence();
    // Gives both back from the main queue (after the work already queued there), then resets
    // the timing sampler. One per begin.
    void endUpdateCompositionSequence();
    void openCompositionPrivateData(const QByteArray &data);
    void closeCompositionPrivate();
    bool isCompositionOpenPrivate() const;

    // ---- Life cycle ----
    // Observes "frameRate" of the compression settings.
    Q_INVOKABLE void awakeFromNib();
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;
    // The base class's, then pending GL errors drained (the context left current nowhere).
    void initializeGLContext() override;
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);
    bool isOpaque() const { return false; }

    // ---- Drawing (any thread holding the view's context lock) ----
    // Sets the viewport to the bounds (GL state is per thread's context), then the base's.
    void renderSceneBegin() override;
    // Draws the render buffer's texture into the view, under the buffer's lock.
    void renderSceneSelf() override;

    // ---- Display-link drawing (display-link thread; NSUILumoraView_DisplayLink.cpp) ----
    // Locks the view's CGL context; false when that fails (or the view is closing).
    bool displayLinkLockDrawable(NSUIDisplayLinkViewController *controller) override;
    // The available flag (acquire); the time is ignored.
    bool displayLinkShouldRenderForTime(NSUIDisplayLinkViewController *controller,
                                        const CVTimeStamp *outputTime) override;
    // renderSceneDisplayLink, then the available flag cleared.
    void displayLinkRenderForTime(NSUIDisplayLinkViewController *controller, const CVTimeStamp *outputTime) override;
    // glFlushRenderAPPLE when the view's context is still current on this thread.
    void displayLinkFlushDrawable(NSUIDisplayLinkViewController *controller) override;
    void displayLinkUnlockDrawable(NSUIDisplayLinkViewController *controller) override;
    void displayLinkCreated(NSUIDisplayLinkViewController *) override {}
    void displayLinkChanged(NSUIDisplayLinkViewController *) override {}
    // Under the composition lock (given back on every path), the view's scene rendering.
    void renderSceneDisplayLink();
    // How often the display link drew a frame.
    uint64_t displayLinkFrameCount() const { return mDisplayLinkFrames.load(std::memory_order_relaxed); }

    // ---- Drag and drop, the open composition and its cache, bookmark settings
    //      (NSUILumoraView_Cacheing.cpp) ----

    // Drops: only a local "qtz" file (any letter case) is taken.
    void dragAndDropRegisterUserInterface();
    static bool acceptFileName(const QString &fileName);
    bool draggingEntered(const QMimeData *data);
    void draggingExited();
    bool prepareForDragOperation(const QMimeData *data);
    // True when the drop opened a composition (a drop from the view itself is accepted and does
    // nothing).
    bool performDragOperation(const QMimeData *data, QObject *source);
    bool dropHighlight() const { return mDropHighlight; }
    void setDropHighlight(bool highlight);

    // The identity of the open composition: a name, a path, or a URL with its cache file. Setting
    // the name or the URL, or a non-empty path, clears the other identity fields (never the
    // composition data).
    QString compositionName() const { return mCompositionName; }
    Q_INVOKABLE void setCompositionName(const QString &name);
    QString compositionPath() const { return mCompositionPath; }
    void setCompositionPath(const QString &path);
    QString compositionURL() const { return mCompositionURL; }
    void setCompositionURL(const QString &url);
    QString compositionURLPath() const { return mCompositionURLPath; }

    Q_INVOKABLE bool openCompositionName(const QString &name, bool privately = false);
    Q_INVOKABLE bool openCompositionNameWithSenderTitle(const QString &title);
    // "<name>.qtz" of the application's resources; empty for a name that is not a plain name.
    static QByteArray applicationCompositionDataWithCompositionName(const QString &name);
    Q_INVOKABLE bool openCompositionData(const QByteArray &data);
    Q_INVOKABLE bool openCompositionCachedData();
    Q_INVOKABLE bool openCompositionCachedPath(const QString &path);
    Q_INVOKABLE bool openCompositionPath(const QString &path);
    Q_INVOKABLE bool compositionOpenFileURL(const QUrl &url);
    // Opens the cache file at once when the URL was downloaded before; otherwise opens the
    // "Loading" placeholder and downloads on a worker thread (the composition opens when it is
    // done). False for a URL that can be neither opened nor fetched.
    Q_INVOKABLE bool openCompositionURL(const QString &url);
    Q_INVOKABLE void closeComposition();
    Q_INVOKABLE bool reloadComposition();
    Q_INVOKABLE bool resetComposition();
    Q_INVOKABLE bool isCompositionOpen() const { return isCompositionOpenPrivate(); }
    static QString getURLCachedPathName(const QString &url);
    static bool isURLCached(const QString &url) { return !getURLCachedPathName(url).isEmpty(); }
    static QString getUserCompositionsFilePath(const QString &fileName);
    // The download in progress (null when none). Its progress shows as the view's tool tip
    // ("Loading <url> (42%)") and comes as compositionDownloadProgress.
    LumoraCompositionDownload *compositionDownload() const { return mDownload; }
    // Stops the download in progress (a new choice of composition does).
    void endCompositionDownload();
    Q_INVOKABLE void actionEffectsStepperClicked(QObject *) {}

    // Bookmark settings.
    void bookmarksLinkUserInterfaceOnce();
    ParamMapping &bookmarkParamMapping();
    QVariantMap currentSettingsDictionary(bool includeAllParameters) override;
    // Answers whether any key of the settings was applied; false for an empty or refused
    // dictionary and for one without a known key.
    bool setSettingsDictionary(const QVariantMap &settings) override;
    // The settings as they are applied: nothing for more than 4096 entries; values that are not
    // a string, number or boolean, or longer than 256 KiB, dropped; the normal values (tweening,
    // filter amounts, layer matrix) put into 0 to 1, dropped when they are not numbers.
    static std::optional<QVariantMap> checkedSettingsDictionary(const QVariantMap &settings);
    QString currentSettingsDictionaryName() override;
    Q_INVOKABLE QString applicationVersion() const { return QStringLiteral("2.0.4"); }
    Q_INVOKABLE void setApplicationVersion(const QString &) {}
    Q_INVOKABLE QString compositionRefinesParamValue() const { return QStringLiteral("defaults"); }
    Q_INVOKABLE void setCompositionRefinesParamValue(const QString &value);
    Q_INVOKABLE QString compositionNameValue() const;
    Q_INVOKABLE void setCompositionNameValue(const QString &name);
    Q_INVOKABLE QString compositionPathValue() const;
    Q_INVOKABLE void setCompositionPathValue(const QString &path);
    Q_INVOKABLE QString compositionURLParamValue() const { return mCompositionURL; }
    Q_INVOKABLE void setCompositionURLParamValue(const QString &url);
    Q_INVOKABLE void resetDefaultValues(QObject *sender);
    Q_INVOKABLE void resetComposition(QObject *sender) { resetDefaultValues(sender); }
    Q_INVOKABLE void openBackgroundImagePath(const QString &path);
    Q_INVOKABLE void openStencilImagePath(const QString &) {}

signals:
    // Bytes of the composition download received and expected (-1 when unknown).
    void compositionDownloadProgress(qint64 received, qint64 total);
    // A download ended: the cache file, or an empty path and the reason.
    void compositionDownloadFinished(const QString &path, const QString &error);

protected:
    // The window system's redraw never draws the view: only the display link does.
    void drawRect() override {}
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void stopRenderTimer();
    // The display-link view controller (or its proxy) of the outlet; null without one.
    protocol_NSUIDisplayLinkViewControllerProtocol *displayLinkController() const;
    // Stops the display link and returns once no refresh is drawing this view.
    void stopDisplayLinkDrawing();

    // Owned.
    std::unique_ptr<NSOGLRenderTimer> mRenderTimer;
    double mStartTime = -1.0;  // main thread
    QByteArray mCompositionData;
    QString mCompositionPath, mCompositionURLPath, mCompositionURL, mCompositionName;
    bool mDropHighlight = false;
    std::shared_ptr<CGImageRenderTexture> mRecordingTexture;
    std::shared_ptr<CGImageRenderTexture> mSnapshotTexture;
    std::shared_ptr<CIContextFBORenderer> mInputStackRenderer;
    dispatch_queue_t mRenderQueue = nullptr;
    dispatch_queue_t mWorkerQueue = nullptr;
    std::atomic<bool> mRenderFrameInProgress{false};
    std::atomic<bool> mRenderFrameAvailable{false};
    std::recursive_mutex mCompositionLock;
    IOSurfaceSharingController mSharingController;
    QPointer<QObject> mObservedSettings;  // the compression settings observed for "frameRate"
    std::atomic<uint64_t> mDisplayLinkFrames{0};
    QPointer<LumoraCompositionDownload> mDownload;
    std::unique_ptr<ParamMapping> mBookmarkMapping;
    bool mBookmarksLinked = false;
};

bool import_NSUILumoraView();
