// The MIDI object layer: wrappers of the Core MIDI client, its ports and the endpoints of the
// machine, the input port that parses what it receives into messages for its delegate, and
// the small helpers around them (note packets, channel names).
//
// Threads. A client's notification and an input port's packets arrive on the client's
// receiving thread (the layer's). The port keeps one parser for all its sources, so the
// state of a message split across packets survives.
//
// Failures. A client or port that Core MIDI could not make is kept without its reference
// (midiObject 0); calls on it then fail quietly (false, null, 0). A null context in a Core MIDI
// callback raises "REQUIRED FAILED".
#pragma once

#include "UFMIDIMessageParser.h"

#include <CoreMIDI/MIDIServices.h>

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <vector>

class UFMIDIClient;
class UFMIDIClientInputPort;

// "REQUIRED FAILED" with the reason "result:%d".
[[noreturn]] void UFMIDIRequiredFailed(int result);

class UFMIDIObject {
public:
    virtual ~UFMIDIObject();

    // The Core MIDI object; the base has none and raises "REQUIRED FAILED".
    virtual MIDIObjectRef midiObject() const;

    // The object's properties; empty on error.
    QVariantMap midiProperties(bool deep) const;
    // 0 without an object or on error.
    SInt32 integerPropertyWithID(CFStringRef property) const;
    // Null without an object or on error.
    QString stringPropertyWithID(CFStringRef property) const;
    // The display name, or "<class> midiObject:%08lx".
    QString displayName() const;
    // "<class> self.midiObject=%04lx <display name> <properties>".
    QString description() const;
    virtual QString className() const { return QStringLiteral("UFMIDIObject"); }
};

class UFMIDIEndpoint : public UFMIDIObject {
public:
    static std::unique_ptr<UFMIDIEndpoint> endpointWithMIDIEndpoint(MIDIEndpointRef endpoint);
    static std::unique_ptr<UFMIDIEndpoint> endpointWithMIDIEndpoint(MIDIEndpointRef endpoint, bool disposeEndPoint);
    explicit UFMIDIEndpoint(MIDIEndpointRef endpoint, bool disposeEndPoint = false);
    ~UFMIDIEndpoint() override;

    // A virtual source of the client, disposed with the wrapper; null on error.
    static std::unique_ptr<UFMIDIEndpoint> sourceEndpointWithClient(const UFMIDIClient &client,
                                                                    const QString &outputSourceName);
    // The endpoint with that unique ID; null unless one is found.
    static std::unique_ptr<UFMIDIEndpoint> endpointWithUniqueID(MIDIUniqueID uniqueID);
    // The first destination whose display name is the name; null when none.
    static std::unique_ptr<UFMIDIEndpoint> destinationEndpointWithName(const QString &name);
    static std::vector<std::unique_ptr<UFMIDIEndpoint>> sources();
    static std::vector<std::unique_ptr<UFMIDIEndpoint>> destinations();

    // Sends the list from this virtual source to its subscribers; true on success.
    bool receivedMIDIPacketList(const MIDIPacketList *packetList) const;
    MIDIUniqueID uniqueID() const { return integerPropertyWithID(kMIDIPropertyUniqueID); }

    MIDIObjectRef midiObject() const override { return mMidiEndpoint; }
    MIDIEndpointRef midiEndpoint() const { return mMidiEndpoint; }
    bool disposeEndPoint() const { return mDisposeEndPoint; }
    QString className() const override { return QStringLiteral("UFMIDIEndpoint"); }

private:
    MIDIEndpointRef mMidiEndpoint = 0;
    bool mDisposeEndPoint = false;
};

class UFMIDIPort : public UFMIDIObject {
public:
    UFMIDIPort(MIDIPortRef port, const QString &portName);
    ~UFMIDIPort() override;  // disposes the port

    // Connects the source to the port; true on success.
    bool connectSource(const UFMIDIEndpoint &endpoint) const;

    MIDIObjectRef midiObject() const override { return mMidiPort; }
    MIDIPortRef midiPort() const { return mMidiPort; }
    QString portName() const { return mPortName; }
    QString className() const override { return QStringLiteral("UFMIDIPort"); }

protected:
    UFMIDIPort() = default;
    MIDIPortRef mMidiPort = 0;
    QString mPortName;
};

// What a client's delegate may answer.
class UFMIDIClientDelegate {
public:
    virtual ~UFMIDIClientDelegate() = default;
    virtual void midiClientNotificationMessage(UFMIDIClient *client, const MIDINotification *message) = 0;
};

// What an input port's delegate may answer: each operation is optional; the delegate names
// the ones it implements (midiInputPortDelegateOperations).
class UFMIDIClientInputPortDelegate {
public:
    enum Operation : unsigned {
        kOperationMidiPacket = 1u << 0,
        kOperationMidiMessageData = 1u << 1,
        kOperationMidiMessageRealTime = 1u << 2,
        kOperationMidiMessageSysEx = 1u << 3,
    };
    virtual ~UFMIDIClientInputPortDelegate() = default;
    virtual unsigned midiInputPortDelegateOperations() const = 0;
    virtual void midiInputPortMidiPacket(UFMIDIClientInputPort *, const MIDIPacket *, double) {}
    virtual void midiInputPortMidiMessageData(UFMIDIClientInputPort *, const tagUFMIDIMessage *, double) {}
    virtual void midiInputPortMidiMessageRealTime(UFMIDIClientInputPort *, const tagUFMIDISystemMessage *, double) {}
    virtual void midiInputPortMidiMessageSysEx(UFMIDIClientInputPort *, const tagUFMIDISysExMessage *, double) {}
};

class UFMIDIClientInputPort : public UFMIDIPort {
public:
    static std::unique_ptr<UFMIDIClientInputPort> inputPortWithClient(const UFMIDIClient &client,
                                                                      const QString &inputPortName);
    // Without a client reference the port is made without a Core MIDI port.
    UFMIDIClientInputPort(const UFMIDIClient &client, const QString &inputPortName);
    // A port with no Core MIDI port, for feeding packet lists by hand.
    UFMIDIClientInputPort();
    ~UFMIDIClientInputPort() override;

    void setDelegate(UFMIDIClientInputPortDelegate *delegate);
    UFMIDIClientInputPortDelegate *delegate() const { return mDelegate; }
    bool delegatePacketData() const { return mDelegatePacketData; }
    bool delegateMessageData() const { return mDelegateMessageData; }

    // Connects every source of the machine; answers how many connections succeeded.
    int connectAllMIDIInputSources() const;

    // What the read callback does with a packet list.
    void midiPacket(const MIDIPacketList *packetList, void *sourceConnection);
    void midiPacketData(const MIDIPacketList *packetList, void *sourceConnection);
    void midiPacketParser(const MIDIPacketList *packetList, void *sourceConnection);
    // "midiPacket: timeStamp:%9.3lf\t" and the bytes ("%d " below 127, else "0x%x ").
    static QString logMidiPacket(const MIDIPacket *packet);

    UFMIDIMessageParser *parser() const { return mParser.get(); }
    QString className() const override { return QStringLiteral("UFMIDIClientInputPort"); }

    // Seconds of a packet time stamp.
    static double secondsOfTimeStamp(MIDITimeStamp timeStamp) { return double(timeStamp) / 1000000000.0; }

private:
    static void readProc(const MIDIPacketList *packetList, void *readProcRefCon, void *srcConnRefCon);

    bool mDelegatePacketData = false;
    bool mDelegateMessageData = false;
    std::unique_ptr<UFMIDIMessageParser> mParser;
    UFMIDIClientInputPortDelegate *mDelegate = nullptr;
    double mPacketSeconds = 0.0;  // of the packet being parsed
};

class UFMIDIClientOutputPort : public UFMIDIPort {
public:
    static std::unique_ptr<UFMIDIClientOutputPort> outputPortWithClient(const UFMIDIClient &client,
                                                                        const QString &outputPortName);
    UFMIDIClientOutputPort(const UFMIDIClient &client, const QString &outputPortName);

    // Sends the list to the endpoint; true on success.
    bool sendEndpoint(const UFMIDIEndpoint &endpoint, const MIDIPacketList *packetList) const;
    QString className() const override { return QStringLiteral("UFMIDIClientOutputPort"); }
};

class UFMIDIClient : public UFMIDIObject {
public:
    static std::unique_ptr<UFMIDIClient> midiClientWithName(const QString &name);
    // A failed creation keeps the object without a client reference.
    explicit UFMIDIClient(const QString &clientName);
    ~UFMIDIClient() override;  // disposes the client (and so its ports' subscriptions)

    // The status of the creation (noErr, or the Core MIDI error such as kMIDIServerStartErr).
    OSStatus creationStatus() const { return mCreationStatus; }

    void setDelegate(UFMIDIClientDelegate *delegate) { mDelegate = delegate; }
    UFMIDIClientDelegate *delegate() const { return mDelegate; }
    void midiNotificationMessage(const MIDINotification *message);

    // An input port of the class (UFMIDIClientInputPort or a subclass of it).
    template <typename PortClass = UFMIDIClientInputPort>
    std::unique_ptr<PortClass> inputPortWithName(const QString &name) const {
        return std::make_unique<PortClass>(*this, name);
    }

    MIDIObjectRef midiObject() const override { return mMidiClient; }
    MIDIClientRef midiClient() const { return mMidiClient; }
    QString midiClientName() const { return mMidiClientName; }
    QString className() const override { return QStringLiteral("UFMIDIClient"); }

private:
    static void notifyProc(const MIDINotification *message, void *refCon);

    UFMIDIClientDelegate *mDelegate = nullptr;
    QString mMidiClientName;
    MIDIClientRef mMidiClient = 0;
    OSStatus mCreationStatus = noErr;
};

class UFMIDINotePacketList {
public:
    // One packet: time 0, three bytes: (channel & 15) | 0x90 (on) or 0x80 (off), value & 127,
    // velocity & 127.
    static void packetListForNoteOn(MIDIPacketList *packetList, bool noteOn, unsigned noteChannel,
                                    unsigned noteValue, unsigned noteVelocity);
};

class UFMIDIChannel {
public:
    // True when the listen channel is 0 (all) or the message channel (0-15) plus 1.
    static bool inputChannelShouldRespondToMessage(int listenChannel, int messageChannel);
    // "**", "01" ... "16".
    static QStringList inputChannelNames();
    // "01" ... "16".
    static QStringList outputChannelNames();
};
