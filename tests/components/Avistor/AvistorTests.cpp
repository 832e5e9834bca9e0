// The Avistor camera device: its copy rule and double buffer in this process, and the
// component opened by another process through the Component Manager.
#include "QTCoreVideo_cam_device.h"

#include <CoreVideo/CVPixelBuffer.h>
#include <QuickTime/TestCamera.h>
#include <support/ChildProcess.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace UVideoFrameBuffer;
using lumora::test::ChildProcess;

namespace {

// Byte (x, y) of a frame: varied enough that any resampling changes it.
UInt8 PatternByte(SInt32 x, SInt32 y) { return UInt8((x * 7 + y * 13 + (x * y) % 11) & 0xFF); }

void Fill(Data &frame) {
    for (SInt32 y = 0; y < frame.mFrameBufferFormat.mPixelHeight; ++y) {
        UInt8 *row = frame.GetPixelScanline(y);
        for (SInt32 x = 0; x < frame.mFrameBufferFormat.mPixelRowBytes; ++x) row[x] = PatternByte(x, y);
    }
}

TEST(AvistorCopyRule, Frames) {
    const OSType k2vuy = kPixelFormat_2vuy;
    Memory scratch;
    Memory dst;
    ASSERT_TRUE(dst.Construct(Format(960, 720, k2vuy)));

    // Same size: byte for byte.
    Memory same;
    ASSERT_TRUE(same.Construct(Format(960, 720, k2vuy)));
    Fill(same);
    ASSERT_TRUE(TryToResampleVideoFrameRequestedFormat(dst, scratch, same));
    EXPECT_EQ(std::memcmp(dst.mFrameBufferData, same.mFrameBufferData, 1382400), 0);

    // A 1280 x 720 camera: the centred 960-wide region, copied 1:1 (not a 640-wide region
    // stretched 1.5 times).
    Memory wide;
    ASSERT_TRUE(wide.Construct(Format(1280, 720, k2vuy)));
    Fill(wide);
    dst.ErasePixelDataWithValue(0);
    ASSERT_TRUE(TryToResampleVideoFrameRequestedFormat(dst, scratch, wide));
    for (SInt32 y : {0, 1, 359, 719}) {
        const UInt8 *out = dst.GetPixelScanline(y);
        const UInt8 *in = wide.GetPixelScanline(y) + 160 * 2;
        EXPECT_EQ(std::memcmp(out, in, 1920), 0) << "row " << y;
    }

    // 640 x 480: the same aspect, scaled to fill the frame.
    Memory small;
    ASSERT_TRUE(small.Construct(Format(640, 480, k2vuy)));
    small.ErasePixelDataWithValue(0x42);
    dst.ErasePixelDataWithValue(0);
    ASSERT_TRUE(TryToResampleVideoFrameRequestedFormat(dst, scratch, small));
    EXPECT_EQ(dst.GetPixelScanline(719)[1918], 0x42);

    // Another pixel format, or an empty frame: nothing.
    Memory bgra;
    ASSERT_TRUE(bgra.Construct(Format(960, 720, kPixelFormat_BGRA)));
    EXPECT_FALSE(TryToResampleVideoFrameRequestedFormat(dst, scratch, bgra));
    Data empty;
    EXPECT_FALSE(TryToResampleVideoFrameRequestedFormat(dst, scratch, empty));
}

CVPixelBufferRef NewFrame(UInt8 value) {
    CVPixelBufferRef buffer = nullptr;
    if (CVPixelBufferCreate(nullptr, 960, 720, MakeFourCharCode("2vuy"), nullptr, &buffer) != 0) return nullptr;
    CVPixelBufferLockBaseAddress(buffer, 0);
    auto *base = static_cast<UInt8 *>(CVPixelBufferGetBaseAddress(buffer));
    const size_t rowBytes = CVPixelBufferGetBytesPerRow(buffer);
    for (size_t y = 0; y < 720; ++y) std::memset(base + y * rowBytes, value, 1920);
    CVPixelBufferUnlockBaseAddress(buffer, 0);
    return buffer;
}

// Frames that arrive while the host holds the front half: the first fills the back half, the
// second finds both halves held and is dropped.
TEST(AvistorDevice, DoubleBufferAndDrops) {
    LumoraTestCameraSetUnplugged(true);  // no camera: no session of its own
    {
        QTCoreVideo_cam_device device;
        ASSERT_TRUE(device.Connect());
        EXPECT_EQ(device.GetNumberOfInputs(), 0);
        Str255 name{};
        ASSERT_EQ(device.GetDeviceName(name, 0), noErr);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(name + 1), name[0]), "AV #0 (No Camera)");

        UInt8 count = 0;
        Ptr held = nullptr;
        long size = 0;
        ASSERT_EQ(device.GetFrame(&count, &held, &size), noErr);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(size, 1382400);
        CVPixelBufferRef one = NewFrame(0x11), two = NewFrame(0x22);
        ASSERT_NE(one, nullptr);
        std::thread([&] { device.FrameArrived(one); }).join();
        std::thread([&] { device.FrameArrived(two); }).join();
        EXPECT_EQ(device.FramesDropped(), 1u);
        // A pointer that is not the frame handed out is ignored; the frame itself goes back.
        UInt8 stray[4];
        EXPECT_EQ(device.ReleaseCompressBuffer(reinterpret_cast<Ptr>(stray)), noErr);
        EXPECT_EQ(device.ReleaseCompressBuffer(held), noErr);
        Ptr next = nullptr;
        ASSERT_EQ(device.GetFrame(&count, &next, &size), noErr);
        EXPECT_NE(next, held);
        EXPECT_EQ(static_cast<UInt8>(next[0]), 0x11);
        EXPECT_EQ(device.ReleaseCompressBuffer(next), noErr);
        std::thread([&] { device.FrameArrived(two); }).join();
        ASSERT_EQ(device.GetFrame(&count, &next, &size), noErr);
        EXPECT_EQ(static_cast<UInt8>(next[0]), 0x22);
        EXPECT_EQ(device.ReleaseCompressBuffer(next), noErr);
        EXPECT_EQ(device.FramesDelivered(), 3u);
        device.Disconnect();
        EXPECT_EQ(device.FramesDropped(), 0u);
        CVPixelBufferRelease(one);
        CVPixelBufferRelease(two);
    }
    LumoraTestCameraSetUnplugged(false);
}

std::vector<std::string> Lines(ChildProcess &host) {
    std::vector<std::string> lines;
    for (std::string line = host.line(30000); !line.empty(); line = host.line(30000)) lines.push_back(line);
    return lines;
}

bool Has(const std::vector<std::string> &lines, const std::string &wanted) {
    for (const std::string &line : lines)
        if (line == wanted) return true;
    return false;
}

// Another program registers the bundle, opens Avistor by type and subtype, lists its inputs,
// sets the frame rate and grabs frames of the test camera.
TEST(AvistorHost, OpensAndGrabsTestCameraFrames) {
    ::setenv("LUMORA_TEST_CAMERA", "1", 1);
    ChildProcess host({LUMORA_DIGITIZER_HOST, LUMORA_AVISTOR_BUNDLE, "Avis", "4", "15"});
    ASSERT_TRUE(host.running());
    const std::vector<std::string> lines = Lines(host);
    const int status = host.finish();
    std::string all;
    for (const std::string &line : lines) all += line + "\n";
    SCOPED_TRACE(all);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(Has(lines, "register 0"));
    EXPECT_TRUE(Has(lines, "open 0"));
    EXPECT_TRUE(Has(lines, "input 0 AV #0 Lumora Test Camera"));
    EXPECT_TRUE(Has(lines, "device Avistor Camera"));
    EXPECT_TRUE(Has(lines, "rate 1500 20736000"));  // 960 x 720 x 2 bytes at the rate set
    long long last = -1;
    int frames = 0;
    for (const std::string &line : lines) {
        long size = 0;
        long long number = 0;
        if (std::sscanf(line.c_str(), "frame %ld %lld", &size, &number) != 2) continue;
        EXPECT_EQ(size, 1382400);
        EXPECT_GT(number, last);
        last = number;
        ++frames;
    }
    EXPECT_EQ(frames, 4);
    const std::string bad = std::to_string(int(badComponentSelector));
    EXPECT_TRUE(Has(lines, "hostile " + bad + " " + bad + " " + bad + " " + bad + " -50 -50 -50 0"));
    EXPECT_TRUE(Has(lines, "cando 1 0"));
    EXPECT_TRUE(Has(lines, "close 0"));
}

// A host whose bundle identifier is not on the include list, or that is sandboxed without
// the camera entitlement (read through the Security layer), cannot open it.
TEST(AvistorHost, GateRefusesHosts) {
    for (const char *program : {LUMORA_STRANGER_HOST, LUMORA_SANDBOXED_HOST}) {
        SCOPED_TRACE(program);
        ChildProcess host({program, LUMORA_AVISTOR_BUNDLE, "Avis", "1"});
        ASSERT_TRUE(host.running());
        const std::vector<std::string> lines = Lines(host);
        host.finish();
        EXPECT_TRUE(Has(lines, "register 0"));
        EXPECT_TRUE(Has(lines, "open -50"));
    }
}

}  // namespace
