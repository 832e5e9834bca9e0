// The MIDI message parser on a stream of 64 KB (running-status notes and controllers, clock
// bytes between and inside messages, system exclusive), against its floor: a plain loop that
// looks at every byte and counts the status bytes.
#include <LumoraApp/UFMIDIMessageParser.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<uint8_t> Stream() {
    std::vector<uint8_t> bytes;
    while (bytes.size() < 65536) {
        bytes.insert(bytes.end(), {0x90, 60, 100, 62, 90, 0xF8, 60, 0, 62, 0});
        bytes.insert(bytes.end(), {0xB0, 7, 64, 6, 0xF8, 32, 1, 127});
        bytes.push_back(0xF0);
        for (int i = 0; i < 40; ++i) bytes.push_back(uint8_t(i));
        bytes.insert(bytes.end(), {0xFE, 0xF7});
    }
    return bytes;
}

void BM_PlainByteLoop(benchmark::State &state) {
    const std::vector<uint8_t> bytes = Stream();
    for (auto _ : state) {
        size_t statusBytes = 0;
        for (uint8_t byte : bytes) {
            benchmark::DoNotOptimize(byte);
            statusBytes += byte >> 7;
        }
        benchmark::DoNotOptimize(statusBytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_PlainByteLoop);

void BM_Parser(benchmark::State &state) {
    const std::vector<uint8_t> bytes = Stream();
    size_t messages = 0;
    UFMIDIMessageParser parser([&messages](int, const void *) { ++messages; });
    for (auto _ : state) {
        for (uint8_t byte : bytes) parser.parseNextRawDataByteAnswerMessageSent(byte);
        benchmark::DoNotOptimize(messages);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_Parser);

}  // namespace
