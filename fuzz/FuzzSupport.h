// Shared by the fuzz targets: a reader over the input bytes, and the start-up every target
// does once (the debug log's sink).
//
// Each target is one file that defines LLVMFuzzerTestOneInput. It is built twice: with
// libFuzzer in the clang fuzz build (scripts/fuzz), and with ReplayMain.cpp in the normal
// builds, where CTest feeds it the saved inputs of fuzz/corpus/<target>/ and fuzz/seeds/<target>/.
// A target aborts only for a broken property it checks itself; every other fault is the
// sanitizers' to find.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace lumora::fuzz {

// Reads the input from the front: fixed-size values first, the rest as a block.
class Input {
public:
    Input(const uint8_t *data, size_t size) : mData(data), mSize(size) {}

    // The next byte, or 0 when the input is used up.
    uint8_t byte() {
        if (mSize == 0) return 0;
        --mSize;
        return *mData++;
    }
    // The next big-endian 16-bit value (0 past the end).
    uint16_t u16() { return uint16_t(byte() << 8 | byte()); }
    // What is left, consumed.
    std::string_view rest() {
        std::string_view all(reinterpret_cast<const char *>(mData), mSize);
        mData += mSize;
        mSize = 0;
        return all;
    }
    // Up to the next zero byte (consumed with it), or the rest.
    std::string_view untilZero() {
        const void *zero = mSize ? std::memchr(mData, 0, mSize) : nullptr;
        if (zero == nullptr) return rest();
        const size_t length = size_t(static_cast<const uint8_t *>(zero) - mData);
        std::string_view part(reinterpret_cast<const char *>(mData), length);
        mData += length + 1;
        mSize -= length + 1;
        return part;
    }
    size_t remaining() const { return mSize; }

private:
    const uint8_t *mData;
    size_t mSize;
};

// A property the target checks failed: says which and aborts, so that the fuzzer keeps
// the input.
[[noreturn]] inline void Broken(const char *what) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

// A new folder of the target's own under $TMPDIR (else /tmp), "lumora-fuzz-<name>-XXXXXX";
// aborts when it cannot be made.
std::string MakeScratchFolder(const char *name);
// Writes the bytes to the file (made, or emptied, mode 0600); false unless all were written.
bool WriteFile(const std::string &path, const uint8_t *data, size_t size);

// Done once per process by every target (from LLVMFuzzerInitialize, or by the replay
// program before the first input).
void Start();

}  // namespace lumora::fuzz

#define LUMORA_CHECK(condition) \
    do { \
        if (!(condition)) ::lumora::fuzz::Broken(#condition); \
    } while (false)
