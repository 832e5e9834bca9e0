// The MIDI input layer: the byte-stream parser as one table (running status, real-time bytes
// inside messages and inside system exclusive, the 1024-byte cap, the system-common messages,
// packets split anywhere), the channel decoding (listening channel, velocity-0 releases), the
// input port's packet walk, and the small helpers.
#include <LumoraApp/UFMIDIInputController.h>
#include <LumoraApp/UFMIDIMessageParser.h>
#include <LumoraApp/UFMIDIObject.h>

#include <CoreMIDI/MIDIEventCoding.h>
#include <Foundation/NSException.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex(uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof(text), "%02x", byte);
    return text;
}

// "data 90 3c 40", "system f8 00 00", "sysex 5 f0..f7": one line per report.
std::string Describe(int kind, const void *record) {
    if (kind == kUFMIDIMessageKindSysEx) {
        const auto *sysex = static_cast<const tagUFMIDISysExMessage *>(record);
        std::string text = "sysex " + std::to_string(sysex->messageLength);
        if (sysex->messageLength > 0) {
            text += " " + Hex(sysex->messageData[0]) + ".." + Hex(sysex->messageData[sysex->messageLength - 1]);
        }
        return text;
    }
    const auto *message = static_cast<const tagUFMIDIMessage *>(record);
    return std::string(kind == kUFMIDIMessageKindData ? "data " : "system ") + Hex(message->messageStatus) + " " +
           Hex(message->messageByte0) + " " + Hex(message->messageByte1);
}

Bytes SysEx(size_t dataBytes) {
    Bytes bytes{0xF0};
    for (size_t i = 0; i < dataBytes; ++i) bytes.push_back(uint8_t(0x10 + i % 0x60));
    bytes.push_back(0xF7);
    return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes &part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

struct ParserCase {
    const char *name;
    std::vector<Bytes> packets;  // fed in turn to one parser
    std::vector<std::string> reports;
};

const ParserCase kParserCases[] = {
    {"running status: two notes from one status", {{0x90, 0x3C, 0x40, 0x3E, 0x40}},
     {"data 90 3c 40", "data 90 3e 40"}},
    {"a release under running status is reported as it came", {{0x90, 0x3C, 0x40, 0x3C, 0x00}},
     {"data 90 3c 40", "data 90 3c 00"}},
    {"pitch bend on channel 16 takes two data bytes", {{0xEF, 0x00, 0x40}}, {"data ef 00 40"}},
    {"program change takes one data byte, running", {{0xC5, 0x10, 0x11}}, {"data c5 10 00", "data c5 11 00"}},
    {"data bytes without a status are ignored", {{0x3C, 0x40, 0x90, 0x3C, 0x40}}, {"data 90 3c 40"}},
    // Real-time bytes may come anywhere and change nothing around them.
    {"a clock between the data bytes of a note", {{0x90, 0x3C, 0xF8, 0x40}}, {"system f8 00 00", "data 90 3c 40"}},
    {"a clock between running-status notes", {{0x90, 0x3C, 0x40, 0xF8, 0x3E, 0x40}},
     {"data 90 3c 40", "system f8 00 00", "data 90 3e 40"}},
    {"every real-time byte is reported", {{0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFE, 0xFF}},
     {"system f8 00 00", "system f9 00 00", "system fa 00 00", "system fb 00 00", "system fc 00 00",
      "system fe 00 00", "system ff 00 00"}},
    {"the undefined real-time byte 0xfd is ignored in place", {{0x90, 0x3C, 0xFD, 0x40}}, {"data 90 3c 40"}},
    {"a clock inside system exclusive", {{0xF0, 0x01, 0xF8, 0x02, 0xF7}}, {"system f8 00 00", "sysex 4 f0..f7"}},
    {"active sensing inside system exclusive, then running status is still gone",
     {{0xF0, 0x01, 0xFE, 0x02, 0xF7, 0x3C, 0x40}}, {"system fe 00 00", "sysex 4 f0..f7"}},
    {"system exclusive of 1024 bytes keeps its end", {SysEx(1022)}, {"sysex 1024 f0..f7"}},
    {"system exclusive of 1100 bytes is cut at 1024", {SysEx(1098)}, {"sysex 1024 f0..4e"}},
    {"a status byte abandons system exclusive", {{0xF0, 0x01, 0x02, 0x90, 0x3C, 0x40, 0xF7}}, {"data 90 3c 40"}},
    {"an end of exclusive on its own is ignored", {{0xF7, 0x90, 0x3C, 0x40}}, {"data 90 3c 40"}},
    // System-common messages carry their own status and end running status.
    {"quarter frame after a note", {{0x90, 0x3C, 0x40, 0xF1, 0x25, 0x3E, 0x40}},
     {"data 90 3c 40", "system f1 25 00"}},
    {"song position", {{0xF2, 0x10, 0x20}}, {"system f2 10 20"}},
    {"song select after a controller", {{0xB0, 0x07, 0x7F, 0xF3, 0x05, 0x06}}, {"data b0 07 7f", "system f3 05 00"}},
    {"a clock inside a song position", {{0xF2, 0x10, 0xF8, 0x20}}, {"system f8 00 00", "system f2 10 20"}},
    {"tune request", {{0x90, 0x3C, 0x40, 0xF6, 0x3E, 0x40}}, {"data 90 3c 40", "system f6 00 00"}},
    {"undefined 0xf4 and 0xf5 end running status", {{0x90, 0x3C, 0x40, 0xF4, 0x3E, 0x40, 0xF5}},
     {"data 90 3c 40"}},
    // Packets end anywhere: the state carries over.
    {"a note split over three packets", {{0x90}, {0x3C}, {0x40, 0x3E}, {0x40}}, {"data 90 3c 40", "data 90 3e 40"}},
    {"system exclusive split over packets", {{0xF0, 0x01}, {0x02}, {0xF7}}, {"sysex 4 f0..f7"}},
    {"a clock in its own packet inside a split note", {{0x90, 0x3C}, {0xF8}, {0x40}},
     {"system f8 00 00", "data 90 3c 40"}},
};

TEST(MIDIMessageParser, TheByteStream) {
    for (const ParserCase &c : kParserCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> reports;
        UFMIDIMessageParser parser([&](int kind, const void *record) { reports.push_back(Describe(kind, record)); });
        EXPECT_EQ(parser.state(), UFMIDIMessageParser::kStateIdle);
        size_t completed = 0;
        for (const Bytes &packet : c.packets) {
            for (uint8_t byte : packet) completed += parser.parseNextRawDataByteAnswerMessageSent(byte) ? 1 : 0;
        }
        EXPECT_EQ(reports, c.reports);
        EXPECT_EQ(completed, c.reports.size());
    }
}

TEST(MIDIMessageParser, CompletesWithoutABlockAndFeedsWholePackets) {
    UFMIDIMessageParser parser;
    EXPECT_FALSE(parser.parseNextRawDataByteAnswerMessageSent(0x90));
    EXPECT_FALSE(parser.parseNextRawDataByteAnswerMessageSent(0x3C));
    EXPECT_TRUE(parser.parseNextRawDataByteAnswerMessageSent(0x40));

    std::vector<std::string> reports;
    parser.setCompletionBlock([&](int kind, const void *record) { reports.push_back(Describe(kind, record)); });
    std::vector<uint8_t> storage = MIDIEventCoding::packetListForBytes({0x3E, 0x41, 0xF8}, 0);
    parser.parseNextPacket(&reinterpret_cast<const MIDIPacketList *>(storage.data())->packet[0]);
    EXPECT_EQ(reports, (std::vector<std::string>{"data 90 3e 41", "system f8 00 00"}));
}

// A delegate that records what the port hands it.
class RecordingPortDelegate : public UFMIDIClientInputPortDelegate {
public:
    explicit RecordingPortDelegate(unsigned operations) : mOperations(operations) {}
    unsigned midiInputPortDelegateOperations() const override { return mOperations; }
    void midiInputPortMidiPacket(UFMIDIClientInputPort *, const MIDIPacket *packet, double seconds) override {
        reports.push_back("packet " + std::to_string(packet->length) + " at " + std::to_string(seconds));
    }
    void midiInputPortMidiMessageData(UFMIDIClientInputPort *, const tagUFMIDIMessage *message,
                                      double seconds) override {
        reports.push_back(Describe(kUFMIDIMessageKindData, message) + " at " + std::to_string(seconds));
    }
    void midiInputPortMidiMessageRealTime(UFMIDIClientInputPort *, const tagUFMIDISystemMessage *message,
                                          double seconds) override {
        reports.push_back(Describe(kUFMIDIMessageKindSystem, message) + " at " + std::to_string(seconds));
    }
    void midiInputPortMidiMessageSysEx(UFMIDIClientInputPort *, const tagUFMIDISysExMessage *message,
                                       double seconds) override {
        reports.push_back(Describe(kUFMIDIMessageKindSysEx, message) + " at " + std::to_string(seconds));
    }
    std::vector<std::string> reports;

private:
    unsigned mOperations;
};

// Two packets in one list: a note cut in the middle, with its own time stamps.
std::vector<uint8_t> TwoPacketList() {
    std::vector<uint8_t> storage(64);
    auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
    MIDIPacket *packet = MIDIPacketListInit(list);
    const uint8_t first[] = {0xF0, 0x01, 0xF7, 0x90, 0x3C};
    const uint8_t second[] = {0x40, 0xF8};
    packet = MIDIPacketListAdd(list, storage.size(), packet, 1500000000, sizeof(first), first);
    MIDIPacketListAdd(list, storage.size(), packet, 2000000000, sizeof(second), second);
    return storage;
}

TEST(MIDIClientInputPort, HandsTheDelegateWhatItImplements) {
    using Delegate = UFMIDIClientInputPortDelegate;
    struct Case {
        const char *name;
        unsigned operations;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {"packets only: nothing is parsed", Delegate::kOperationMidiPacket,
         {"packet 5 at 1.500000", "packet 2 at 2.000000"}},
        {"messages, each with its packet's time", Delegate::kOperationMidiMessageData,
         {"data 90 3c 40 at 2.000000"}},
        {"every kind of message",
         Delegate::kOperationMidiMessageData | Delegate::kOperationMidiMessageRealTime |
             Delegate::kOperationMidiMessageSysEx,
         {"sysex 3 f0..f7 at 1.500000", "data 90 3c 40 at 2.000000", "system f8 00 00 at 2.000000"}},
        {"a delegate that implements nothing", 0, {}},
    };
    const std::vector<uint8_t> storage = TwoPacketList();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UFMIDIClientInputPort port;
        RecordingPortDelegate delegate(c.operations);
        port.setDelegate(&delegate);
        port.midiPacket(reinterpret_cast<const MIDIPacketList *>(storage.data()), nullptr);
        EXPECT_EQ(delegate.reports, c.reports);
    }
}

TEST(MIDIClientInputPort, ANullListRaises) {
    UFMIDIClientInputPort port;
    RecordingPortDelegate delegate(UFMIDIClientInputPortDelegate::kOperationMidiMessageData);
    port.setDelegate(&delegate);
    try {
        port.midiPacketParser(nullptr, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const NSException &exception) {
        EXPECT_EQ(exception.name(), "REQUIRED FAILED");
        EXPECT_EQ(exception.reason(), "result:0");
    }
}

TEST(MIDIClientInputPort, LogsAPacket) {
    std::vector<uint8_t> storage(32);
    auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
    const uint8_t bytes[] = {0x90, 0x7E, 0x7F, 0x00};
    MIDIPacket *packet = MIDIPacketListAdd(list, storage.size(), MIDIPacketListInit(list), 2500000000, 4, bytes);
    EXPECT_EQ(UFMIDIClientInputPort::logMidiPacket(packet), "midiPacket: timeStamp:    2.500\t0x90 126 0x7f 0 ");
}

TEST(MIDIHelpers, NotePacketsAndChannels) {
    struct Case {
        bool on;
        unsigned channel, value, velocity;
        Bytes bytes;
    };
    const Case cases[] = {
        {true, 0, 60, 100, {0x90, 60, 100}},
        {false, 15, 60, 0, {0x8F, 60, 0}},
        {true, 17, 200, 255, {0x91, 200 & 127, 127}},  // every field is masked
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> storage(sizeof(MIDIPacketList));
        auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
        UFMIDINotePacketList::packetListForNoteOn(list, c.on, c.channel, c.value, c.velocity);
        ASSERT_EQ(list->numPackets, 1u);
        EXPECT_EQ(list->packet[0].timeStamp, 0u);
        EXPECT_EQ(Bytes(list->packet[0].data, list->packet[0].data + list->packet[0].length), c.bytes);
    }
    EXPECT_TRUE(UFMIDIChannel::inputChannelShouldRespondToMessage(0, 9));
    EXPECT_TRUE(UFMIDIChannel::inputChannelShouldRespondToMessage(3, 2));
    EXPECT_FALSE(UFMIDIChannel::inputChannelShouldRespondToMessage(3, 3));
    EXPECT_EQ(UFMIDIChannel::inputChannelNames().size(), 17);
    EXPECT_EQ(UFMIDIChannel::inputChannelNames().front(), "**");
    EXPECT_EQ(UFMIDIChannel::inputChannelNames().back(), "16");
    EXPECT_EQ(UFMIDIChannel::outputChannelNames().front(), "01");
    const QStringList controls = UFMIDIChannelInController::controlMessageNames();
    ASSERT_EQ(controls.size(), 128);
    EXPECT_EQ(controls[0], "00");
    EXPECT_EQ(controls[7], "07");
    EXPECT_EQ(controls[127], "127");
}

class RecordingChannelDelegate : public UFMIDIChannelInControllerDelegate {
public:
    void midiChannelInNoteEvent(UFMIDIChannelInController *, const tagUFMIDINote *note) override {
        events.push_back("note ch" + std::to_string(note->channelNumber) + " " + std::to_string(note->noteValue) +
                         (note->noteOn ? " on " : " off ") + std::to_string(note->noteVelocity));
    }
    void midiChannelInControlChange(UFMIDIChannelInController *, const tagUFMIDIControlChange *control) override {
        events.push_back("control ch" + std::to_string(control->channelNumber) + " " +
                         std::to_string(control->controlMessage) + "=" + std::to_string(control->controlValue));
    }
    std::vector<std::string> events;
};

TEST(MIDIChannelInController, DecodesNotesAndControllersOfItsChannel) {
    struct Case {
        const char *name;
        int listenChannel;
        Bytes bytes;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"a press and its release under running status", 0, {0x90, 60, 100, 60, 0},
         {"note ch0 60 on 100", "note ch0 60 off 0"}},
        {"note off", 0, {0x85, 60, 64}, {"note ch5 60 off 64"}},
        {"control change", 0, {0xB1, 7, 127, 6, 0}, {"control ch1 7=127", "control ch1 6=0"}},
        {"listening to channel 3 takes status nibble 2 only", 3, {0x92, 60, 1, 0x93, 61, 1, 0xB1, 7, 1, 0xB2, 7, 2},
         {"note ch2 60 on 1", "control ch2 7=2"}},
        {"other messages are ignored", 0, {0xC0, 5, 0xE0, 0, 64, 0xA0, 60, 10, 0xF8}, {}},
        {"a quarter frame after a note is no note", 0, {0x90, 60, 100, 0xF1, 60, 100}, {"note ch0 60 on 100"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UFMIDIChannelInController controller;
        controller.awakeFromNib();
        RecordingChannelDelegate delegate;
        controller.setDelegate(&delegate);
        controller.setListenChannel(c.listenChannel);
        ASSERT_NE(controller.midiInputPort(), nullptr);
        std::vector<uint8_t> storage = MIDIEventCoding::packetListForBytes(c.bytes, 3000000000);
        controller.midiInputPort()->midiPacket(reinterpret_cast<const MIDIPacketList *>(storage.data()), nullptr);
        EXPECT_EQ(delegate.events, c.events);
    }
}

class KeyObserver : public NSObject {
public:
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &change, void *) override {
        seen.push_back(keyPath.toStdString() + "=" + change.value(NSKeyValueChangeNewKey).toString().toStdString());
    }
    std::vector<std::string> seen;
};

TEST(MIDIChannelInController, KeepsTheLastRecordsForTheInterface) {
    UFMIDIChannelInController controller;
    controller.awakeFromNib();
    RecordingChannelDelegate delegate;
    controller.setDelegate(&delegate);
    KeyObserver observer;
    controller.addObserver(&observer, QStringLiteral("midiNoteValue"), NSKeyValueObservingOptionNew);
    controller.addObserver(&observer, QStringLiteral("midiControlValue"), NSKeyValueObservingOptionNew);
    std::vector<uint8_t> storage = MIDIEventCoding::packetListForBytes({0x94, 62, 90, 62, 0, 0xB4, 2, 127}, 4000000000);
    controller.midiInputPort()->midiPacket(reinterpret_cast<const MIDIPacketList *>(storage.data()), nullptr);
    const tagUFMIDINote note = controller.lastNote();
    EXPECT_EQ(note.messageTime, 4.0);
    EXPECT_EQ(note.channelNumber, 4);
    EXPECT_EQ(note.noteValue, 62);
    EXPECT_EQ(note.noteVelocity, 0);
    EXPECT_FALSE(note.noteOn);
    EXPECT_EQ(controller.property("midiControlMessage").toInt(), 2);
    EXPECT_EQ(controller.property("midiControlValue").toInt(), 127);
    EXPECT_EQ(controller.property("midiControlChannel").toInt(), 4);
    // Announced for the interface, once per decoded message.
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"midiNoteValue=62", "midiNoteValue=62", "midiControlValue=127"}));
    controller.removeObserver(&observer, QStringLiteral("midiNoteValue"));
    controller.removeObserver(&observer, QStringLiteral("midiControlValue"));
    controller.setListenChannel(40);
    EXPECT_EQ(controller.listenChannel(), 16);
    EXPECT_EQ(controller.outletInputPortName(), "UFMIDIClientInputPort");
    EXPECT_EQ(controller.midiClientName(), "UFMIDIChannelInController");
}

}  // namespace
