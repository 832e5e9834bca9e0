// The test camera: a pattern (TestCamera.h) drawn as '2vuy' frames at the frame rate asked
// for, timed by the microsecond clock.
#include <QuickTime/TestCamera.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

#include "CaptureDevices.h"

namespace lumora::qt {

const char kTestCameraName[] = "Lumora Test Camera";
const char kTestCameraInputName[] = "Test Pattern";

namespace {

constinit std::atomic<bool> gUnplugged{false};

constexpr int kMaximumSide = 8192;
constexpr double kDefaultRate = 30.0;

int64_t Now() {
    UnsignedWide now;
    Microseconds(&now);
    return int64_t((UInt64(now.hi) << 32) | now.lo);
}

struct YCbCr {
    uint8_t y, cb, cr;
};

// Full-intensity bars, BT.601 video range.
constexpr YCbCr kBars[8] = {
    {235, 128, 128},  // white
    {210, 16, 146},   // yellow
    {170, 166, 16},   // cyan
    {145, 54, 34},    // green
    {106, 202, 222},  // magenta
    {81, 90, 240},    // red
    {41, 240, 110},   // blue
    {16, 128, 128},   // black
};

// The luma of column x in the frame-number rows.
uint8_t CodeLuma(uint32_t frameNumber, int x, int width) {
    if (x >= width) return 16;  // the padding pixel of an odd width
    const int cell = int(int64_t(x) * 32 / width);
    return (frameNumber >> (31 - cell)) & 1u ? 235 : 16;
}

class TestCameraSource final : public CaptureSource {
public:
    OSErr Configure(int input, int width, int height, double rate, CaptureFormat &format) override {
        if (TestCameraUnplugged()) return noDeviceForChannel;
        if (input != 0 || width <= 0 || height <= 0 || width > kMaximumSide || height > kMaximumSide || !(rate >= 0.0))
            return deviceCantMeetRequest;
        mFormat.type = k2vuyPixelFormat;
        mFormat.width = width;
        mFormat.height = height;
        mFormat.rowBytes = int64_t((width + 1) / 2) * 4;
        mFormat.frameBytes = mFormat.rowBytes * height;
        mFormat.matrix = kQTMatrix_ITU_R_601_4;  // the bars are BT.601
        mRate = rate > 0.0 ? rate : kDefaultRate;
        format = mFormat;
        return noErr;
    }

    OSErr Start() override {
        if (TestCameraUnplugged()) return noDeviceForChannel;
        if (mFormat.frameBytes == 0) return deviceCantMeetRequest;
        try {
            mPixels.assign(size_t(mFormat.frameBytes), 0);
        } catch (const std::bad_alloc &) {
            return memFullErr;
        }
        mStart = Now();
        mNextFrame = 0;
        return noErr;
    }

    OSErr TakeFrames(const std::function<OSErr(const CapturedFrame &)> &deliver) override {
        if (TestCameraUnplugged()) return noDeviceForChannel;
        if (mPixels.empty()) return noErr;
        const int64_t elapsed = Now() - mStart;
        // The newest frame that is due: frame n is due at n / rate seconds.
        const int64_t due = int64_t(std::floor(double(elapsed) * mRate / 1e6));
        if (due < mNextFrame) return noErr;
        DrawTestPattern(mPixels.data(), mFormat.width, mFormat.height, mFormat.rowBytes, uint32_t(due));
        mNextFrame = due + 1;
        const CapturedFrame frame{mPixels.data(), mPixels.size(), int64_t(std::llround(double(due) * 1e6 / mRate))};
        return deliver(frame);
    }

    void Stop() override { mPixels.clear(); }

    // Brightness, contrast and saturation are kept (the pattern does not change with them);
    // the test camera has no gamma control, as many cameras have none.
    bool GetControl(CaptureControl control, double &value) override {
        if (control == CaptureControl::Gamma) return false;
        value = mControls[size_t(control)];
        return true;
    }
    bool SetControl(CaptureControl control, double value) override {
        if (control == CaptureControl::Gamma || !std::isfinite(value)) return false;
        mControls[size_t(control)] = std::clamp(value, 0.0, 1.0);
        return true;
    }

private:
    double mControls[4] = {0.5, 0.5, 0.5, 0.5};
    CaptureFormat mFormat;
    double mRate = kDefaultRate;
    int64_t mStart = 0;
    int64_t mNextFrame = 0;
    std::vector<uint8_t> mPixels;
};

}  // namespace

bool TestCameraUnplugged() { return gUnplugged.load(std::memory_order_acquire); }

void DrawTestPattern(uint8_t *pixels, int width, int height, int64_t rowBytes, uint32_t frameNumber) {
    const int pairs = (width + 1) / 2;
    const int codeRows = height / 8 > 1 ? height / 8 : 1;
    constexpr int kPeriod = 8 * kTestCameraBarWidth;
    const int shift = int((int64_t(frameNumber) * 4) % kPeriod);
    for (int y = 0; y < height; ++y) {
        uint8_t *row = pixels + int64_t(y) * rowBytes;
        for (int p = 0; p < pairs; ++p) {
            const int x = 2 * p;
            uint8_t *q = row + p * 4;
            if (y < codeRows) {
                q[0] = q[2] = 128;
                q[1] = CodeLuma(frameNumber, x, width);
                q[3] = CodeLuma(frameNumber, x + 1, width);
            } else {
                const int position = ((x - shift) % kPeriod + kPeriod) % kPeriod;
                const YCbCr &c = kBars[position / kTestCameraBarWidth];
                q[0] = c.cb;
                q[1] = c.y;
                q[2] = c.cr;
                q[3] = c.y;
            }
        }
    }
}

std::unique_ptr<CaptureSource> OpenTestCamera(OSErr &err) {
    if (TestCameraUnplugged()) {
        err = noDeviceForChannel;
        return nullptr;
    }
    err = noErr;
    return std::make_unique<TestCameraSource>();
}

}  // namespace lumora::qt

void LumoraTestCameraSetUnplugged(Boolean unplugged) {
    lumora::qt::gUnplugged.store(unplugged != 0, std::memory_order_release);
}
