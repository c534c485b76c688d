// What the CRC check of protected frames costs per frame, over every frame of
// a committed fixture with CRCs: Layer III stereo (lame -p, 32 bytes of side
// information), Layer II joint stereo (twolame -p, the allocation read to
// find the protected bits), and the CRC alone over the 34 bytes a Layer III
// stereo frame covers.
//
//   frame_crc_bench [--benchmark_filter=REGEX] [other Google Benchmark options]

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/checks/FrameCrc.h"
#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {
namespace {

struct Frame {
    std::span<const uint8_t> bytes;  // the whole frame, from its header
    FrameHeader header;
};

struct Source {
    std::vector<uint8_t> bytes;
    std::vector<Frame> frames;
};

// The fixture's frames from its first byte (these fixtures have no tag in front).
Source ReadFrames(const char* name) {
    const std::string path = std::string(VANDREL_TEST_DATA "/audio/") + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    Source made;
    made.bytes = {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::span<const uint8_t> all(made.bytes);
    for (size_t at = 0; at + 4 <= all.size();) {
        FrameHeader h{};
        const auto length = static_cast<size_t>(DecodeFrameHeader(LoadBe32(all.subspan(at)), h));
        if (length == 0 || at + length > all.size()) {
            break;
        }
        made.frames.push_back({all.subspan(at, length), h});
        at += length;
    }
    return made;
}

void CheckEveryFrame(benchmark::State& state, const Source& source) {
    for (auto _ : state) {
        for (const Frame& f : source.frames) {
            benchmark::DoNotOptimize(CheckFrameCrc(f.bytes, f.header));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.frames.size()));
    state.counters["ns/frame"] = benchmark::Counter(
        static_cast<double>(state.iterations() * static_cast<int64_t>(source.frames.size())),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_CheckLayer3Stereo(benchmark::State& state) {
    static const Source source = ReadFrames("lame_crc_cbr128.mp3");
    CheckEveryFrame(state, source);
}
BENCHMARK(BM_CheckLayer3Stereo);

void BM_CheckLayer2JointStereo(benchmark::State& state) {
    static const Source source = ReadFrames("twolame_crc_192_joint.mp2");
    CheckEveryFrame(state, source);
}
BENCHMARK(BM_CheckLayer2JointStereo);

void BM_MpegCrc16Of34Bytes(benchmark::State& state) {
    std::vector<uint8_t> bytes(34, 0xA5);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(MpegCrc16(bytes, 8 * bytes.size()));
    }
}
BENCHMARK(BM_MpegCrc16Of34Bytes);

}  // namespace
}  // namespace vandrel

BENCHMARK_MAIN();
