// MIDI services on the ALSA sequencer: clients, input and output ports, the sources and
// destinations of the machine, connections, virtual sources of our own, packet lists and
// object properties.
//
// Objects. A client is one sequencer client of ours; its ports are sequencer ports of that
// client. A source is any readable, subscribable port of the sequencer (another client's or a
// virtual source of ours), a destination any writable, subscribable one; the system client's
// own ports are neither. Endpoint references name the sequencer address (client, port), so a
// source keeps its reference while it exists; its unique ID is that reference.
//
// Receiving. Each client has a thread that waits on its sequencer handle. Events that reach an
// input port from a connected source are turned back into MIDI bytes (full status on every
// message) and handed to the port's read procedure as a packet list: one event is one list,
// split into packets of at most 256 bytes (long system-exclusive data), stamped with the host
// time (mach_absolute_time, nanoseconds) at which the event was read. The read procedure gets
// the port's reference constant and the connection's. The port-announce events of the
// sequencer (clients and ports that come, go or change) become one "setup changed"
// notification (kMIDIMsgSetupChanged) per batch of events, on the same thread. The read and
// notification procedures of one client never run at the same time; disposing of a port or a
// client waits for a running procedure of that client to return, so it must not be called from
// within one of that client's procedures.
//
// Without a sequencer (no /dev/snd/seq: containers, machines without sound) creating a client
// fails with kMIDIServerStartErr, there are no sources or destinations, and every call on an
// endpoint answers kMIDIObjectNotFound: the caller goes on without MIDI.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/MacTypes.h>

#include <cstddef>
#include <cstdint>

typedef unsigned long ItemCount;

typedef UInt32 MIDIObjectRef;
typedef MIDIObjectRef MIDIClientRef;
typedef MIDIObjectRef MIDIPortRef;
typedef MIDIObjectRef MIDIEndpointRef;
typedef SInt32 MIDIUniqueID;
// Host time in nanoseconds (mach_absolute_time); 0 means "now".
typedef UInt64 MIDITimeStamp;

enum : OSStatus {
    kMIDIInvalidClient = -10830,
    kMIDIInvalidPort = -10831,
    kMIDIWrongEndpointType = -10832,
    kMIDINoConnection = -10833,
    kMIDIUnknownEndpoint = -10834,
    kMIDIUnknownProperty = -10835,
    kMIDIWrongPropertyType = -10836,
    kMIDINoCurrentSetup = -10837,
    kMIDIMessageSendErr = -10838,
    kMIDIServerStartErr = -10839,
    kMIDIObjectNotFound = -10842,
    kMIDINotPermitted = -10844,
};

typedef SInt32 MIDIObjectType;
enum : MIDIObjectType {
    kMIDIObjectType_Other = -1,
    kMIDIObjectType_Source = 2,
    kMIDIObjectType_Destination = 3,
};

// One packet: its bytes follow the length directly; the next packet starts right after them
// (MIDIPacketNext). Packed: a list is a byte stream.
struct __attribute__((packed)) MIDIPacket {
    MIDITimeStamp timeStamp;
    UInt16 length;
    UInt8 data[256];
};

struct __attribute__((packed)) MIDIPacketList {
    UInt32 numPackets;
    MIDIPacket packet[1];
};

// The packet after this one in its list.
inline MIDIPacket *MIDIPacketNext(const MIDIPacket *pkt) {
    return reinterpret_cast<MIDIPacket *>(const_cast<UInt8 *>(pkt->data) + pkt->length);
}

// Empties the list; answers its first packet.
MIDIPacket *MIDIPacketListInit(MIDIPacketList *pktlist);
// Appends a packet of nData bytes (at most 65535) after curPacket, the packet last answered
// by MIDIPacketListInit or MIDIPacketListAdd (each call adds one packet). Answers the packet
// written, or null when listSize bytes (counted from the start of the list) cannot hold it.
MIDIPacket *MIDIPacketListAdd(MIDIPacketList *pktlist, ByteCount listSize, MIDIPacket *curPacket,
                              MIDITimeStamp time, ByteCount nData, const UInt8 *data);

enum : SInt32 {
    kMIDIMsgSetupChanged = 1,
};

struct MIDINotification {
    SInt32 messageID;
    UInt32 messageSize;
};

typedef void (*MIDINotifyProc)(const MIDINotification *message, void *refCon);
typedef void (*MIDIReadProc)(const MIDIPacketList *pktlist, void *readProcRefCon, void *srcConnRefCon);

// Clients. The client's name is its sequencer client name.
OSStatus MIDIClientCreate(CFStringRef name, MIDINotifyProc notifyProc, void *notifyRefCon, MIDIClientRef *outClient);
OSStatus MIDIClientDispose(MIDIClientRef client);

// Ports of a client: an input port receives from the sources connected to it; an output port
// sends to destinations.
OSStatus MIDIInputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIReadProc readProc, void *refCon,
                             MIDIPortRef *outPort);
OSStatus MIDIOutputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIPortRef *outPort);
OSStatus MIDIPortDispose(MIDIPortRef port);
// A subscription of the input port to the source; connecting a connected source again only
// replaces its reference constant.
OSStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void *connRefCon);
OSStatus MIDIPortDisconnectSource(MIDIPortRef port, MIDIEndpointRef source);

// The sources and destinations of the machine at the time of the call, in sequencer order
// (client, then port); 0 without a sequencer. An index past the end answers 0.
ItemCount MIDIGetNumberOfSources();
MIDIEndpointRef MIDIGetSource(ItemCount sourceIndex0);
ItemCount MIDIGetNumberOfDestinations();
MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0);

// A virtual source of the client: a readable port that others (and our input ports) can
// connect to; MIDIReceived sends from it to every subscriber.
OSStatus MIDISourceCreate(MIDIClientRef client, CFStringRef name, MIDIEndpointRef *outSrc);
// Disposes of a virtual source of ours; any other endpoint answers kMIDINotPermitted.
OSStatus MIDIEndpointDispose(MIDIEndpointRef endpt);
OSStatus MIDIReceived(MIDIEndpointRef src, const MIDIPacketList *pktlist);
// Sends the bytes of every packet from the output port to the destination, at once (time
// stamps are not scheduled).
OSStatus MIDISend(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList *pktlist);

// Properties: name (string), displayName (string: the port name, preceded by the client name
// when the port name does not start with it), uniqueID (integer), offline (integer, 0 while
// the object exists). Clients and ports of ours answer their name, uniqueID and offline.
extern const CFStringRef kMIDIPropertyName;
extern const CFStringRef kMIDIPropertyDisplayName;
extern const CFStringRef kMIDIPropertyUniqueID;
extern const CFStringRef kMIDIPropertyOffline;

// The string is created for the caller (release it).
OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, CFStringRef propertyID, CFStringRef *str);
OSStatus MIDIObjectGetIntegerProperty(MIDIObjectRef obj, CFStringRef propertyID, SInt32 *outValue);
// A dictionary of every property of the object, created for the caller (deep changes nothing:
// the objects here have no children).
OSStatus MIDIObjectGetProperties(MIDIObjectRef obj, CFPropertyListRef *outProperties, Boolean deep);
// The existing source or destination with that unique ID.
OSStatus MIDIObjectFindByUniqueID(MIDIUniqueID inUniqueID, MIDIObjectRef *outObject, MIDIObjectType *outObjectType);
