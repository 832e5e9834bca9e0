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

// A bitmap context over a byte vector the test can read (and write, telling the context).
struct Bitmap {
    std::vector<uint8_t> memory;  // bytes() and writableBytes() bring it up to date first
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
        b.memory.assign(b.rowBytes * height, fill);
        Holder<CGColorSpaceRef> space(grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB());
        b.context.reset(CGBitmapContextCreate(b.memory.data(), width, height, 8, b.rowBytes, space, bitmapInfo));
        return b;
    }

    // The memory with every drawing call so far, as a direct reader sees it.
    const std::vector<uint8_t> &bytes() const {
        CGBitmapContextWillAccessData(context);
        return memory;
    }
    // The same for writing by hand; wrote() tells the context when done.
    std::vector<uint8_t> &writableBytes() {
        CGBitmapContextWillAccessData(context);
        return memory;
    }
    void wrote() { CGBitmapContextDidWriteData(context); }

    // The bytes of the pixel in memory row `row` (row 0 at the top) and column `column`.
    const uint8_t *at(size_t column, size_t row) const {
        return bytes().data() + row * rowBytes + column * bytesPerPixel;
    }
    std::vector<uint8_t> pixel(size_t column, size_t row) const {
        const uint8_t *p = at(column, row);
        return std::vector<uint8_t>(p, p + bytesPerPixel);
    }
};

}  // namespace cgtest
