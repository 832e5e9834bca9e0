// The MIDI controller: notes to snapshots, controller numbers to the effect amount, the effect
// parameter and the filter points (one number reaching several), coalescing under a burst
// from the MIDI thread, persistence, and the whole path from a MIDI source: through a virtual
// source of the test where the machine has a sequencer, else by packets handed to the input
// port after checking the answers without a device.
#include <LumoraApp/LumoraInterpolationController.h>
#include <LumoraApp/QMIDIController.h>
#include <LumoraApp/UFMIDIInputController.h>
#include <LumoraApp/UFMIDIObject.h>

#include <CocoaGL/NSOGL1DFilterValues.h>
#include <CoreMIDI/MIDIEventCoding.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <QObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "sdk/RiradI/RiradITestApplication.h"

// The application controller's side of a snapshot request.
class SnapshotTaker : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void snapShotDefaults(QObject *sender) {
        ++snapshots;
        lastSender = sender;
    }
    int snapshots = 0;
    QObject *lastSender = nullptr;
};

namespace {

float Value(int controllerValue) {
    return float(controllerValue) / 127.0f;
}

class MIDIControllerTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        dispatch_main_queue_drain();
        channelIn.awakeFromNib();
        controller.setOutletAppController(&taker);
        controller.setOutletMIDIChannelInController(&channelIn);
        controller.setOutletInterpolationController(&tweening);
        controller.setOutletVerticalFilter(&verticalFilter);
        controller.setOutletHorizontalFilter(&horizontalFilter);
        controller.awakeFromNib();
        tweening.setInputEffectAmountNormal(0.5);
        tweening.setInputEffectParameterNormal(0.5);
    }

    // The bytes as one packet from a source, as the MIDI thread hands them over.
    void Receive(const std::vector<uint8_t> &bytes) {
        std::vector<uint8_t> storage = MIDIEventCoding::packetListForBytes(bytes, 0);
        channelIn.midiInputPort()->midiPacket(reinterpret_cast<const MIDIPacketList *>(storage.data()), nullptr);
    }
    void Control(unsigned number, unsigned value) {
        tagUFMIDIControlChange control{0.0, 0, uint8_t(number), uint8_t(value)};
        controller.midiChannelInControlChange(&channelIn, &control);
    }

    // The sample the filter holds where a point handed to it lands.
    static float SampleAt(NSOGLTexture1DViewNibbler &filter, QPointF point) {
        NSOGL1DTextureView *view = filter.textureView();
        const auto values = view->filter();
        const double along = view->isVertical() ? point.y() : point.x();
        const uint32_t n = values->valuesCount();
        const auto index = uint32_t(std::clamp(double(n) * along + 0.5, 0.0, double(n - 1)));
        return values->values()[index];
    }
    static float ValueOf(NSOGLTexture1DViewNibbler &filter, QPointF point) {
        return float(filter.textureView()->isVertical() ? point.x() : point.y());
    }

    SnapshotTaker taker;
    UFMIDIChannelInController channelIn;
    LumoraInterpolationController tweening;
    NSOGLTexture1DViewNibbler verticalFilter, horizontalFilter;
    QMIDIController controller;
};

TEST_F(MIDIControllerTest, NotesTakeSnapshots) {
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        bool enabled;
        int snapshots;
    };
    const Case cases[] = {
        {"the snapshot note pressed", {0x90, 60, 100}, true, 1},
        {"the record note pressed", {0x93, 62, 1}, true, 1},
        {"another note", {0x90, 61, 100}, true, 0},
        {"the snapshot note released", {0x80, 60, 64}, true, 0},
        // A release under running status is a note on of velocity 0: one press, one snapshot.
        {"press and release under running status", {0x90, 60, 100, 60, 0}, true, 1},
        {"two presses", {0x90, 60, 100, 60, 0, 60, 90, 60, 0}, true, 2},
        {"mapping off", {0x90, 60, 100}, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        taker.snapshots = 0;
        controller.setMidiEnabled(c.enabled);
        Receive(c.bytes);
        EXPECT_EQ(taker.snapshots, 0);  // asked for on the main thread, later
        dispatch_main_queue_drain();
        EXPECT_EQ(taker.snapshots, c.snapshots);
        if (c.snapshots > 0) EXPECT_EQ(taker.lastSender, &controller);
    }
}

TEST_F(MIDIControllerTest, AnApplicationControllerWithoutSnapshotsIsLeftAlone) {
    QObject plain;
    controller.setOutletAppController(&plain);
    Receive({0x90, 60, 100});
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    {
        auto gone = std::make_unique<SnapshotTaker>();
        controller.setOutletAppController(gone.get());
    }
    EXPECT_EQ(controller.outletAppController(), nullptr);
    Receive({0x90, 60, 100});
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
}

TEST_F(MIDIControllerTest, ControllersSetTheirTargets) {
    struct Mapping {
        uint sliderOne = 7, sliderTwo = 6, verticalX = 1, verticalY = 2, horizontalX = 2, horizontalY = 3;
    };
    struct Case {
        const char *name;
        Mapping mapping;
        unsigned number, value;
        double amount, parameter;
        QPointF vertical, horizontal;
    };
    Mapping allOnNine;
    allOnNine.sliderOne = allOnNine.sliderTwo = allOnNine.verticalX = allOnNine.verticalY = allOnNine.horizontalX =
        allOnNine.horizontalY = 9;
    const double v = Value(127), w = Value(32);
    const Case cases[] = {
        {"slider one: the effect amount", {}, 7, 127, v, 0.5, {0.5, 0.5}, {0.5, 0.5}},
        {"slider two: the effect parameter", {}, 6, 32, 0.5, w, {0.5, 0.5}, {0.5, 0.5}},
        {"controller 1: the vertical x", {}, 1, 127, 0.5, 0.5, {v, 0.5}, {0.5, 0.5}},
        {"controller 2: the vertical y and the horizontal x", {}, 2, 127, 0.5, 0.5, {0.5, v}, {v, 0.5}},
        {"controller 3: the horizontal y", {}, 3, 0, 0.5, 0.5, {0.5, 0.5}, {0.5, 0.0}},
        {"an unmapped controller", {}, 5, 127, 0.5, 0.5, {0.5, 0.5}, {0.5, 0.5}},
        {"one number on every target", allOnNine, 9, 32, w, w, {w, w}, {w, w}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        controller.awakeFromNib();
        tweening.setInputEffectAmountNormal(0.5);
        tweening.setInputEffectParameterNormal(0.5);
        controller.setMidiUserSliderOne(c.mapping.sliderOne);
        controller.setMidiUserSliderTwo(c.mapping.sliderTwo);
        controller.setMidiVerticalControlMessageX(c.mapping.verticalX);
        controller.setMidiVerticalControlMessageY(c.mapping.verticalY);
        controller.setMidiHorizontalControlMessageX(c.mapping.horizontalX);
        controller.setMidiHorizontalControlMessageY(c.mapping.horizontalY);
        Control(c.number, c.value);
        EXPECT_FLOAT_EQ(float(tweening.inputEffectAmountNormal()), float(c.amount));
        EXPECT_FLOAT_EQ(float(tweening.inputEffectParameterNormal()), float(c.parameter));
        EXPECT_FLOAT_EQ(float(controller.midiVerticalNormal().x()), float(c.vertical.x()));
        EXPECT_FLOAT_EQ(float(controller.midiVerticalNormal().y()), float(c.vertical.y()));
        EXPECT_FLOAT_EQ(float(controller.midiHorizontalNormal().x()), float(c.horizontal.x()));
        EXPECT_FLOAT_EQ(float(controller.midiHorizontalNormal().y()), float(c.horizontal.y()));
        dispatch_main_queue_drain();
    }
}

TEST_F(MIDIControllerTest, MappingOffChangesNothing) {
    controller.setMidiEnabled(false);
    Receive({0xB0, 7, 127, 1, 127, 2, 127, 3, 127, 6, 127});
    EXPECT_EQ(tweening.inputEffectAmountNormal(), 0.5);
    EXPECT_EQ(tweening.inputEffectParameterNormal(), 0.5);
    EXPECT_EQ(controller.midiVerticalNormal(), QPointF(0.5, 0.5));
    EXPECT_EQ(controller.midiHorizontalNormal(), QPointF(0.5, 0.5));
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
}

TEST_F(MIDIControllerTest, TwoKnobsInOnePacketBothCount) {
    // Microseconds apart, for different controllers: neither is lost.
    Receive({0xB0, 1, 16, 3, 32, 7, 100});
    EXPECT_FLOAT_EQ(float(controller.midiVerticalNormal().x()), Value(16));
    EXPECT_FLOAT_EQ(float(controller.midiHorizontalNormal().y()), Value(32));
    EXPECT_FLOAT_EQ(float(tweening.inputEffectAmountNormal()), Value(100));
    EXPECT_EQ(dispatch_main_queue_drain(), 2);  // one update per filter
    EXPECT_FLOAT_EQ(SampleAt(verticalFilter, controller.midiVerticalNormal()),
                    ValueOf(verticalFilter, controller.midiVerticalNormal()));
    EXPECT_FLOAT_EQ(SampleAt(horizontalFilter, controller.midiHorizontalNormal()),
                    ValueOf(horizontalFilter, controller.midiHorizontalNormal()));
}

TEST_F(MIDIControllerTest, ABurstIsCoalescedAndEndsOnTheLastValue) {
    // A sweep of every controller from the MIDI thread while the main thread keeps serving its
    // queue: at most one update per filter waits at any time, and the last values arrive.
    std::atomic<bool> done{false};
    std::thread midi([&] {
        for (int round = 0; round < 2000; ++round) {
            const uint8_t value = uint8_t(round % 128);
            Receive({0xB0, 1, value, 2, value, 3, value, 7, value, 6, value});
        }
        Receive({0xB0, 1, 100, 2, 40, 3, 90, 7, 11, 6, 22});
        done = true;
    });
    // Each drain runs what waits when it starts: never more than one update per filter.
    long most = 0;
    while (!done) most = std::max(most, dispatch_main_queue_drain());
    midi.join();
    most = std::max(most, dispatch_main_queue_drain());
    EXPECT_LE(most, 2);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);

    EXPECT_FLOAT_EQ(float(tweening.inputEffectAmountNormal()), Value(11));
    EXPECT_FLOAT_EQ(float(tweening.inputEffectParameterNormal()), Value(22));
    const QPointF vertical(Value(100), Value(40)), horizontal(Value(40), Value(90));
    EXPECT_EQ(controller.midiVerticalNormal(), vertical);
    EXPECT_EQ(controller.midiHorizontalNormal(), horizontal);
    EXPECT_FLOAT_EQ(SampleAt(verticalFilter, vertical), ValueOf(verticalFilter, vertical));
    EXPECT_FLOAT_EQ(SampleAt(horizontalFilter, horizontal), ValueOf(horizontalFilter, horizontal));
}

TEST_F(MIDIControllerTest, WithoutFiltersThePointsAreStillKept) {
    controller.setOutletVerticalFilter(nullptr);
    controller.setOutletHorizontalFilter(nullptr);
    Receive({0xB0, 1, 127, 3, 0});
    EXPECT_EQ(dispatch_main_queue_drain(), 2);
    EXPECT_EQ(controller.midiVerticalNormal(), QPointF(1.0, 0.5));
    EXPECT_EQ(controller.midiHorizontalNormal(), QPointF(0.5, 0.0));
}

TEST_F(MIDIControllerTest, SettingsComeBackAfterARelaunch) {
    controller.setMidiEnabled(false);
    controller.setMidiNoteForSnapshot(48);
    controller.setMidiNoteForRecord(50);
    controller.setMidiUserSliderOne(20);
    controller.setMidiUserSliderTwo(21);
    controller.setMidiVerticalControlMessageX(22);
    controller.setMidiVerticalControlMessageY(23);
    controller.setMidiHorizontalControlMessageX(24);
    controller.setMidiHorizontalControlMessageY(25);
    channelIn.setListenChannel(3);
    controller.persistentObjectSaveData();

    UFMIDIChannelInController relaunchedChannelIn;
    QMIDIController relaunched;
    relaunched.setOutletMIDIChannelInController(&relaunchedChannelIn);
    relaunched.awakeFromNib();
    relaunched.persistentObjectLoadData();
    EXPECT_FALSE(relaunched.midiEnabled());
    EXPECT_EQ(relaunched.midiNoteForSnapshot(), 48);
    EXPECT_EQ(relaunched.midiNoteForRecord(), 50);
    EXPECT_EQ(relaunched.midiUserSliderOne(), 20u);
    EXPECT_EQ(relaunched.midiUserSliderTwo(), 21u);
    EXPECT_EQ(relaunched.midiVerticalControlMessageX(), 22u);
    EXPECT_EQ(relaunched.midiVerticalControlMessageY(), 23u);
    EXPECT_EQ(relaunched.midiHorizontalControlMessageX(), 24u);
    EXPECT_EQ(relaunched.midiHorizontalControlMessageY(), 25u);
    EXPECT_EQ(relaunchedChannelIn.listenChannel(), 3);
    EXPECT_EQ(relaunchedChannelIn.delegate(), &relaunched);
}

// Waits, serving the main queue, until the condition holds (5 s at most).
template <typename Condition>
bool ServeMainQueueUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        dispatch_main_queue_drain();
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

TEST_F(MIDIControllerTest, ASourceOfTheMachineDrivesTheStudio) {
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0) {
        std::printf("[ sequencer ] a virtual source of the test plays to the controller\n");
        ASSERT_TRUE(channelIn.midiAvailable());
        UFMIDIClient player(QStringLiteral("Lumora test player"));
        ASSERT_NE(player.midiClient(), 0u);
        std::unique_ptr<UFMIDIEndpoint> source =
            UFMIDIEndpoint::sourceEndpointWithClient(player, QStringLiteral("Lumora test keys"));
        ASSERT_NE(source, nullptr);
        // Connected at once (the setup-changed notification connects it too, a little later).
        ASSERT_TRUE(channelIn.midiInputPort()->connectSource(*source));
        std::vector<uint8_t> storage = MIDIEventCoding::packetListForBytes({0x90, 60, 100, 60, 0, 0xB0, 7, 127}, 0);
        ASSERT_TRUE(source->receivedMIDIPacketList(reinterpret_cast<const MIDIPacketList *>(storage.data())));
        EXPECT_TRUE(ServeMainQueueUntil(
            [&] { return taker.snapshots == 1 && tweening.inputEffectAmountNormal() == double(Value(127)); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        dispatch_main_queue_drain();
        EXPECT_EQ(taker.snapshots, 1);  // the release took none
    } else {
        std::printf("[ no sequencer ] the controller runs without MIDI; packets are handed in by hand\n");
        EXPECT_FALSE(channelIn.midiAvailable());
        ASSERT_NE(channelIn.midiClient(), nullptr);
        EXPECT_EQ(channelIn.midiClient()->creationStatus(), kMIDIServerStartErr);
        EXPECT_EQ(channelIn.midiClient()->midiClient(), 0u);
        ASSERT_NE(channelIn.midiInputPort(), nullptr);
        EXPECT_EQ(channelIn.midiInputPort()->midiPort(), 0u);
        EXPECT_EQ(channelIn.midiInputPort()->connectAllMIDIInputSources(), 0);
        EXPECT_TRUE(UFMIDIEndpoint::sources().empty());
        EXPECT_TRUE(UFMIDIEndpoint::destinations().empty());
        EXPECT_EQ(UFMIDIEndpoint::destinationEndpointWithName(QStringLiteral("anything")), nullptr);
        EXPECT_EQ(UFMIDIEndpoint::endpointWithUniqueID(0x40000100), nullptr);
        EXPECT_EQ(UFMIDIEndpoint::sourceEndpointWithClient(*channelIn.midiClient(), QStringLiteral("keys")), nullptr);
        UFMIDIEndpoint remembered(0x40000100);
        EXPECT_EQ(remembered.uniqueID(), 0);
        EXPECT_TRUE(remembered.midiProperties(true).isEmpty());
        EXPECT_EQ(remembered.displayName(), "UFMIDIEndpoint midiObject:40000100");
        UFMIDIClientOutputPort output(*channelIn.midiClient(), QStringLiteral("out"));
        std::vector<uint8_t> storage(sizeof(MIDIPacketList));
        UFMIDINotePacketList::packetListForNoteOn(reinterpret_cast<MIDIPacketList *>(storage.data()), true, 0, 60, 1);
        EXPECT_FALSE(output.sendEndpoint(remembered, reinterpret_cast<const MIDIPacketList *>(storage.data())));
        // The rest of the path works the same when packets arrive.
        Receive({0x90, 60, 100, 60, 0, 0xB0, 7, 127});
        dispatch_main_queue_drain();
        EXPECT_EQ(taker.snapshots, 1);
        EXPECT_FLOAT_EQ(float(tweening.inputEffectAmountNormal()), Value(127));
    }
}

}  // namespace

#include "MIDIControllerTests.moc"
