#include "UFMIDIMessageParser.h"

#include <cstring>

std::unique_ptr<UFMIDIMessageParser> UFMIDIMessageParser::parserWithMessageCompletionBlock(
    UFMIDIMessageCompletionBlock block) {
    return std::make_unique<UFMIDIMessageParser>(std::move(block));
}

UFMIDIMessageParser::UFMIDIMessageParser(UFMIDIMessageCompletionBlock block) : mCompletionBlock(std::move(block)) {}

void UFMIDIMessageParser::parseNextPacket(const MIDIPacket *packet) {
    if (packet == nullptr) {
        return;
    }
    const uint16_t length = packet->length;
    const uint8_t *data = packet->data;
    for (uint16_t i = 0; i < length; ++i) {
        parseNextRawDataByteAnswerMessageSent(data[i]);
    }
}

bool UFMIDIMessageParser::parseNextRawDataByteAnswerMessageSent(uint8_t byte) {
    if (byte < 0x80) {
        return parseDataByteAnswerMessageSent(byte);
    }
    if (byte < 0xF0) {
        return parseStatusByteAnswerMessageSent(byte);
    }
    return parseSystemByteAnswerMessageSent(byte);
}

bool UFMIDIMessageParser::parseDataByteAnswerMessageSent(uint8_t byte) {
    switch (mState) {
        case kStateDataOne:
            mMessage.messageByte0 = byte;
            complete(kUFMIDIMessageKindData, &mMessage);
            return true;
        case kStateDataFirstOfTwo:
            mMessage.messageByte0 = byte;
            mState = kStateDataSecondOfTwo;
            return false;
        case kStateDataSecondOfTwo:
            mMessage.messageByte1 = byte;
            mState = kStateDataFirstOfTwo;
            complete(kUFMIDIMessageKindData, &mMessage);
            return true;
        case kStateSysEx:
            sysexPut7BITS(byte);
            return false;
        case kStateSystemDataOne:
            mSystem.messageByte0 = byte;
            mState = kStateIdle;
            complete(kUFMIDIMessageKindSystem, &mSystem);
            return true;
        case kStateSystemFirstOfTwo:
            mSystem.messageByte0 = byte;
            mState = kStateSystemSecondOfTwo;
            return false;
        case kStateSystemSecondOfTwo:
            mSystem.messageByte1 = byte;
            mState = kStateIdle;
            complete(kUFMIDIMessageKindSystem, &mSystem);
            return true;
        default:
            mState = kStateIdle;
            return false;
    }
}

bool UFMIDIMessageParser::parseStatusByteAnswerMessageSent(uint8_t byte) {
    mMessage = tagUFMIDIMessage{byte, 0, 0};
    // Program change and channel pressure carry one data byte, the others two.
    mState = (byte >= 0xC0 && byte <= 0xDF) ? kStateDataOne : kStateDataFirstOfTwo;
    return false;
}

bool UFMIDIMessageParser::parseSystemByteAnswerMessageSent(uint8_t byte) {
    switch (byte) {
        case 0xF0:
            mState = kStateSysEx;
            sysexClearData();
            sysexPutEXC();
            return false;
        case 0xF1:
        case 0xF3:
            mSystem = tagUFMIDISystemMessage{byte, 0, 0};
            mState = kStateSystemDataOne;
            return false;
        case 0xF2:
            mSystem = tagUFMIDISystemMessage{byte, 0, 0};
            mState = kStateSystemFirstOfTwo;
            return false;
        case 0xF6:
            mSystem = tagUFMIDISystemMessage{byte, 0, 0};
            mState = kStateIdle;
            complete(kUFMIDIMessageKindSystem, &mSystem);
            return true;
        case 0xF7:
            if (mState != kStateSysEx) {
                return false;
            }
            mState = kStateIdle;
            sysexPutEOX();
            complete(kUFMIDIMessageKindSysEx, &mSysex);
            return true;
        case 0xF4:
        case 0xF5:
            mState = kStateIdle;
            return false;
        case 0xFD:
            return false;
        default: {
            // Real time (0xF8-0xFC, 0xFE, 0xFF): reported in its own record, so a system-common
            // message being read keeps its bytes, and the state stays as it was.
            tagUFMIDISystemMessage realTime{byte, 0, 0};
            complete(kUFMIDIMessageKindSystem, &realTime);
            return true;
        }
    }
}

void UFMIDIMessageParser::sysexClearData() {
    std::memset(&mSysex, 0, sizeof(mSysex));
}

void UFMIDIMessageParser::sysexPutBYTE(uint8_t byte) {
    if (mSysex.messageLength < kUFMIDISysExCapacity) {
        mSysex.messageData[mSysex.messageLength++] = byte;
    }
}

void UFMIDIMessageParser::sysexPut7BITS(uint8_t byte) {
    sysexPutBYTE(byte);
}

void UFMIDIMessageParser::sysexPutEXC() {
    sysexPutBYTE(0xF0);
}

void UFMIDIMessageParser::sysexPutEOX() {
    sysexPutBYTE(0xF7);
}
