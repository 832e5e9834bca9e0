// The MIDI bytes other programs send us: the first byte picks the listening channel, then
// packets follow, each as a length byte and up to that many bytes. The packets go, as one
// packet list, through the input port's parser and the channel controller, and their bytes
// through the sequencer-event conversions of the receive path. Every report has the status
// range of its kind, system exclusive stays within its 1024 bytes and starts with 0xF0, and
// only the listening channel's notes and controllers are decoded.
#include "FuzzSupport.h"

#include <CoreMIDI/MIDIEventCoding.h>
#include <LumoraApp/UFMIDIInputController.h>
#include <LumoraApp/UFMIDIObject.h>

#include <vector>

namespace {

class CheckingChannelDelegate : public UFMIDIChannelInControllerDelegate {
public:
    int listenChannel = 0;
    void midiChannelInNoteEvent(UFMIDIChannelInController *, const tagUFMIDINote *note) override {
        LUMORA_CHECK(note->channelNumber < 16);
        LUMORA_CHECK(UFMIDIChannel::inputChannelShouldRespondToMessage(listenChannel, note->channelNumber));
        LUMORA_CHECK(note->noteValue < 128 && note->noteVelocity < 128);
        LUMORA_CHECK(!note->noteOn || note->noteVelocity > 0);
    }
    void midiChannelInControlChange(UFMIDIChannelInController *, const tagUFMIDIControlChange *control) override {
        LUMORA_CHECK(control->channelNumber < 16);
        LUMORA_CHECK(UFMIDIChannel::inputChannelShouldRespondToMessage(listenChannel, control->channelNumber));
        LUMORA_CHECK(control->controlMessage < 128 && control->controlValue < 128);
    }
};

class CheckingPortDelegate : public UFMIDIClientInputPortDelegate {
public:
    UFMIDIChannelInController *channelIn = nullptr;
    unsigned midiInputPortDelegateOperations() const override {
        return kOperationMidiPacket | kOperationMidiMessageData | kOperationMidiMessageRealTime |
               kOperationMidiMessageSysEx;
    }
    void midiInputPortMidiPacket(UFMIDIClientInputPort *, const MIDIPacket *packet, double) override {
        LUMORA_CHECK(!UFMIDIClientInputPort::logMidiPacket(packet).isEmpty());
    }
    void midiInputPortMidiMessageData(UFMIDIClientInputPort *port, const tagUFMIDIMessage *message,
                                      double seconds) override {
        LUMORA_CHECK(message->messageStatus >= 0x80 && message->messageStatus < 0xF0);
        LUMORA_CHECK(message->messageByte0 < 0x80 && message->messageByte1 < 0x80);
        channelIn->midiInputPortMidiMessageData(port, message, seconds);
    }
    void midiInputPortMidiMessageRealTime(UFMIDIClientInputPort *, const tagUFMIDISystemMessage *message,
                                          double) override {
        LUMORA_CHECK(message->messageStatus > 0xF0 && message->messageStatus != 0xF7);
        LUMORA_CHECK(message->messageByte0 < 0x80 && message->messageByte1 < 0x80);
    }
    void midiInputPortMidiMessageSysEx(UFMIDIClientInputPort *, const tagUFMIDISysExMessage *message,
                                       double) override {
        LUMORA_CHECK(message->messageLength >= 2 && message->messageLength <= kUFMIDISysExCapacity);
        LUMORA_CHECK(message->messageData[0] == 0xF0);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const int listenChannel = input.byte() % 17;

    std::vector<uint8_t> all;
    std::vector<uint8_t> storage(sizeof(MIDIPacketList) + size * 12);
    auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
    MIDIPacket *packet = MIDIPacketListInit(list);
    MIDITimeStamp time = 0;
    while (input.remaining() > 0) {
        size_t length = input.byte();
        std::vector<uint8_t> bytes;
        while (bytes.size() < length && input.remaining() > 0) bytes.push_back(input.byte());
        time += 1000000;
        packet = MIDIPacketListAdd(list, storage.size(), packet, time, bytes.size(), bytes.data());
        LUMORA_CHECK(packet != nullptr);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }

    UFMIDIChannelInController channelIn;
    CheckingChannelDelegate channelDelegate;
    channelDelegate.listenChannel = listenChannel;
    channelIn.setListenChannel(listenChannel);
    channelIn.setDelegate(&channelDelegate);
    UFMIDIClientInputPort port;
    CheckingPortDelegate portDelegate;
    portDelegate.channelIn = &channelIn;
    port.setDelegate(&portDelegate);
    port.midiPacket(list, nullptr);

    for (const std::vector<uint8_t> &event : MIDIEventCoding::roundTrip(all)) {
        std::vector<uint8_t> eventList = MIDIEventCoding::packetListForBytes(event, 0);
        port.midiPacket(reinterpret_cast<const MIDIPacketList *>(eventList.data()), nullptr);
    }
    return 0;
}
