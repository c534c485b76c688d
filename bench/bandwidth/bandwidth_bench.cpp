// What the bandwidth estimate costs per frame: reading the whole side
// information, reading it and adding the frame's granules to the histogram,
// and the frame walk's way (AddSideInfo: two fields straight into the
// histogram), over the
// Layer III frames of an MP3 file (VANDREL_BENCH_MP3, else a committed
// fixture). Next to hot_paths' BM_ParseFrame, the frame parse it would join.
//
//   bandwidth_bench [--benchmark_filter=REGEX] [other Google Benchmark options]

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/checks/Bandwidth.h"
#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {
namespace {

// Every Layer III frame of the file: where its side information starts and
// the header fields its reading needs.
struct Frame {
    size_t side_info;
    FrameHeader header;
};

struct Source {
    std::vector<uint8_t> bytes;
    std::vector<Frame> frames;
};

const Source& SourceFile() {
    static const Source source = [] {
        const char* chosen = std::getenv("VANDREL_BENCH_MP3");
        const std::string path = chosen != nullptr && *chosen != '\0' ? chosen
                                                                      : VANDREL_TEST_DATA
                                     "/audio/lame_vbr_v2.mp3";
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw std::runtime_error("cannot read " + path);
        }
        Source made;
        made.bytes = {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // From the first byte, as the fixture starts; a file with a tag in front
        // is walked from its first header.
        size_t at = 0;
        while (at + 4 <= made.bytes.size()) {
            FrameHeader h{};
            const int length = DecodeFrameHeader(LoadBe32(std::span(made.bytes).subspan(at)), h);
            if (length == 0) {
                ++at;
                continue;
            }
            if (at + static_cast<size_t>(length) > made.bytes.size()) {
                break;
            }
            if (h.layer == 3) {
                made.frames.push_back({at + (h.protection == 0 ? 6 : 4), h});
            }
            at += static_cast<size_t>(length);
        }
        return made;
    }();
    return source;
}

void BM_ReadSideInfo(benchmark::State& state) {
    const Source& source = SourceFile();
    for (auto _ : state) {
        for (const Frame& f : source.frames) {
            auto side = ReadSideInfo(std::span(source.bytes).subspan(f.side_info),
                                     f.header.is_mpeg1, f.header.channels);
            benchmark::DoNotOptimize(side);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.frames.size()));
}
BENCHMARK(BM_ReadSideInfo);

// The full read and the histogram.
void BM_ReadSideInfoAndAddFrame(benchmark::State& state) {
    const Source& source = SourceFile();
    for (auto _ : state) {
        BandwidthHistogram histogram;
        for (const Frame& f : source.frames) {
            if (const auto side = ReadSideInfo(std::span(source.bytes).subspan(f.side_info),
                                               f.header.is_mpeg1, f.header.channels)) {
                histogram.AddFrame(*side, f.header.sample_rate);
            }
        }
        benchmark::DoNotOptimize(histogram.Percentile(kBandwidthPercentile));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.frames.size()));
}
BENCHMARK(BM_ReadSideInfoAndAddFrame);

// What the frame walk would add per frame: big_values and block_type read
// straight into the histogram.
void BM_AddSideInfo(benchmark::State& state) {
    const Source& source = SourceFile();
    for (auto _ : state) {
        BandwidthHistogram histogram;
        for (const Frame& f : source.frames) {
            histogram.AddSideInfo(std::span(source.bytes).subspan(f.side_info), f.header.is_mpeg1,
                                  f.header.channels, f.header.sample_rate);
        }
        benchmark::DoNotOptimize(histogram.Percentile(kBandwidthPercentile));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.frames.size()));
}
BENCHMARK(BM_AddSideInfo);

void BM_Percentile(benchmark::State& state) {
    BandwidthHistogram histogram;
    for (int i = 0; i < 10'000; ++i) {
        histogram.Add(12'000 + (i * 37) % 8'000);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(histogram.Percentile(kBandwidthPercentile));
    }
}
BENCHMARK(BM_Percentile);

}  // namespace
}  // namespace vandrel

BENCHMARK_MAIN();
