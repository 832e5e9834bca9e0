#include "UFMIDIInputController.h"

#include <CocoaFoundation/NSObject_MultipleKVO.h>

#include <algorithm>

NS_REGISTER_CLASS(UFMIDIInputController);
NS_REGISTER_CLASS(UFMIDIChannelInController);

// UFMIDIInputController

UFMIDIInputController::UFMIDIInputController(QObject *parent)
    : NSObject(parent), mOutletInputPortName(QStringLiteral("UFMIDIClientInputPort")) {}

UFMIDIInputController::~UFMIDIInputController() {
    stopMIDI();
}

void UFMIDIInputController::stopMIDI() {
    mMidiClient.reset();
    mMidiInputPort.reset();
}

void UFMIDIInputController::awakeFromNib() {
    mMidiClient = UFMIDIClient::midiClientWithName(midiClientName());
    if (!mMidiClient) {
        return;
    }
    mMidiClient->setDelegate(this);
    mMidiInputPort = mMidiClient->inputPortWithName<UFMIDIClientInputPort>(mOutletInputPortName);
    mMidiInputPort->setDelegate(this);
    mMidiInputPort->connectAllMIDIInputSources();
}

void UFMIDIInputController::midiClientNotificationMessage(UFMIDIClient *, const MIDINotification *message) {
    if (message != nullptr && message->messageID == kMIDIMsgSetupChanged && mMidiInputPort) {
        mMidiInputPort->connectAllMIDIInputSources();
    }
}

void UFMIDIInputController::midiInputPortMidiPacket(UFMIDIClientInputPort *, const MIDIPacket *, double) {}

// UFMIDIChannelInController

UFMIDIChannelInController::UFMIDIChannelInController(QObject *parent) : UFMIDIInputController(parent) {}

UFMIDIChannelInController::~UFMIDIChannelInController() {
    stopMIDI();
}

void UFMIDIChannelInController::setDelegate(UFMIDIChannelInControllerDelegate *delegate) {
    std::lock_guard lock(mDelegateMutex);
    mDelegate.store(delegate);
}

void UFMIDIChannelInController::setListenChannel(int channel) {
    mListenChannel.store(std::clamp(channel, 0, 16), std::memory_order_relaxed);
}

QStringList UFMIDIChannelInController::controlMessageNames() {
    QStringList names;
    for (int message = 0; message < 128; ++message) {
        names << QString::asprintf("%02d", message);
    }
    return names;
}

tagUFMIDINote UFMIDIChannelInController::lastNote() const {
    return tagUFMIDINote{midiNoteTime(), uint8_t(midiNoteChannel()), int8_t(midiNoteOn() ? 1 : 0),
                         uint8_t(midiNoteValue()), uint8_t(midiNoteVelocity())};
}

tagUFMIDIControlChange UFMIDIChannelInController::lastControl() const {
    return tagUFMIDIControlChange{mControlTime.load(std::memory_order_relaxed), uint8_t(midiControlChannel()),
                                  uint8_t(midiControlMessage()), uint8_t(midiControlValue())};
}

void UFMIDIChannelInController::midiInputPortMidiMessageData(UFMIDIClientInputPort *, const tagUFMIDIMessage *message,
                                                             double seconds) {
    if (message == nullptr) {
        return;
    }
    const int channel = message->messageStatus & 0x0F;
    if (!UFMIDIChannel::inputChannelShouldRespondToMessage(listenChannel(), channel)) {
        return;
    }
    std::lock_guard lock(mDelegateMutex);
    UFMIDIChannelInControllerDelegate *delegate = mDelegate.load();
    if (delegate == nullptr) {
        return;
    }
    const int kind = message->messageStatus & 0xF0;
    if (kind == 0xB0) {
        static const QSet<QString> keys{QStringLiteral("midiControlChannel"), QStringLiteral("midiControlMessage"),
                                        QStringLiteral("midiControlValue")};
        MultipleKVO::willChangeValueForMultipleKeys(this, keys);
        const tagUFMIDIControlChange control{seconds, uint8_t(channel), message->messageByte0, message->messageByte1};
        mControlTime.store(control.messageTime, std::memory_order_relaxed);
        mControlChannel.store(control.channelNumber, std::memory_order_relaxed);
        mControlMessage.store(control.controlMessage, std::memory_order_relaxed);
        mControlValue.store(control.controlValue, std::memory_order_relaxed);
        delegate->midiChannelInControlChange(this, &control);
        MultipleKVO::didChangeValueForMultipleKeys(this, keys);
    } else if (kind == 0x90 || kind == 0x80) {
        static const QSet<QString> keys{QStringLiteral("midiNoteTime"), QStringLiteral("midiNoteChannel"),
                                        QStringLiteral("midiNoteValue"), QStringLiteral("midiNoteVelocity"),
                                        QStringLiteral("midiNoteOn")};
        MultipleKVO::willChangeValueForMultipleKeys(this, keys);
        // A note on with velocity 0 is how running status releases a key: a note off.
        const bool on = kind == 0x90 && message->messageByte1 != 0;
        const tagUFMIDINote note{seconds, uint8_t(channel), int8_t(on ? 1 : 0), message->messageByte0,
                                 message->messageByte1};
        mNoteTime.store(note.messageTime, std::memory_order_relaxed);
        mNoteChannel.store(note.channelNumber, std::memory_order_relaxed);
        mNoteValue.store(note.noteValue, std::memory_order_relaxed);
        mNoteVelocity.store(note.noteVelocity, std::memory_order_relaxed);
        mNoteOn.store(on, std::memory_order_relaxed);
        MultipleKVO::didChangeValueForMultipleKeys(this, keys);
        delegate->midiChannelInNoteEvent(this, &note);
    }
}

bool import_UFMIDIInputController() { return true; }
