// UFMIDIMessageParser: turns the byte stream of MIDI packets into complete messages, keeping
// running status across bytes and packets.
//
// Bytes: below 0x80 data, 0x80-0xEF channel status, 0xF0-0xFF system. Reports go to the
// completion block as (kind, record):
//   kind 0 (tagUFMIDIMessage): a channel message with its status and one or two data bytes.
//     After it the same status takes further data bytes (running status).
//   kind 1 (tagUFMIDISystemMessage): a system message with its own status:
//     - real-time bytes 0xF8-0xFC, 0xFE, 0xFF, with no data bytes. MIDI lets them appear
//       anywhere, even between the data bytes of another message or inside a system-exclusive
//       message: they are reported and leave the parser's state (running status, a half-read
//       message, the system-exclusive data) as it was. 0xFD is undefined and ignored the same way;
//     - the system-common messages 0xF1 (time-code quarter frame, one data byte), 0xF2 (song
//       position, two) and 0xF3 (song select, one), once their data bytes are in, and 0xF6
//       (tune request, none). System-common messages end running status.
//   kind 2 (tagUFMIDISysExMessage): a system-exclusive message from 0xF0 to 0xF7 inclusive. At
//     most 1024 bytes are kept; later ones (the end byte included) are dropped, the message is
//     still reported at its end.
// A channel status byte inside a system-exclusive message abandons it; 0xF7 outside one, 0xF4
// and 0xF5 are ignored (0xF4 and 0xF5 end running status). Data bytes with no status to
// belong to are ignored.
#pragma once

#include <CoreMIDI/MIDIServices.h>

#include <cstdint>
#include <functional>
#include <memory>

struct tagUFMIDIMessage {
    uint8_t messageStatus;
    uint8_t messageByte0;
    uint8_t messageByte1;
};

struct tagUFMIDISystemMessage {
    uint8_t messageStatus;
    uint8_t messageByte0;
    uint8_t messageByte1;
};

inline constexpr uint16_t kUFMIDISysExCapacity = 1024;

struct tagUFMIDISysExMessage {
    uint8_t messageStatus;
    uint16_t messageLength;
    uint8_t messageData[kUFMIDISysExCapacity];
};

// The kinds of completed message.
enum UFMIDIMessageKind : int {
    kUFMIDIMessageKindData = 0,
    kUFMIDIMessageKindSystem = 1,
    kUFMIDIMessageKindSysEx = 2,
};

// The record is a tagUFMIDIMessage, tagUFMIDISystemMessage or tagUFMIDISysExMessage by kind.
using UFMIDIMessageCompletionBlock = std::function<void(int kind, const void *record)>;

class UFMIDIMessageParser {
public:
    enum State : int {
        kStateDataOne = 0,           // one data byte of a channel message expected
        kStateDataFirstOfTwo = 1,    // the first of two
        kStateIdle = 2,              // no status: data bytes are ignored
        kStateDataSecondOfTwo = 3,   // the second of two
        kStateSysEx = 4,             // inside a system-exclusive message
        kStateSystemDataOne = 5,     // the one data byte of 0xF1 or 0xF3
        kStateSystemFirstOfTwo = 6,  // the first data byte of 0xF2
        kStateSystemSecondOfTwo = 7, // its second
    };

    static std::unique_ptr<UFMIDIMessageParser> parserWithMessageCompletionBlock(UFMIDIMessageCompletionBlock block);
    explicit UFMIDIMessageParser(UFMIDIMessageCompletionBlock block = {});

    // Every data byte of the packet in turn.
    void parseNextPacket(const MIDIPacket *packet);
    // One byte; true when it completed a message (whether or not a block is set).
    bool parseNextRawDataByteAnswerMessageSent(uint8_t byte);
    bool parseDataByteAnswerMessageSent(uint8_t byte);
    bool parseStatusByteAnswerMessageSent(uint8_t byte);
    bool parseSystemByteAnswerMessageSent(uint8_t byte);

    void sysexClearData();
    void sysexPutBYTE(uint8_t byte);
    void sysexPut7BITS(uint8_t byte);
    void sysexPutEXC();
    void sysexPutEOX();

    int state() const { return mState; }
    void setState(int state) { mState = state; }
    const UFMIDIMessageCompletionBlock &completionBlock() const { return mCompletionBlock; }
    void setCompletionBlock(UFMIDIMessageCompletionBlock block) { mCompletionBlock = std::move(block); }

    const tagUFMIDIMessage &message() const { return mMessage; }
    const tagUFMIDISystemMessage &system() const { return mSystem; }
    const tagUFMIDISysExMessage &sysex() const { return mSysex; }

private:
    void complete(int kind, const void *record) const {
        if (mCompletionBlock) {
            mCompletionBlock(kind, record);
        }
    }

    tagUFMIDIMessage mMessage{};
    tagUFMIDISystemMessage mSystem{};
    tagUFMIDISysExMessage mSysex{};
    UFMIDIMessageCompletionBlock mCompletionBlock;
    int mState = kStateIdle;
};
