// NSMachPort and NSMachBootstrapServer: port objects over the port names of this layer.
//
// There is one live port object per name: portWithMachPort answers the object that already
// stands for the name, else a new one that takes the rights of the name over. A port object
// for a send right notices its receiver's end (a dead-name notice, port.h): it becomes
// invalid and posts NSPortDidBecomeInvalidNotification, on a thread of this layer, with
// itself. invalidate() does the same at once. Observers are registered with an owner; an
// owner that is gone is not called, and the owner is kept alive while it is being called.
//
// A port scheduled on a run loop (MachPortRunLoop) has each message that arrives on its
// receive right handed to its delegate's handleMachMessage on that run loop's thread.
#pragma once

#include <Mach/message.h>
#include <Mach/port.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class MachPortRunLoop;

class NSMachPortDelegate {
public:
    virtual ~NSMachPortDelegate() = default;
    // A received message (header first, at most NSMachPort::kReceiveSize bytes). Its rights
    // belong to the delegate.
    virtual void handleMachMessage(void *msg) = 0;
};

class NSMachPort : public std::enable_shared_from_this<NSMachPort> {
public:
    enum : unsigned {
        NSMachPortDeallocateNone = 0,
        NSMachPortDeallocateSendRight = 1u << 0,
        NSMachPortDeallocateReceiveRight = 1u << 1,
    };
    // Largest message a scheduled port receives; larger ones are destroyed.
    static constexpr mach_msg_size_t kReceiveSize = 4096;

    // A new receive right with one send reference, both given up at invalidation. Null when
    // no port can be made.
    static std::shared_ptr<NSMachPort> port();
    // The port object for `name` (null for MACH_PORT_NULL). A new object takes over the
    // rights that `options` name, to give them up at invalidation or destruction.
    static std::shared_ptr<NSMachPort> portWithMachPort(
        mach_port_t name, unsigned options = NSMachPortDeallocateSendRight | NSMachPortDeallocateReceiveRight);

    NSMachPort(const NSMachPort &) = delete;
    NSMachPort &operator=(const NSMachPort &) = delete;
    ~NSMachPort();

    mach_port_t machPort() const { return mName; }
    bool isValid() const { return mValid.load(); }
    // Equal ports stand for the same name.
    bool isEqual(const NSMachPort &other) const { return mName == other.mName; }

    // Gives the rights up (as the options say), becomes invalid and posts the notification.
    // Later calls do nothing.
    void invalidate();
    // Gives the rights up at once and becomes invalid without posting: for an owner that
    // lets its port go (a service name is free again on return).
    void releaseRights();

    void setDelegate(std::weak_ptr<NSMachPortDelegate> delegate);
    std::shared_ptr<NSMachPortDelegate> delegate() const;

    // NSPortDidBecomeInvalidNotification: `observer` runs for every port of the process
    // that becomes invalid, while `owner` lives. Answers a token for removal.
    using InvalidObserver = std::function<void(const std::shared_ptr<NSMachPort> &port)>;
    static uint64_t addPortDidBecomeInvalidObserver(std::weak_ptr<void> owner, InvalidObserver observer);
    static void removePortDidBecomeInvalidObserver(uint64_t token);

private:
    NSMachPort(mach_port_t name, unsigned options);
    static void DeadName(mach_port_name_t name, void *context);
    void GiveUpRights();

    const mach_port_t mName;
    const unsigned mOptions;
    std::atomic<bool> mValid{true};
    mutable std::mutex mMutex;
    std::weak_ptr<NSMachPortDelegate> mDelegate;
    bool mRightsGiven = false;
};

class NSMachBootstrapServer {
public:
    // The process's bootstrap server (bootstrap.h); never destroyed.
    static NSMachBootstrapServer *sharedInstance();

    // A send right to the service registered under `name`, or null.
    std::shared_ptr<NSMachPort> portForName(const std::string &name);
    // A new receive right registered under `name` (the service port), or null when the name
    // belongs to a live process, is not a valid name, or there is no runtime folder.
    std::shared_ptr<NSMachPort> servicePortWithName(const std::string &name);
};
