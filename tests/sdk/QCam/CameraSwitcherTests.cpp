// The camera source switcher and its output buffer: black, still images, PDF pages, movies
// and the test camera delivered as '2vuy' frames into the sink; the luma tables; the
// fallbacks to black when a source fails.
#include <gtest/gtest.h>

#include <Carbon/CarbonEvents.h>
#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGPDFContext.h>
#include <CoreGraphics/CoreGraphics.h>
#include <QCam/Camera/QCamDefaultCaptureFormat.h>
#include <QCam/Camera/QCamOutputBase.h>
#include <QCam/Camera/QCamReflecter.h>
#include <QuickTime/TestCamera.h>

#include <QCoreApplication>
#include <QObject>
#include <QVariant>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "sdk/CoreQ/CameraTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

// Stands in for the reflecter view: counts source-change notices and redraw requests.
class SwitcherViewProbe : public QObject {
    Q_OBJECT
public:
    std::vector<int> sources;
    int redraws = 0;
    Q_INVOKABLE void QCamReflecterSourceChanged(const QVariant &source) { sources.push_back(source.toInt()); }
    Q_INVOKABLE void update() { ++redraws; }
};

namespace {

using namespace lumora::test;

QCoreApplication *Application() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "QCamTests";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    return QCoreApplication::instance();
}

CFURLRef URLOf(const std::string &path) {
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                   CFIndex(path.size()), false);
}

struct YCC {
    int cb, y, cr;
};

// The pair at column x, row y of a '2vuy' frame.
YCC PairAt(const Q_2vuy_buffer &frame, int x, int y) {
    const uint8_t *p = frame._PixelData + y * frame._RowBytes + (x / 2) * 4;
    return YCC{p[0], p[1], p[2]};
}

// The library's own conversion of a flat colour.
YCC Expected(const Colour &c) {
    const uint8_t argb[8] = {255, uint8_t(c.r), uint8_t(c.g), uint8_t(c.b), 255, uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)};
    uint8_t out[4];
    Q_2vuy_buffer::ConvertARGBRowTo2vuy(argb, out, 2);
    return YCC{out[0], out[1], out[2]};
}

bool Near(const YCC &a, const YCC &b, int tolerance) {
    return std::abs(a.cb - b.cb) <= tolerance && std::abs(a.y - b.y) <= tolerance && std::abs(a.cr - b.cr) <= tolerance;
}

std::string Text(const YCC &c) {
    return "(Cb " + std::to_string(c.cb) + ", Y " + std::to_string(c.y) + ", Cr " + std::to_string(c.cr) + ")";
}

const YCC kVideoBlack = {128, 16, 128};

// True when every pair of the frame is video black.
bool AllBlack(const Q_2vuy_buffer &frame) {
    for (int y = 0; y < frame._Height; ++y)
        for (int x = 0; x < frame._Width; x += 2) {
            const YCC c = PairAt(frame, x, y);
            if (c.cb != 128 || c.y != 16 || c.cr != 128) return false;
        }
    return true;
}

// A PDF page of width x height points drawn through the Core Graphics PDF context: the left
// half red, the right half blue.
bool WriteTwoColourPDF(const std::string &path, double width, double height) {
    CFURLRef url = URLOf(path);
    const CGRect box = CGRectMake(0, 0, width, height);
    CGContextRef pdf = CGPDFContextCreateWithURL(url, &box, nullptr);
    CFRelease(url);
    if (pdf == nullptr) return false;
    CGPDFContextBeginPage(pdf, nullptr);
    CGContextSetRGBFillColor(pdf, 1, 0, 0, 1);
    CGContextFillRect(pdf, CGRectMake(0, 0, width / 2, height));
    CGContextSetRGBFillColor(pdf, 0, 0, 1, 1);
    CGContextFillRect(pdf, CGRectMake(width / 2, 0, width / 2, height));
    CGPDFContextEndPage(pdf);
    CGPDFContextClose(pdf);
    CGContextRelease(pdf);
    return true;
}

// Serves the event loop (movie timers, queued notices) until done or the time is up.
template <class Done>
bool RunUntil(Done done, double seconds = 5.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        RunCurrentEventLoop(0.005);
        QCoreApplication::processEvents();
    }
    return true;
}

// ---- Output buffer ---------------------------------------------------------------------------

TEST(QCamOutputBufferTest, AllocatesOnFirstFormatAndHandsOutItsOwnPixels) {
    QCamOutputBuffer buffer;
    Q_2vuy_buffer record;
    EXPECT_FALSE(buffer.GetFrameBuffer(record));
    EXPECT_EQ(record._PixelData, nullptr);
    EXPECT_FALSE(buffer.EraseOutputBlack()) << "nothing to erase before the first GetFormat";

    Q_2vuy_format format;
    ASSERT_TRUE(buffer.GetFormat(format));
    EXPECT_EQ(format._Width, 640);
    EXPECT_EQ(format._Height, 480);
    EXPECT_EQ(format._RowBytes, 1280u);
    EXPECT_EQ(format._PixelFormat, OSType(k2vuyPixelFormat));

    Q_2vuy_buffer locked, read;
    ASSERT_TRUE(buffer.LockFrameBuffer(locked));
    locked._PixelData[1] = 200;
    EXPECT_TRUE(buffer.ReleaseFrameBuffer(locked, 0));
    ASSERT_TRUE(buffer.GetFrameBuffer(read));
    EXPECT_EQ(read._PixelData, locked._PixelData);
    EXPECT_EQ(read._PixelData[1], 200);
}

// Black is video black (Y 16, chroma 128), not bytes of 0xFF (a bright magenta frame).
TEST(QCamOutputBufferTest, EraseOutputBlackFillsVideoBlack) {
    QCamOutputBuffer buffer;
    Q_2vuy_format format;
    buffer.GetFormat(format);
    Q_2vuy_buffer record;
    ASSERT_TRUE(buffer.LockFrameBuffer(record));
    record.FillYUV(235, 16, 240);
    EXPECT_TRUE(buffer.EraseOutputBlack());
    ASSERT_TRUE(buffer.GetFrameBuffer(record));
    EXPECT_TRUE(AllBlack(record));
}

TEST(QCamOutputBufferTest, AFormatWithoutRowsNeverAllocates) {
    QCamOutputBuffer buffer;
    buffer.m_format._Width = 0;
    buffer.m_format._Height = 0;
    Q_2vuy_format format;
    EXPECT_TRUE(buffer.GetFormat(format));
    Q_2vuy_buffer record;
    EXPECT_FALSE(buffer.LockFrameBuffer(record));
    EXPECT_FALSE(buffer.EraseOutputBlack());
}

// ---- Tables ----------------------------------------------------------------------------------

TEST(QCamReflecterTableTest, LookupTableFollowsTheAdjustments) {
    struct Case {
        const char *name;
        float brightness, contrast, gamma, black, white;
        bool enabled;
        int in, out;
    };
    const Case cases[] = {
        {"off is the identity", 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, false, 100, 100},
        {"neutral controls are the identity", 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, true, 100, 100},
        {"neutral controls keep white", 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, true, 255, 255},
        {"brightness 1 doubles", 1.0f, 0.5f, 0.5f, 0.5f, 1.0f, true, 100, 200},
        {"contrast 1 doubles the distance from mid grey", 0.5f, 1.0f, 0.5f, 0.5f, 1.0f, true, 100, 72},
        {"gamma 1 is a square root", 0.5f, 0.5f, 1.0f, 0.5f, 1.0f, true, 100, 160},
        {"black level 1 moves black to 64", 0.5f, 0.5f, 0.5f, 1.0f, 1.0f, true, 64, 0},
        {"black level 1 stretches the rest", 0.5f, 0.5f, 0.5f, 1.0f, 1.0f, true, 100, 48},
        {"white below black is raised to black + 1", 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, true, 1, 255},
        {"brightness 0 is black", 0.0f, 0.5f, 0.5f, 0.5f, 1.0f, true, 200, 0},
    };
    for (const Case &c : cases) {
        QCamReflecter reflecter;
        reflecter.SetBrightness(c.brightness);
        reflecter.SetContrast(c.contrast);
        reflecter.SetGamma(c.gamma);
        reflecter.SetLevels(c.black, c.white);
        reflecter.SetImageAdjustmentsEnabled(c.enabled);
        EXPECT_EQ(int(reflecter.LookupTable().mTable[c.in]), c.out) << c.name;
    }
    QCamReflecter reflecter;
    reflecter.SetLevels(0.5f, 0.0f);
    reflecter.SetImageAdjustmentsEnabled(true);
    EXPECT_EQ(reflecter.LookupTable().mWhiteLevel, reflecter.LookupTable().mBlackLevel + 1);
}

TEST(QCamReflecterTableTest, SaturationLevelsMapOntoTheDigitizerRange) {
    const struct {
        float level;
        int value;
    } cases[] = {{0.0f, 6553}, {0.5f, 22936}, {1.0f, 39320}, {-1.0f, 6553}, {2.0f, 39320}, {NAN, 6553}};
    for (const auto &c : cases) EXPECT_EQ(int(QCamReflecter::SaturationToDigitizer(c.level)), c.value) << c.level;
}

TEST(QCamReflecterTableTest, IIDCFeatureLevelRefusesARawMaximumOfZero) {
    const struct {
        uint32_t capabilities;
        uint16_t rawMaximum;
        float level;
        OSErr result;
        uint32_t stateFlags;
        float stateValue;
    } cases[] = {
        {0x25, 100, 0.5f, noErr, 0x25, 0.5f},
        {0x01, 1000, 0.5f, noErr, 0x25, 0.128f},
        {0x25, 0, 0.5f, paramErr, 0x7, 9.0f},  // unchanged: no NaN written
        {0x02, 100, 0.5f, noErr, 0x7, 9.0f},   // not settable: unchanged
    };
    for (const auto &c : cases) {
        QCamIIDCFeatureSettings settings{c.capabilities, 0, c.rawMaximum, 0.0f, 1.0f, 0x7, 9.0f};
        EXPECT_EQ(QCamReflecter::ApplyIIDCFeatureLevel(settings, c.level), c.result);
        EXPECT_EQ(settings.stateFlags, c.stateFlags);
        EXPECT_FLOAT_EQ(settings.stateValue, c.stateValue);
        EXPECT_FALSE(std::isnan(settings.stateValue));
    }
    // The record is big-endian in its atom.
    const uint8_t bytes[24] = {0, 0, 0, 0x25, 0, 1, 0x01, 0, 0, 0, 0, 0, 0x3f, 0x80, 0, 0, 0, 0, 0, 0x25, 0x3f, 0, 0, 0};
    QCamIIDCFeatureSettings read{};
    read.Read(bytes);
    EXPECT_EQ(read.capabilityFlags, 0x25u);
    EXPECT_EQ(read.rawMinimum, 1);
    EXPECT_EQ(read.rawMaximum, 256);
    EXPECT_FLOAT_EQ(read.absoluteMaximum, 1.0f);
    EXPECT_FLOAT_EQ(read.stateValue, 0.5f);
    uint8_t written[24];
    read.Write(written);
    EXPECT_EQ(0, std::memcmp(written, bytes, 24));
}

TEST(QCamReflecterTableTest, PaceFollowsSourceAndPlayState) {
    QCamReflecter reflecter;
    EXPECT_DOUBLE_EQ(reflecter.GetPaceRate(30.0), 8.0) << "no camera";
    reflecter.mSource = QCamReflecter::kSourceCamera;
    reflecter.mPlayState = 1;
    EXPECT_DOUBLE_EQ(reflecter.GetPaceRate(30.0), 8.0) << "camera source without a channel";
}

// ---- Sources ---------------------------------------------------------------------------------

class QCamReflecterSourceTest : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        Application();
        mReflecter.SetView(&mView);
        mReflecter.SetActivePreview(true);
        mReflecter.SetOutput(&mSink);
        mReflecter.SetOutputEnabled(true);
        mReflecter.AllocateOutputBuffers();
        ASSERT_TRUE(mReflecter.OutputFormat().IsValid());
    }

    Q_2vuy_buffer Sink() {
        Q_2vuy_buffer frame;
        mSink.GetFrameBuffer(frame);
        return frame;
    }
    YCC SinkAt(int x, int y) { return PairAt(Sink(), x, y); }
    void PaintSink(uint8_t y) {
        Q_2vuy_buffer frame;
        mSink.LockFrameBuffer(frame);
        frame.FillYUV(y, 128, 128);
    }
    std::vector<int> Notices() {
        QCoreApplication::processEvents();
        std::vector<int> seen = mView.sources;
        mView.sources.clear();
        return seen;
    }

    ScopedFolder mFolder{"switcher"};
    SwitcherViewProbe mView;
    QCamOutputBuffer mSink;
    QCamReflecter mReflecter;
};

TEST_F(QCamReflecterSourceTest, SwitchingToTheSameSourceWithoutForceChangesNothing) {
    PaintSink(100);
    mReflecter.SetSourceMode(QCamReflecter::kSourceBlack, false);
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(SinkAt(0, 0).y, 100);

    mReflecter.SetSourceMode(QCamReflecter::kSourceBlack, true);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceBlack});
    EXPECT_TRUE(AllBlack(Sink()));
}

TEST_F(QCamReflecterSourceTest, StillImagePDFMovieAndBackDeliverTheirPixels) {
    const int w = 640, h = 480;
    // A still image of four colours.
    const std::string png = mFolder.file("quadrants.png");
    ASSERT_TRUE(WritePNG(png, 64, 48, QuadrantPicture(64, 48), true));
    CFURLRef pngURL = URLOf(png);
    const int redrawsBefore = mView.redraws;
    mReflecter.OpenRasterFile(pngURL);
    CFRelease(pngURL);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceStill});
    EXPECT_EQ(mReflecter.PreviewKind(), QCamReflecter::kPreviewStill);
    EXPECT_GT(mView.redraws, redrawsBefore);
    mReflecter.GrabTick();  // no camera: the still frame is written
    const Colour quadrants[4] = {kRed, kGreen, kBlue, kWhite};
    const int points[4][2] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int i = 0; i < 4; ++i) {
        const YCC got = SinkAt(points[i][0], points[i][1]);
        EXPECT_TRUE(Near(got, Expected(quadrants[i]), 2)) << i << " " << Text(got);
    }

    // A portrait PDF page: centred, grey 0.15 on either side.
    const std::string pdf = mFolder.file("page.pdf");
    ASSERT_TRUE(WriteTwoColourPDF(pdf, 240, 480));
    CFURLRef pdfURL = URLOf(pdf);
    mReflecter.OpenVectorFile(pdfURL);
    CFRelease(pdfURL);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceStill});
    mReflecter.GrabTick();
    const int grey = int(0.15 * 255 + 0.5);
    EXPECT_TRUE(Near(SinkAt(10, h / 2), Expected({grey, grey, grey}), 2)) << Text(SinkAt(10, h / 2));
    EXPECT_TRUE(Near(SinkAt(w / 2 - 60, h / 2), Expected(kRed), 2)) << Text(SinkAt(w / 2 - 60, h / 2));
    EXPECT_TRUE(Near(SinkAt(w / 2 + 60, h / 2), Expected(kBlue), 2)) << Text(SinkAt(w / 2 + 60, h / 2));

    // A movie of green frames, playing.
    const std::string movie = mFolder.file("green.mov");
    ASSERT_TRUE(WriteMovie(movie, "mpeg4", 10, {kGreen, kGreen, kGreen, kGreen}));
    CFURLRef movieURL = URLOf(movie);
    PaintSink(50);
    mReflecter.SetPlayState(1);
    mReflecter.OpenMovieFile(movieURL);
    CFRelease(movieURL);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceMovie});
    EXPECT_TRUE(mReflecter.MoviePlayer().IsMovieOpen());
    EXPECT_DOUBLE_EQ(mReflecter.GetPaceRate(30.0), 1.0);
    EXPECT_TRUE(RunUntil([&] { return Near(SinkAt(w / 2, h / 2), Expected(kGreen), 12); }))
        << Text(SinkAt(w / 2, h / 2));
    EXPECT_EQ(mReflecter.PreviewKind(), QCamReflecter::kPreviewMovie);

    // Back to black: the movie closes.
    mReflecter.SetSourceMode(QCamReflecter::kSourceBlack, false);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceBlack});
    EXPECT_FALSE(mReflecter.MoviePlayer().IsMovieOpen());
    EXPECT_TRUE(AllBlack(Sink()));
}

TEST_F(QCamReflecterSourceTest, WithOutputDisabledNothingReachesTheSinkButThePreviewUpdates) {
    PaintSink(77);
    mReflecter.SetOutputEnabled(false);
    const std::string png = mFolder.file("still.png");
    ASSERT_TRUE(WritePNG(png, 8, 8, QuadrantPicture(8, 8), true));
    CFURLRef url = URLOf(png);
    mReflecter.OpenRasterFile(url);
    CFRelease(url);
    mReflecter.GrabTick();
    EXPECT_EQ(SinkAt(0, 0).y, 77);
    EXPECT_EQ(mReflecter.PreviewKind(), QCamReflecter::kPreviewStill);
    CGImageRef preview = mReflecter.CopyPreviewImage();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(CGImageGetWidth(preview), 640u);
    CGImageRelease(preview);
}

TEST_F(QCamReflecterSourceTest, UnreadableStillsAndMoviesFallBackToBlackWithALogLine) {
    const struct {
        const char *file;
        int kind;  // 0 raster, 1 PDF, 2 movie
        const char *logged;
    } cases[] = {
        {"broken.png", 0, "cannot read the image"},
        {"broken.pdf", 1, "cannot read the PDF document"},
        {"broken.mov", 2, "cannot open the movie"},
        {"missing.png", 0, "cannot read the image"},
    };
    for (const auto &c : cases) {
        ClearLog();
        const std::string path = mFolder.file(c.file);
        if (std::string(c.file).rfind("missing", 0) != 0) ASSERT_TRUE(WriteFile(path, "not a picture at all"));
        PaintSink(200);
        CFURLRef url = URLOf(path);
        if (c.kind == 0) mReflecter.OpenRasterFile(url);
        else if (c.kind == 1) mReflecter.OpenVectorFile(url);
        else mReflecter.OpenMovieFile(url);
        CFRelease(url);
        mReflecter.GrabTick();
        RunUntil([] { return false; }, 0.05);  // the loop goes on
        EXPECT_TRUE(AllBlack(Sink())) << c.file;
        EXPECT_NE(LogText().find(c.logged), std::string::npos) << c.file << ": " << LogText();
    }
}

TEST_F(QCamReflecterSourceTest, OpensResourcesByNameAndIgnoresUnknownNames) {
    PaintSink(90);
    mReflecter.OpenSourceResource("NoSuchResourceAnywhere");
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(mReflecter.Source(), QCamReflecter::kSourceBlack);
    EXPECT_EQ(SinkAt(0, 0).y, 90);
    mReflecter.SetSourceMode(QCamReflecter::kSourceStill, true);
    Notices();
    mReflecter.OpenSourceResource(nullptr);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceBlack});
}

// ---- Camera ----------------------------------------------------------------------------------

class QCamReflecterCameraTest : public QCamReflecterSourceTest {
protected:
    camera_test::TestCameraScope mCamera;

    uint32_t SinkFrameNumber() {
        const Q_2vuy_buffer frame = Sink();
        return camera_test::ReadFrameNumber2vuy(frame._PixelData, long(frame._RowBytes), frame._Width);
    }
    bool Begin() {
        const Rect rect = QCamDefaultCaptureFormat::Get().FrameRect();
        if (mReflecter.BeginCamera(rect, 32, nullptr) != noErr) return false;
        if (mReflecter.StartRecord() != noErr) return false;
        mReflecter.SetPlayState(1);
        return true;
    }
};

TEST_F(QCamReflecterCameraTest, TheTestCameraFramesReachTheSinkAndTheSourceComesBack) {
    ASSERT_TRUE(Begin());
    EXPECT_EQ(mReflecter.Source(), QCamReflecter::kSourceCamera);
    EXPECT_DOUBLE_EQ(mReflecter.GetPaceRate(30.0), 30.0);
    PaintSink(0);
    uint32_t first = 0;
    ASSERT_TRUE(RunUntil([&] {
        mReflecter.GrabTick();
        first = SinkFrameNumber();
        return first > 0;
    }));
    EXPECT_EQ(mReflecter.PreviewKind(), QCamReflecter::kPreviewCamera);
    ASSERT_TRUE(RunUntil([&] {
        mReflecter.GrabTick();
        return SinkFrameNumber() > first;
    }));
    // The bars below the numbers: white first at frame 0's column 0, passed through as is.
    EXPECT_GE(SinkAt(2, 100).y, 16);

    mReflecter.SetPlayState(0);
    EXPECT_DOUBLE_EQ(mReflecter.GetPaceRate(30.0), 15.0) << "a paused camera grabs at half the rate";

    Notices();
    mReflecter.SetSourceMode(QCamReflecter::kSourceBlack, false);
    EXPECT_EQ(Notices(), std::vector<int>{QCamReflecter::kSourceBlack});
    mReflecter.GrabTick();
    EXPECT_TRUE(AllBlack(Sink())) << "camera frames are not written in the black source";
    mReflecter.EndCamera();
}

TEST_F(QCamReflecterCameraTest, LuminanceGoesThroughTheTableWhileAdjustmentsAreOn) {
    ASSERT_TRUE(Begin());
    mReflecter.SetBrightness(0.0f);
    mReflecter.SetImageAdjustmentsEnabled(true);
    ASSERT_TRUE(RunUntil([&] {
        PaintSink(99);
        mReflecter.GrabTick();
        return SinkAt(0, 0).y != 99;
    }));
    EXPECT_EQ(SinkAt(0, 0).y, 0);
    EXPECT_EQ(SinkAt(0, 0).cb, 128) << "chroma passes unchanged";
    mReflecter.EndCamera();
}

// Saturation is the camera's own control: set through the channel's digitizer while the
// adjustments are on, and the camera's first value given back when they go off.
TEST_F(QCamReflecterCameraTest, SaturationReachesTheCamerasOwnControl) {
    ASSERT_TRUE(Begin());
    uint16_t own = 0, now = 0;
    ASSERT_TRUE(mReflecter.GetDigitizerSaturation(own));
    mReflecter.SetImageAdjustmentsEnabled(true);
    mReflecter.SetSaturation(0.25f);
    ASSERT_TRUE(mReflecter.GetDigitizerSaturation(now));
    EXPECT_NEAR(now, QCamReflecter::SaturationToDigitizer(0.25f), 256);
    EXPECT_NE(now, own);
    mReflecter.SetImageAdjustmentsEnabled(false);
    ASSERT_TRUE(mReflecter.GetDigitizerSaturation(now));
    EXPECT_NEAR(now, own, 256);
    mReflecter.EndCamera();
    EXPECT_FALSE(mReflecter.GetDigitizerSaturation(now)) << "no channel, no digitizer";
}

TEST_F(QCamReflecterCameraTest, ACameraUnpluggedMidStreamShowsBlackAndComesBack) {
    ASSERT_TRUE(Begin());
    ASSERT_TRUE(RunUntil([&] {
        mReflecter.GrabTick();
        return SinkFrameNumber() > 0;
    }));
    ClearLog();
    LumoraTestCameraSetUnplugged(true);
    for (int i = 0; i < 5; ++i) mReflecter.GrabTick();
    EXPECT_TRUE(AllBlack(Sink()));
    EXPECT_EQ(mReflecter.Source(), QCamReflecter::kSourceCamera);
    EXPECT_NE(LogText().find("the camera stopped delivering frames"), std::string::npos) << LogText();

    LumoraTestCameraSetUnplugged(false);
    EXPECT_TRUE(RunUntil(
        [&] {
            mReflecter.GrabTick();
            return SinkFrameNumber() > 0;
        },
        5.0));
    EXPECT_NE(LogText().find("delivers frames again"), std::string::npos) << LogText();
    mReflecter.EndCamera();
}

TEST_F(QCamReflecterCameraTest, NoCameraFallsBackToTheStillSource) {
    LumoraTestCameraSetUnplugged(true);
    ::setenv("LUMORA_TEST_CAMERA", "0", 1);
    const Rect rect = QCamDefaultCaptureFormat::Get().FrameRect();
    // Without any device the grabber cannot open a channel.
    const OSErr err = mReflecter.BeginCamera(rect, 32, nullptr);
    if (err == noErr) GTEST_SKIP() << "a V4L2 camera is attached to this machine";
    EXPECT_EQ(mReflecter.Source(), QCamReflecter::kSourceStill);
    mReflecter.GrabTick();
    EXPECT_TRUE(AllBlack(Sink()));
}

}  // namespace

#include "CameraSwitcherTests.moc"
