#include <Mach/NSMachPort.h>

#include <Mach/bootstrap.h>

#include <map>
#include <unordered_map>
#include <vector>

namespace {

struct Ports {
    std::mutex mutex;
    std::unordered_map<mach_port_t, std::weak_ptr<NSMachPort>> byName;
    struct Observer {
        std::weak_ptr<void> owner;
        NSMachPort::InvalidObserver observer;
    };
    std::map<uint64_t, Observer> observers;
    uint64_t nextToken = 1;
};

Ports &ThePorts() {
    static Ports *ports = new Ports;  // used by the layer's threads until the process ends
    return *ports;
}

void Post(const std::shared_ptr<NSMachPort> &port) {
    std::vector<Ports::Observer> observers;
    {
        Ports &ports = ThePorts();
        std::lock_guard<std::mutex> lock(ports.mutex);
        for (auto &[token, observer] : ports.observers) observers.push_back(observer);
    }
    for (const Ports::Observer &observer : observers) {
        std::shared_ptr<void> owner = observer.owner.lock();
        if (owner != nullptr) observer.observer(port);
    }
}

}  // namespace

NSMachPort::NSMachPort(mach_port_t name, unsigned options) : mName(name), mOptions(options) {}

std::shared_ptr<NSMachPort> NSMachPort::port() {
    mach_port_t name = MACH_PORT_NULL;
    if (mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &name) != KERN_SUCCESS) return nullptr;
    if (mach_port_insert_right(mach_task_self(), name, name, MACH_MSG_TYPE_MAKE_SEND) != KERN_SUCCESS) {
        mach_port_mod_refs(mach_task_self(), name, MACH_PORT_RIGHT_RECEIVE, -1);
        return nullptr;
    }
    return portWithMachPort(name);
}

std::shared_ptr<NSMachPort> NSMachPort::portWithMachPort(mach_port_t name, unsigned options) {
    if (name == MACH_PORT_NULL) return nullptr;
    std::shared_ptr<NSMachPort> port;
    {
        Ports &ports = ThePorts();
        std::lock_guard<std::mutex> lock(ports.mutex);
        auto found = ports.byName.find(name);
        if (found != ports.byName.end() && (port = found->second.lock()) != nullptr) return port;
        port.reset(new NSMachPort(name, options));
        ports.byName[name] = port;
    }
    mach_port_type_t type = 0;
    if (mach_port_type(mach_task_self(), name, &type) == KERN_SUCCESS && (type & MACH_PORT_TYPE_RECEIVE) == 0 &&
        (type & (MACH_PORT_TYPE_SEND | MACH_PORT_TYPE_DEAD_NAME)) != 0)
        mach_port_request_dead_name_callback(name, &NSMachPort::DeadName, nullptr);
    return port;
}

void NSMachPort::DeadName(mach_port_name_t name, void *) {
    std::shared_ptr<NSMachPort> port;
    {
        Ports &ports = ThePorts();
        std::lock_guard<std::mutex> lock(ports.mutex);
        auto found = ports.byName.find(name);
        if (found != ports.byName.end()) port = found->second.lock();
    }
    if (port != nullptr) port->invalidate();
}

void NSMachPort::GiveUpRights() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mRightsGiven) return;
        mRightsGiven = true;
    }
    {
        Ports &ports = ThePorts();
        std::lock_guard<std::mutex> lock(ports.mutex);
        auto found = ports.byName.find(mName);
        if (found != ports.byName.end()) {
            std::shared_ptr<NSMachPort> other = found->second.lock();
            if (other == nullptr || other.get() == this) ports.byName.erase(found);
        }
    }
    mach_port_type_t type = 0;
    if (mach_port_type(mach_task_self(), mName, &type) != KERN_SUCCESS) return;
    mach_port_request_dead_name_callback(mName, nullptr, nullptr);
    if ((mOptions & NSMachPortDeallocateReceiveRight) != 0 && (type & MACH_PORT_TYPE_RECEIVE) != 0) {
        mach_port_mod_refs(mach_task_self(), mName, MACH_PORT_RIGHT_RECEIVE, -1);
    } else if ((mOptions & NSMachPortDeallocateSendRight) != 0 &&
               (type & (MACH_PORT_TYPE_SEND | MACH_PORT_TYPE_SEND_ONCE | MACH_PORT_TYPE_DEAD_NAME)) != 0) {
        mach_port_deallocate(mach_task_self(), mName);
    }
}

void NSMachPort::invalidate() {
    if (!mValid.exchange(false)) return;
    GiveUpRights();
    Post(shared_from_this());
}

void NSMachPort::releaseRights() {
    mValid.store(false);
    GiveUpRights();
}

NSMachPort::~NSMachPort() {
    mValid.store(false);
    GiveUpRights();
}

void NSMachPort::setDelegate(std::weak_ptr<NSMachPortDelegate> delegate) {
    std::lock_guard<std::mutex> lock(mMutex);
    mDelegate = std::move(delegate);
}

std::shared_ptr<NSMachPortDelegate> NSMachPort::delegate() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mDelegate.lock();
}

uint64_t NSMachPort::addPortDidBecomeInvalidObserver(std::weak_ptr<void> owner, InvalidObserver observer) {
    Ports &ports = ThePorts();
    std::lock_guard<std::mutex> lock(ports.mutex);
    const uint64_t token = ports.nextToken++;
    ports.observers[token] = {std::move(owner), std::move(observer)};
    return token;
}

void NSMachPort::removePortDidBecomeInvalidObserver(uint64_t token) {
    Ports &ports = ThePorts();
    std::lock_guard<std::mutex> lock(ports.mutex);
    ports.observers.erase(token);
}

NSMachBootstrapServer *NSMachBootstrapServer::sharedInstance() {
    static NSMachBootstrapServer server;
    return &server;
}

std::shared_ptr<NSMachPort> NSMachBootstrapServer::portForName(const std::string &name) {
    mach_port_t port = MACH_PORT_NULL;
    if (bootstrap_look_up(bootstrap_port, name.c_str(), &port) != KERN_SUCCESS) return nullptr;
    return NSMachPort::portWithMachPort(port);
}

std::shared_ptr<NSMachPort> NSMachBootstrapServer::servicePortWithName(const std::string &name) {
    mach_port_t port = MACH_PORT_NULL;
    if (bootstrap_check_in(bootstrap_port, name.c_str(), &port) != KERN_SUCCESS) return nullptr;
    return NSMachPort::portWithMachPort(port);
}
