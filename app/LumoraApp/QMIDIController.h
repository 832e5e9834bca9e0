// QMIDIController: maps MIDI input onto the studio. A note takes a snapshot; two controllers
// set the effect amount and the effect parameter of the tweening; four controllers move the
// points of the vertical and the horizontal 1-D filter (one controller may move several).
//
// It is the delegate of the MIDI channel controller, so its two handlers run on the MIDI
// receiving thread:
//   - note: only a note on (velocity above 0; a note on with velocity 0 is a release) of the
//     snapshot note or the record note asks the application controller for a default snapshot:
//     "snapShotDefaults" with this controller as argument, sent on the main thread without
//     waiting. Any object that answers that selector can be the application controller (the
//     application delegate, or the camera view until the delegate exists); one that does not
//     answer it is left alone.
//   - control change: the value / 127 goes, directly on this thread, into the tweening's
//     amount or parameter (its values are atomics) and into the filter points; the points reach
//     the filters on the main queue. Messages are coalesced, never dropped: every message
//     stores its value at once, and each filter has at most one main-queue update waiting,
//     which hands over the latest point when it runs. A burst of messages (a sweep, or several
//     controllers in one packet) costs at most one update per filter and always ends on the
//     last value.
// Every value shared by the two threads (settings, points, outlets used on the MIDI thread)
// is an atomic.
//
// Settings persist (persistentObjectKeyPaths), the channel controller's listening channel
// among them.
#pragma once

#include "LumoraInterpolationController.h"
#include "UFMIDIInputController.h"

#include <CocoaFoundation/UPersistentObjectsController.h>
#include <CocoaGL/NSOGL1DTextureView.h>
#include <Foundation/NSObject.h>

#include <QPointF>
#include <QPointer>
#include <QStringList>

#include <atomic>

class QMIDIController : public NSObject, public UPersistentObject, public UFMIDIChannelInControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(QObject *outletAppController READ outletAppController WRITE setOutletAppController)
    Q_PROPERTY(QObject *outletMIDIChannelInController READ outletMIDIChannelInControllerObject WRITE
                   setOutletMIDIChannelInController)
    Q_PROPERTY(QObject *outletPersistenceController MEMBER outletPersistenceController)
    Q_PROPERTY(QObject *outletVerticalFilter READ outletVerticalFilterObject WRITE setOutletVerticalFilter)
    Q_PROPERTY(QObject *outletHorizontalFilter READ outletHorizontalFilterObject WRITE setOutletHorizontalFilter)
    Q_PROPERTY(QObject *outletInterpolationController READ outletInterpolationControllerObject WRITE
                   setOutletInterpolationController)
    Q_PROPERTY(bool midiEnabled READ midiEnabled WRITE setMidiEnabled)
    Q_PROPERTY(int midiNoteForSnapshot READ midiNoteForSnapshot WRITE setMidiNoteForSnapshot)
    Q_PROPERTY(int midiNoteForRecord READ midiNoteForRecord WRITE setMidiNoteForRecord)
    Q_PROPERTY(uint midiVerticalControlMessageX READ midiVerticalControlMessageX WRITE setMidiVerticalControlMessageX)
    Q_PROPERTY(uint midiVerticalControlMessageY READ midiVerticalControlMessageY WRITE setMidiVerticalControlMessageY)
    Q_PROPERTY(uint midiHorizontalControlMessageX READ midiHorizontalControlMessageX WRITE
                   setMidiHorizontalControlMessageX)
    Q_PROPERTY(uint midiHorizontalControlMessageY READ midiHorizontalControlMessageY WRITE
                   setMidiHorizontalControlMessageY)
    Q_PROPERTY(uint midiUserSliderOne READ midiUserSliderOne WRITE setMidiUserSliderOne)
    Q_PROPERTY(uint midiUserSliderTwo READ midiUserSliderTwo WRITE setMidiUserSliderTwo)
    Q_PROPERTY(QPointF midiVerticalNormal READ midiVerticalNormal WRITE setMidiVerticalNormal)
    Q_PROPERTY(QPointF midiHorizontalNormal READ midiHorizontalNormal WRITE setMidiHorizontalNormal)
    Q_PROPERTY(QStringList controlMessageNames READ controlMessageNames CONSTANT)

public:
    Q_INVOKABLE explicit QMIDIController(QObject *parent = nullptr);
    ~QMIDIController() override;

    // Outlets.
    QObject *outletAppController() const { return mAppController.load(); }
    void setOutletAppController(QObject *controller);
    UFMIDIChannelInController *outletMIDIChannelInController() const { return mChannelIn.data(); }
    QObject *outletMIDIChannelInControllerObject() const { return mChannelIn.data(); }
    void setOutletMIDIChannelInController(QObject *controller);
    QPointer<QObject> outletPersistenceController;
    NSOGLTexture1DViewNibbler *outletVerticalFilter() const { return mVerticalFilter.data(); }
    QObject *outletVerticalFilterObject() const { return mVerticalFilter.data(); }
    void setOutletVerticalFilter(QObject *filter);
    NSOGLTexture1DViewNibbler *outletHorizontalFilter() const { return mHorizontalFilter.data(); }
    QObject *outletHorizontalFilterObject() const { return mHorizontalFilter.data(); }
    void setOutletHorizontalFilter(QObject *filter);
    LumoraInterpolationController *outletInterpolationController() const { return mInterpolation.load(); }
    QObject *outletInterpolationControllerObject() const { return mInterpolation.load(); }
    void setOutletInterpolationController(QObject *controller);

    // Sets the defaults (points first), becomes the channel controller's delegate and
    // registers with the persistence controller.
    Q_INVOKABLE void awakeFromNib();

    QSet<QString> persistentObjectKeyPaths() const override;
    // "00" ... "127".
    QStringList controlMessageNames() const { return UFMIDIChannelInController::controlMessageNames(); }

    // The two handlers (MIDI thread).
    void midiChannelInNoteEvent(UFMIDIChannelInController *controller, const tagUFMIDINote *note) override;
    void midiChannelInControlChange(UFMIDIChannelInController *controller,
                                    const tagUFMIDIControlChange *control) override;

    // Hands the filter's current point to it on the main queue (at most one waiting update per
    // filter), as if the user had dragged there; nothing when the filter is not connected.
    void updateVerticalFilter();
    void updateHorizontalFilter();

    // Settings.
    bool midiEnabled() const { return mMidiEnabled.load(std::memory_order_relaxed); }
    void setMidiEnabled(bool enabled) { mMidiEnabled.store(enabled, std::memory_order_relaxed); }
    int midiNoteForSnapshot() const { return mNoteForSnapshot.load(std::memory_order_relaxed); }
    void setMidiNoteForSnapshot(int note) { mNoteForSnapshot.store(note, std::memory_order_relaxed); }
    int midiNoteForRecord() const { return mNoteForRecord.load(std::memory_order_relaxed); }
    void setMidiNoteForRecord(int note) { mNoteForRecord.store(note, std::memory_order_relaxed); }
    uint midiVerticalControlMessageX() const { return mVerticalX.load(std::memory_order_relaxed); }
    void setMidiVerticalControlMessageX(uint number) { mVerticalX.store(number, std::memory_order_relaxed); }
    uint midiVerticalControlMessageY() const { return mVerticalY.load(std::memory_order_relaxed); }
    void setMidiVerticalControlMessageY(uint number) { mVerticalY.store(number, std::memory_order_relaxed); }
    uint midiHorizontalControlMessageX() const { return mHorizontalX.load(std::memory_order_relaxed); }
    void setMidiHorizontalControlMessageX(uint number) { mHorizontalX.store(number, std::memory_order_relaxed); }
    uint midiHorizontalControlMessageY() const { return mHorizontalY.load(std::memory_order_relaxed); }
    void setMidiHorizontalControlMessageY(uint number) { mHorizontalY.store(number, std::memory_order_relaxed); }
    uint midiUserSliderOne() const { return mSliderOne.load(std::memory_order_relaxed); }
    void setMidiUserSliderOne(uint number) { mSliderOne.store(number, std::memory_order_relaxed); }
    uint midiUserSliderTwo() const { return mSliderTwo.load(std::memory_order_relaxed); }
    void setMidiUserSliderTwo(uint number) { mSliderTwo.store(number, std::memory_order_relaxed); }

    // The filter points, normalised.
    QPointF midiVerticalNormal() const;
    void setMidiVerticalNormal(QPointF point);
    QPointF midiHorizontalNormal() const;
    void setMidiHorizontalNormal(QPointF point);

private:
    struct AtomicPoint {
        std::atomic<float> x{0.5f};
        std::atomic<float> y{0.5f};
        // An update of the filter waits on the main queue.
        std::atomic<bool> updatePending{false};
    };
    void updateFilter(AtomicPoint &point, bool vertical);
    void handFilterPoint(AtomicPoint &point, bool vertical);

    // Read on the MIDI thread; cleared when the object goes.
    std::atomic<QObject *> mAppController{nullptr};
    QMetaObject::Connection mAppControllerDestroyed;
    QMetaObject::Connection mInterpolationDestroyed;
    QPointer<UFMIDIChannelInController> mChannelIn;
    QPointer<NSOGLTexture1DViewNibbler> mVerticalFilter;
    QPointer<NSOGLTexture1DViewNibbler> mHorizontalFilter;
    std::atomic<LumoraInterpolationController *> mInterpolation{nullptr};

    std::atomic<bool> mMidiEnabled{true};
    std::atomic<int> mNoteForSnapshot{60};
    std::atomic<int> mNoteForRecord{62};
    std::atomic<uint> mVerticalX{1};
    std::atomic<uint> mVerticalY{2};
    std::atomic<uint> mHorizontalX{2};
    std::atomic<uint> mHorizontalY{3};
    std::atomic<uint> mSliderOne{7};
    std::atomic<uint> mSliderTwo{6};
    AtomicPoint mVerticalNormal;
    AtomicPoint mHorizontalNormal;
};

bool import_QMIDIController();
