// The camera grabber against the Sequence Grabber's test camera: its states from closed to
// recording to stopped and back, the digitizer rectangle, pacing of the retries, switching
// to the current camera, next and previous cameras, and errors (a camera pulled out while
// recording among them).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <CoreQ/QCameraGrabberBase.h>
#include <CoreQ/QGWorld.h>

#include "sdk/CoreQ/CameraTestSupport.h"
#include "sdk/CoreQ/DeviceListTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

typedef QCameraGrabberBase::CameraInput CameraInput;

constexpr Rect kSmallFrame = {0, 0, 120, 160};
constexpr Rect kLargeFrame = {0, 0, 240, 320};

std::string NameOf(const unsigned char *name) { return device_list_test::NameOf(name); }

bool SameRect(const Rect &a, const Rect &b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

// A grabber with a world of its own as frame buffer. It reads the number of each frame
// straight from the camera's '2vuy' data and notes the states it goes through.
class TestGrabber : public QCameraGrabberBase {
public:
    ~TestGrabber() override {
        Close();
        world.Dispose();
    }

    GWorldPtr GetFrameBufferGWorldPtr() override { return world.mGWorld; }

    bool CreateFrameBuffer(const Rect &frameRect, OSType pixelFormat) override {
        if (!world.IsSameSizeAndFormat(frameRect, pixelFormat)) {
            const ::Dimensions dimensions = {SInt16(frameRect.bottom - frameRect.top),
                                             SInt16(frameRect.right - frameRect.left)};
            if (!world.Construct(dimensions, pixelFormat)) return false;
        }
        mFrameBufferRect = frameRect;
        mFrameBufferPixelFormat = pixelFormat;
        return OnFrameBufferCreated();
    }

    void OnGrabberStateChanged(int state) override { states.push_back(state); }

    OSErr DefaultDataProc(Ptr data, long dataSize) override {
        if (dataProcResult != noErr) return dataProcResult;
        long rowBytes = 0;
        EXPECT_EQ(mCameraImageDesc.GetCodecType(), k2vuyPixelFormat);
        EXPECT_TRUE(mCameraImageDesc.GetExtension_rowb(rowBytes));
        EXPECT_GE(dataSize, rowBytes * mCameraImageDesc.GetHeight());
        if (dataSize < rowBytes * mCameraImageDesc.GetHeight()) return paramErr;
        frames.push_back(camera_test::ReadFrameNumber2vuy(reinterpret_cast<const uint8_t *>(data), rowBytes,
                                                          mCameraImageDesc.GetWidth()));
        return noErr;
    }

    // Idles until `count` more frames have arrived; false on an Idle error or after 5 s.
    bool IdleForFrames(size_t count, OSErr *error = nullptr) {
        const size_t wanted = frames.size() + count;
        OSErr err = noErr;
        const bool done = camera_test::Until([&] { return frames.size() >= wanted || err != noErr; },
                                             [&] { err = Idle(); });
        if (error != nullptr) *error = err;
        return done && err == noErr;
    }

    QGWorld world;
    std::vector<int> states;
    std::vector<uint32_t> frames;
    OSErr dataProcResult = noErr;
};

class QCameraGrabberBaseTest : public corex_test::DebugLogFileTest {
protected:
    // Opened on the test camera and recording, pacing off.
    void OpenAndRecord(TestGrabber &grabber, const Rect &frame = kSmallFrame) {
        grabber.SetFramePacing(false, 1.0f);
        ASSERT_EQ(grabber.OpenInitialize(frame, k32ARGBPixelFormat, nullptr), noErr);
        ASSERT_EQ(grabber.StartRecord(), noErr);
        ASSERT_TRUE(grabber.IdleForFrames(1));
    }

    camera_test::TestCameraScope mCamera;
};

TEST_F(QCameraGrabberBaseTest, GoesFromClosedToRecordingToStoppedAndRecordsAgain) {
    TestGrabber grabber;
    grabber.SetFramePacing(false, 1.0f);
    EXPECT_EQ(grabber.mComponent, nullptr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);

    ASSERT_EQ(grabber.OpenInitialize(kSmallFrame, k32ARGBPixelFormat, nullptr), noErr);
    EXPECT_NE(grabber.mComponent, nullptr);
    EXPECT_NE(grabber.mVideoChannel, nullptr);
    EXPECT_EQ(grabber.states, (std::vector<int>{1, 2}));
    // Prepared, not recording: idling delivers nothing.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(grabber.Idle(), noErr);
    EXPECT_TRUE(grabber.frames.empty());

    ASSERT_EQ(grabber.StartRecord(), noErr);
    EXPECT_EQ(grabber.mCameraImageDesc.GetCodecType(), k2vuyPixelFormat);
    EXPECT_EQ(grabber.mCameraImageDesc.GetWidth(), 160);
    EXPECT_EQ(grabber.mCameraImageDesc.GetHeight(), 120);
    ASSERT_TRUE(grabber.IdleForFrames(3));
    for (size_t i = 1; i < grabber.frames.size(); ++i) EXPECT_GT(grabber.frames[i], grabber.frames[i - 1]);

    ASSERT_EQ(grabber.StopRecord(), noErr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
    EXPECT_NE(grabber.mComponent, nullptr);
    const size_t stoppedAt = grabber.frames.size();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(grabber.Idle(), noErr);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(grabber.frames.size(), stoppedAt);

    // Recording again on a new channel; the camera counts from 0 again.
    ASSERT_EQ(grabber.ReopenCamera(nullptr), noErr);
    EXPECT_EQ(grabber.states, (std::vector<int>{1, 2, 1, 2}));
    ASSERT_TRUE(grabber.IdleForFrames(1));
    EXPECT_LT(grabber.frames[stoppedAt], 10u);

    EXPECT_EQ(grabber.Close(), noErr);
    EXPECT_EQ(grabber.mComponent, nullptr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabberBaseTest, TakesTheDigitizerRectangleFromTheFirstFrameOnly) {
    TestGrabber grabber;
    OpenAndRecord(grabber, kSmallFrame);
    EXPECT_TRUE(SameRect(grabber.mVDIGRequestRect, kSmallFrame));

    // Opening again while recording, with another rectangle: the frame buffer follows it,
    // the camera is still asked for the first one.
    ASSERT_EQ(grabber.OpenInitialize(kLargeFrame, k32ARGBPixelFormat, nullptr), noErr);
    EXPECT_TRUE(SameRect(grabber.mVDIGRequestRect, kSmallFrame));
    EXPECT_TRUE(grabber.world.IsSameSizeAndFormat(kLargeFrame, k32ARGBPixelFormat));
    ASSERT_EQ(grabber.StartRecord(), noErr);
    EXPECT_EQ(grabber.mCameraImageDesc.GetWidth(), 160);
    EXPECT_EQ(grabber.mCameraImageDesc.GetHeight(), 120);
    ASSERT_TRUE(grabber.IdleForFrames(1));
    // The open channel was disposed of before its component was closed.
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabberBaseTest, RetriesOpeningOnlyWhenMoreThanTheIntervalHasPassed) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    ASSERT_EQ(grabber.StopRecord(), noErr);
    ASSERT_EQ(grabber.mVideoChannel, nullptr);

    // Pacing off: never.
    grabber.mLastPaceTime = QCameraGrabberBase::CurrentMicroseconds() - 100e6;
    EXPECT_EQ(grabber.Idle(), noErr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);

    grabber.SetFramePacing(true, 1.0f);
    grabber.mLastPaceTime = QCameraGrabberBase::CurrentMicroseconds() - 0.9e6;
    EXPECT_EQ(grabber.Idle(), noErr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);

    const double before = QCameraGrabberBase::CurrentMicroseconds();
    grabber.mLastPaceTime = before - 1.1e6;
    EXPECT_EQ(grabber.Idle(), noErr);
    ASSERT_NE(grabber.mVideoChannel, nullptr);
    EXPECT_GE(grabber.mLastPaceTime, before);
    ASSERT_TRUE(grabber.IdleForFrames(2));  // recording again

    // Without a frame buffer nothing is retried.
    TestGrabber empty;
    empty.SetFramePacing(true, 0.0f);
    empty.mLastPaceTime = QCameraGrabberBase::CurrentMicroseconds() - 100e6;
    EXPECT_EQ(empty.Idle(), noErr);
    EXPECT_EQ(empty.mComponent, nullptr);
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabberBaseTest, AnIntervalOfZeroRetriesAsSoonAsAnyTimeHasPassed) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    ASSERT_EQ(grabber.StopRecord(), noErr);

    grabber.SetFramePacing(true, 0.0f);
    // No time has passed (the last retry is stamped later than now): not yet.
    grabber.mLastPaceTime = QCameraGrabberBase::CurrentMicroseconds() + 1e6;
    EXPECT_EQ(grabber.Idle(), noErr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);

    grabber.mLastPaceTime = QCameraGrabberBase::CurrentMicroseconds();
    EXPECT_TRUE(camera_test::Until([&] { return grabber.mVideoChannel != nullptr; },
                                   [&] { EXPECT_EQ(grabber.Idle(), noErr); }));
    EXPECT_TRUE(grabber.IdleForFrames(1));
    EXPECT_EQ(grabber.mPaceSeconds, 0.0f);
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabberBaseTest, RefusesIntervalsThatAreNegativeOrNotFinite) {
    TestGrabber grabber;
    grabber.SetFramePacing(true, 2.5f);
    for (float interval : {-1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        grabber.SetFramePacing(false, interval);
        EXPECT_FALSE(grabber.mPaceOpen);
        EXPECT_EQ(grabber.mPaceSeconds, 2.5f);
    }
    EXPECT_NE(LogText().find("VERIFY FAILED"), std::string::npos);
}

TEST_F(QCameraGrabberBaseTest, SwitchingToTheCurrentCameraChangesNothing) {
    TestGrabber grabber;
    OpenAndRecord(grabber);

    CameraInput current;
    ASSERT_TRUE(grabber.GetCurrentCamera(current));
    EXPECT_EQ(current.device, 0);
    EXPECT_EQ(current.input, 0);
    EXPECT_EQ(NameOf(current.deviceName), "Lumora Test Camera");
    EXPECT_EQ(NameOf(current.inputName), "Test Pattern");
    EXPECT_TRUE(grabber.IsThisTheCurrentCamera(current));

    const SGChannel channel = grabber.mVideoChannel;
    const std::vector<int> states = grabber.states;
    const uint32_t lastFrame = grabber.frames.back();
    EXPECT_EQ(grabber.SwitchToCamera(current), paramErr);
    EXPECT_EQ(grabber.mVideoChannel, channel);
    EXPECT_EQ(grabber.states, states);
    // Still recording, and not restarted: the frame numbers go on.
    ASSERT_TRUE(grabber.IdleForFrames(1));
    EXPECT_GT(grabber.frames.back(), lastFrame);
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabberBaseTest, RefusesToSwitchToACameraThatIsNotListed) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    const SGChannel channel = grabber.mVideoChannel;

    CameraInput missing;
    missing.Clear();
    missing.device = 9;
    device_list_test::SetName(missing.deviceName, "Gone");
    EXPECT_EQ(grabber.SwitchToCamera(missing), paramErr);
    EXPECT_EQ(grabber.mVideoChannel, channel);
    ASSERT_TRUE(grabber.IdleForFrames(1));
    EXPECT_NE(LogText().find("VERIFY FAILED"), std::string::npos);
}

TEST_F(QCameraGrabberBaseTest, FindsCamerasByTheirInputName) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    CameraInput found;
    ASSERT_TRUE(grabber.FindCameraNamed(found, "Test Pattern"));
    EXPECT_EQ(NameOf(found.deviceName), "Lumora Test Camera");
    EXPECT_FALSE(grabber.FindCameraNamed(found, "test pattern"));
    EXPECT_FALSE(grabber.FindCameraNamed(found, "Lumora Test Camera"));
    EXPECT_TRUE(found.IsDeviceEmpty());
    EXPECT_EQ(LogText(), "");
    EXPECT_FALSE(grabber.FindCameraNamed(found, nullptr));
}

TEST_F(QCameraGrabberBaseTest, ListsCamerasWithAndWithoutAnOpenChannel) {
    TestGrabber grabber;
    QSGDeviceList list;
    EXPECT_FALSE(grabber.GetCameraInputList(list));  // no component

    OpenAndRecord(grabber);
    ASSERT_TRUE(grabber.GetCameraInputList(list));
    CameraInput first;
    ASSERT_TRUE(list.GetFirstInput(first));
    EXPECT_EQ(NameOf(first.inputName), "Test Pattern");
    EXPECT_GE(grabber.CountCameras(), 1);

    ASSERT_EQ(grabber.StopRecord(), noErr);
    ASSERT_TRUE(grabber.GetCameraInputList(list));  // through a channel of its own
    ASSERT_TRUE(list.GetFirstInput(first));
    EXPECT_EQ(NameOf(first.deviceName), "Lumora Test Camera");
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
}

TEST_F(QCameraGrabberBaseTest, WithOneCameraNextAndPreviousDoNothing) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    if (grabber.CountCameras() != 1) GTEST_SKIP() << "other cameras are connected to this machine";
    const SGChannel channel = grabber.mVideoChannel;
    EXPECT_FALSE(grabber.UseNextCamera());
    EXPECT_FALSE(grabber.UsePrevCamera());
    EXPECT_EQ(grabber.mVideoChannel, channel);
}

TEST_F(QCameraGrabberBaseTest, ErrorsAreReportedAndReturned) {
    TestGrabber grabber;
    Rect rect = {};
    EXPECT_EQ(grabber.StartRecord(), paramErr);
    EXPECT_EQ(grabber.StopRecord(), paramErr);
    EXPECT_EQ(grabber.SetChannelBounds(rect), paramErr);
    EXPECT_EQ(grabber.Idle(), noErr);  // no frame buffer: nothing to do
    CameraInput camera;
    EXPECT_FALSE(grabber.GetCurrentCamera(camera));
    EXPECT_FALSE(grabber.GetFirstCamera(camera));
    EXPECT_EQ(grabber.CountCameras(), 0);

    // A grabber without a frame buffer world cannot set up its channel.
    QCameraGrabberBase bare;
    EXPECT_EQ(bare.OpenInitialize(kSmallFrame, k32ARGBPixelFormat, nullptr), paramErr);

    // An error of the data procedure ends that Idle with it; recording goes on.
    OpenAndRecord(grabber);
    grabber.dataProcResult = OSErr(-1234);
    OSErr err = noErr;
    EXPECT_FALSE(grabber.IdleForFrames(1, &err));
    EXPECT_EQ(err, -1234);
    grabber.dataProcResult = noErr;
    EXPECT_TRUE(grabber.IdleForFrames(1));
    EXPECT_NE(LogText().find("OSErr:-1234"), std::string::npos) << LogText();
}

TEST_F(QCameraGrabberBaseTest, RecoversFromACameraPulledOutWhileRecording) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    QSGDeviceList list;
    short devices = 0;
    ASSERT_TRUE(grabber.GetCameraInputList(list));
    ASSERT_TRUE(list.GetDeviceNameCount(devices));
    if (devices != 1) GTEST_SKIP() << "other cameras are connected to this machine";
    grabber.SetFramePacing(true, 0.0f);

    LumoraTestCameraSetUnplugged(true);
    OSErr err = noErr;
    EXPECT_FALSE(grabber.IdleForFrames(1, &err));
    EXPECT_EQ(err, noDeviceForChannel);

    // What the camera source does on an Idle error: stop, then start again. Starting
    // cannot succeed without a camera; the paced retries of Idle answer the device's error.
    EXPECT_EQ(grabber.StopRecord(), noErr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
    EXPECT_NE(grabber.StartRecord(), noErr);
    err = noErr;
    EXPECT_TRUE(camera_test::Until([&] { return err == noDeviceForChannel; }, [&] { err = grabber.Idle(); }));
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
    EXPECT_EQ(grabber.states.back(), QCameraGrabberBase::kGrabberState_NoCamera);

    // Plugged in again: the next retry opens it and frames flow.
    LumoraTestCameraSetUnplugged(false);
    EXPECT_TRUE(camera_test::Until([&] { return grabber.mVideoChannel != nullptr; }, [&] { grabber.Idle(); }));
    EXPECT_TRUE(grabber.IdleForFrames(2));
}

TEST_F(QCameraGrabberBaseTest, OpeningWithoutACameraFailsAndLeavesTheComponentOpen) {
    TestGrabber grabber;
    grabber.SetFramePacing(false, 1.0f);
    LumoraTestCameraSetUnplugged(true);
    const OSErr err = grabber.OpenInitialize(kSmallFrame, k32ARGBPixelFormat, nullptr);
    QSGDeviceList list;
    if (err != noDeviceForChannel && grabber.GetCameraInputList(list))
        GTEST_SKIP() << "other cameras are connected to this machine";
    EXPECT_EQ(err, noDeviceForChannel);
    EXPECT_NE(grabber.mComponent, nullptr);
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
    EXPECT_EQ(grabber.states, (std::vector<int>{QCameraGrabberBase::kGrabberState_NoCamera}));

    // Reopening when the camera is back: recording at once.
    LumoraTestCameraSetUnplugged(false);
    EXPECT_EQ(grabber.ReopenCamera(nullptr), noErr);
    EXPECT_TRUE(grabber.IdleForFrames(1));
}

TEST_F(QCameraGrabberBaseTest, ReopeningAClosedComponentRecordsAgain) {
    TestGrabber grabber;
    OpenAndRecord(grabber);
    ASSERT_EQ(grabber.StopRecord(), noErr);
    ASSERT_EQ(grabber.CloseIF(), noErr);  // the frame buffer stays
    ASSERT_EQ(grabber.mComponent, nullptr);

    grabber.SetFramePacing(true, 0.0f);
    EXPECT_TRUE(camera_test::Until([&] { return grabber.mComponent != nullptr; },
                                   [&] { EXPECT_EQ(grabber.Idle(), noErr); }));
    EXPECT_TRUE(grabber.IdleForFrames(2));
    EXPECT_EQ(LogText(), "");
}

// Next and previous cameras over a list of several cameras: the walks read a list made by
// hand, the switch is noted instead of made.
class ListGrabber : public QCameraGrabberBase {
public:
    explicit ListGrabber(const std::vector<int> &inputCounts) : built(inputCounts) {}

    bool GetFirstCamera(CameraInput &camera) override { return built.list.GetFirstInput(camera); }
    bool GetLastCamera(CameraInput &camera) override { return built.list.GetLastInput(camera); }
    bool GetNextCamera(CameraInput &camera) override { return built.list.GetNextInput(camera); }
    bool GetPrevCamera(CameraInput &camera) override { return built.list.GetPrevInput(camera); }
    bool GetCurrentCamera(CameraInput &camera) override {
        camera.Clear();
        if (!hasCurrent) return false;
        camera = current;
        return true;
    }
    OSErr SwitchToCamera(const CameraInput &camera) override {
        switchedTo.emplace_back(camera.device, camera.input);
        if (switchResult == noErr) current = camera;
        return switchResult;
    }

    // The camera at (device, input) becomes the current one.
    void SetCurrent(int device, int input) {
        current.Clear();
        current.device = short(device);
        current.input = short(input);
        ASSERT_TRUE(built.list.GetDeviceInputNames(current));
        hasCurrent = true;
    }

    device_list_test::HandBuiltList built;
    CameraInput current{};
    bool hasCurrent = false;
    OSErr switchResult = noErr;
    std::vector<std::pair<int, int>> switchedTo;
};

struct NextPrevCase {
    const char *name;
    std::vector<int> inputCounts;
    int currentDevice;  // -1: the current camera is not known
    int currentInput;
    bool next;
    bool switches;
    std::pair<int, int> to;
};

void PrintTo(const NextPrevCase &c, std::ostream *os) { *os << c.name; }

class QCameraGrabberNextPrevTest : public QCameraGrabberBaseTest, public ::testing::WithParamInterface<NextPrevCase> {};

TEST_P(QCameraGrabberNextPrevTest, SwitchesToTheNeighbourInTheList) {
    const NextPrevCase &c = GetParam();
    ListGrabber grabber(c.inputCounts);
    if (c.currentDevice >= 0) grabber.SetCurrent(c.currentDevice, c.currentInput);
    EXPECT_EQ(c.next ? grabber.UseNextCamera() : grabber.UsePrevCamera(), c.switches);
    if (c.switches) {
        EXPECT_EQ(grabber.switchedTo, (std::vector<std::pair<int, int>>{c.to}));
    } else {
        EXPECT_TRUE(grabber.switchedTo.empty());
    }
}

// Cameras of {1, 0, 2, 1}: (0, 0), (2, 0), (2, 1), (3, 0).
INSTANTIATE_TEST_SUITE_P(
    Cameras, QCameraGrabberNextPrevTest,
    ::testing::Values(NextPrevCase{"NextFromTheMiddle", {1, 0, 2, 1}, 2, 0, true, true, {2, 1}},
                      NextPrevCase{"NextAcrossADeviceWithoutInputs", {1, 0, 2, 1}, 0, 0, true, true, {2, 0}},
                      NextPrevCase{"NextFromTheLast", {1, 0, 2, 1}, 3, 0, true, false, {}},
                      NextPrevCase{"PrevFromTheMiddle", {1, 0, 2, 1}, 2, 1, false, true, {2, 0}},
                      NextPrevCase{"PrevAcrossADeviceWithoutInputs", {1, 0, 2, 1}, 2, 0, false, true, {0, 0}},
                      NextPrevCase{"PrevFromTheFirst", {1, 0, 2, 1}, 0, 0, false, false, {}},
                      NextPrevCase{"NextWithTheCurrentUnknown", {1, 0, 2, 1}, -1, 0, true, false, {}},
                      NextPrevCase{"PrevWithTheCurrentUnknown", {1, 0, 2, 1}, -1, 0, false, false, {}},
                      NextPrevCase{"NextWithOneCamera", {0, 1}, 1, 0, true, false, {}},
                      NextPrevCase{"PrevWithOneCamera", {0, 1}, 1, 0, false, false, {}}),
    [](const ::testing::TestParamInfo<NextPrevCase> &info) { return std::string(info.param.name); });

TEST_F(QCameraGrabberBaseTest, AFailedSwitchMakesNextAndPreviousFail) {
    ListGrabber grabber({2, 1});
    grabber.SetCurrent(0, 1);
    grabber.switchResult = noDeviceForChannel;
    EXPECT_FALSE(grabber.UseNextCamera());
    EXPECT_FALSE(grabber.UsePrevCamera());
    EXPECT_EQ(grabber.switchedTo, (std::vector<std::pair<int, int>>{{1, 0}, {0, 0}}));
    EXPECT_NE(LogText().find("OSErr:-9400"), std::string::npos);
}

}  // namespace
