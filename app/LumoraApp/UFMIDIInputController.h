// UFMIDIInputController: listens to every MIDI source of the machine through one client and
// one input port, and connects the sources again whenever the MIDI setup changes.
// UFMIDIChannelInController: decodes the note on/off and control-change messages of one
// listening channel (or all) into two records, announces them by key-value observing and
// hands them to its delegate.
//
// Threads. The decoding, the announcements and the delegate calls run on the MIDI receiving
// thread. The records and the listening channel are read and written across threads, so their
// fields are atomics (each field stands alone; a reader on the main thread may see a record
// half way through an update, never a torn value). The delegate is called under a lock that
// setDelegate takes too, so a delegate that unsets itself is not called afterwards; the
// controllers stop MIDI input (joining the receiving thread) before their members go.
//
// Without a MIDI service the client has no reference and the port no Core MIDI port: nothing
// arrives and the application goes on without MIDI (midiAvailable is false). Packets can still
// be handed to midiInputPort() by hand.
#pragma once

#include "UFMIDIObject.h"

#include <Foundation/NSObject.h>

#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

struct tagUFMIDINote {
    double messageTime;  // seconds
    uint8_t channelNumber;  // 0-15
    int8_t noteOn;          // boolean
    uint8_t noteValue;
    uint8_t noteVelocity;
};

struct tagUFMIDIControlChange {
    double messageTime;  // seconds
    uint8_t channelNumber;  // 0-15
    uint8_t controlMessage;
    uint8_t controlValue;
};

class UFMIDIInputController : public NSObject, public UFMIDIClientDelegate, public UFMIDIClientInputPortDelegate {
    Q_OBJECT
    Q_PROPERTY(QString outletInputPortName READ outletInputPortName WRITE setOutletInputPortName)
    Q_PROPERTY(bool midiAvailable READ midiAvailable)

public:
    Q_INVOKABLE explicit UFMIDIInputController(QObject *parent = nullptr);
    ~UFMIDIInputController() override;

    QString outletInputPortName() const { return mOutletInputPortName; }
    void setOutletInputPortName(const QString &name) { mOutletInputPortName = name; }

    // The class name.
    QString midiClientName() const { return className(); }
    // Makes the client; when it was made, the input port, and connects every source.
    Q_INVOKABLE void awakeFromNib();

    UFMIDIClient *midiClient() const { return mMidiClient.get(); }
    UFMIDIClientInputPort *midiInputPort() const { return mMidiInputPort.get(); }
    // True when the client reached the MIDI service.
    bool midiAvailable() const { return mMidiClient && mMidiClient->midiClient() != 0; }

    // The setup changed (message 1): connect every source again.
    void midiClientNotificationMessage(UFMIDIClient *client, const MIDINotification *message) override;

    unsigned midiInputPortDelegateOperations() const override { return kOperationMidiPacket; }
    // Nothing.
    void midiInputPortMidiPacket(UFMIDIClientInputPort *port, const MIDIPacket *packet, double seconds) override;

protected:
    // Ends MIDI input: the client first (its receiving thread is joined, so no callback is
    // running or comes later), then the port. Subclasses call it from their destructor, before
    // their own members go.
    void stopMIDI();

private:
    QString mOutletInputPortName;
    std::unique_ptr<UFMIDIClient> mMidiClient;
    std::unique_ptr<UFMIDIClientInputPort> mMidiInputPort;
};

class UFMIDIChannelInController;

// What the channel controller's delegate answers (on the MIDI thread).
class UFMIDIChannelInControllerDelegate {
public:
    virtual ~UFMIDIChannelInControllerDelegate() = default;
    virtual void midiChannelInNoteEvent(UFMIDIChannelInController *controller, const tagUFMIDINote *note) = 0;
    virtual void midiChannelInControlChange(UFMIDIChannelInController *controller,
                                            const tagUFMIDIControlChange *control) = 0;
};

class UFMIDIChannelInController : public UFMIDIInputController {
    Q_OBJECT
    Q_PROPERTY(int listenChannel READ listenChannel WRITE setListenChannel)
    Q_PROPERTY(QStringList listenChannelNames READ listenChannelNames CONSTANT)
    Q_PROPERTY(double midiNoteTime READ midiNoteTime)
    Q_PROPERTY(int midiNoteChannel READ midiNoteChannel)
    Q_PROPERTY(int midiNoteValue READ midiNoteValue)
    Q_PROPERTY(int midiNoteVelocity READ midiNoteVelocity)
    Q_PROPERTY(bool midiNoteOn READ midiNoteOn)
    Q_PROPERTY(int midiControlChannel READ midiControlChannel)
    Q_PROPERTY(int midiControlMessage READ midiControlMessage)
    Q_PROPERTY(int midiControlValue READ midiControlValue)

public:
    Q_INVOKABLE explicit UFMIDIChannelInController(QObject *parent = nullptr);
    ~UFMIDIChannelInController() override;

    // Setting the delegate waits for a call of the old one in progress on the MIDI thread.
    void setDelegate(UFMIDIChannelInControllerDelegate *delegate);
    UFMIDIChannelInControllerDelegate *delegate() const { return mDelegate.load(); }

    // 0: every channel; 1-16: that channel only. Values outside are clamped.
    int listenChannel() const { return mListenChannel.load(std::memory_order_relaxed); }
    void setListenChannel(int channel);

    QStringList listenChannelNames() const { return UFMIDIChannel::inputChannelNames(); }
    // "00" ... "127".
    static QStringList controlMessageNames();

    tagUFMIDINote lastNote() const;
    tagUFMIDIControlChange lastControl() const;
    double midiNoteTime() const { return mNoteTime.load(std::memory_order_relaxed); }
    int midiNoteChannel() const { return mNoteChannel.load(std::memory_order_relaxed); }
    int midiNoteValue() const { return mNoteValue.load(std::memory_order_relaxed); }
    int midiNoteVelocity() const { return mNoteVelocity.load(std::memory_order_relaxed); }
    bool midiNoteOn() const { return mNoteOn.load(std::memory_order_relaxed); }
    int midiControlChannel() const { return mControlChannel.load(std::memory_order_relaxed); }
    int midiControlMessage() const { return mControlMessage.load(std::memory_order_relaxed); }
    int midiControlValue() const { return mControlValue.load(std::memory_order_relaxed); }

    unsigned midiInputPortDelegateOperations() const override {
        return kOperationMidiPacket | kOperationMidiMessageData;
    }
    // Decodes note on/off (a note on with velocity 0 is a note off, as MIDI defines it) and
    // control change of the listening channel; other messages are ignored.
    void midiInputPortMidiMessageData(UFMIDIClientInputPort *port, const tagUFMIDIMessage *message,
                                      double seconds) override;

private:
    std::atomic<UFMIDIChannelInControllerDelegate *> mDelegate{nullptr};
    std::recursive_mutex mDelegateMutex;  // held while the delegate is called
    std::atomic<int> mListenChannel{0};
    std::atomic<double> mNoteTime{0.0};
    std::atomic<int> mNoteChannel{0};
    std::atomic<int> mNoteValue{0};
    std::atomic<int> mNoteVelocity{0};
    std::atomic<bool> mNoteOn{false};
    std::atomic<double> mControlTime{0.0};
    std::atomic<int> mControlChannel{0};
    std::atomic<int> mControlMessage{0};
    std::atomic<int> mControlValue{0};
};

bool import_UFMIDIInputController();
