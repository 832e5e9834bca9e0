// Helpers of the camera grabber tests: the Sequence Grabber's test camera, waiting for
// frames, and reading the frame number the test camera writes into its pictures.
//
// The test camera draws frame n with n as 32 cells across its top rows (most significant
// bit first, white for 1, black for 0); the cell i spans columns i * W / 32 to
// (i + 1) * W / 32 - 1.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>

#include <QuickTime/TestCamera.h>

namespace camera_test {

// The test camera listed first (so that it is every new channel's device), plugged in.
class TestCameraScope {
public:
    TestCameraScope() {
        ::setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
    }
    ~TestCameraScope() { LumoraTestCameraSetUnplugged(false); }
    TestCameraScope(const TestCameraScope &) = delete;
    TestCameraScope &operator=(const TestCameraScope &) = delete;
};

// Calls step until done answers true or `seconds` pass; true when done.
inline bool Until(const std::function<bool()> &done, const std::function<void()> &step, double seconds = 5.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        step();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The frame number of a test-camera picture, from a brightness reader of (column, row)
// answering 0..255.
inline uint32_t ReadFrameNumber(int width, const std::function<int(int x, int y)> &brightness) {
    uint32_t number = 0;
    for (int cell = 0; cell < 32; ++cell) {
        const int x = (cell * width / 32 + (cell + 1) * width / 32) / 2;
        number = (number << 1) | (brightness(x, 0) > 128 ? 1u : 0u);
    }
    return number;
}

// The same from '2vuy' bytes (Cb, Y0, Cr, Y1 per pair of pixels).
inline uint32_t ReadFrameNumber2vuy(const uint8_t *pixels, long rowBytes, int width) {
    return ReadFrameNumber(width, [&](int x, int y) { return int(pixels[y * rowBytes + x * 2 + 1]); });
}

// The same from 32-bit ARGB bytes (A, R, G, B).
inline uint32_t ReadFrameNumberARGB(const uint8_t *pixels, long rowBytes, int width) {
    return ReadFrameNumber(width, [&](int x, int y) { return int(pixels[y * rowBytes + x * 4 + 1]); });
}

}  // namespace camera_test
