#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <glob.h>
#include <string>
#include <thread>
#include <vector>

#include <QuickTime/QuickTime.h>
#include <QuickTime/TestCamera.h>

namespace {

std::string FromPascal(const unsigned char *text) {
    return std::string(reinterpret_cast<const char *>(text + 1), text[0]);
}

std::vector<unsigned char> Pascal(const std::string &text) {
    std::vector<unsigned char> out(text.size() + 1);
    out[0] = static_cast<unsigned char>(text.size());
    std::memcpy(out.data() + 1, text.data(), text.size());
    return out;
}

// What the data procedure saw, and the world it decompressed into.
struct Capture {
    ImageSequence sequence = 0;
    GWorldPtr world = nullptr;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> numbers;  // read back from the world after each frame
    std::vector<TimeValue> times;
    std::vector<std::chrono::steady_clock::time_point> arrivals;  // when each frame reached us
    std::vector<long> lengths;
    std::vector<SGChannel> channels;
    OSErr decompression = noErr;
    std::function<OSErr()> during;  // run inside the data procedure when set

    const UInt8 *Pixel(int x, int y) const {
        PixMapHandle pm = GetGWorldPixMap(world);
        return reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
    }
    // The frame number drawn in the test pattern's top rows (TestCamera.h).
    uint32_t FrameNumber() const {
        const int y = (height / 8 > 1 ? height / 8 : 1) / 2;
        uint32_t n = 0;
        for (int cell = 0; cell < 32; ++cell) n = (n << 1) | (Pixel((2 * cell + 1) * width / 64, y)[1] > 128 ? 1 : 0);
        return n;
    }
};

OSErr DataProc(SGChannel c, Ptr p, long len, long *offset, long, TimeValue time, short writeType, SRefCon refCon) {
    auto *capture = static_cast<Capture *>(refCon);
    EXPECT_EQ(*offset, 0);
    EXPECT_EQ(writeType, seqGrabWriteAppend);
    capture->arrivals.push_back(std::chrono::steady_clock::now());
    capture->channels.push_back(c);
    capture->lengths.push_back(len);
    capture->times.push_back(time);
    const OSErr err = DecompressSequenceFrameS(capture->sequence, p, len, 0, nullptr, nullptr);
    if (err != noErr)
        capture->decompression = err;
    else
        capture->numbers.push_back(capture->FrameNumber());
    return capture->during ? capture->during() : OSErr(noErr);
}

// One grabber with one channel on the default camera, decompressing into an ARGB world.
class Session {
public:
    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
    ~Session() {
        if (mCapture.sequence != 0) CDSequenceEnd(mCapture.sequence);
        if (mGrabber != nullptr) {
            EXPECT_EQ(CloseComponent(mGrabber), noErr);
        }
        DisposeGWorld(mCapture.world);
    }

    // The calls a camera grabber makes: grabber, channel on the default device, bounds,
    // world, usage, data procedure, rate, prepare.
    void Open(int width, int height, double rate = 0) {
        const Rect frame{0, 0, short(height), short(width)};
        ASSERT_EQ(QTNewGWorld(&mCapture.world, k32ARGBPixelFormat, &frame, nullptr, nullptr, 0), noErr);
        mCapture.width = width;
        mCapture.height = height;
        mGrabber = OpenDefaultComponent(SeqGrabComponentType, 0);
        ASSERT_NE(mGrabber, nullptr);
        ASSERT_EQ(SGInitialize(mGrabber), noErr);
        ASSERT_EQ(SGSetDataRef(mGrabber, nullptr, 0, seqGrabDontMakeMovie), noErr);
        ASSERT_EQ(SGNewChannel(mGrabber, VideoMediaType, &mChannel), noErr);
        ASSERT_NE(mChannel, nullptr);
        ASSERT_EQ(SGSetChannelBounds(mChannel, &frame), noErr);
        ASSERT_EQ(SGSetGWorld(mGrabber, mCapture.world, GetMainDevice()), noErr);
        ASSERT_EQ(SGSetChannelBounds(mChannel, &frame), noErr);
        ASSERT_EQ(SGSetChannelUsage(mChannel, seqGrabRecord), noErr);
        ASSERT_EQ(SGSetDataProc(mGrabber, DataProc, &mCapture), noErr);
        if (rate > 0) {
            ASSERT_EQ(SGSetFrameRate(mChannel, X2Fix(rate)), noErr);
        }
        ASSERT_EQ(SGPrepare(mGrabber, false, true), noErr);
    }

    // The sample description, and a decompression sequence from it into the world.
    void BeginDecompression() {
        Handle h = NewHandle(0);
        ASSERT_EQ(SGGetChannelSampleDescription(mChannel, h), noErr);
        auto desc = reinterpret_cast<ImageDescriptionHandle>(h);
        mDescription = **desc;
        SInt32 rowBytes = 0;
        EXPECT_EQ(ICMImageDescriptionGetProperty(desc, kQTPropertyClass_ImageDescription,
                                                 kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes,
                                                 nullptr),
                  noErr);
        mRowBytes = rowBytes;
        // The test camera's bars are BT.601, and the description says so.
        NCLCColorInfoImageDescriptionExtension colour{};
        EXPECT_EQ(ICMImageDescriptionGetProperty(desc, kQTPropertyClass_ImageDescription,
                                                 kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof colour, &colour,
                                                 nullptr),
                  noErr);
        EXPECT_EQ(colour.colorParamType, kVideoColorInfoImageDescriptionExtensionType);
        EXPECT_EQ(colour.matrix, kQTMatrix_ITU_R_601_4);
        const Rect source{0, 0, mDescription.height, mDescription.width};
        Rect dest;
        GetPortBounds(mCapture.world, &dest);
        MatrixRecord matrix;
        RectMatrix(&matrix, &source, &dest);
        if (mCapture.sequence != 0) CDSequenceEnd(mCapture.sequence);
        mCapture.sequence = 0;
        ASSERT_EQ(DecompressSequenceBegin(&mCapture.sequence, desc, mCapture.world, nullptr, nullptr, &matrix, srcCopy,
                                          nullptr, 0, codecNormalQuality, bestSpeedCodec),
                  noErr);
        DisposeHandle(h);
    }

    // Calls SGIdle for that long, sleeping between calls; the first error, or noErr.
    OSErr IdleFor(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            const OSErr err = SGIdle(mGrabber);
            if (err != noErr) return err;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return noErr;
    }

    // Idles until at least count more frames arrived (at most 5 seconds; -1 when they did not).
    OSErr IdleForFrames(size_t count) {
        const size_t target = mCapture.numbers.size() + count;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (mCapture.numbers.size() < target && std::chrono::steady_clock::now() < end) {
            const OSErr err = SGIdle(mGrabber);
            if (err != noErr) return err;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return mCapture.numbers.size() >= target ? OSErr(noErr) : OSErr(-1);
    }

    SeqGrabComponent mGrabber = nullptr;
    SGChannel mChannel = nullptr;
    Capture mCapture;
    ImageDescription mDescription{};
    SInt32 mRowBytes = 0;
};

// The test camera, listed first.
class TestCameraCapture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
    }
    void TearDown() override {
        unsetenv("LUMORA_TEST_CAMERA");
        LumoraTestCameraSetUnplugged(false);
    }
};

TEST_F(TestCameraCapture, DeliversNumberedFramesOfTheSizeAndRateAskedFor) {
    const struct {
        int width, height;
        double rate;
    } cases[] = {{320, 240, 0}, {640, 480, 15}, {160, 120, 60}, {100, 64, 25}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.rate);
        Session session;
        session.Open(c.width, c.height, c.rate);
        session.BeginDecompression();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(session.mDescription.cType, k2vuyPixelFormat);
        EXPECT_EQ(session.mDescription.width, c.width);
        EXPECT_EQ(session.mDescription.height, c.height);
        EXPECT_EQ(session.mRowBytes, (c.width + 1) / 2 * 4);
        EXPECT_EQ(session.mDescription.dataSize, session.mRowBytes * c.height);

        const double rate = c.rate > 0 ? c.rate : 30;  // the test camera's own rate
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
        ASSERT_EQ(session.IdleFor(0.5), noErr);
        // A busy machine may call SGIdle rarely; the checks below need a few frames, and how
        // many arrive in a given time says more about the machine than about the camera.
        if (session.mCapture.numbers.size() < 3) {
            ASSERT_EQ(session.IdleForFrames(3 - session.mCapture.numbers.size()), noErr);
        }
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(SGStop(session.mGrabber), noErr);

        const Capture &capture = session.mCapture;
        EXPECT_EQ(capture.decompression, noErr);
        const auto &numbers = capture.numbers;
        ASSERT_GE(numbers.size(), size_t(3));
        EXPECT_LE(numbers.size(), size_t(rate * elapsed) + 1) << "never faster than the rate";
        EXPECT_LE(numbers.back(), uint32_t(rate * elapsed) + 1);
        // Each frame delivered is the newest one at the time it arrives, however late the
        // caller came for it.
        const double lastArrival = std::chrono::duration<double>(capture.arrivals.back() - start).count();
        EXPECT_GE(numbers.back() + 1, uint32_t(rate * (lastArrival - 0.15))) << "the numbers keep up with the clock";
        for (size_t i = 0; i < numbers.size(); ++i) {
            EXPECT_EQ(capture.lengths[i], session.mRowBytes * c.height);
            EXPECT_EQ(capture.channels[i], session.mChannel);
            // The time is the frame's due time in 1/600 s.
            EXPECT_NEAR(double(capture.times[i]), numbers[i] * 600.0 / rate, 1.0);
            if (i > 0) {
                EXPECT_GT(numbers[i], numbers[i - 1]);
            }
        }
    }
}

TEST_F(TestCameraCapture, ThePatternMovesAndIsDrawnInColour) {
    Session session;
    session.Open(256, 64, 30);
    session.BeginDecompression();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
    // Bars below the frame number rows: white, yellow, cyan, green, magenta, red, blue,
    // black, each 32 wide, moving right by 4 pixels a frame.
    const UInt8 colours[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                 {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    std::vector<int> redColumns;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(session.IdleForFrames(1), noErr);
        const uint32_t n = session.mCapture.numbers.back();
        for (int bar = 0; bar < 8; ++bar) {
            const int x = (bar * 32 + 16 + 4 * int(n)) % 256;  // the middle of the bar
            const UInt8 *p = session.mCapture.Pixel(x, 40);
            SCOPED_TRACE(testing::Message() << "frame " << n << " bar " << bar << " x " << x);
            EXPECT_EQ(p[0], 255);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[1 + k], colours[bar][k], 4);
        }
        redColumns.push_back((5 * 32 + 4 * int(n)) % 256);
    }
    EXPECT_NE(redColumns.front(), redColumns.back()) << "the bars move";
}

TEST_F(TestCameraCapture, StopsAndRecordsAgain) {
    Session session;
    session.Open(160, 120, 50);
    session.BeginDecompression();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
    ASSERT_EQ(session.IdleForFrames(3), noErr);
    ASSERT_EQ(SGStop(session.mGrabber), noErr);
    const size_t delivered = session.mCapture.numbers.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(SGIdle(session.mGrabber), noErr);
    EXPECT_EQ(session.mCapture.numbers.size(), delivered) << "nothing after SGStop";
    EXPECT_EQ(SGStop(session.mGrabber), noErr) << "stopping twice is harmless";

    // The description stays readable, and recording starts again (preparing by itself)
    // with the frame numbers from 0.
    session.BeginDecompression();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
    ASSERT_EQ(session.IdleForFrames(2), noErr);
    EXPECT_LE(session.mCapture.numbers[delivered], 2u);
    EXPECT_EQ(session.mCapture.decompression, noErr);
}

TEST_F(TestCameraCapture, AnUnpluggedCameraEndsTheCaptureCleanly) {
    Session session;
    session.Open(160, 120, 50);
    session.BeginDecompression();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
    ASSERT_EQ(session.IdleForFrames(2), noErr);

    LumoraTestCameraSetUnplugged(true);
    const size_t delivered = session.mCapture.numbers.size();
    EXPECT_EQ(SGIdle(session.mGrabber), noDeviceForChannel);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(SGIdle(session.mGrabber), noDeviceForChannel) << "the error stays until SGStop";
    EXPECT_EQ(session.mCapture.numbers.size(), delivered);

    // The caller restarts: stop works, starting again fails while the camera is away...
    EXPECT_EQ(SGStop(session.mGrabber), noErr);
    EXPECT_EQ(SGIdle(session.mGrabber), noErr);
    EXPECT_EQ(SGStartRecord(session.mGrabber), noDeviceForChannel);
    EXPECT_EQ(SGIdle(session.mGrabber), noErr);

    // ...and works once it is back.
    LumoraTestCameraSetUnplugged(false);
    ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
    ASSERT_EQ(session.IdleForFrames(2), noErr);
}

TEST_F(TestCameraCapture, TheDataProcedureRunsOnTheCallersThreadAndItsErrorsReachSGIdle) {
    Session session;
    session.Open(160, 120, 100);
    session.BeginDecompression();
    ASSERT_FALSE(HasFatalFailure());
    const auto caller = std::this_thread::get_id();
    const Rect bounds{0, 0, 10, 10};
    std::vector<ComponentResult> inside;
    OSErr answer = noErr;
    session.mCapture.during = [&]() {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        // The grabber cannot be changed or closed from inside the data procedure.
        inside = {SGIdle(session.mGrabber),
                  SGStop(session.mGrabber),
                  SGStartRecord(session.mGrabber),
                  SGPrepare(session.mGrabber, false, true),
                  SGDisposeChannel(session.mGrabber, session.mChannel),
                  SGSetChannelBounds(session.mChannel, &bounds),
                  SGSetFrameRate(session.mChannel, X2Fix(10)),
                  CloseComponent(session.mGrabber)};
        return answer;
    };
    ASSERT_EQ(SGStartRecord(session.mGrabber), noErr);
    ASSERT_EQ(session.IdleForFrames(1), noErr);
    const std::vector<ComponentResult> refused = {
        cantDoThatInCurrentMode, cantDoThatInCurrentMode, cantDoThatInCurrentMode, cantDoThatInCurrentMode,
        cantDoThatInCurrentMode, cantDoThatInCurrentMode, cantDoThatInCurrentMode, invalidComponentID};
    EXPECT_EQ(inside, refused);

    // An error of the data procedure is SGIdle's answer; recording goes on.
    answer = -1234;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    OSErr err = noErr;
    for (int i = 0; i < 200 && err == noErr; ++i) {
        err = SGIdle(session.mGrabber);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(err, -1234);
    answer = noErr;
    session.mCapture.during = nullptr;
    EXPECT_EQ(session.IdleForFrames(2), noErr);
}

TEST_F(TestCameraCapture, ListsTheTestCameraWithItsInput) {
    Session session;
    session.Open(160, 120);
    ASSERT_FALSE(HasFatalFailure());
    SGDeviceList list = nullptr;
    ASSERT_EQ(SGGetChannelDeviceList(session.mChannel, sgDeviceListIncludeInputs, &list), noErr);
    ASSERT_NE(list, nullptr);
    ASSERT_GE((**list).count, 1);
    EXPECT_EQ((**list).selectedIndex, 0);
    const SGDeviceName &first = (**list).entry[0];
    EXPECT_EQ(FromPascal(first.name), "Lumora Test Camera") << "listed first when LUMORA_TEST_CAMERA=1";
    ASSERT_NE(first.inputs, nullptr);
    EXPECT_EQ((**first.inputs).count, 1);
    EXPECT_EQ((**first.inputs).selectedIndex, 0);
    EXPECT_EQ(FromPascal((**first.inputs).entry[0].name), "Test Pattern");
    for (short i = 0; i < (**list).count; ++i) {
        const SGDeviceName &entry = (**list).entry[i];
        EXPECT_LE(entry.name[0], 63);
        EXPECT_GE(entry.name[0], 1);
        ASSERT_NE(entry.inputs, nullptr);
        EXPECT_GE((**entry.inputs).count, 1);
    }

    // Without the inputs flag, no input lists.
    SGDeviceList bare = nullptr;
    ASSERT_EQ(SGGetChannelDeviceList(session.mChannel, 0, &bare), noErr);
    EXPECT_EQ((**bare).count, (**list).count);
    EXPECT_EQ((**bare).entry[0].inputs, nullptr);
    EXPECT_EQ(SGDisposeDeviceList(session.mGrabber, bare), noErr);

    Str255 device, input;
    short number = -1;
    ASSERT_EQ(SGGetChannelDeviceAndInputNames(session.mChannel, device, input, &number), noErr);
    EXPECT_EQ(FromPascal(device), "Lumora Test Camera");
    EXPECT_EQ(FromPascal(input), "Test Pattern");
    EXPECT_EQ(number, 0);
    EXPECT_EQ(SGGetChannelDeviceAndInputNames(session.mChannel, nullptr, nullptr, nullptr), noErr);

    // Selecting by name, in a settings bracket, as a camera switch does.
    ASSERT_EQ(SGSetChannelSettingsStateChanging(session.mChannel, sgSetSettingsBegin), noErr);
    auto name = Pascal("Lumora Test Camera");
    EXPECT_EQ(SGSetChannelDevice(session.mChannel, name.data()), noErr);
    EXPECT_EQ(SGSetChannelDeviceInput(session.mChannel, 0), noErr);
    EXPECT_EQ(SGChangedSource(session.mGrabber, session.mChannel), noErr);
    ASSERT_EQ(SGSetChannelSettingsStateChanging(session.mChannel, sgSetSettingsEnd), noErr);
    EXPECT_EQ(SGSetChannelSettingsStateChanging(session.mChannel, sgSetSettingsEnd), paramErr)
        << "an end without a begin";
    EXPECT_EQ(SGSetChannelSettingsStateChanging(session.mChannel, 3), paramErr);
    auto unknown = Pascal("lumora test camera");
    EXPECT_EQ(SGSetChannelDevice(session.mChannel, unknown.data()), noDeviceForChannel) << "names are exact";
    EXPECT_EQ(SGSetChannelDeviceInput(session.mChannel, 1), paramErr);
    EXPECT_EQ(SGSetChannelDeviceInput(session.mChannel, -1), paramErr);
    EXPECT_EQ(SGSetChannelDevice(session.mChannel, nullptr), paramErr);

    // A list outlives the grabber that made it.
    EXPECT_EQ(CloseComponent(session.mGrabber), noErr);
    session.mGrabber = nullptr;  // closed here
    EXPECT_EQ(SGDisposeDeviceList(nullptr, list), noErr);
    EXPECT_EQ(SGDisposeDeviceList(nullptr, nullptr), noErr);
}

TEST_F(TestCameraCapture, DevicesComingAndGoingBetweenListings) {
    Session session;
    session.Open(160, 120);
    ASSERT_FALSE(HasFatalFailure());
    auto count = [&](bool &hasTestCamera) {
        SGDeviceList list = nullptr;
        EXPECT_EQ(SGGetChannelDeviceList(session.mChannel, sgDeviceListIncludeInputs, &list), noErr);
        short n = (**list).count;
        hasTestCamera = false;
        for (short i = 0; i < n; ++i) hasTestCamera |= FromPascal((**list).entry[i].name) == "Lumora Test Camera";
        const short selected = (**list).selectedIndex;
        SGDisposeDeviceList(session.mGrabber, list);
        return std::make_pair(n, selected);
    };
    bool present = false;
    const auto before = count(present);
    EXPECT_TRUE(present);

    LumoraTestCameraSetUnplugged(true);
    const auto during = count(present);
    EXPECT_FALSE(present);
    EXPECT_EQ(during.first, before.first - 1);
    EXPECT_EQ(during.second, -1) << "the channel's device is not listed";
    // The channel keeps its names, but the device cannot be used.
    Str255 device;
    ASSERT_EQ(SGGetChannelDeviceAndInputNames(session.mChannel, device, nullptr, nullptr), noErr);
    EXPECT_EQ(FromPascal(device), "Lumora Test Camera");
    EXPECT_EQ(SGSetChannelDeviceInput(session.mChannel, 0), noDeviceForChannel);
    auto name = Pascal("Lumora Test Camera");
    EXPECT_EQ(SGSetChannelDevice(session.mChannel, name.data()), noDeviceForChannel);
    const Rect other{0, 0, 60, 80};
    ASSERT_EQ(SGSetChannelBounds(session.mChannel, &other), noErr);  // unprepares
    EXPECT_EQ(SGPrepare(session.mGrabber, false, true), noDeviceForChannel);
    Handle desc = NewHandle(0);
    EXPECT_EQ(SGGetChannelSampleDescription(session.mChannel, desc), seqGrabInfoNotAvailable) << "size changed";
    DisposeHandle(desc);
    if (during.first == 0) {
        SGChannel second = nullptr;
        EXPECT_EQ(SGNewChannel(session.mGrabber, VideoMediaType, &second), noDeviceForChannel) << "no device at all";
        EXPECT_EQ(second, nullptr);
    }

    LumoraTestCameraSetUnplugged(false);
    const auto after = count(present);
    EXPECT_TRUE(present);
    EXPECT_EQ(after, before);
    EXPECT_EQ(SGPrepare(session.mGrabber, false, true), noErr);
}

TEST_F(TestCameraCapture, CallsOutOfOrderOrOutOfRangeFailCleanly) {
    SeqGrabComponent grabber = OpenDefaultComponent(SeqGrabComponentType, 0);
    ASSERT_NE(grabber, nullptr);
    SGChannel channel = nullptr;
    EXPECT_EQ(SGNewChannel(grabber, VideoMediaType, &channel), paramErr) << "before SGInitialize";
    ASSERT_EQ(SGInitialize(grabber), noErr);
    EXPECT_EQ(SGNewChannel(grabber, MakeFourCharCode("soun"), &channel), couldntGetRequiredComponent);
    EXPECT_EQ(SGNewChannel(grabber, VideoMediaType, nullptr), paramErr);
    EXPECT_EQ(SGSetDataRef(grabber, nullptr, 0, seqGrabToDisk), unimpErr) << "no movies";
    EXPECT_EQ(SGPrepare(grabber, true, false), unimpErr) << "no preview";
    EXPECT_EQ(SGPrepare(grabber, false, false), paramErr);
    EXPECT_EQ(SGIdle(grabber), noErr) << "idle without recording";
    EXPECT_EQ(SGStop(grabber), noErr);
    ASSERT_EQ(SGNewChannel(grabber, VideoMediaType, &channel), noErr);
    EXPECT_EQ(CloseComponent(channel), invalidComponentID) << "channels belong to their grabber";
    EXPECT_EQ(SGSetChannelUsage(channel, seqGrabPreview), unimpErr);
    EXPECT_EQ(SGSetChannelUsage(channel, seqGrabRecord | seqGrabPlayDuringRecord), unimpErr);

    Handle desc = NewHandle(0);
    EXPECT_EQ(SGGetChannelSampleDescription(channel, desc), seqGrabInfoNotAvailable) << "not prepared";
    const Rect empty{0, 0, 0, 10}, huge{0, 0, 100, 9000};
    EXPECT_EQ(SGSetChannelBounds(channel, &empty), paramErr);
    EXPECT_EQ(SGSetChannelBounds(channel, &huge), paramErr);
    EXPECT_EQ(SGSetFrameRate(channel, -1), paramErr);
    EXPECT_EQ(SGSetFrameRate(channel, X2Fix(1001)), paramErr);
    Fixed rate = -1;
    EXPECT_EQ(SGGetFrameRate(channel, &rate), noErr);
    EXPECT_EQ(rate, 0);
    EXPECT_EQ(SGPrepare(grabber, false, true), paramErr) << "neither bounds nor world";
    SetGWorld(nullptr, nullptr);
    EXPECT_EQ(SGSetGWorld(grabber, nullptr, nullptr), paramErr) << "no current world";

    // A world gives the frame size of a channel without bounds; a disposed world is refused.
    const Rect frame{0, 0, 48, 64};
    GWorldPtr world = nullptr;
    ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &frame, nullptr, nullptr, 0), noErr);
    ASSERT_EQ(SGSetGWorld(grabber, world, nullptr), noErr);
    ASSERT_EQ(SGPrepare(grabber, false, true), noErr);
    ASSERT_EQ(SGGetChannelSampleDescription(channel, desc), noErr);
    EXPECT_EQ((**reinterpret_cast<ImageDescriptionHandle>(desc)).width, 64);
    EXPECT_EQ((**reinterpret_cast<ImageDescriptionHandle>(desc)).height, 48);
    DisposeGWorld(world);
    EXPECT_EQ(SGSetGWorld(grabber, world, nullptr), paramErr);

    EXPECT_EQ(SGStartRecord(grabber), paramErr) << "no data procedure";
    Capture capture;
    ASSERT_EQ(SGSetDataProc(grabber, DataProc, &capture), noErr);
    ASSERT_EQ(SGSetChannelUsage(channel, 0), noErr);
    EXPECT_EQ(SGStartRecord(grabber), paramErr) << "no recording channel";
    ASSERT_EQ(SGSetChannelUsage(channel, seqGrabRecord), noErr);
    ASSERT_EQ(SGStartRecord(grabber), noErr);
    EXPECT_EQ(SGSetChannelBounds(channel, &frame), cantDoThatInCurrentMode) << "not while recording";
    EXPECT_EQ(SGSetChannelUsage(channel, 0), cantDoThatInCurrentMode);
    auto name = Pascal("Lumora Test Camera");
    EXPECT_EQ(SGSetChannelDevice(channel, name.data()), cantDoThatInCurrentMode);
    EXPECT_EQ(SGPrepare(grabber, false, true), cantDoThatInCurrentMode);

    // A channel of another grabber.
    SeqGrabComponent other = OpenDefaultComponent(SeqGrabComponentType, 0);
    ASSERT_EQ(SGInitialize(other), noErr);
    EXPECT_EQ(SGDisposeChannel(other, channel), badSGChannel);
    EXPECT_EQ(SGChangedSource(other, channel), badSGChannel);
    EXPECT_EQ(SGIdle(channel), badComponentInstance);
    EXPECT_EQ(SGSetChannelBounds(other, &frame), badSGChannel);
    EXPECT_EQ(CloseComponent(other), noErr);

    EXPECT_EQ(SGDisposeChannel(grabber, channel), noErr) << "disposing a recording channel";
    EXPECT_EQ(SGIdle(grabber), noErr);
    DisposeHandle(desc);
    // Closing a recording grabber releases everything (the sanitizers check).
    SGChannel again = nullptr;
    ASSERT_EQ(SGNewChannel(grabber, VideoMediaType, &again), noErr);
    ASSERT_EQ(SGSetChannelBounds(again, &frame), noErr);
    ASSERT_EQ(SGStartRecord(grabber), noErr);
    EXPECT_EQ(CloseComponent(grabber), noErr);
}

TEST(Microseconds, CountsSteadilyInMicroseconds) {
    UnsignedWide a, b;
    Microseconds(&a);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Microseconds(&b);
    const double first = a.hi * 4294967296.0 + a.lo;
    const double second = b.hi * 4294967296.0 + b.lo;
    EXPECT_GE(second - first, 20000.0);
    EXPECT_LT(second - first, 2000000.0);
    Microseconds(nullptr);
}

// A real camera, where the machine has one.
TEST(V4L2Camera, CapturesAFrame) {
    glob_t nodes{};
    const bool any = glob("/dev/video*", 0, nullptr, &nodes) == 0 && nodes.gl_pathc > 0;
    globfree(&nodes);
    if (!any) GTEST_SKIP() << "no /dev/video* device on this machine: the V4L2 path is not exercised";
    unsetenv("LUMORA_TEST_CAMERA");
    LumoraTestCameraSetUnplugged(false);

    SeqGrabComponent grabber = OpenDefaultComponent(SeqGrabComponentType, 0);
    ASSERT_NE(grabber, nullptr);
    ASSERT_EQ(SGInitialize(grabber), noErr);
    SGChannel channel = nullptr;
    ASSERT_EQ(SGNewChannel(grabber, VideoMediaType, &channel), noErr);
    SGDeviceList list = nullptr;
    ASSERT_EQ(SGGetChannelDeviceList(channel, sgDeviceListIncludeInputs, &list), noErr);
    std::string camera;
    for (short i = 0; i < (**list).count && camera.empty(); ++i)
        if (FromPascal((**list).entry[i].name) != "Lumora Test Camera") camera = FromPascal((**list).entry[i].name);
    SGDisposeDeviceList(grabber, list);
    if (camera.empty()) {
        CloseComponent(grabber);
        GTEST_SKIP() << "/dev/video* exists but none of the nodes is a streaming capture device";
    }
    auto name = Pascal(camera);
    ASSERT_EQ(SGSetChannelDevice(channel, name.data()), noErr);

    Capture capture;
    capture.width = 320;
    capture.height = 240;
    const Rect frame{0, 0, 240, 320};
    ASSERT_EQ(QTNewGWorld(&capture.world, k32ARGBPixelFormat, &frame, nullptr, nullptr, 0), noErr);
    ASSERT_EQ(SGSetChannelBounds(channel, &frame), noErr);
    ASSERT_EQ(SGSetGWorld(grabber, capture.world, nullptr), noErr);
    ASSERT_EQ(SGSetDataProc(grabber, DataProc, &capture), noErr);
    OSErr err = SGPrepare(grabber, false, true);
    if (err == deviceCantMeetRequest || err == permErr) {
        DisposeGWorld(capture.world);
        CloseComponent(grabber);
        GTEST_SKIP() << "the camera \"" << camera << "\" is busy or not accessible (" << err << ")";
    }
    ASSERT_EQ(err, noErr);
    Handle h = NewHandle(0);
    ASSERT_EQ(SGGetChannelSampleDescription(channel, h), noErr);
    auto desc = reinterpret_cast<ImageDescriptionHandle>(h);
    const OSType type = (**desc).cType;
    EXPECT_TRUE(type == k2vuyPixelFormat || type == kYUVSPixelFormat || type == kJPEGCodecType ||
                type == k24RGBPixelFormat);
    const Rect source{0, 0, (**desc).height, (**desc).width};
    MatrixRecord matrix;
    RectMatrix(&matrix, &source, &frame);
    ASSERT_EQ(DecompressSequenceBegin(&capture.sequence, desc, capture.world, nullptr, nullptr, &matrix, srcCopy,
                                      nullptr, 0, codecNormalQuality, bestSpeedCodec),
              noErr);
    ASSERT_EQ(SGStartRecord(grabber), noErr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (capture.lengths.empty() && std::chrono::steady_clock::now() < end && err == noErr) {
        err = SGIdle(grabber);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(err, noErr);
    EXPECT_FALSE(capture.lengths.empty()) << "a frame within 5 seconds";
    EXPECT_EQ(capture.decompression, noErr);
    EXPECT_EQ(SGStop(grabber), noErr);
    CDSequenceEnd(capture.sequence);
    DisposeHandle(h);
    DisposeGWorld(capture.world);
    EXPECT_EQ(CloseComponent(grabber), noErr);
}

}  // namespace
