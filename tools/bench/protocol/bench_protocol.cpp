// Frame codec throughput. Run: build/bin/skyvane-bench-protocol
// Each benchmark reports frames/s (calls per second) and MB/s (frame bytes per second, 10^6).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "protocol/FrameCodec.h"

namespace {

std::vector<uint8_t> samplePayload(int length) {
    std::vector<uint8_t> payload(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        payload[i] = static_cast<uint8_t>(i * 31 + 7);
    return payload;
}

void reportThroughput(benchmark::State& state, int64_t bytesPerCall) {
    const auto calls = static_cast<double>(state.iterations());
    state.counters["frames"] = benchmark::Counter(calls, benchmark::Counter::kIsRate);
    state.counters["MB"] =
        benchmark::Counter(calls * static_cast<double>(bytesPerCall) / 1e6, benchmark::Counter::kIsRate);
}

void BM_buildFrame(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const std::vector<uint8_t> payload = samplePayload(length);
    uint8_t frame[kMaxFrameLength] = {};
    uint8_t sequence = 0;
    for (auto _ : state) {
        const uint16_t built =
            buildFrame(frame, 4, 1, sequence++, 1, 1, 0x000302, payload.data(), static_cast<uint8_t>(length));
        benchmark::DoNotOptimize(built);
        benchmark::ClobberMemory();
    }
    reportThroughput(state, length + kFrameOverhead);
}

void BM_parseFrame(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const std::vector<uint8_t> payload = samplePayload(length);
    uint8_t frame[kMaxFrameLength] = {};
    const uint16_t size = buildFrame(frame, 1, 1, 0, 4, 1, 0x010302, payload.data(), static_cast<uint8_t>(length));
    ParsedFrame record;
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame);
        const bool ok = parseFrame(frame, size, &record);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(record);
    }
    if (!parseFrame(frame, size, &record))
        state.SkipWithError("sample frame did not parse");
    reportThroughput(state, size);
}

void BM_frameCrc16(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<uint8_t> data = samplePayload(count);
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.data());
        const uint16_t crc = frameCrc16(data.data(), static_cast<uint16_t>(count));
        benchmark::DoNotOptimize(crc);
    }
    reportThroughput(state, count);
}

}  // namespace

// Payload sizes: empty, the common 2-byte command, the 54-byte photo/record command, the largest.
BENCHMARK(BM_buildFrame)->Arg(0)->Arg(2)->Arg(54)->Arg(243);
BENCHMARK(BM_parseFrame)->Arg(0)->Arg(2)->Arg(54)->Arg(243);
// Checksum spans of those frames (payload + 9 header bytes).
BENCHMARK(BM_frameCrc16)->Arg(9)->Arg(11)->Arg(63)->Arg(252);

BENCHMARK_MAIN();
