// The frame walk of CMp3File: the last-frame check, the walk over every frame
// with its re-synchronisation, and the finishing step that turns the counts
// into an average bitrate and a length.
#include "engine/media/FrameWalk.h"

#include <xxhash.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <span>

#include "engine/core/RecordCache.h"
#include "engine/frame/FrameObserver.h"
#include "engine/frame/FrameParser.h"
#include "engine/io/ByteOrder.h"
#include "engine/media/Mp3File.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel {

namespace {

// A real number as the record's 32-bit integer; NaN and out-of-range values
// (from a damaged cached record) become 0 rather than undefined behaviour.
int32_t TruncateToInt32(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) {
        return 0;
    }
    return static_cast<int32_t>(value);
}

// How far (as a share of the bitrate) the average of a Xing header may lie
// from the one bitrate of the frames walked for a partial walk to take that
// bitrate: lame's CBR files give a few tenths of a percent less.
constexpr double kCbrHeaderTolerance = 0.02;

// The time a walk has covered, each frame with its own duration. Frames that
// last as long as the first are only counted, so that a file of one frame
// duration gives exactly frames x samples per frame / rate, as it always has.
class WalkDuration {
public:
    explicit WalkDuration(const ScanRecord& first)
        : is_mpeg1_(first.is_mpeg1), layer_(first.layer), sample_rate_(first.sample_rate),
          samples_per_frame_(SamplesPerFrame(first.is_mpeg1, first.layer)) {}

    void Add(const FrameHeader& header) {
        if (header.sample_rate == sample_rate_ && header.layer == layer_ &&
            header.is_mpeg1 == is_mpeg1_) {
            return;  // the usual case: as long as the first frame
        }
        const int64_t samples = SamplesPerFrame(header.is_mpeg1, header.layer);
        if (samples != samples_per_frame_ || header.sample_rate != sample_rate_) {
            ++others_;
            other_seconds_ += static_cast<double>(samples) / header.sample_rate;
        }
    }
    bool Mixed() const { return others_ > 0; }
    double Seconds(int64_t frames) const {
        return static_cast<double>(frames - others_) * static_cast<double>(samples_per_frame_) /
                   sample_rate_ +
               other_seconds_;
    }
    // The time after `frames` frames in milliseconds, at the record's current
    // rate when all frames last as long as the first.
    int64_t ElapsedMs(int64_t frames, int32_t record_rate) const {
        if (record_rate <= 0) {
            return 0;
        }
        return Mixed() ? static_cast<int64_t>(Seconds(frames) * 1000.0)
                       : frames * samples_per_frame_ * 1000 / record_rate;
    }

private:
    int32_t is_mpeg1_;
    int32_t layer_;
    int32_t sample_rate_;
    int64_t samples_per_frame_;
    int64_t others_ = 0;
    double other_seconds_ = 0.0;
};

// The sync errors of a walk. A re-synchronisation is one, counted at the
// step after it at the time of the frames before that step. A run of frames
// skipped for disagreeing with the reference values is one, counted at the
// step after the run ends (or at the end of the walk), unless a
// re-synchronisation in the run counted one; its time is where the run starts.
class SyncErrorCount {
public:
    explicit SyncErrorCount(ScanRecord& record) : record_(record) {}

    // At a step that is no re-synchronisation; `elapsed_ms` gives the time of
    // the frames counted so far, and is asked only when an error is counted.
    template <class Elapsed> void AtStep(bool after_resync, Elapsed elapsed_ms) {
        if (after_resync) {
            Count(elapsed_ms());
            skip_counted_ = skipping_;
        } else if (skip_ended_) {
            Count(skip_start_ms_);
            skip_ended_ = false;
        }
    }
    // A frame taken as audio; `resync_step` when a re-synchronisation found it.
    void Parsed(bool resync_step) {
        if (skipping_) {
            skip_ended_ = !skip_counted_ && !resync_step;
            skipping_ = false;
            skip_counted_ = false;
        }
    }
    // A frame skipped; a run that starts here starts at `elapsed_ms()`, the
    // time of the frames before it.
    template <class Elapsed> void Skipped(Elapsed elapsed_ms) {
        if (!skipping_) {
            skip_start_ms_ = elapsed_ms();
        }
        skipping_ = true;
    }
    bool Skipping() const { return skipping_; }
    // The audio ends in frames of another kind.
    void AtEnd() {
        if (skipping_ && !skip_counted_) {
            Count(skip_start_ms_);
        }
    }

private:
    void Count(int64_t time_ms) {
        ++record_.sync_errors;
        if (record_.sync_errors <= kMaxStoredSyncErrors && record_.sample_rate > 0) {
            record_.sync_error_times_ms[record_.sync_errors - 1] = time_ms;
        }
    }

    ScanRecord& record_;
    bool skipping_ = false;
    bool skip_counted_ = false;
    bool skip_ended_ = false;
    int64_t skip_start_ms_ = 0;
};

// A frame skipped for its layer; `run_starts` when the frame before it was
// not skipped.
void AddOtherLayer(FileChecks& out, const FrameHeader& header, bool run_starts) {
    const uint16_t kind = MpegKindCode(header.is_mpeg1, header.not_mpeg25, header.layer);
    if (out.other_layer_frames == 0) {
        out.other_layer_kind = kind;
    }
    if (kind == out.other_layer_kind) {
        ++out.other_layer_frames;
    }
    if (run_starts && out.other_layer_runs != std::numeric_limits<uint16_t>::max()) {
        ++out.other_layer_runs;
    }
}

// The audio hash of a walk with the checks: XXH3 (64 bits) over the bytes of
// the audio frames in the order of the file. The Xing, Info or VBRI frame
// carries no audio and is left out, and so are frames of another layer,
// junk, the bytes of a sync error and every tag: retagging a file or
// rebuilding its header keeps its hash.
class AudioHash {
public:
    AudioHash() : state_(XXH3_createState()) {
        if (state_ != nullptr) {
            XXH3_64bits_reset(state_.get());
        }
    }
    void Add(std::span<const uint8_t> bytes) {
        if (state_ != nullptr) {
            XXH3_64bits_update(state_.get(), bytes.data(), bytes.size());
        }
    }
    bool valid() const { return state_ != nullptr; }
    uint64_t Digest() const { return XXH3_64bits_digest(state_.get()); }

private:
    struct Free {
        void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
    };
    std::unique_ptr<XXH3_state_t, Free> state_;
};

// One walk of WalkFrames.
class FrameWalker {
public:
    FrameWalker(CMp3File& file, FileStream& stream, ScanRecord& record, WalkSpan span,
                const ScanOptions& options)
        : file_(file), stream_(stream), record_(record), span_(span),
          size_(static_cast<int64_t>(file.GetFileSize())), limit_(options.frame_limit),
          series_(options.series),
          checks_(options.checks != nullptr ? options.checks->results : nullptr),
          observer_(options.checks != nullptr ? options.checks->observer : nullptr),
          progress_(options.progress), duration_(record), errors_(record), audio_end_(span.start) {
        if (checks_ != nullptr) {
            hash_ = std::make_unique<AudioHash>();
        }
    }

    int Run() {
        Begin();
        if (!Steps()) {
            return 1;  // stopped by the caller: the record keeps what it has and is not cached
        }
        End();
        return 1;
    }

private:
    // One step of a walk: the frame at the current position parsed into the
    // record and series, or skipped as one that disagrees with the file's
    // reference values (another layer, a change of channels or rate; taken
    // only when another frame header follows it, or the audio ends there), or
    // invalid (the stream then stands 4 bytes after its start).
    struct Step {
        enum Kind { kParsed, kSkipped, kInvalid } kind;
        int64_t next;  // the following frame's position
    };

    void Begin();
    // The steps up to the end of the audio or the frame limit; false when the
    // progress sink stopped the walk.
    bool Steps();
    void End();
    Step ParseFrame(FrameHeader& header);
    // The step for a frame whose parse gave `length` (0 or less).
    Step NotParsed(int64_t start, int length);
    // Re-synchronisation: the next two chained frames before the end of the
    // audio, window after window. Their position, or -1.
    int64_t Resync();
    void SettleAverageReservoir() {
        if (reservoir_frames_ >= 0) {
            record_.average_reservoir =
                static_cast<int32_t>(record_.reservoir_sum / (reservoir_frames_ + 1));
        }
    }
    int64_t ElapsedMs() const { return duration_.ElapsedMs(record_.frames, record_.sample_rate); }
    // The frames the walk will tell, as far as can be known before it
    // (FrameObserver::expected_frames); `first_length` is the first frame's.
    int64_t ExpectedFrames(int first_length) const;
    // Where the audio ends at the latest.
    int64_t AudioLimit() const { return span_.end >= 0 ? span_.end : size_; }
    void TellObserver(std::span<const uint8_t> frame, int length, const FrameHeader& header) {
        // Only the frame's own bytes, as far as the file has them.
        observer_->Frame(frame.first(std::min(frame.size(), static_cast<size_t>(length))), header);
    }

    CMp3File& file_;
    FileStream& stream_;
    ScanRecord& record_;
    const WalkSpan span_;
    const int64_t size_;
    const int limit_;
    FrameSeries* const series_;
    FileChecks* const checks_;
    FrameObserver* const observer_;
    sink* const progress_;
    WalkDuration duration_;
    SyncErrorCount errors_;
    // The average reservoir use is the sum over the frames counted when side
    // information was last read; it is divided out only when the record is
    // handed on, not once per frame.
    int64_t reservoir_frames_ = -1;
    int64_t audio_end_;                // the end of the last frame walked
    std::unique_ptr<AudioHash> hash_;  // with the checks only
};

int64_t FrameWalker::ExpectedFrames(int first_length) const {
    const int64_t by_size = (AudioLimit() - span_.first_frame) / std::max(first_length, 1);
    int64_t frames = by_size;
    // The header's count, unless it is far from what the size gives (a
    // header of other audio, or damaged): VBR frames average a few times the
    // header frame's length at most.
    int64_t counted = 0;
    if (record_.has_xing != 0 && (record_.xing.flags & kXingFramesFlag) != 0) {
        counted = int64_t{record_.xing.frames} + 1;
    } else if (record_.has_vbri != 0) {
        counted = int64_t{record_.vbri.frames} + 1;
    }
    constexpr int64_t kTrustedFactor = 8;
    if (counted > 1 && counted <= by_size * kTrustedFactor && counted * kTrustedFactor >= by_size) {
        frames = counted;
    }
    return limit_ != -1 ? std::min<int64_t>(frames, limit_ + 1) : frames;
}

void FrameWalker::Begin() {
    if (checks_ != nullptr) {
        checks_->walked = 1;
    }
    if (observer_ != nullptr || hash_ != nullptr) {
        // The first frame was read before the walk.
        stream_.Seek(span_.first_frame);
        std::span<const uint8_t> first = stream_.Peek(kObservedFrameBytes);
        FrameHeader header;
        const int length = first.size() >= 4 ? DecodeFrameHeader(LoadBe32(first), header) : 0;
        // A Xing, Info or VBRI header sits in the first frame: no audio.
        const bool header_frame = record_.has_xing != 0 || record_.has_vbri != 0;
        if (observer_ != nullptr) {
            observer_->set_expected_frames(ExpectedFrames(length));
            observer_->BeginWalk();
            if (length > 0) {
                if (observer_->wants_whole_frame() && !header_frame) {
                    first = stream_.Peek(static_cast<size_t>(length));
                }
                TellObserver(first, length, header);
            }
        }
        // After the observer, whose bytes a longer peek may move.
        if (hash_ != nullptr && length > 0 && !header_frame) {
            hash_->Add(stream_.Peek(static_cast<size_t>(length)));
        }
    }
    std::fill(std::begin(record_.bitrate_index_counts), std::end(record_.bitrate_index_counts), 0u);
    record_.long_blocks = 0;
    record_.short_blocks = 0;
    record_.mixed_blocks = 0;
    std::fill(std::begin(record_.stereo_type_counts), std::end(record_.stereo_type_counts), 0u);
}

inline FrameWalker::Step FrameWalker::ParseFrame(FrameHeader& header) {
    const int64_t start = stream_.Tell();
    const std::span<const uint8_t> head = stream_.Peek(kFrameParseBytes);
    int length;
    if (head.size() == kFrameParseBytes) {
        length = vandrel::ParseFrame(head.first<kFrameParseBytes>(), record_, series_, header);
    } else {
        // Near the end of the file: header bytes past the end read as 0xFF,
        // side-information bits past the end as zero.
        std::array<uint8_t, kFrameParseBytes> padded{};
        std::fill_n(padded.begin(), 4, uint8_t{0xFF});
        std::copy(head.begin(), head.end(), padded.begin());
        length = vandrel::ParseFrame(padded, record_, series_, header);
    }
    if (length > 0) {
        if (observer_ != nullptr) {
            if (observer_->wants_whole_frame()) [[unlikely]] {
                TellObserver(stream_.Peek(static_cast<size_t>(length)), length, header);
            } else {
                TellObserver(head, length, header);
            }
        }
        // After the observer: a longer peek may move the buffer under `head`.
        if (hash_ != nullptr) {
            hash_->Add(stream_.Peek(static_cast<size_t>(length)));
        }
        return {Step::kParsed, start + length};
    }
    return NotParsed(start, length);
}

FrameWalker::Step FrameWalker::NotParsed(int64_t start, int length) {
    if (length < 0) {
        // A frame of another kind is one only when a frame header follows it
        // (or the audio ends there); else its header was chance bytes.
        const int64_t next = start - length;
        stream_.Seek(next);
        FrameHeader following;
        if (next >= AudioLimit() || DecodeFrameHeader(ReadHeaderWord(stream_), following) != 0) {
            return {Step::kSkipped, next};
        }
    }
    stream_.Seek(start + 4);  // a re-synchronisation searches on from here
    return {Step::kInvalid, -1};
}

int64_t FrameWalker::Resync() {
    const int64_t limit = AudioLimit();
    // A chain must start in the first half of a search window: past a longer
    // gap (two files joined with silence or junk between them) the search
    // goes on from the second half, window after window, to the end.
    for (int64_t from = stream_.Tell(); from < limit;) {
        // A hole in a sparse file reads as zeros, which hold no frame.
        from = std::min(stream_.NextData(from), limit);
        if (from >= limit) {
            break;
        }
        stream_.Seek(from);
        if (file_.FindFrameChain(2, span_.end) >= 0) {
            return stream_.Tell();
        }
        const int64_t half = std::min(static_cast<int64_t>(kSearchWindowSize), limit - from) / 2;
        if (half == 0) {
            break;
        }
        from += half;
    }
    return -1;
}

bool FrameWalker::Steps() {
    ScanRecord& record = record_;
    const int64_t end = span_.end;
    const int64_t size = size_;
    int64_t q = span_.start;
    bool resync_pending = false;
    bool resync_done = false;
    FrameHeader header;
    for (;;) {
        bool resync_step = false;
        if (resync_pending) {
            if (Resync() < 0) {
                break;
            }
            --record.frames;  // the frame found takes the place of the one lost
            resync_step = true;
            resync_pending = false;
        } else {
            errors_.AtStep(resync_done, [this] { return ElapsedMs(); });
            stream_.Seek(q);
            if (series_ != nullptr) {
                (*series_)[FrameSeries::kFramePosition].push_back(
                    SaturatedSize(static_cast<uint64_t>(q)));
            }
        }
        ++record.frames;
        if (q == end || q >= size) {
            break;
        }
        const Step step = ParseFrame(header);
        switch (step.kind) {
        case Step::kParsed:
            q = step.next;
            audio_end_ = q;
            reservoir_frames_ = record.frames;
            duration_.Add(header);
            errors_.Parsed(resync_step);
            break;
        case Step::kSkipped:
            if (observer_ != nullptr) {
                observer_->Gap();
            }
            if (checks_ != nullptr && header.layer != record.layer) {
                AddOtherLayer(*checks_, header, !errors_.Skipping());
            }
            // The count does not hold this frame yet: it is the number of
            // frames before it.
            errors_.Skipped([this] { return ElapsedMs(); });
            q = step.next;
            audio_end_ = q;
            duration_.Add(header);
            break;
        case Step::kInvalid:
            if (observer_ != nullptr) {
                observer_->Gap();
            }
            resync_pending = true;
            break;
        }
        if (progress_ != nullptr && record.frames % kProgressInterval == 0) {
            SettleAverageReservoir();
            if (!FinishScan(record, progress_)) {
                return false;
            }
        }
        if (limit_ != -1 && record.frames >= limit_) {
            break;
        }
        resync_done = resync_step;
    }
    return true;
}

void FrameWalker::End() {
    SettleAverageReservoir();
    record_.whole_file_scanned = (limit_ != -1 && record_.frames >= limit_) ? 0 : 1;
    if (record_.whole_file_scanned != 0) {
        errors_.AtEnd();
        // The audio ends with the last frame walked (a cut-short one ends
        // with the file or where the tags after it start).
        const int64_t audio_bytes = std::min(audio_end_, AudioLimit()) - span_.first_frame;
        record_.non_audio_bytes =
            audio_bytes > 0 ? SaturatedSize(static_cast<uint64_t>(size_ - audio_bytes)) : 0;
        if (duration_.Mixed()) {
            record_.walked_seconds = static_cast<float>(duration_.Seconds(record_.frames));
        }
        if (checks_ != nullptr) {
            checks_->audio_bytes = static_cast<uint64_t>(std::max<int64_t>(audio_bytes, 0));
            if (hash_ != nullptr && hash_->valid()) {
                checks_->audio_hash = hash_->Digest();
                checks_->audio_hashed = 1;
            }
        }
    }
    if (observer_ != nullptr) {
        // The observer gets the record with its average bitrate, which
        // FinishScan sets; the cache keeps the record as it is before that step.
        ScanRecord finished = record_;
        FinishScan(finished, nullptr);
        observer_->EndWalk(finished);
    }
    if (RecordCache* cache = AnalysisCache(); cache != nullptr && FitsRecordPath(file_.Path())) {
        cache->Store(record_, checks_);
    }
    FinishScan(record_, progress_);
}

}  // namespace

void CMp3File::CopyTail(ScanRecord& record, int64_t position) {
    FileStream& stream = Stream();
    uint8_t* tail = record.tail_bytes;
    size_t skip = 0;
    if (position < 0) {
        // Bytes before the start of the file do not exist; they stay zero.
        skip = static_cast<size_t>(std::min<int64_t>(-position, sizeof record.tail_bytes));
        position = 0;
    }
    stream.Seek(position);
    stream.Read({tail + skip, sizeof record.tail_bytes - skip});
}

int64_t CMp3File::CheckLastFrame(ScanRecord& record, int64_t first_frame, int64_t end) {
    FileStream& stream = Stream();
    bool complete = false;
    int64_t unknown = 0;

    // The window ends where the tags after the audio start, and starts no
    // earlier than the first frame: tags at either end (a cover picture) could
    // fill its first half, where the chain has to start.
    stream.Seek(std::max(end - std::min(end, kLastFrameSearchSize), first_frame));
    if (FindFrameChain(5, end) >= 0) {
        int64_t position = stream.Tell();
        for (;;) {
            stream.Seek(position);
            FrameHeader header;
            const int length = DecodeFrameHeader(ReadHeaderWord(stream), header);
            if (length != 0) {
                const int64_t frame_end = position + length;
                if (frame_end == end) {
                    // Ends exactly where the audio does: the frame's last 11
                    // bytes, less the very last one.
                    CopyTail(record, frame_end - 11);
                    complete = true;
                    break;
                }
                if (frame_end > end) {
                    // Cut short: the end of the previous frame instead.
                    CopyTail(record, position - 11);
                    break;
                }
                position = frame_end;
                continue;
            }
            stream.Seek(position + 4);
            if (FindFrameChain(2, end) >= 0) {
                position = stream.Tell();
                continue;
            }
            // Trailing bytes that are no frames (junk, a tag not recognised):
            // the last frame was whole.
            CopyTail(record, position - 11);
            complete = true;
            unknown = end - position;
            break;
        }
    }
    record.last_frame_complete = complete ? 1 : 0;
    return unknown;
}

int WalkFrames(CMp3File& file, FileStream& stream, ScanRecord& record, WalkSpan span,
               const ScanOptions& options) {
    return FrameWalker(file, stream, record, span, options).Run();
}

bool AnswerFromCache(std::string_view path, ScanRecord& record, int frame_limit, sink* progress,
                     FileChecks* checks) {
    RecordCache* cache = AnalysisCache();
    if (cache == nullptr || !FitsRecordPath(path) ||
        !cache->Lookup(path, record.status, record, frame_limit, checks)) {
        return false;
    }
    FinishScan(record, progress);
    return true;
}

bool FinishScan(ScanRecord& record, sink* progress) {
    const int64_t samples_per_frame = SamplesPerFrame(record.is_mpeg1, record.layer);
    const double sample_rate = record.sample_rate;
    // Tags, and bytes before the first frame or after the last, carry no
    // audio: neither the bitrate nor an estimated length counts them.
    const uint64_t audio_size = RecordAudioBytes(record);
    const auto audio_bytes = static_cast<double>(audio_size);
    const bool whole_file = record.whole_file_scanned != 0;
    double average = 0.0;
    bool from_xing = false;

    // The Xing frame count gives the duration when the walk counted as many
    // frames. A walk cut short by its limit can only take it on trust, and
    // does so while the header's byte count says the header was written for
    // this audio: the first header of files joined together, or a header
    // without a byte count, would give their first part's length and a
    // bitrate many times too high.
    const uint32_t xing_frames = record.xing.frames + 1;  // the header frame counts too
    const int64_t frames = record.frames;
    const bool counts_fit = frames == xing_frames || (frames < xing_frames && !whole_file &&
                                                      XingByteCountFits(record, audio_size));
    if (record.has_xing != 0 && xing_frames != 0 && sample_rate > 0 && counts_fit) {
        const double duration =
            static_cast<double>(xing_frames) * static_cast<double>(samples_per_frame) / sample_rate;
        average = audio_bytes * 8.0 / (duration * 1000.0);
        // Above the top of the bitrate table no frame could have it: the
        // header does not describe these bytes.
        from_xing = average > 7.0 && average <= TopBitrateKbps(record.is_mpeg1, record.layer);
    }
    int used = 0;
    int only_index = 0;
    for (int i = 1; i <= 15; ++i) {
        if (record.bitrate_index_counts[i] != 0) {
            ++used;
            only_index = i;
        }
    }
    if (!from_xing) {
        int64_t weighted = 0;
        int64_t counted = 0;
        for (int i = 1; i <= 15; ++i) {
            const int64_t count = record.bitrate_index_counts[i];
            weighted += count * BitrateKbps(record.is_mpeg1, record.layer, i);
            counted += count;
        }
        average = counted > 0 ? static_cast<double>(weighted) / static_cast<double>(counted) : 0.0;
    }

    if (whole_file) {
        if (record.walked_seconds > 0.0f) {
            record.length_seconds = record.walked_seconds;  // frames of more than one duration
        } else if (sample_rate > 0) {
            record.length_seconds = static_cast<float>(
                static_cast<double>(frames) * static_cast<double>(samples_per_frame) / sample_rate);
        }
    } else if (average > 0.0) {
        // Without an average (no frame counted) the first-frame estimate stays.
        record.length_seconds = static_cast<float>(audio_bytes * 8.0 / (average * 1000.0));
    }
    record.average_bitrate = TruncateToInt32(average);
    if (used == 1) {
        // Frames of one bitrate have that bitrate, whatever their header
        // frame (of a bitrate of its own) makes of the size over the
        // duration. A walk cut short under a header that gives another
        // average has only seen the start of the file (a VBR file's quiet
        // first frames); a CBR header's average lies within a hair of it.
        const int32_t only = BitrateKbps(record.is_mpeg1, record.layer, only_index);
        if (whole_file || !from_xing || std::abs(average - only) <= kCbrHeaderTolerance * only) {
            record.average_bitrate = only;
        }
    }
    record.is_vbr = used >= 2 ? 1 : 0;

    return progress == nullptr || progress->Progress(record);
}

}  // namespace vandrel
