// What the camera view needs of the frame-sharing controller, the object that publishes each
// output frame to other processes, and what that controller asks of the camera view.
//
// The camera view reaches the controller only through protocol_IOSurfaceSharingController. Until
// a real controller is connected to the view's outlet, IOSurfaceSharingStandIn takes its place:
// it publishes no server and shares no frame, and says so (every operation answers false), so no
// caller takes a frame as shared when it was not. The view hands the rebroadcast control's
// switch to every broadcast request as it stands, so a controller that honours it can turn its
// outputs off.
#pragma once

#include <Foundation/NSNotification.h>

#include <QString>

#include <atomic>
#include <cstdint>

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

// Shares nothing (see the top of the file). It counts the requests it refused, and keeps the
// last switch it was handed, for whoever wants to see the loop reached it.
class IOSurfaceSharingStandIn : public protocol_IOSurfaceSharingController {
public:
    void setSurfaceSharingDelegate(IOSurfaceSharingControllerDelegate *) override {}
    bool publishServerWithTextureClass(const QString &) override { return false; }
    bool broadcastNextSurface(bool broadcast, bool) override {
        mLastBroadcast = broadcast;
        mRequests.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    void applicationWillTerminate(const NSNotification &) override {}

    uint64_t requestCount() const { return mRequests.load(std::memory_order_relaxed); }
    bool lastBroadcast() const { return mLastBroadcast.load(std::memory_order_relaxed); }

private:
    std::atomic<uint64_t> mRequests{0};
    std::atomic<bool> mLastBroadcast{false};
};
