#include <FrameSharing/Mach/IOSurfaceMachConnection.h>
#include <FrameSharing/Outputs/IOSurfaceSharingServerOutput.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <algorithm>

// ---- IOSurfaceSharingServerOutput -------------------------------------------------------------

bool IOSurfaceSharingServerOutput::isNumberConnectionID(const QVariant &id) {
    switch (id.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool IOSurfaceSharingServerOutput::isStringConnectionID(const QVariant &id) { return id.typeId() == QMetaType::QString; }

bool IOSurfaceSharingServerOutput::isWindowConnectionID(const QVariant &id) {
    return id.metaType() == QMetaType::fromType<IOSurfaceSharingConnectionID>();
}

IOSurfaceSharingServerOutputRef IOSurfaceSharingServerOutput::serverOutputWithConnectionID(const QVariant &id) {
    if (!id.isValid()) return nullptr;
    if (isNumberConnectionID(id)) return IOSurfaceSharingServerOutputNetworkUDP::serverOutputWithConnectionID(id);
    if (isStringConnectionID(id)) return IOSurfaceSharingServerOutputMachMessage::serverOutputWithConnectionID(id);
    if (isWindowConnectionID(id)) return IOSurfaceSharingNSWindowServer::serverOutputWithConnectionID(id);
    return nullptr;
}

uint64_t IOSurfaceSharingServerOutput::currentSurfaceTimeStamp() {
    return IOSurfaceMachConnection::currentHostGetSurfaceTimeStamp();
}

bool IOSurfaceSharingServerOutput::broadcastSurface(IOSurfaceRef surface) {
    return broadcastSurfaceWithSurfaceTime(surface, currentSurfaceTimeStamp());
}

QVariant IOSurfaceSharingServerOutput::serverOutputPortNumber() const {
    if (isNumberConnectionID(mConnectionID)) return mConnectionID;
    if (isWindowConnectionID(mConnectionID))
        return QVariant::fromValue(mConnectionID.value<IOSurfaceSharingConnectionID>().unsignedPortNumber());
    return QVariant();
}

QString IOSurfaceSharingServerOutput::serverOutputPortName() const {
    if (isStringConnectionID(mConnectionID)) return mConnectionID.toString();
    if (isWindowConnectionID(mConnectionID)) return mConnectionID.value<IOSurfaceSharingConnectionID>().portName();
    return QString();
}

// ---- IOSurfaceSharingServerOutputMachMessage --------------------------------------------------

std::shared_ptr<IOSurfaceSharingServerOutputMachMessage> IOSurfaceSharingServerOutputMachMessage::
    serverOutputWithConnectionID(const QVariant &connectionID) {
    return std::make_shared<IOSurfaceSharingServerOutputMachMessage>(connectionID);
}

IOSurfaceSharingServerOutputMachMessage::IOSurfaceSharingServerOutputMachMessage(const QVariant &connectionID)
    : IOSurfaceSharingServerOutput(connectionID) {
    mMachSurfaceServer = IOSurfaceMachServer::serverWithDelegate(this);
}

IOSurfaceSharingServerOutputMachMessage::~IOSurfaceSharingServerOutputMachMessage() { outputDisconnect(); }

bool IOSurfaceSharingServerOutputMachMessage::outputConnect() {
    if (mMachSurfaceServer == nullptr) return false;
    const QString name = machPortNameFromConnectionID();
    if (name.isEmpty()) return false;
    return mMachSurfaceServer->publishServerConnectionWithServerPortName(name.toStdString());
}

bool IOSurfaceSharingServerOutputMachMessage::outputDisconnect() {
    if (mMachSurfaceServer == nullptr) return false;
    // The server's thread may still be delivering: it calls no one once the delegate is gone.
    mMachSurfaceServer->setDelegate(nullptr);
    mMachSurfaceServer->disconnect();
    mMachSurfaceServer.reset();
    return true;
}

bool IOSurfaceSharingServerOutputMachMessage::broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface,
                                                                              uint64_t surfaceTime) {
    if (mMachSurfaceServer == nullptr) return false;
    mMachSurfaceServer->broadcastFrameSurface(surface, surfaceTime);
    return true;
}

bool IOSurfaceSharingServerOutputMachMessage::setServerOutputPortName(const QString &name) {
    if (mMachSurfaceServer == nullptr) return false;
    setConnectionID(name);
    mMachSurfaceServer->setServerOutputPortName(name.toStdString());
    return true;
}

// ---- IOSurfaceSharingServerOutputNetworkUDP ---------------------------------------------------

std::shared_ptr<IOSurfaceSharingServerOutputNetworkUDP> IOSurfaceSharingServerOutputNetworkUDP::
    serverOutputWithConnectionID(const QVariant &connectionID) {
    return std::make_shared<IOSurfaceSharingServerOutputNetworkUDP>(connectionID);
}

IOSurfaceSharingServerOutputNetworkUDP::IOSurfaceSharingServerOutputNetworkUDP(const QVariant &connectionID)
    : IOSurfaceSharingServerOutput(connectionID) {
    if (connectionID.isValid())
        mNetworkSurfaceServer =
            IOSurfaceSharingNetworkServer::surfaceSharingNetServerWithPortNumber(unsignedNetworkPortFromConnectionID());
}

uint16_t IOSurfaceSharingServerOutputNetworkUDP::unsignedNetworkPortFromConnectionID() const {
    return connectionID().isValid() ? uint16_t(connectionID().toULongLong()) : 0;
}

void IOSurfaceSharingServerOutputNetworkUDP::setConnectionID(const QVariant &connectionID) {
    IOSurfaceSharingServerOutput::setConnectionID(connectionID);
    if (!connectionID.isValid()) return;
    if (mNetworkSurfaceServer == nullptr)
        mNetworkSurfaceServer =
            IOSurfaceSharingNetworkServer::surfaceSharingNetServerWithPortNumber(unsignedNetworkPortFromConnectionID());
    else
        mNetworkSurfaceServer->setServerPortNumber(unsignedNetworkPortFromConnectionID());
}

bool IOSurfaceSharingServerOutputNetworkUDP::setServerOutputPortNumber(const QVariant &number) {
    setConnectionID(number);
    return true;
}

bool IOSurfaceSharingServerOutputNetworkUDP::hasServerConnection() {
    return mNetworkSurfaceServer != nullptr && mNetworkSurfaceServer->hasServerConnection();
}

bool IOSurfaceSharingServerOutputNetworkUDP::broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface,
                                                                             uint64_t surfaceTime) {
    if (!hasServerConnection()) return false;
    return mNetworkSurfaceServer->broadcastSurfaceWithSurfaceTime(surface, surfaceTime);
}

// ---- IOSurfaceSharingServerOutputSet ----------------------------------------------------------

std::shared_ptr<IOSurfaceSharingServerOutputSet> IOSurfaceSharingServerOutputSet::serverOutputSet() {
    return std::make_shared<IOSurfaceSharingServerOutputSet>();
}

std::shared_ptr<IOSurfaceSharingServerOutputSet> IOSurfaceSharingServerOutputSet::serverOutputWithConnectionIDs(
    const QVariantList &ids) {
    auto set = serverOutputSet();
    set->addServerOutputsWithConnectionIDs(ids);
    return set;
}

IOSurfaceSharingServerOutputSet::~IOSurfaceSharingServerOutputSet() { outputDisconnect(); }

bool IOSurfaceSharingServerOutputSet::addServerOutputWithConnectionID(const QVariant &connectionID) {
    IOSurfaceSharingServerOutputRef output = IOSurfaceSharingServerOutput::serverOutputWithConnectionID(connectionID);
    if (output == nullptr) return false;
    addServerOutput(output);
    return true;
}

bool IOSurfaceSharingServerOutputSet::addServerOutputsWithConnectionIDs(const QVariantList &connectionIDs) {
    bool any = false;
    for (const QVariant &id : connectionIDs) any = addServerOutputWithConnectionID(id) || any;
    return any;
}

void IOSurfaceSharingServerOutputSet::addServerOutput(const IOSurfaceSharingServerOutputRef &output) {
    if (output == nullptr || output.get() == this) return;
    if (std::find(mOutputs.begin(), mOutputs.end(), output) == mOutputs.end()) mOutputs.push_back(output);
}

template <typename Call>
bool IOSurfaceSharingServerOutputSet::Fan(Call call) {
    bool any = false;
    for (const IOSurfaceSharingServerOutputRef &output : serverOutputs()) any = call(*output) || any;
    return any;
}

bool IOSurfaceSharingServerOutputSet::outputConnect() {
    return Fan([](IOSurfaceSharingServerOutputProtocol &output) { return output.outputConnect(); });
}

bool IOSurfaceSharingServerOutputSet::outputDisconnect() {
    return Fan([](IOSurfaceSharingServerOutputProtocol &output) { return output.outputDisconnect(); });
}

bool IOSurfaceSharingServerOutputSet::hasServerConnection() {
    return Fan([](IOSurfaceSharingServerOutputProtocol &output) { return output.hasServerConnection(); });
}

bool IOSurfaceSharingServerOutputSet::broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) {
    return Fan([&](IOSurfaceSharingServerOutputProtocol &output) {
        return output.broadcastSurfaceWithSurfaceTime(surface, surfaceTime);
    });
}

bool IOSurfaceSharingServerOutputSet::setServerOutputPortName(const QString &name) {
    return Fan([&](IOSurfaceSharingServerOutputProtocol &output) {
        auto *named = dynamic_cast<IOSurfaceSharingServerOutput *>(&output);
        return named != nullptr && named->setServerOutputPortName(name);
    });
}

bool IOSurfaceSharingServerOutputSet::setServerOutputPortNumber(const QVariant &number) {
    return Fan([&](IOSurfaceSharingServerOutputProtocol &output) {
        auto *numbered = dynamic_cast<IOSurfaceSharingServerOutput *>(&output);
        return numbered != nullptr && numbered->setServerOutputPortNumber(number);
    });
}

bool import_IOSurfaceSharingServerOutputMachMessage() { return import_IOSurfaceMachServer(); }
bool import_IOSurfaceSharingServerOutputNetworkUDP() { return import_UDPLoopbackMessageServer(); }
