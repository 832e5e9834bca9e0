// The window channel: an output that writes each frame's packet (tagIOSurfaceMessagePacket)
// into the pixels of a small window (NSWindowExactBytes), and the reader another process runs
// to take it back out through the window list.
//
// The window's title names the channel: "<name>:<number>.NSWindow", or "<name>.NSWindow" when
// the number is 0 (mangledServerPortNameWithPublishedPortName). Any client of the same X
// display can list the window and read its pixels (X has no per-window access control), so
// the channel tells every local X client the surface identifiers and times, never the pixels:
// a surface is opened only by its owner's user.
//
// The window exists only in a widget program on X11 (or the offscreen platform); elsewhere the
// output has no channel. Everything but the reader runs on the main (Qt) thread.
#pragma once

#include <FrameSharing/IOSurfaceSharingServerOutputProtocol.h>
#include <FrameSharing/Window/IOSurfaceMessagePacket.h>
#include <FrameSharing/Window/IOSurfaceSharingConnectionID.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowInfoController.h>
#include <FrameSharing/Window/NSWindowExactBytes.h>

#include <CoreGraphics/CGImage.h>

#include <QPointer>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class IOSurfaceSharingNSWindow {
public:
    // The window title for a name and number; null without a name.
    static QString mangledServerPortNameWithPublishedPortName(const QString &name, uint32_t number);

    // Keeps the identifier only when it is an IOSurfaceSharingConnectionID.
    explicit IOSurfaceSharingNSWindow(const QVariant &connectionID);
    virtual ~IOSurfaceSharingNSWindow() = default;

    QString mangledPublishedPortName() const;
    QString serverPublishedPortName() const;
    uint32_t serverPublishedPortNumber() const;
    const std::optional<IOSurfaceSharingConnectionID> &connectionID() const { return mConnectionID; }

private:
    std::optional<IOSurfaceSharingConnectionID> mConnectionID;
};

class IOSurfaceSharingNSWindowServer : public IOSurfaceSharingNSWindow, public IOSurfaceSharingServerOutputProtocol {
public:
    static std::shared_ptr<IOSurfaceSharingNSWindowServer> serverOutputWithConnectionID(const QVariant &connectionID);
    // A window of 44 bytes titled by the identifier; the packet reset (size 44, the rest 0).
    explicit IOSurfaceSharingNSWindowServer(const QVariant &connectionID);
    ~IOSurfaceSharingNSWindowServer() override;

    NSWindowExactBytes *windowExactBytes() const { return mWindow.get(); }
    const tagIOSurfaceMessagePacket &message() const { return mMessage; }

    bool hasServerConnection() override { return mWindow != nullptr; }
    bool outputConnect() override { return true; }
    bool outputDisconnect() override { return true; }
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) override;
    bool broadcastSurface(IOSurfaceRef surface) override;

    // Builds the next packet (no surface, or identifier 0: false), writes it into the window;
    // whether the window now shows it.
    bool sendMessageSurface(IOSurfaceRef surface, uint64_t surfaceTime);

    // Looks the window up by its title once; whether its identifier is known.
    bool findServerPublishedPortName();
    uint32_t globalWindowID() const { return mGlobalWindowID; }
    // Captures the found window and keeps the capture; the kept image (not retained).
    CGImageRef windowImageGlobalCached();
    CGImageRef windowImageGlobal() const;
    CGImageRef windowImageGlobalCopy() const;
    void setWindowImageGlobal(CGImageRef image);

    // Whether the image decodes to a valid packet; releases the image when asked.
    static bool verifyMessage(CGImageRef image, bool andReleaseImage);

    // Optional inspector panels (not owned; the application sets neither): after each send the
    // sent-image panel is given the view's own reading of its pixels (named "n/a"), the
    // global-image panel the window server's capture of the window once it is found.
    IOSurfaceSharingNSWindowViewNibbler *sentImageInfo() const { return mSentImageInfo.data(); }
    void setSentImageInfo(IOSurfaceSharingNSWindowViewNibbler *panel) { mSentImageInfo = panel; }
    IOSurfaceSharingNSWindowViewNibbler *globalImageInfo() const { return mGlobalImageInfo.data(); }
    void setGlobalImageInfo(IOSurfaceSharingNSWindowViewNibbler *panel) { mGlobalImageInfo = panel; }

private:
    QPointer<IOSurfaceSharingNSWindowViewNibbler> mSentImageInfo, mGlobalImageInfo;
    std::unique_ptr<NSWindowExactBytes> mWindow;
    tagIOSurfaceMessagePacket mMessage;
    uint32_t mGlobalWindowID = 0;
    mutable std::mutex mLock;
    CGImageRef mWindowImageGlobal = nullptr;
};

// Reads a packet out of a window image: prepares the capture at the packet's size (whole
// multiples only), reads 44 bytes and checks size and checksum. False (the bytes all 0) for
// anything else.
bool IOSurfaceSharingNSWindowDecodeImage(CGImageRef image, IOSurfaceMessagePacketBytes &bytes);

// The reader a consumer in another process runs, polling: finds the window by its title
// (and owner name, when given), captures it, decodes the packet, and reports each new packet
// (one whose checksum differs from the last one seen) to the callback.
class IOSurfaceSharingNSWindowClient {
public:
    using Callback = std::function<void(const tagIOSurfaceMessagePacket &packet)>;

    IOSurfaceSharingNSWindowClient(const QString &portName, uint32_t portNumber, Callback callback,
                                   const QString &ownerName = QString());

    // One look: whether a new packet was reported. The window is looked up again while it
    // is not found or its capture fails.
    bool poll();
    uint32_t windowID() const { return mWindowID; }

private:
    QString mTitle, mOwnerName;
    Callback mCallback;
    uint32_t mWindowID = 0;
    std::optional<uint32_t> mLastChecksum;
};

bool import_IOSurfaceSharingNSWindowServer();
