// The conversions between MIDI bytes and sequencer events that the send and receive paths of
// the layer use, reachable without a sequencer (they need none).
#pragma once

#include <CoreMIDI/MIDIServices.h>

#include <vector>

namespace MIDIEventCoding {

// The bytes encoded into sequencer events (as MIDISend and MIDIReceived do), each event then
// decoded back into bytes (as the receiving thread does): one entry per event.
std::vector<std::vector<UInt8>> roundTrip(const std::vector<UInt8> &bytes);

// The packet list the receiving thread hands out for the bytes of one event: packets of at
// most 256 bytes, all stamped with the time. The list's storage.
std::vector<UInt8> packetListForBytes(const std::vector<UInt8> &bytes, MIDITimeStamp time);

}  // namespace MIDIEventCoding
