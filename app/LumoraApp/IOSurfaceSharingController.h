// The frame-sharing controller: the object through which the application publishes its output
// frames to other processes, and what it asks of the camera view.
//
// IOSurfaceSharingController owns a texture queue (IOSurfaceServerTextureQueue: three textures,
// each on its own global 640 x 480 'BGRA' IOSurface made on the root sharing context) and a set
// of sharing outputs (the Mach service "com.tarvex.Lumora2.IOSurfaceSharing", the UDP loopback
// casts on port 30300 and the window channel titled by both). Once per rendered frame the camera
// view asks it to broadcast: it takes the queue's next texture in rotation, has its delegate draw
// the frame into it, and hands the texture's surface to every output. Consumers look the surface
// up by its global identifier or receive it over the Mach service.
//
// The rebroadcast switch the camera view hands to every request is honoured: switched off, no
// frame is drawn into a shared surface and none is announced.
//
// Texture classes are named: a class registered with registerTextureClass answers
// textureWithIOSurface for the queue (the camera view asks for "LumoraIOSurfaceFBO"). A name no
// class is registered under makes no textures, and nothing is broadcast.
//
// Everything here runs on the main thread (the queue's array is also guarded by its own lock).
#pragma once

#include <Foundation/NSNotification.h>
#include <FrameSharing/Mach/IOSurfaceSharing.h>
#include <IOSurface/IOSurfaceRef.h>

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSOGLTextureIOSurface;
class NSOpenGLContext;
class IOSurfaceSharingServerOutputSet;

class protocol_IOSurfaceSharingController;

// One shared surface as a render target: renderScene draws the camera view's current frame into
// it (the delegate locks the render buffer around the call).
class protocol_IOSurfaceSharingSurface {
public:
    virtual ~protocol_IOSurfaceSharingSurface() = default;
    virtual void renderScene() = 0;
};

// The controller's delegate (the camera view): called back from inside broadcastNextSurface,
// on the thread that asked, to draw the frame into the surface about to be shared.
class IOSurfaceSharingControllerDelegate {
public:
    virtual ~IOSurfaceSharingControllerDelegate() = default;
    virtual void surfaceSharingRenderSurface(protocol_IOSurfaceSharingController *sharing,
                                             protocol_IOSurfaceSharingSurface *surface) = 0;
};

class protocol_IOSurfaceSharingController {
public:
    virtual ~protocol_IOSurfaceSharingController() = default;

    // The object drawing the surfaces (not owned; null for none).
    virtual void setSurfaceSharingDelegate(IOSurfaceSharingControllerDelegate *delegate) = 0;
    // Makes the shared surfaces (render targets of the class registered under that name) and
    // publishes the sharing service; true when it is published.
    virtual bool publishServerWithTextureClass(const QString &textureClassName) = 0;
    // Shares the next frame: with `render`, the delegate first draws it into the next surface.
    // `broadcast` is the rebroadcast switch: off, no output carries the frame. True when a
    // frame was shared.
    virtual bool broadcastNextSurface(bool broadcast, bool render) = 0;
    // Withdraws the service.
    virtual void applicationWillTerminate(const NSNotification &notification) = 0;
};

// The textures of the queue: NSOGLTextureIOSurface objects (a texture that is also a
// protocol_IOSurfaceSharingSurface is what the delegate draws into).
using IOSurfaceSharingTextureRef = std::shared_ptr<NSOGLTextureIOSurface>;

// A texture class: its name and its textureWithIOSurface (null when it makes none).
struct IOSurfaceSharingTextureClass {
    QString name;
    std::function<IOSurfaceSharingTextureRef(IOSurfaceRef surface)> textureWithIOSurface;
    bool answersTextureWithIOSurface() const { return bool(textureWithIOSurface); }
};

class IOSurfaceServerTextureQueue {
public:
    // Registers (or replaces) a texture class by name, for any thread.
    static void registerTextureClass(const QString &name,
                                     std::function<IOSurfaceSharingTextureRef(IOSurfaceRef)> textureWithIOSurface);
    // The class of that name; one without textureWithIOSurface when none is registered.
    static IOSurfaceSharingTextureClass textureClassNamed(const QString &name);

    // Stores count, size and format; with a count, fills the queue on the root sharing context.
    IOSurfaceServerTextureQueue(const IOSurfaceSharingTextureClass &textureClass, uint32_t queueCount, float width,
                                float height, uint32_t surfacePixelFormat);
    ~IOSurfaceServerTextureQueue();

    static std::unique_ptr<IOSurfaceServerTextureQueue> doubleBufferedQueueWithTextureClass(
        const IOSurfaceSharingTextureClass &textureClass, float width, float height, uint32_t surfacePixelFormat);
    static std::unique_ptr<IOSurfaceServerTextureQueue> bufferedOutputQueueWithTextureClass(
        const IOSurfaceSharingTextureClass &textureClass, float width, float height, uint32_t surfacePixelFormat);

    // For each slot: a global surface, a texture of the class on it made with the context
    // current (the previous context made current again), appended in order. A slot whose
    // surface or texture cannot be made is left out: the queue then holds fewer textures.
    void createQueueSurfacesWithSharedOpenGlContext(NSOpenGLContext *context);

    // The texture at index modulo the number of textures held; null when none is held.
    IOSurfaceSharingTextureRef textureWithIndex(uint32_t index) const;
    // A copy of the textures held, in slot order.
    std::vector<IOSurfaceSharingTextureRef> surfaceTextures() const;
    size_t textureCount() const;

    uint32_t queueCount() const { return mQueueCount; }
    const IOSurfaceSharingTextureClass &textureClass() const { return mTextureClass; }
    float surfaceWidth() const { return mSurfaceWidth; }
    float surfaceHeight() const { return mSurfaceHeight; }
    uint32_t surfacePixelFormat() const { return mSurfacePixelFormat; }

private:
    mutable std::mutex mQueueLock;
    std::vector<IOSurfaceSharingTextureRef> mQueueArray;
    uint32_t mQueueCount = 0;
    IOSurfaceSharingTextureClass mTextureClass;
    float mSurfaceWidth = 0, mSurfaceHeight = 0;
    uint32_t mSurfacePixelFormat = 0;
};

class IOSurfaceSharingController : public QObject, public protocol_IOSurfaceSharingController {
    Q_OBJECT
public:
    static constexpr const char *kServiceName = kIOSurfaceSharingServiceName;
    static constexpr uint16_t kUDPPortNumber = 30300;
    static constexpr uint32_t kSurfacePixelFormat = 0x42475241;  // 'BGRA'
    static constexpr float kSurfaceWidth = 640.0f, kSurfaceHeight = 480.0f;

    // An empty output set.
    Q_INVOKABLE explicit IOSurfaceSharingController(QObject *parent = nullptr);
    // Lets the outputs go (the set disconnects each) and then the queue.
    ~IOSurfaceSharingController() override;

    void setSurfaceSharingDelegate(IOSurfaceSharingControllerDelegate *delegate) override { mDelegate = delegate; }
    IOSurfaceSharingControllerDelegate *delegate() const { return mDelegate; }

    // Builds the queue of three textures of the named class and adds the three outputs (Mach
    // service, UDP port 30300, window channel, in that order) and connects them. Once: a later
    // call changes nothing. True when at least one output connected.
    bool publishServerWithTextureClass(const QString &textureClassName) override;
    bool publishServerWithTextureClass(const IOSurfaceSharingTextureClass &textureClass);
    // With the switch on: the next texture in rotation, drawn by the delegate when `render`
    // is set, its surface handed to every output; the counter moves on only when a surface
    // was handed over. With the switch off nothing is drawn or announced. True when a frame
    // was handed to the outputs.
    bool broadcastNextSurface(bool broadcast, bool render) override;
    // Closes the Mach service for good (the other outputs stay until released).
    void applicationWillTerminate(const NSNotification &notification) override;

    // The delegate draws into the texture (nothing without a delegate).
    void delegatedRenderSurface(const IOSurfaceSharingTextureRef &texture);

    IOSurfaceServerTextureQueue *surfaceTextures() const { return mSurfaceTextures.get(); }
    void setSurfaceTextures(std::unique_ptr<IOSurfaceServerTextureQueue> queue) { mSurfaceTextures = std::move(queue); }
    const std::shared_ptr<IOSurfaceSharingServerOutputSet> &serverOutputs() const { return mServerOutputs; }
    void setServerOutputs(std::shared_ptr<IOSurfaceSharingServerOutputSet> outputs) {
        mServerOutputs = std::move(outputs);
    }
    uint32_t nextSurfaceIndex() const { return mNextSurfaceIndex; }
    void setNextSurfaceIndex(uint32_t index) { mNextSurfaceIndex = index; }

private:
    IOSurfaceSharingControllerDelegate *mDelegate = nullptr;
    std::unique_ptr<IOSurfaceServerTextureQueue> mSurfaceTextures;
    std::shared_ptr<IOSurfaceSharingServerOutputSet> mServerOutputs;
    uint32_t mNextSurfaceIndex = 0;
    bool mPublished = false, mPublishedConnected = false;
};

bool import_IOSurfaceSharingController();
