// Helpers of the Core Graphics tests: an owning holder for CF-style references and small
// bitmap contexts over memory the test owns.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace cgtest {

// Owns one reference to a Core Foundation style object.
template <class Ref>
class Holder {
public:
    Holder() = default;
    explicit Holder(Ref ref) : mRef(ref) {}
    ~Holder() { reset(); }
    Holder(Holder &&other) noexcept : mRef(std::exchange(other.mRef, nullptr)) {}
    Holder &operator=(Holder &&other) noexcept {
        if (this != &other) {
            reset();
            mRef = std::exchange(other.mRef, nullptr);
        }
        return *this;
    }
    Holder(const Holder &) = delete;
    Holder &operator=(const Holder &) = delete;

    void reset(Ref ref = nullptr) {
        if (mRef) CFRelease(mRef);
        mRef = ref;
    }
    Ref get() const { return mRef; }
    operator Ref() const { return mRef; }
    explicit operator bool() const { return mRef != nullptr; }

private:
    Ref mRef = nullptr;
};

// A bitmap context over a byte vector the test can read.
struct Bitmap {
    std::vector<uint8_t> bytes;
    size_t width = 0, height = 0, rowBytes = 0, bytesPerPixel = 0;
    Holder<CGContextRef> context;

    // bitmapInfo 0 with grey. fill: the initial value of every byte.
    static Bitmap Make(size_t width, size_t height, uint32_t bitmapInfo, bool grey = false, uint8_t fill = 0,
                       size_t rowBytes = 0) {
        Bitmap b;
        b.width = width;
        b.height = height;
        b.bytesPerPixel = grey ? 1 : 4;
        b.rowBytes = rowBytes ? rowBytes : width * b.bytesPerPixel;
        b.bytes.assign(b.rowBytes * height, fill);
        Holder<CGColorSpaceRef> space(grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB());
        b.context.reset(CGBitmapContextCreate(b.bytes.data(), width, height, 8, b.rowBytes, space, bitmapInfo));
        return b;
    }

    // The bytes of the pixel in memory row `row` (row 0 at the top) and column `column`.
    const uint8_t *at(size_t column, size_t row) const { return bytes.data() + row * rowBytes + column * bytesPerPixel; }
    std::vector<uint8_t> pixel(size_t column, size_t row) const {
        const uint8_t *p = at(column, row);
        return std::vector<uint8_t>(p, p + bytesPerPixel);
    }
};

}  // namespace cgtest
