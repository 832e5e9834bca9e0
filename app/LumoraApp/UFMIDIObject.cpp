#include "UFMIDIObject.h"

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>
#include <Foundation/NSException.h>

#include <QDebug>

#include <cstdio>

namespace {

QString qStringFromCF(CFStringRef string) {
    if (string == nullptr) {
        return {};
    }
    CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    QByteArray buffer(size, '\0');
    if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8)) {
        return {};
    }
    return QString::fromUtf8(buffer.constData());
}

struct CFStringHolder {
    CFStringRef string;
    explicit CFStringHolder(const QString &text)
        : string(CFStringCreateWithCString(nullptr, text.toUtf8().constData(), kCFStringEncodingUTF8)) {}
    ~CFStringHolder() {
        if (string != nullptr) {
            CFRelease(string);
        }
    }
    CFStringHolder(const CFStringHolder &) = delete;
    CFStringHolder &operator=(const CFStringHolder &) = delete;
};

QVariant variantFromCF(CFTypeRef value) {
    if (value == nullptr) {
        return {};
    }
    if (CFGetTypeID(value) == CFStringGetTypeID()) {
        return qStringFromCF(static_cast<CFStringRef>(value));
    }
    if (CFGetTypeID(value) == CFNumberGetTypeID()) {
        auto number = static_cast<CFNumberRef>(value);
        if (CFNumberIsFloatType(number)) {
            double real = 0;
            CFNumberGetValue(number, kCFNumberDoubleType, &real);
            return real;
        }
        int64_t integer = 0;
        CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
        return qlonglong(integer);
    }
    return {};
}

}  // namespace

void UFMIDIRequiredFailed(int result) {
    NSException::raise(QStringLiteral("REQUIRED FAILED"), QStringLiteral("result:%1").arg(result));
}

// UFMIDIObject

UFMIDIObject::~UFMIDIObject() = default;

MIDIObjectRef UFMIDIObject::midiObject() const {
    UFMIDIRequiredFailed(0);
}

QVariantMap UFMIDIObject::midiProperties(bool deep) const {
    QVariantMap properties;
    CFPropertyListRef list = nullptr;
    if (MIDIObjectGetProperties(midiObject(), &list, deep) != noErr || list == nullptr) {
        return properties;
    }
    if (CFGetTypeID(list) == CFDictionaryGetTypeID()) {
        auto dictionary = static_cast<CFDictionaryRef>(list);
        CFIndex count = CFDictionaryGetCount(dictionary);
        std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        for (CFIndex i = 0; i < count; ++i) {
            if (CFGetTypeID(keys[size_t(i)]) == CFStringGetTypeID()) {
                properties.insert(qStringFromCF(static_cast<CFStringRef>(keys[size_t(i)])),
                                  variantFromCF(values[size_t(i)]));
            }
        }
    }
    CFRelease(list);
    return properties;
}

SInt32 UFMIDIObject::integerPropertyWithID(CFStringRef property) const {
    MIDIObjectRef object = midiObject();
    SInt32 value = 0;
    if (object == 0 || MIDIObjectGetIntegerProperty(object, property, &value) != noErr) {
        return 0;
    }
    return value;
}

QString UFMIDIObject::stringPropertyWithID(CFStringRef property) const {
    MIDIObjectRef object = midiObject();
    CFStringRef value = nullptr;
    if (object == 0 || MIDIObjectGetStringProperty(object, property, &value) != noErr || value == nullptr) {
        return {};
    }
    QString text = qStringFromCF(value);
    CFRelease(value);
    return text;
}

QString UFMIDIObject::displayName() const {
    QString name = stringPropertyWithID(kMIDIPropertyDisplayName);
    if (name.isNull()) {
        return QString::asprintf("%s midiObject:%08lx", className().toUtf8().constData(), (unsigned long)midiObject());
    }
    return name;
}

QString UFMIDIObject::description() const {
    QString properties;
    QDebug(&properties).noquote() << midiProperties(true);
    return QString::asprintf("%s self.midiObject=%04lx ", className().toUtf8().constData(),
                             (unsigned long)midiObject()) +
           displayName() + QLatin1Char(' ') + properties;
}

// UFMIDIEndpoint

std::unique_ptr<UFMIDIEndpoint> UFMIDIEndpoint::endpointWithMIDIEndpoint(MIDIEndpointRef endpoint) {
    return std::make_unique<UFMIDIEndpoint>(endpoint, false);
}

std::unique_ptr<UFMIDIEndpoint> UFMIDIEndpoint::endpointWithMIDIEndpoint(MIDIEndpointRef endpoint,
                                                                         bool disposeEndPoint) {
    return std::make_unique<UFMIDIEndpoint>(endpoint, disposeEndPoint);
}

UFMIDIEndpoint::UFMIDIEndpoint(MIDIEndpointRef endpoint, bool disposeEndPoint)
    : mMidiEndpoint(endpoint), mDisposeEndPoint(disposeEndPoint) {}

UFMIDIEndpoint::~UFMIDIEndpoint() {
    if (mDisposeEndPoint && mMidiEndpoint != 0) {
        MIDIEndpointDispose(mMidiEndpoint);
    }
}

std::unique_ptr<UFMIDIEndpoint> UFMIDIEndpoint::sourceEndpointWithClient(const UFMIDIClient &client,
                                                                         const QString &outputSourceName) {
    CFStringHolder name(outputSourceName);
    MIDIEndpointRef endpoint = 0;
    if (client.midiClient() == 0 || MIDISourceCreate(client.midiClient(), name.string, &endpoint) != noErr) {
        return nullptr;
    }
    return endpointWithMIDIEndpoint(endpoint, true);
}

std::unique_ptr<UFMIDIEndpoint> UFMIDIEndpoint::endpointWithUniqueID(MIDIUniqueID uniqueID) {
    MIDIObjectRef object = 0;
    MIDIObjectType type = kMIDIObjectType_Other;
    if (MIDIObjectFindByUniqueID(uniqueID, &object, &type) != noErr || object == 0) {
        return nullptr;
    }
    if (type != kMIDIObjectType_Source && type != kMIDIObjectType_Destination) {
        return nullptr;
    }
    return endpointWithMIDIEndpoint(object);
}

std::unique_ptr<UFMIDIEndpoint> UFMIDIEndpoint::destinationEndpointWithName(const QString &name) {
    for (auto &destination : destinations()) {
        if (destination->displayName() == name) {
            return std::move(destination);
        }
    }
    return nullptr;
}

std::vector<std::unique_ptr<UFMIDIEndpoint>> UFMIDIEndpoint::sources() {
    std::vector<std::unique_ptr<UFMIDIEndpoint>> endpoints;
    ItemCount count = MIDIGetNumberOfSources();
    for (ItemCount i = 0; i < count; ++i) {
        if (MIDIEndpointRef endpoint = MIDIGetSource(i)) {
            endpoints.push_back(endpointWithMIDIEndpoint(endpoint));
        }
    }
    return endpoints;
}

std::vector<std::unique_ptr<UFMIDIEndpoint>> UFMIDIEndpoint::destinations() {
    std::vector<std::unique_ptr<UFMIDIEndpoint>> endpoints;
    ItemCount count = MIDIGetNumberOfDestinations();
    for (ItemCount i = 0; i < count; ++i) {
        if (MIDIEndpointRef endpoint = MIDIGetDestination(i)) {
            endpoints.push_back(endpointWithMIDIEndpoint(endpoint));
        }
    }
    return endpoints;
}

bool UFMIDIEndpoint::receivedMIDIPacketList(const MIDIPacketList *packetList) const {
    return packetList != nullptr && MIDIReceived(mMidiEndpoint, packetList) == noErr;
}

// UFMIDIPort

UFMIDIPort::UFMIDIPort(MIDIPortRef port, const QString &portName) : mMidiPort(port), mPortName(portName) {}

UFMIDIPort::~UFMIDIPort() {
    if (mMidiPort != 0) {
        MIDIPortDispose(mMidiPort);
    }
}

bool UFMIDIPort::connectSource(const UFMIDIEndpoint &endpoint) const {
    return mMidiPort != 0 && MIDIPortConnectSource(mMidiPort, endpoint.midiEndpoint(), nullptr) == noErr;
}

// UFMIDIClientInputPort

std::unique_ptr<UFMIDIClientInputPort> UFMIDIClientInputPort::inputPortWithClient(const UFMIDIClient &client,
                                                                                  const QString &inputPortName) {
    return std::make_unique<UFMIDIClientInputPort>(client, inputPortName);
}

UFMIDIClientInputPort::UFMIDIClientInputPort() = default;

UFMIDIClientInputPort::UFMIDIClientInputPort(const UFMIDIClient &client, const QString &inputPortName) {
    mPortName = inputPortName;
    if (client.midiClient() == 0) {
        return;
    }
    CFStringHolder name(inputPortName);
    MIDIPortRef port = 0;
    if (MIDIInputPortCreate(client.midiClient(), name.string, readProc, this, &port) == noErr) {
        mMidiPort = port;
    }
}

UFMIDIClientInputPort::~UFMIDIClientInputPort() {
    // Disposing of the port waits for a read callback in progress, which uses this object.
    if (mMidiPort != 0) {
        MIDIPortDispose(mMidiPort);
        mMidiPort = 0;
    }
}

void UFMIDIClientInputPort::setDelegate(UFMIDIClientInputPortDelegate *delegate) {
    mDelegatePacketData = false;
    mDelegateMessageData = false;
    mDelegate = delegate;
    if (delegate == nullptr) {
        return;
    }
    unsigned operations = delegate->midiInputPortDelegateOperations();
    mDelegatePacketData = (operations & UFMIDIClientInputPortDelegate::kOperationMidiPacket) != 0;
    mDelegateMessageData = (operations & (UFMIDIClientInputPortDelegate::kOperationMidiMessageData |
                                          UFMIDIClientInputPortDelegate::kOperationMidiMessageRealTime |
                                          UFMIDIClientInputPortDelegate::kOperationMidiMessageSysEx)) != 0;
}

int UFMIDIClientInputPort::connectAllMIDIInputSources() const {
    int connected = 0;
    for (const auto &source : UFMIDIEndpoint::sources()) {
        if (connectSource(*source)) {
            ++connected;
        }
    }
    return connected;
}

void UFMIDIClientInputPort::readProc(const MIDIPacketList *packetList, void *readProcRefCon, void *srcConnRefCon) {
    if (readProcRefCon == nullptr) {
        UFMIDIRequiredFailed(0);
    }
    static_cast<UFMIDIClientInputPort *>(readProcRefCon)->midiPacket(packetList, srcConnRefCon);
}

void UFMIDIClientInputPort::midiPacket(const MIDIPacketList *packetList, void *sourceConnection) {
    if (mDelegatePacketData && mDelegate != nullptr) {
        midiPacketData(packetList, sourceConnection);
    }
    if (mDelegateMessageData && mDelegate != nullptr) {
        midiPacketParser(packetList, sourceConnection);
    }
}

void UFMIDIClientInputPort::midiPacketData(const MIDIPacketList *packetList, void *) {
    if (packetList == nullptr) {
        UFMIDIRequiredFailed(0);
    }
    const MIDIPacket *packet = &packetList->packet[0];
    for (UInt32 i = 0; i < packetList->numPackets; ++i) {
        if (mDelegatePacketData && mDelegate != nullptr) {
            mDelegate->midiInputPortMidiPacket(this, packet, secondsOfTimeStamp(packet->timeStamp));
        } else {
            qInfo().noquote() << logMidiPacket(packet);
        }
        packet = MIDIPacketNext(packet);
    }
}

void UFMIDIClientInputPort::midiPacketParser(const MIDIPacketList *packetList, void *) {
    if (packetList == nullptr) {
        UFMIDIRequiredFailed(0);
    }
    const MIDIPacket *packet = &packetList->packet[0];
    for (UInt32 i = 0; i < packetList->numPackets; ++i) {
        if (!mParser) {
            mParser = UFMIDIMessageParser::parserWithMessageCompletionBlock([this](int kind, const void *record) {
                UFMIDIClientInputPortDelegate *delegate = mDelegate;
                if (delegate == nullptr) {
                    return;
                }
                unsigned operations = delegate->midiInputPortDelegateOperations();
                switch (kind) {
                    case kUFMIDIMessageKindData:
                        if (operations & UFMIDIClientInputPortDelegate::kOperationMidiMessageData) {
                            delegate->midiInputPortMidiMessageData(
                                this, static_cast<const tagUFMIDIMessage *>(record), mPacketSeconds);
                        }
                        break;
                    case kUFMIDIMessageKindSystem:
                        if (operations & UFMIDIClientInputPortDelegate::kOperationMidiMessageRealTime) {
                            delegate->midiInputPortMidiMessageRealTime(
                                this, static_cast<const tagUFMIDISystemMessage *>(record), mPacketSeconds);
                        }
                        break;
                    case kUFMIDIMessageKindSysEx:
                        if (operations & UFMIDIClientInputPortDelegate::kOperationMidiMessageSysEx) {
                            delegate->midiInputPortMidiMessageSysEx(
                                this, static_cast<const tagUFMIDISysExMessage *>(record), mPacketSeconds);
                        }
                        break;
                    default:
                        break;
                }
            });
        }
        mPacketSeconds = secondsOfTimeStamp(packet->timeStamp);
        mParser->parseNextPacket(packet);
        packet = MIDIPacketNext(packet);
    }
}

QString UFMIDIClientInputPort::logMidiPacket(const MIDIPacket *packet) {
    QString text = QString::asprintf("midiPacket: timeStamp:%9.3lf\t", secondsOfTimeStamp(packet->timeStamp));
    const uint16_t length = packet->length;
    for (uint16_t i = 0; i < length; ++i) {
        uint8_t byte = packet->data[i];
        text += byte < 127 ? QString::asprintf("%d ", byte) : QString::asprintf("0x%x ", byte);
    }
    return text;
}

// UFMIDIClientOutputPort

std::unique_ptr<UFMIDIClientOutputPort> UFMIDIClientOutputPort::outputPortWithClient(const UFMIDIClient &client,
                                                                                    const QString &outputPortName) {
    return std::make_unique<UFMIDIClientOutputPort>(client, outputPortName);
}

UFMIDIClientOutputPort::UFMIDIClientOutputPort(const UFMIDIClient &client, const QString &outputPortName) {
    mPortName = outputPortName;
    if (client.midiClient() == 0) {
        return;
    }
    CFStringHolder name(outputPortName);
    MIDIPortRef port = 0;
    if (MIDIOutputPortCreate(client.midiClient(), name.string, &port) == noErr) {
        mMidiPort = port;
    }
}

bool UFMIDIClientOutputPort::sendEndpoint(const UFMIDIEndpoint &endpoint, const MIDIPacketList *packetList) const {
    return mMidiPort != 0 && packetList != nullptr && MIDISend(mMidiPort, endpoint.midiEndpoint(), packetList) == noErr;
}

// UFMIDIClient

std::unique_ptr<UFMIDIClient> UFMIDIClient::midiClientWithName(const QString &name) {
    return std::make_unique<UFMIDIClient>(name);
}

UFMIDIClient::UFMIDIClient(const QString &clientName) {
    CFStringHolder name(clientName);
    MIDIClientRef client = 0;
    mCreationStatus = MIDIClientCreate(name.string, notifyProc, this, &client);
    if (mCreationStatus == noErr) {
        mMidiClient = client;
        mMidiClientName = clientName;
    }
}

UFMIDIClient::~UFMIDIClient() {
    if (mMidiClient != 0) {
        MIDIClientDispose(mMidiClient);
    }
}

void UFMIDIClient::notifyProc(const MIDINotification *message, void *refCon) {
    if (refCon == nullptr) {
        UFMIDIRequiredFailed(0);
    }
    static_cast<UFMIDIClient *>(refCon)->midiNotificationMessage(message);
}

void UFMIDIClient::midiNotificationMessage(const MIDINotification *message) {
    if (mDelegate != nullptr) {
        mDelegate->midiClientNotificationMessage(this, message);
    }
}

// UFMIDINotePacketList

void UFMIDINotePacketList::packetListForNoteOn(MIDIPacketList *packetList, bool noteOn, unsigned noteChannel,
                                               unsigned noteValue, unsigned noteVelocity) {
    const UInt8 bytes[3] = {UInt8((noteChannel & 15) | (noteOn ? 0x90 : 0x80)), UInt8(noteValue & 127),
                            UInt8(noteVelocity & 127)};
    MIDIPacket *packet = MIDIPacketListInit(packetList);
    MIDIPacketListAdd(packetList, sizeof(MIDIPacketList), packet, 0, sizeof(bytes), bytes);
}

// UFMIDIChannel

bool UFMIDIChannel::inputChannelShouldRespondToMessage(int listenChannel, int messageChannel) {
    return listenChannel == 0 || listenChannel == messageChannel + 1;
}

QStringList UFMIDIChannel::inputChannelNames() {
    QStringList names{QStringLiteral("**")};
    names += outputChannelNames();
    return names;
}

QStringList UFMIDIChannel::outputChannelNames() {
    QStringList names;
    for (int channel = 1; channel <= 16; ++channel) {
        names << QString::asprintf("%02d", channel);
    }
    return names;
}
