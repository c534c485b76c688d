// In-process figures for the scanner's hot paths: header decode, side
// information, the frame walk over a file in memory (with and without the
// integrity checks), the Layer III main-data decode, the frame search, the
// CRC, the attribute texts and the analysis cache's lookup.
//
// The frames come from an MP3 file (VANDREL_BENCH_MP3, else a committed
// fixture) whose audio frames are repeated to a file of about 8 MB.
//
//   hot_paths [--benchmark_filter=REGEX] [other Google Benchmark options]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/checks/IntegrityChecks.h"
#include "engine/frame/FrameHeader.h"
#include "engine/frame/FrameParser.h"
#include "engine/frame/MainDataDecoder.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/Crc16.h"
#include "engine/media/Mp3File.h"
#include "engine/verdicts/AttributeTexts.h"
#include "store/DataCache.h"

namespace vandrel {
namespace {

constexpr size_t kInMemoryFileSize = 8'000'000;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Exposes the stream so that a search can start where the benchmark wants.
class SearchableMp3File : public CMp3File {
public:
    FileStream& stream() { return Stream(); }
};

// The source file scanned once: its record and where its frames lie.
struct Source {
    std::vector<uint8_t> bytes;
    ScanRecord record = ZeroRecord();
    std::vector<uint32_t> positions;  // the frames after the first, and the audio's end
};

Source ScanSource(std::vector<uint8_t> bytes) {
    Source source;
    source.bytes = bytes;
    CMp3File file;
    file.OpenMemory("source.mp3", std::move(bytes));
    FrameSeries series;
    file.Scan(source.record, {.series = &series, .cache = CacheLookup::kSkip});
    source.positions = series[FrameSeries::kFramePosition];
    return source;
}

const Source& SourceFile() {
    static const Source source = [] {
        const char* chosen = std::getenv("VANDREL_BENCH_MP3");
        return ScanSource(ReadBytes(chosen != nullptr && *chosen != '\0' ? chosen
                                                                         : VANDREL_TEST_DATA
                                        "/audio/lame_vbr_v2.mp3"));
    }();
    return source;
}

// The source's tags and first frame, then its audio frames over and over.
struct InMemoryFile {
    std::vector<uint8_t> bytes;
    std::vector<size_t> frames;  // where each repeated frame starts
};

const InMemoryFile& LongFile() {
    static const InMemoryFile file = [] {
        const Source& source = SourceFile();
        const size_t audio = source.positions.front();
        const size_t end = source.positions.back();
        InMemoryFile made;
        made.bytes.assign(source.bytes.begin(), source.bytes.begin() + audio);
        while (made.bytes.size() < kInMemoryFileSize) {
            for (size_t i = 0; i + 1 < source.positions.size(); ++i) {
                made.frames.push_back(made.bytes.size() + (source.positions[i] - audio));
            }
            made.bytes.insert(made.bytes.end(), source.bytes.begin() + audio,
                              source.bytes.begin() + end);
        }
        // Room for the parse of the last frame.
        made.bytes.resize(made.bytes.size() + kFrameParseBytes);
        return made;
    }();
    return file;
}

void BM_DecodeFrameHeader(benchmark::State& state) {
    const InMemoryFile& file = LongFile();
    std::vector<uint32_t> words;
    for (size_t at : file.frames) {
        words.push_back(uint32_t{file.bytes[at]} << 24 | uint32_t{file.bytes[at + 1]} << 16 |
                        uint32_t{file.bytes[at + 2]} << 8 | file.bytes[at + 3]);
    }
    for (auto _ : state) {
        int64_t total = 0;
        for (uint32_t word : words) {
            FrameHeader header;
            total += DecodeFrameHeader(word, header);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_DecodeFrameHeader);

// Header, reference check and Layer III side information of the frames in
// the first 256 KB, which stay in the processor's cache as freshly read bytes
// do during a scan.
void BM_ParseFrame(benchmark::State& state) {
    const InMemoryFile& file = LongFile();
    std::vector<size_t> frames;
    for (size_t at : file.frames) {
        if (at - file.frames.front() < 256 * 1024) {
            frames.push_back(at);
        }
    }
    const ScanRecord reference = SourceFile().record;
    for (auto _ : state) {
        ScanRecord record = reference;
        FrameHeader header;
        for (size_t at : frames) {
            const int length = ParseFrame(std::span<const uint8_t, kFrameParseBytes>(
                                              file.bytes.data() + at, kFrameParseBytes),
                                          record, nullptr, header);
            benchmark::DoNotOptimize(length);
        }
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}
BENCHMARK(BM_ParseFrame);

// A whole scan of the file in memory: last-frame check, tags, VBR headers,
// the frame search and the walk over every frame; with the Details dialog's
// per-frame series as the second argument.
void BM_FrameWalk(benchmark::State& state) {
    const InMemoryFile& file = LongFile();
    CMp3File mp3;
    mp3.OpenMemory("walk.mp3", file.bytes);
    const bool with_series = state.range(0) != 0;
    for (auto _ : state) {
        ScanRecord record = ZeroRecord();
        FrameSeries series;
        mp3.Scan(record, {.series = with_series ? &series : nullptr, .cache = CacheLookup::kSkip});
        benchmark::DoNotOptimize(record);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.bytes.size()));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(file.frames.size()));
}
BENCHMARK(BM_FrameWalk)->ArgName("series")->Arg(0)->Arg(1);

// The frame search over junk of the given size (bytes that are no frames, with
// the sync byte scattered in), then five frames.
void BM_FindFrameChain(benchmark::State& state) {
    const InMemoryFile& file = LongFile();
    const size_t junk = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> bytes(junk);
    std::mt19937 random(8);
    std::uniform_int_distribution<int> byte(0, 255);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<uint8_t>(byte(random)); });
    bytes.insert(bytes.end(), file.bytes.begin() + static_cast<ptrdiff_t>(file.frames[0]),
                 file.bytes.begin() + static_cast<ptrdiff_t>(file.frames[0]) + 600'000);
    SearchableMp3File mp3;
    mp3.OpenMemory("search.mp3", std::move(bytes));
    int64_t found = 0;
    for (auto _ : state) {
        mp3.stream().Seek(0);
        found = mp3.FindFrameChain(5);
        benchmark::DoNotOptimize(found);
    }
    if (found < 0) {
        state.SkipWithError("no chain found");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FindFrameChain)->ArgName("junk")->Arg(0)->Arg(16 << 10)->Arg(256 << 10);

// The tag CRC (190 bytes) and the music CRC's chunk (1,000,000 bytes), by the
// route Crc16 takes and by the tables alone (eight bytes per step, and one).
template <uint16_t (*crc16)(std::span<const uint8_t>, uint16_t)>
void BM_Crc16(benchmark::State& state) {
    std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)));
    std::mt19937 random(16);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<uint8_t>(random()); });
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc16(bytes, 0));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc16<Crc16>)->ArgName("bytes")->Arg(190)->Arg(1'000'000);
BENCHMARK(BM_Crc16<Crc16Sliced>)->ArgName("bytes")->Arg(190)->Arg(1'000'000);
BENCHMARK(BM_Crc16<Crc16Bytewise>)->ArgName("bytes")->Arg(1'000'000);

// The main-data decode (reservoir, scale factors, Huffman lines, band
// levels) of the first 2,000 frames of the file in memory, one after the
// other; the figure is the time per granule-channel decoded.
void BM_MainDataDecode(benchmark::State& state) {
    const InMemoryFile& file = LongFile();
    struct Frame {
        std::span<const uint8_t> bytes;
        FrameHeader header;
    };
    std::vector<Frame> frames;
    for (size_t i = 0; i < file.frames.size() && frames.size() < 2000; ++i) {
        const std::span<const uint8_t> at = std::span(file.bytes).subspan(file.frames[i]);
        FrameHeader header;
        const int length = DecodeFrameHeader(LoadBe32(at), header);
        if (length > 0 && header.layer == 3) {
            frames.push_back({at.first(static_cast<size_t>(length)), header});
        }
    }
    MainDataDecoder decoder;
    for (auto _ : state) {
        for (const Frame& f : frames) {
            decoder.Decode(f.bytes, f.header);
        }
        benchmark::DoNotOptimize(decoder.counts());
    }
    if (decoder.counts().decoded == 0) {
        state.SkipWithError("no granule decoded");
    }
    // Seconds per granule-channel over all iterations (shown as 2.1u: 2.1 microseconds).
    state.counters["per_granule_channel"] =
        benchmark::Counter(static_cast<double>(decoder.counts().decoded),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MainDataDecode);

// The whole scan of BM_FrameWalk with every integrity check, the coded
// spectrum's sample of granules included.
void BM_FrameWalkWithChecks(benchmark::State& state) {
    const InMemoryFile& file = LongFile();
    CMp3File mp3;
    mp3.OpenMemory("walk.mp3", file.bytes);
    FileChecks results;
    IntegrityChecks checks(results);
    for (auto _ : state) {
        ScanRecord record = ZeroRecord();
        mp3.Scan(record, {.checks = &checks, .cache = CacheLookup::kSkip});
        benchmark::DoNotOptimize(record);
    }
    state.counters["granule_channels"] =
        static_cast<double>(checks.coded_spectrum().counts.decoded);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.bytes.size()));
}
BENCHMARK(BM_FrameWalkWithChecks);

void BM_BuildAttributeTexts(benchmark::State& state) {
    const ScanRecord record = SourceFile().record;
    AttributeTexts texts;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildAttributeTexts(texts, record, false));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAttributeTexts);

std::string CachedPath(int i) {
    return "/home/listener/Music/Artist " + std::to_string(i % 997) + "/Album " +
           std::to_string(i % 31) + "/" + std::to_string(i) + " - Some Track Title.mp3";
}

// Lookups of files the cache holds (in a shuffled order, so the hits are
// spread over the list) and of files it does not hold, with the record count
// as the argument.
void CacheLookup(benchmark::State& state, bool hits) {
    const int count = static_cast<int>(state.range(0));
    CDataCache cache("unused.dat");
    cache.SetMaxSizeKb(count * 3);
    ScanRecord record = ZeroRecord();
    record.whole_file_scanned = 1;
    record.status.modification_time = 1'700'000'000;
    for (int i = 0; i < count; ++i) {
        CopyTextField(record.path, CachedPath(i));
        cache.Store(record);
    }
    std::vector<std::string> paths;
    for (int i = 0; i < 1000; ++i) {
        paths.push_back(hits ? CachedPath(i * 7919 % count) : CachedPath(count + i));
    }
    size_t next = 0;
    size_t found = 0;
    for (auto _ : state) {
        ScanRecord out = record;
        found += cache.Lookup(paths[next], out.status, out, -1) ? 1 : 0;
        next = (next + 1) % paths.size();
    }
    if (found != (hits ? static_cast<size_t>(state.iterations()) : 0)) {
        state.SkipWithError("unexpected lookup result");
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_CacheLookupHit(benchmark::State& state) {
    CacheLookup(state, true);
}
void BM_CacheLookupMiss(benchmark::State& state) {
    CacheLookup(state, false);
}
BENCHMARK(BM_CacheLookupHit)->ArgName("records")->Arg(250)->Arg(50'000);
BENCHMARK(BM_CacheLookupMiss)->ArgName("records")->Arg(250)->Arg(50'000);

// A cache at the program's default size limit, full: loading it at start-up
// and saving it at exit (one record changed, so the save writes).
std::string FullCacheFile(int& count) {
    static const std::string path = [] {
        char folder[] = "/tmp/vandrel-cache-bench-XXXXXX";
        return std::string(mkdtemp(folder)) + "/cache.dat";
    }();
    CDataCache cache(path);
    cache.SetMaxSizeKb(kDefaultCacheMaxSizeKb);
    count = static_cast<int>(int64_t{kDefaultCacheMaxSizeKb} * 1024 / kScanRecordSize);
    ScanRecord record = ZeroRecord();
    record.kind = 1;
    record.is_mpeg1 = 1;
    record.layer = 3;
    record.sample_rate = 44100;
    record.frames = 10000;
    record.whole_file_scanned = 1;
    record.status.modification_time = 1'700'000'000;
    for (int i = 0; i < count; ++i) {
        CopyTextField(record.path, CachedPath(i));
        cache.Store(record);
    }
    cache.Save();
    return path;
}
void BM_CacheLoadDefaultSize(benchmark::State& state) {
    int count = 0;
    const std::string path = FullCacheFile(count);
    for (auto _ : state) {
        CDataCache cache(path);
        cache.Load();
        if (cache.RecordCount() != static_cast<size_t>(count)) {
            state.SkipWithError("records went missing");
        }
    }
    state.counters["records"] = count;
}
void BM_CacheSaveDefaultSize(benchmark::State& state) {
    int count = 0;
    const std::string path = FullCacheFile(count);
    CDataCache cache(path);
    cache.Load();
    ScanRecord record = ZeroRecord();
    record.kind = 1;
    record.whole_file_scanned = 1;
    decltype(record.status.modification_time) stamp = 1;
    for (auto _ : state) {
        record.status.modification_time = stamp++;
        CopyTextField(record.path, CachedPath(0));
        cache.Store(record);
        if (!cache.Save()) {
            state.SkipWithError("save failed");
        }
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_CacheLoadDefaultSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheSaveDefaultSize)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vandrel

BENCHMARK_MAIN();
