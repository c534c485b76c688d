#include "engine/repair/FrameMap.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <iterator>
#include <span>

#include "engine/core/Sink.h"
#include "engine/frame/FrameHeader.h"
#include "engine/frame/FrameObserver.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/FileStream.h"
#include "engine/media/Mp3File.h"
#include "engine/tags/Id3Tag.h"
#include "engine/tags/TrailingTags.h"

namespace vandrel {

namespace {

// A frame as the walk tells it: its header word and length, and whether the
// walk lost the chain before it.
struct ToldFrame {
    uint32_t word = 0;
    uint32_t length = 0;
    bool after_gap = false;
};

// Keeps the frames the walk tells, in order.
class FrameRecorder final : public FrameObserver {
public:
    void BeginWalk() override {
        told_.clear();
        gap_ = false;
    }
    void Frame(std::span<const uint8_t> bytes, const FrameHeader& /*header*/) override {
        if (bytes.size() < 4) {
            return;
        }
        const uint32_t word = LoadBe32(bytes);
        FrameHeader decoded;
        const int length = DecodeFrameHeader(word, decoded);
        told_.push_back({word, static_cast<uint32_t>(std::max(length, 0)), gap_});
        gap_ = false;
    }
    void Gap() override { gap_ = true; }

    const std::vector<ToldFrame>& told() const { return told_; }

private:
    std::vector<ToldFrame> told_;
    bool gap_ = false;
};

// Answers the walk's progress calls with the caller's cancel flag.
class CancelSink final : public sink {
public:
    explicit CancelSink(const std::atomic<bool>* cancel) : cancel_(cancel) {}
    bool Progress(const ScanRecord& /*record*/) override {
        return cancel_ == nullptr || !cancel_->load();
    }

private:
    const std::atomic<bool>* cancel_;
};

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, uint64_t at) {
    if (at + 4 > bytes.size()) {
        return 0;
    }
    return LoadBe32(std::span<const uint8_t>(bytes).subspan(at, 4));
}

// Where the told frame `i` starts at `from` or later: at `from` when the
// chain went on, else at the first place whose header word is the frame's
// and after which the next told frame follows (when it follows without a
// gap). Nothing when there is none before `limit`.
std::optional<uint64_t> PlaceFrame(const std::vector<uint8_t>& bytes,
                                   const std::vector<ToldFrame>& told, size_t i, uint64_t from) {
    const ToldFrame& frame = told[i];
    if (!frame.after_gap) {
        return WordAt(bytes, from) == frame.word ? std::optional<uint64_t>(from) : std::nullopt;
    }
    const bool next_follows = i + 1 < told.size() && !told[i + 1].after_gap;
    for (uint64_t at = from; at + 4 <= bytes.size(); ++at) {
        if (WordAt(bytes, at) != frame.word) {
            continue;
        }
        if (!next_follows || WordAt(bytes, at + frame.length) == told[i + 1].word) {
            return at;
        }
    }
    return std::nullopt;
}

// Places every told frame in the file's bytes: the header frame (when the
// scan found one), the audio frames and the sync errors between them.
bool PlaceFrames(FrameMap& map, const std::vector<ToldFrame>& told, uint64_t first) {
    uint64_t next = first;
    for (size_t i = 0; i < told.size(); ++i) {
        const std::optional<uint64_t> at =
            i == 0 ? (WordAt(map.bytes, first) == told[0].word ? std::optional<uint64_t>(first)
                                                               : std::nullopt)
                   : PlaceFrame(map.bytes, told, i, next);
        if (!at || told[i].length == 0) {
            map.failure = "the frames of the walk could not all be placed in the file";
            return false;
        }
        if (*at > next) {
            map.sync_errors.push_back({next, *at - next});
        }
        const MappedFrame frame{*at, told[i].length, told[i].word};
        const bool header_frame = i == 0 && (map.record.has_xing != 0 || map.record.has_vbri != 0);
        if (header_frame) {
            map.header = frame;
        } else {
            map.frames.push_back(frame);
        }
        next = frame.end();
    }
    return true;
}

// The bytes around the audio: the tags at either end, the junk before the
// first frame and the unknown bytes after the last; whether the last frame
// is cut. False (with the failure) when they do not add up to the file.
bool PlaceSurroundings(FrameMap& map, uint64_t first, uint64_t tags_start) {
    // With a tag size past the end the frames are looked for from the tag's
    // start: the bytes before them are the tag's, not junk, and stay.
    const uint64_t junk = Id3v2SizeRunsPastEnd(map.record) ? 0 : map.checks.junk_before_audio;
    if (junk > first) {
        map.failure = "the junk before the audio does not fit before the first frame";
        return false;
    }
    map.leading_tags = {0, first - junk};
    map.junk_before = {first - junk, junk};
    map.trailing_tags = {tags_start, map.bytes.size() - tags_start};
    const uint64_t audio_end = map.frames.empty() ? first : map.frames.back().end();
    if (audio_end > tags_start) {
        map.last_frame_cut = true;
        return true;
    }
    map.unknown_after = {audio_end, tags_start - audio_end};
    if (map.unknown_after.length != map.checks.unknown_after_audio) {
        map.failure = "the bytes after the last frame are not those the scan found";
        return false;
    }
    return true;
}

// The scan of the walk: false (with the failure) when it did not cover the
// file whole.
bool Walk(const std::string& path, FrameMap& map, FrameRecorder& recorder,
          const std::atomic<bool>* cancel) {
    CMp3File file;
    if (!file.IsSupportedFile(path)) {
        const std::string reason = CMp3File::RefusalReason(path);
        map.failure = reason.empty() ? "not MPEG audio" : reason;
        return false;
    }
    if (!file.Open(path, "rb")) {
        map.failure = "the file cannot be opened";
        return false;
    }
    ScanChecks scan_checks{&map.checks, &recorder};
    CancelSink progress(cancel);
    try {
        file.Scan(map.record, {.walk_frames = true,
                               .frame_limit = kAllFrames,
                               .checks = &scan_checks,
                               .cache = CacheLookup::kSkip,
                               .progress = &progress});
    } catch (const std::exception& error) {
        map.failure = error.what();
        while (!map.failure.empty() && (map.failure.back() == '\n' || map.failure.back() == '\r')) {
            map.failure.pop_back();
        }
        return false;
    }
    if (cancel != nullptr && cancel->load()) {
        map.failure = "stopped";
        return false;
    }
    if (map.record.whole_file_scanned == 0 || map.checks.walked == 0) {
        map.failure = "the walk did not cover the whole file";
        return false;
    }
    return true;
}

}  // namespace

FrameMap MapFrames(const std::string& path, const std::atomic<bool>* cancel) {
    FrameMap map;
    FrameRecorder recorder;
    if (!Walk(path, map, recorder, cancel)) {
        return map;
    }
    if (map.checks.other_layer_frames != 0) {
        map.failure = "frames of another layer lie among the audio";
        return map;
    }
    if (!ReadWhole(path, map.bytes)) {
        map.failure = "the file cannot be read";
        return map;
    }
    FileStream stream;
    if (!stream.Open(path, "rb")) {
        map.failure = "the file cannot be opened";
        return map;
    }
    const auto tags_start = static_cast<uint64_t>(FindTrailingTags(stream));
    const auto first = static_cast<uint64_t>(map.record.first_frame_offset);
    if (!PlaceFrames(map, recorder.told(), first) || !PlaceSurroundings(map, first, tags_start)) {
        return map;
    }
    const uint64_t audio_end =
        std::min(map.frames.empty() ? first : map.frames.back().end(), tags_start);
    if (audio_end - first != map.checks.audio_bytes ||
        static_cast<int64_t>(recorder.told().size()) != map.record.frames) {
        map.failure = "the frames placed are not those the scan counted";
    }
    return map;
}

}  // namespace vandrel
