// The frame walk of CMp3File: the last-frame check, the walk over every frame
// with its re-synchronisation, and the finishing step that turns the counts
// into an average bitrate and a length.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "engine/checks/Bandwidth.h"
#include "engine/checks/FrameCrc.h"
#include "engine/core/RecordCache.h"
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

private:
    int32_t is_mpeg1_;
    int32_t layer_;
    int32_t sample_rate_;
    int64_t samples_per_frame_;
    int64_t others_ = 0;
    double other_seconds_ = 0.0;
};

}  // namespace

struct CMp3File::WalkChecks {
    FileChecks& out;
    BandwidthHistogram bandwidth;

    // One frame's CRC (its bytes from the header on, as far as they were
    // read) and, for Layer III, its granules' bandwidth.
    void Add(std::span<const uint8_t> frame, const FrameHeader& header) {
        if (header.protection == 0) {
            switch (CheckFrameCrc(frame, header)) {
            case FrameCrcResult::kOk:
                ++out.crc_frames;
                break;
            case FrameCrcResult::kMismatch:
                ++out.crc_frames;
                ++out.crc_errors;
                break;
            case FrameCrcResult::kNotCheckable:
                ++out.crc_unchecked;
                break;
            case FrameCrcResult::kUnprotected:
                break;
            }
        }
        if (header.layer == 3) {
            const size_t side_info = header.protection == 0 ? 6 : 4;
            if (frame.size() > side_info) {
                bandwidth.AddSideInfo(frame.subspan(side_info), header.is_mpeg1, header.channels,
                                      header.sample_rate);
            }
        }
    }

    // A frame skipped for its layer; `run_starts` when the frame before it
    // was not skipped.
    void AddOtherLayer(const FrameHeader& header, bool run_starts) {
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

    // The bandwidth verdict, once the walk is over.
    void Finish(const ScanRecord& record) {
        const StreamFacts facts{
            .bitrate_kbps = record.average_bitrate,
            .sample_rate = record.sample_rate,
            .rate_control = record.is_vbr != 0 ? RateControl::kVariable : RateControl::kConstant,
            .lame_vbr_scale =
                record.has_xing != 0 && record.xing.has_lame_tag != 0 ? record.xing.vbr_scale : -1,
        };
        const UpscaleVerdict verdict = JudgeBandwidth(bandwidth, facts);
        out.bandwidth_granules = static_cast<uint32_t>(bandwidth.count());
        out.bandwidth_hz = static_cast<float>(verdict.bandwidth_hz);
        out.reach_hz = static_cast<float>(verdict.reach_hz);
        out.upscale = static_cast<int32_t>(verdict.kind);
    }
};

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
            const int length = DecodeFrameHeader(ReadHeaderWord(), header);
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

inline CMp3File::FrameStep CMp3File::ParseFrame(ScanRecord& record, FrameSeries* series,
                                                WalkChecks* checks, int64_t end,
                                                FrameHeader& header) {
    FileStream& stream = Stream();
    const int64_t start = stream.Tell();
    const std::span<const uint8_t> head = stream.Peek(kFrameParseBytes);
    int length;
    if (head.size() == kFrameParseBytes) {
        length = vandrel::ParseFrame(head.first<kFrameParseBytes>(), record, series, header);
    } else {
        // Near the end of the file: header bytes past the end read as 0xFF,
        // side-information bits past the end as zero.
        std::array<uint8_t, kFrameParseBytes> padded{};
        std::fill_n(padded.begin(), 4, uint8_t{0xFF});
        std::copy(head.begin(), head.end(), padded.begin());
        length = vandrel::ParseFrame(padded, record, series, header);
    }
    if (length > 0) {
        if (checks != nullptr) {
            // Only the frame's own bytes, as far as the file has them.
            checks->Add(head.first(std::min(head.size(), static_cast<size_t>(length))), header);
        }
        return {FrameStep::kParsed, start + length};
    }
    return NotParsed(start, length, end);
}

CMp3File::FrameStep CMp3File::NotParsed(int64_t start, int length, int64_t end) {
    FileStream& stream = Stream();
    if (length < 0) {
        // A frame of another kind is one only when a frame header follows it
        // (or the audio ends there); else its header was chance bytes.
        const int64_t next = start - length;
        const int64_t limit = end >= 0 ? end : static_cast<int64_t>(GetFileSize());
        stream.Seek(next);
        FrameHeader following;
        if (next >= limit || DecodeFrameHeader(ReadHeaderWord(), following) != 0) {
            return {FrameStep::kSkipped, next};
        }
    }
    stream.Seek(start + 4);  // a re-synchronisation searches on from here
    return {FrameStep::kInvalid, -1};
}

int64_t CMp3File::Resync(int64_t end) {
    FileStream& stream = Stream();
    const int64_t limit = end >= 0 ? end : static_cast<int64_t>(GetFileSize());
    // A chain must start in the first half of a search window: past a longer
    // gap (two files joined with silence or junk between them) the search
    // goes on from the second half, window after window, to the end.
    for (int64_t from = stream.Tell(); from < limit;) {
        // A hole in a sparse file reads as zeros, which hold no frame.
        from = std::min(stream.NextData(from), limit);
        if (from >= limit) {
            break;
        }
        stream.Seek(from);
        if (FindFrameChain(2, end) >= 0) {
            return stream.Tell();
        }
        const int64_t half = std::min(static_cast<int64_t>(kSearchWindowSize), limit - from) / 2;
        if (half == 0) {
            break;
        }
        from += half;
    }
    return -1;
}

int CMp3File::WalkFrames(ScanRecord& record, WalkSpan span, int limit, FrameSeries* series,
                         FileChecks* checks, sink* progress) {
    FileStream& stream = Stream();
    const int64_t size = static_cast<int64_t>(GetFileSize());
    const int64_t end = span.end;
    const int64_t samples_per_frame = SamplesPerFrame(record.is_mpeg1, record.layer);
    WalkDuration duration(record);
    std::optional<WalkChecks> walk_checks;
    if (checks != nullptr) {
        walk_checks.emplace(WalkChecks{*checks, {}});
        checks->walked = 1;
        // The first frame was read before the walk.
        stream.Seek(span.first_frame);
        const std::span<const uint8_t> first = stream.Peek(kFrameCrcBytes);
        FrameHeader header;
        const int length = first.size() >= 4 ? DecodeFrameHeader(LoadBe32(first), header) : 0;
        if (length > 0) {
            walk_checks->Add(first.first(std::min(first.size(), static_cast<size_t>(length))),
                             header);
        }
    }
    WalkChecks* const frame_checks = walk_checks ? &*walk_checks : nullptr;

    std::fill(std::begin(record.bitrate_index_counts), std::end(record.bitrate_index_counts), 0u);
    record.long_blocks = 0;
    record.short_blocks = 0;
    record.mixed_blocks = 0;
    std::fill(std::begin(record.stereo_type_counts), std::end(record.stereo_type_counts), 0u);

    // The average reservoir use is the sum over the frames counted when side
    // information was last read; it is divided out only when the record is
    // handed on, not once per frame.
    int64_t reservoir_frames = -1;
    auto settle_average_reservoir = [&] {
        if (reservoir_frames >= 0) {
            record.average_reservoir =
                static_cast<int32_t>(record.reservoir_sum / (reservoir_frames + 1));
        }
    };
    // The time after `frames` frames, in milliseconds.
    auto elapsed_ms = [&](int64_t frames) -> int64_t {
        if (record.sample_rate <= 0) {
            return 0;
        }
        return duration.Mixed() ? static_cast<int64_t>(duration.Seconds(frames) * 1000.0)
                                : frames * samples_per_frame * 1000 / record.sample_rate;
    };
    auto count_sync_error = [&](int64_t time_ms) {
        ++record.sync_errors;
        if (record.sync_errors <= kMaxStoredSyncErrors && record.sample_rate > 0) {
            record.sync_error_times_ms[record.sync_errors - 1] = time_ms;
        }
    };

    int64_t q = span.start;
    int64_t audio_end = span.start;  // the end of the last frame walked
    bool resync_pending = false;
    bool resync_done = false;
    // A run of frames skipped for disagreeing with the reference values is
    // one sync error, counted at the step after the run ends (or at the end
    // of the walk), unless a re-synchronisation in the run counted one. Its
    // time is where the run starts.
    bool skipping = false;
    bool skip_counted = false;
    bool skip_ended = false;
    int64_t skip_start_ms = 0;
    FrameHeader header;
    for (;;) {
        bool resync_step = false;
        if (resync_pending) {
            if (Resync(end) < 0) {
                break;
            }
            // The frame found takes the place of the one lost.
            --record.frames;
            resync_step = true;
            resync_pending = false;
        } else {
            if (resync_done) {
                count_sync_error(elapsed_ms(record.frames));
                skip_counted = skipping;
            } else if (skip_ended) {
                count_sync_error(skip_start_ms);
                skip_ended = false;
            }
            stream.Seek(q);
            if (series != nullptr) {
                (*series)[FrameSeries::kFramePosition].push_back(
                    SaturatedSize(static_cast<uint64_t>(q)));
            }
        }
        ++record.frames;
        if (q == end || q >= size) {
            break;
        }
        const FrameStep step = ParseFrame(record, series, frame_checks, end, header);
        switch (step.kind) {
        case FrameStep::kParsed:
            q = step.next;
            audio_end = q;
            reservoir_frames = record.frames;
            duration.Add(header);
            if (skipping) {
                skip_ended = !skip_counted && !resync_step;
                skipping = false;
                skip_counted = false;
            }
            break;
        case FrameStep::kSkipped:
            if (frame_checks != nullptr && header.layer != record.layer) {
                frame_checks->AddOtherLayer(header, !skipping);
            }
            if (!skipping) {
                // The count does not hold the first frame yet: it is the
                // number of frames before this one.
                skip_start_ms = elapsed_ms(record.frames);
            }
            q = step.next;
            audio_end = q;
            duration.Add(header);
            skipping = true;
            break;
        case FrameStep::kInvalid:
            resync_pending = true;
            break;
        }
        if (progress != nullptr && record.frames % kProgressInterval == 0) {
            settle_average_reservoir();
            if (!FinishScan(record, progress)) {
                // Stopped by the caller: the record keeps what it has and is
                // not cached.
                return 1;
            }
        }
        if (limit != -1 && record.frames >= limit) {
            break;
        }
        resync_done = resync_step;
    }

    settle_average_reservoir();
    record.whole_file_scanned = (limit != -1 && record.frames >= limit) ? 0 : 1;
    if (record.whole_file_scanned != 0) {
        if (skipping && !skip_counted) {
            count_sync_error(skip_start_ms);  // the file ends in frames of another kind
        }
        // The audio ends with the last frame walked (a cut-short one ends
        // with the file or where the tags after it start).
        const int64_t audio_limit = end >= 0 ? end : size;
        const int64_t audio_bytes = std::min(audio_end, audio_limit) - span.first_frame;
        record.non_audio_bytes =
            audio_bytes > 0 ? SaturatedSize(static_cast<uint64_t>(size - audio_bytes)) : 0;
        if (duration.Mixed()) {
            record.walked_seconds = static_cast<float>(duration.Seconds(record.frames));
        }
        if (checks != nullptr) {
            checks->audio_bytes = static_cast<uint64_t>(std::max<int64_t>(audio_bytes, 0));
        }
    }
    if (walk_checks) {
        // The verdict wants the average bitrate, which FinishScan sets; the
        // cache keeps the record as it is before that step.
        ScanRecord finished = record;
        FinishScan(finished, nullptr);
        walk_checks->Finish(finished);
    }
    if (RecordCache* cache = AnalysisCache(); cache != nullptr && FitsRecordPath(Path())) {
        cache->Store(record, checks);
    }
    FinishScan(record, progress);
    return 1;
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
