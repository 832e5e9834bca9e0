// The MIDI layer: packet lists, the byte <-> sequencer-event conversions of the send and
// receive paths, and either the sequencer end to end (a virtual source of the test reaching an
// input port, the setup-changed notification, properties) or, on a machine without a
// sequencer, the answers the layer gives then. The test prints which of the two ran.
#include <CoreMIDI/CoreMIDI.h>
#include <CoreMIDI/MIDIEventCoding.h>

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<UInt8>;

bool SequencerPresent() {
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
}

Bytes PacketBytes(const MIDIPacket *packet) {
    return Bytes(packet->data, packet->data + packet->length);
}

TEST(MIDIPacketList, PacketsFollowEachOtherAfterTheirBytes) {
    std::vector<UInt8> storage(64);
    auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
    MIDIPacket *packet = MIDIPacketListInit(list);
    EXPECT_EQ(list->numPackets, 0u);
    const UInt8 note[3] = {0x90, 0x3C, 0x40};
    const UInt8 clock[1] = {0xF8};
    packet = MIDIPacketListAdd(list, storage.size(), packet, 111, sizeof(note), note);
    ASSERT_NE(packet, nullptr);
    MIDIPacket *second = MIDIPacketListAdd(list, storage.size(), packet, 222, sizeof(clock), clock);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(list->numPackets, 2u);
    // 4 bytes of count, then 8 + 2 bytes of header before each packet's data.
    EXPECT_EQ(reinterpret_cast<UInt8 *>(second) - storage.data(), 4 + 10 + 3);
    EXPECT_EQ(MIDIPacketNext(&list->packet[0]), second);
    EXPECT_EQ(second->timeStamp, 222u);
    EXPECT_EQ(PacketBytes(second), Bytes({0xF8}));

    // A packet that does not fit is refused and the list stays as it was.
    const std::vector<UInt8> large(64, 0x10);
    EXPECT_EQ(MIDIPacketListAdd(list, storage.size(), second, 333, large.size(), large.data()), nullptr);
    EXPECT_EQ(list->numPackets, 2u);
}

TEST(MIDIEventCoding, BytesSurviveTheSequencerEvents) {
    Bytes longSysEx{0xF0};
    for (int i = 0; i < 600; ++i) longSysEx.push_back(UInt8(i & 0x7F));
    longSysEx.push_back(0xF7);
    struct Case {
        const char *name;
        Bytes bytes;
        std::vector<Bytes> events;
    };
    const Case cases[] = {
        {"note on", {0x91, 0x3C, 0x40}, {{0x91, 0x3C, 0x40}}},
        {"running status gets its status back", {0x90, 0x3C, 0x40, 0x3E, 0x41}, {{0x90, 0x3C, 0x40}, {0x90, 0x3E, 0x41}}},
        // A release under running status stays a note on of velocity 0 (the parser's business).
        {"velocity 0", {0x90, 0x3C, 0x40, 0x3C, 0x00}, {{0x90, 0x3C, 0x40}, {0x90, 0x3C, 0x00}}},
        {"control change", {0xB2, 0x07, 0x7F}, {{0xB2, 0x07, 0x7F}}},
        {"program change", {0xC0, 0x05}, {{0xC0, 0x05}}},
        {"pitch bend, channel 16", {0xEF, 0x00, 0x40}, {{0xEF, 0x00, 0x40}}},
        {"clock", {0xF8}, {{0xF8}}},
        {"quarter frame", {0xF1, 0x25}, {{0xF1, 0x25}}},
        {"song position", {0xF2, 0x10, 0x20}, {{0xF2, 0x10, 0x20}}},
        {"long system exclusive", longSysEx, {longSysEx}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MIDIEventCoding::roundTrip(c.bytes), c.events);
    }
}

TEST(MIDIEventCoding, LongDataIsSplitInto256BytePackets) {
    Bytes bytes(600);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = UInt8(i & 0x7F);
    std::vector<UInt8> storage = MIDIEventCoding::packetListForBytes(bytes, 42);
    const auto *list = reinterpret_cast<const MIDIPacketList *>(storage.data());
    ASSERT_EQ(list->numPackets, 3u);
    Bytes joined;
    const MIDIPacket *packet = &list->packet[0];
    const UInt16 lengths[] = {256, 256, 88};
    for (UInt32 i = 0; i < list->numPackets; ++i) {
        EXPECT_EQ(packet->timeStamp, 42u);
        EXPECT_EQ(packet->length, lengths[i]);
        Bytes part = PacketBytes(packet);
        joined.insert(joined.end(), part.begin(), part.end());
        packet = MIDIPacketNext(packet);
    }
    EXPECT_EQ(joined, bytes);
    EXPECT_EQ(reinterpret_cast<const UInt8 *>(packet), storage.data() + storage.size());
}

// What the read procedure and the notification procedure receive.
struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Bytes> packets;
    std::vector<void *> connections;
    int setupChanges = 0;

    template <typename Predicate>
    bool waitFor(Predicate predicate) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return predicate(*this); });
    }
};

void ReadProc(const MIDIPacketList *list, void *refCon, void *connRefCon) {
    auto *received = static_cast<Received *>(refCon);
    std::lock_guard lock(received->mutex);
    const MIDIPacket *packet = &list->packet[0];
    for (UInt32 i = 0; i < list->numPackets; ++i) {
        received->packets.push_back(PacketBytes(packet));
        received->connections.push_back(connRefCon);
        packet = MIDIPacketNext(packet);
    }
    received->changed.notify_all();
}

void NotifyProc(const MIDINotification *message, void *refCon) {
    auto *received = static_cast<Received *>(refCon);
    std::lock_guard lock(received->mutex);
    if (message->messageID == kMIDIMsgSetupChanged) ++received->setupChanges;
    received->changed.notify_all();
}

void ExpectNoDeviceAnswers() {
    Received received;
    MIDIClientRef client = 123;
    EXPECT_EQ(MIDIClientCreate(CFSTR("Lumora test"), NotifyProc, &received, &client), kMIDIServerStartErr);
    EXPECT_EQ(client, 0u);
    EXPECT_EQ(MIDIGetNumberOfSources(), 0u);
    EXPECT_EQ(MIDIGetNumberOfDestinations(), 0u);
    EXPECT_EQ(MIDIGetSource(0), 0u);
    EXPECT_EQ(MIDIGetDestination(0), 0u);

    MIDIPortRef port = 7;
    EXPECT_EQ(MIDIInputPortCreate(client, CFSTR("in"), ReadProc, &received, &port), kMIDIInvalidClient);
    EXPECT_EQ(port, 0u);
    MIDIEndpointRef source = 7;
    EXPECT_EQ(MIDISourceCreate(client, CFSTR("out"), &source), kMIDIInvalidClient);
    EXPECT_EQ(source, 0u);
    EXPECT_EQ(MIDIPortConnectSource(port, 0x40000100u, nullptr), kMIDIInvalidPort);
    EXPECT_EQ(MIDIClientDispose(client), kMIDIInvalidClient);

    // A remembered endpoint (its reference or unique ID) is simply not there.
    SInt32 value = 5;
    EXPECT_EQ(MIDIObjectGetIntegerProperty(0x40000100u, kMIDIPropertyUniqueID, &value), kMIDIObjectNotFound);
    EXPECT_EQ(value, 0);
    CFStringRef name = CFSTR("x");
    EXPECT_EQ(MIDIObjectGetStringProperty(0x40000100u, kMIDIPropertyName, &name), kMIDIObjectNotFound);
    EXPECT_EQ(name, nullptr);
    MIDIObjectRef found = 9;
    MIDIObjectType type = kMIDIObjectType_Source;
    EXPECT_EQ(MIDIObjectFindByUniqueID(0x40000100, &found, &type), kMIDIObjectNotFound);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(type, kMIDIObjectType_Other);
    std::vector<UInt8> storage = MIDIEventCoding::packetListForBytes({0x90, 0x3C, 0x40}, 0);
    EXPECT_EQ(MIDIReceived(0x40000100u, reinterpret_cast<const MIDIPacketList *>(storage.data())),
              kMIDIUnknownEndpoint);
}

std::string StringProperty(MIDIObjectRef object, CFStringRef property) {
    CFStringRef value = nullptr;
    if (MIDIObjectGetStringProperty(object, property, &value) != noErr || value == nullptr) return {};
    char buffer[256] = {};
    CFStringGetCString(value, buffer, sizeof(buffer), kCFStringEncodingUTF8);
    CFRelease(value);
    return buffer;
}

void ExpectSequencerEndToEnd() {
    Received received;
    MIDIClientRef client = 0;
    ASSERT_EQ(MIDIClientCreate(CFSTR("Lumora test"), NotifyProc, &received, &client), noErr);
    MIDIPortRef port = 0;
    ASSERT_EQ(MIDIInputPortCreate(client, CFSTR("in"), ReadProc, &received, &port), noErr);
    const int changesBefore = [&] {
        std::lock_guard lock(received.mutex);
        return received.setupChanges;
    }();
    MIDIEndpointRef source = 0;
    ASSERT_EQ(MIDISourceCreate(client, CFSTR("Lumora test source"), &source), noErr);

    // The new port is announced as a change of the setup.
    EXPECT_TRUE(received.waitFor([&](Received &r) { return r.setupChanges > changesBefore; }));

    // The virtual source is one of the machine's sources, with its properties.
    bool listed = false;
    for (ItemCount i = 0; i < MIDIGetNumberOfSources(); ++i) listed = listed || MIDIGetSource(i) == source;
    EXPECT_TRUE(listed);
    EXPECT_EQ(StringProperty(source, kMIDIPropertyName), "Lumora test source");
    EXPECT_EQ(StringProperty(source, kMIDIPropertyDisplayName), "Lumora test source");
    SInt32 uniqueID = 0, offline = 1;
    EXPECT_EQ(MIDIObjectGetIntegerProperty(source, kMIDIPropertyUniqueID, &uniqueID), noErr);
    EXPECT_EQ(MIDIObjectGetIntegerProperty(source, kMIDIPropertyOffline, &offline), noErr);
    EXPECT_EQ(offline, 0);
    MIDIObjectRef found = 0;
    MIDIObjectType type = kMIDIObjectType_Other;
    EXPECT_EQ(MIDIObjectFindByUniqueID(uniqueID, &found, &type), noErr);
    EXPECT_EQ(found, source);
    EXPECT_EQ(type, kMIDIObjectType_Source);
    CFPropertyListRef properties = nullptr;
    ASSERT_EQ(MIDIObjectGetProperties(source, &properties, true), noErr);
    EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(properties)), 4);
    CFRelease(properties);

    // Notes and a controller sent from the virtual source reach the connected input port,
    // with the connection's reference constant.
    int connection = 0;
    ASSERT_EQ(MIDIPortConnectSource(port, source, &connection), noErr);
    EXPECT_EQ(MIDIPortConnectSource(port, source, &connection), noErr);  // again: no error
    std::vector<UInt8> storage(256);
    auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
    MIDIPacket *packet = MIDIPacketListInit(list);
    const UInt8 bytes[] = {0x90, 0x3C, 0x40, 0x3C, 0x00, 0xB0, 0x07, 0x7F};
    packet = MIDIPacketListAdd(list, storage.size(), packet, 0, sizeof(bytes), bytes);
    ASSERT_NE(packet, nullptr);
    ASSERT_EQ(MIDIReceived(source, list), noErr);
    ASSERT_TRUE(received.waitFor([](Received &r) { return r.packets.size() >= 3; }));
    {
        std::lock_guard lock(received.mutex);
        EXPECT_EQ(received.packets, (std::vector<Bytes>{{0x90, 0x3C, 0x40}, {0x90, 0x3C, 0x00}, {0xB0, 0x07, 0x7F}}));
        for (void *refCon : received.connections) EXPECT_EQ(refCon, &connection);
        received.packets.clear();
    }

    // Disconnected, the source no longer reaches the port.
    EXPECT_EQ(MIDIPortDisconnectSource(port, source), noErr);
    EXPECT_EQ(MIDIPortDisconnectSource(port, source), kMIDINoConnection);
    EXPECT_EQ(MIDIEndpointDispose(source), noErr);
    EXPECT_EQ(MIDIObjectGetIntegerProperty(source, kMIDIPropertyUniqueID, &uniqueID), kMIDIObjectNotFound);

    // A connected source that goes away and comes back (the sequencer gives it the same
    // address, so the same reference) is subscribed anew when connected again.
    MIDIEndpointRef first = 0;
    ASSERT_EQ(MIDISourceCreate(client, CFSTR("Lumora test again"), &first), noErr);
    ASSERT_EQ(MIDIPortConnectSource(port, first, &connection), noErr);
    const int changesBeforeExit = [&] {
        std::lock_guard lock(received.mutex);
        return received.setupChanges;
    }();
    ASSERT_EQ(MIDIEndpointDispose(first), noErr);
    EXPECT_TRUE(received.waitFor([&](Received &r) { return r.setupChanges > changesBeforeExit; }));
    MIDIEndpointRef second = 0;
    ASSERT_EQ(MIDISourceCreate(client, CFSTR("Lumora test again"), &second), noErr);
    ASSERT_EQ(MIDIPortConnectSource(port, second, &connection), noErr);
    const size_t before = [&] {
        std::lock_guard lock(received.mutex);
        return received.packets.size();
    }();
    ASSERT_EQ(MIDIReceived(second, list), noErr);
    EXPECT_TRUE(received.waitFor([&](Received &r) { return r.packets.size() >= before + 3; }));
    EXPECT_EQ(MIDIEndpointDispose(second), noErr);
    EXPECT_EQ(MIDIPortDispose(port), noErr);
    EXPECT_EQ(MIDIClientDispose(client), noErr);
    EXPECT_EQ(MIDIClientDispose(client), kMIDIInvalidClient);
}

TEST(MIDISequencer, ReachesTheInputPortOrAnswersWithoutADevice) {
    if (SequencerPresent()) {
        std::printf("[ sequencer ] /dev/snd/seq present: testing a virtual source end to end\n");
        ExpectSequencerEndToEnd();
    } else {
        std::printf("[ no sequencer ] /dev/snd/seq missing: testing the answers without a device\n");
        ExpectNoDeviceAnswers();
    }
}

TEST(MIDISequencer, EndpointReferencesOfTheWrongKindAreRefused) {
    // Whatever the machine: an output port takes no sources, an input port sends nothing,
    // and an endpoint that is no virtual source of ours cannot be disposed of.
    EXPECT_EQ(MIDISend(0, 0x50000100u, nullptr), kMIDIInvalidPort);
    EXPECT_EQ(MIDIPortConnectSource(0, 0, nullptr), kMIDIInvalidPort);
    EXPECT_EQ(MIDIEndpointDispose(0x50000100u), kMIDINotPermitted);
    EXPECT_EQ(MIDIEndpointDispose(0x12345678u), kMIDIUnknownEndpoint);
}

}  // namespace
