#include "engine/media/Mp3File.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

#include "engine/core/RecordCache.h"
#include "engine/core/ScanError.h"
#include "engine/frame/FrameObserver.h"
#include "engine/frame/FrameParser.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/Crc16.h"
#include "engine/media/FrameWalk.h"
#include "engine/tags/EncoderSignature.h"
#include "engine/tags/ItunesGap.h"
#include "engine/tags/TrailingTags.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel {

namespace {

// The length a player shows before it has read the file: it counts the
// frames after the Xing or VBRI header frame, or, without such a header, it
// takes the size of the audio at the first frame's bitrate (`estimate`).
float PlayerSeconds(const ScanRecord& record, const FrameHeader& first, float estimate) {
    const uint32_t frames = ShownLengthBasisOf(record).frames;
    if (frames == 0 || first.sample_rate <= 0) {
        return estimate;
    }
    return static_cast<float>(static_cast<double>(frames) *
                              SamplesPerFrame(first.is_mpeg1, first.layer) / first.sample_rate);
}

}  // namespace

CMp3File::CMp3File(const CMp3File& other) : CMediaFile(other) {}

std::unique_ptr<CMediaFileInterface> CMp3File::Clone() const {
    return std::make_unique<CMp3File>(*this);
}

bool CMp3File::IsSupportedFile(const std::string& path) const {
    // The probe needs no tags: only the base part of Open.
    CMp3File probe;
    if (!probe.CMediaFile::Open(path, "rb")) {
        return false;
    }
    const auto size = static_cast<int64_t>(probe.GetFileSize());
    probe.Stream().Seek(size / 2);
    bool found = probe.FindFrameChain(5) >= 0;
    // Cover art can make tags so much larger than the audio that the middle
    // of the file falls inside one of them: then from the middle of what lies
    // between the tags at either end.
    if (!found) {
        ScanRecord scratch = ZeroRecord();
        probe.SkipId3v2(scratch);
        const int64_t audio_start = probe.id3v2_end_;
        const int64_t audio_end = FindTrailingTags(probe.Stream());
        if (audio_start > 0 || audio_end < size) {
            probe.Stream().Seek(audio_start + (audio_end - audio_start) / 2);
            found = audio_end > audio_start && probe.FindFrameChain(5, audio_end) >= 0;
        }
    }
    probe.Close();
    return found;
}

int64_t CMp3File::FindFrameChain(int n, int64_t end) {
    static_assert(FileStream::kBufferCapacity >= kSearchWindowSize,
                  "the search looks at its whole window in the stream's buffer");
    FileStream& stream = Stream();
    const int64_t start = stream.Tell();

    // The window holds what one read of kSearchWindowSize bytes would give,
    // but it is fetched only as far as the search reaches into it: a chain is
    // usually found among the first few frames. It lives in the stream's own
    // buffer, which keeps what it holds as it grows.
    const int64_t limit = end >= 0 ? end : static_cast<int64_t>(GetFileSize());
    size_t read = static_cast<size_t>(
        std::clamp<int64_t>(limit - start, 0, static_cast<int64_t>(kSearchWindowSize)));
    std::span<const uint8_t> window;
    auto fetch = [&](size_t upto) {
        upto = std::min(std::max(upto, window.size() + kSearchChunk), read);
        if (upto <= window.size()) {
            return;
        }
        window = stream.Peek(upto);
        if (window.size() < upto) {
            read = window.size();  // the file has become shorter since it was opened
        }
    };

    for (size_t i = 0; i < read / 2; ++i) {
        if (i >= window.size()) {
            fetch(i + 1);
            if (i >= read / 2) {
                break;
            }
        }
        // Only a sync byte can start a header: go straight to the next one
        // among the bytes fetched (or to their end).
        const size_t stop = std::min(window.size(), read / 2);
        const void* sync = std::memchr(window.data() + i, 0xFF, stop - i);
        if (sync == nullptr) {
            i = stop - 1;
            continue;
        }
        i = static_cast<size_t>(static_cast<const uint8_t*>(sync) - window.data());
        size_t p = i;
        bool chained = true;
        for (int k = 0; k < n; ++k) {
            if (p + 4 > window.size()) {
                fetch(p + 4);
            }
            if (p + 4 > window.size()) {
                chained = false;
                break;
            }
            FrameHeader header;
            const int length = DecodeFrameHeader(LoadBe32(window.subspan(p, 4)), header);
            if (length == 0) {
                chained = false;
                break;
            }
            p += static_cast<size_t>(length);
            if (p + 4 >= read) {
                // The chain runs out of the window: the whole search gives up,
                // and the stream stays at the end of the window.
                stream.Seek(start + static_cast<int64_t>(read));
                return -1;
            }
        }
        if (chained) {
            stream.Seek(start + static_cast<int64_t>(i));
            return static_cast<int64_t>(i);
        }
    }
    stream.Seek(start);
    return -1;
}

uint32_t ReadHeaderWord(FileStream& stream) {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
        const int byte = stream.GetByte();
        word = (word << 8) | static_cast<uint32_t>(byte < 0 ? 0xFF : byte);
    }
    return word;
}

namespace {

// The record's values of the first frame, at `first_frame`, and the first
// estimates of bitrate and length: `audio_bytes` at its bitrate; the length
// a player shows into `checks`. Returns the frame's length. Throws ScanError
// when the frame's header is gone, or when it is of free format.
int TakeFirstFrame(FileStream& stream, ScanRecord& record, int64_t first_frame, int64_t audio_bytes,
                   FileChecks* checks) {
    stream.Seek(first_frame);
    FrameHeader first;
    const int first_length = DecodeFrameHeader(ReadHeaderWord(stream), first);
    if (first_length == 0) {
        throw ScanError(kLostHeaderMessage);
    }
    const int32_t first_kbps = BitrateKbps(first.is_mpeg1, first.layer, first.bitrate_index);
    record.average_bitrate = first_kbps;
    record.length_seconds =
        static_cast<float>(static_cast<double>(audio_bytes * 8 / 1000) / first_kbps);
    if (checks != nullptr) {
        checks->player_seconds = PlayerSeconds(record, first, record.length_seconds);
    }

    record.mode = first.mode;
    record.channels = first.channels;
    record.is_mpeg1 = first.is_mpeg1;
    record.not_mpeg25 = first.not_mpeg25;
    record.layer = first.layer;
    record.sample_rate = first.sample_rate;
    record.copyright = first.copyright;
    record.original = first.original;
    record.emphasis = first.emphasis;
    if (first.bitrate_index == 0) {
        throw ScanError(kFreeFormatMessage);
    }
    return first_length;
}

// Room for as many frames of the first one's length as the audio holds, so
// that the series do not grow (and move) as the walk goes.
void ReserveSeries(FrameSeries& series, int64_t audio_bytes, int first_length, int frame_limit) {
    int64_t expected = audio_bytes / first_length + 1;
    if (frame_limit > 0) {
        expected = std::min<int64_t>(expected, frame_limit);
    }
    series.Reserve(static_cast<size_t>(std::clamp<int64_t>(expected, 0, kMaxSeriesReserve)));
}

}  // namespace

int64_t CMp3File::ReadTagsAndHeaders(ScanRecord& record) {
    FileStream& stream = Stream();
    ReadId3v1(record);
    const int64_t tags_start = FindTrailingTags(stream);
    SkipId3v2(record);
    stream.Seek(id3v2_end_);
    record.has_cue_sheet = HasCueSheet() ? 1 : 0;
    FindFrameChain(5);  // positions the stream at the first frame when there is one
    const int64_t frame_search_start = stream.Tell();
    DetectVbrHeaders(record);
    FindEncoderText(record);
    stream.Seek(frame_search_start);
    return tags_start;
}

int CMp3File::Scan(ScanRecord& record, const ScanOptions& options) {
    FileStream& stream = Stream();
    record.kind = GetFileTypeCode();
    CopyTextField(record.path, Path());
    FillFileStatus(record.status, Path());

    FileChecks* const checks = options.checks != nullptr ? options.checks->results : nullptr;
    if (checks != nullptr) {
        *checks = FileChecks{};
    }
    if (options.cache == CacheLookup::kAsk &&
        AnswerFromCache(Path(), record, options.frame_limit, options.progress, checks)) {
        return 1;
    }

    stream.Seek(0);
    const int64_t size = static_cast<int64_t>(GetFileSize());
    // file_size holds 32 bits; larger sizes saturate rather than wrap, and
    // the whole size is kept beside it.
    StoreMpegFileSize(record, static_cast<uint64_t>(size));
    if (size == 0) {
        return 0;
    }

    const int64_t tags_start = ReadTagsAndHeaders(record);
    if (checks != nullptr && record.id3v2_present != 0) {
        const int64_t position = stream.Tell();
        if (const std::optional<EncoderGap> gap = ReadItunesGap(stream, 0)) {
            checks->itunes_gap = 1;
            checks->itunes_delay = static_cast<uint32_t>(gap->delay);
            checks->itunes_padding = static_cast<uint32_t>(gap->padding);
        }
        stream.Seek(position);
    }
    // Tags after the audio (APE, Lyrics3, ID3v1, ...) end the walk and are no
    // audio; an ID3v1 tag alone ends it where the tag starts.
    const int64_t audio_end = tags_start < size ? tags_start : -1;
    if (FindFrameChain(5) < 0) {
        throw ScanError(kNoHeaderMessage);
    }
    const int64_t first_frame = stream.Tell();
    if (record.has_xing == 0) {
        record.first_frame_offset = static_cast<int32_t>(first_frame);
    }
    const int64_t unknown_after = CheckLastFrame(record, first_frame, tags_start);
    if (checks != nullptr) {
        checks->unknown_after_audio = SaturatedSize(static_cast<uint64_t>(unknown_after));
        if (first_frame > id3v2_end_) {
            checks->junk_before_audio =
                SaturatedSize(static_cast<uint64_t>(first_frame - id3v2_end_));
        }
    }

    // Until a whole walk finds where the last frame ends, the audio runs from
    // the first frame to the tags after it.
    const int64_t audio_bytes = tags_start > first_frame ? tags_start - first_frame : size;
    record.non_audio_bytes = SaturatedSize(static_cast<uint64_t>(size - audio_bytes));
    const int first_length = TakeFirstFrame(stream, record, first_frame, audio_bytes, checks);

    record.frames = 0;
    if (!options.walk_frames) {
        return 1;
    }
    if (options.series != nullptr) {
        ReserveSeries(*options.series, audio_bytes, first_length, options.frame_limit);
    }
    return WalkFrames(*this, stream, record, {first_frame, first_frame + first_length, audio_end},
                      options);
}

std::string CMp3File::RefusalReason(const std::string& path) {
    // Enough for five frames of any kind after the file's ID3v2 tag.
    constexpr size_t kLookAt = 64 * 1024;
    CMp3File file;
    if (!file.CMediaFile::Open(path, "rb")) {
        return {};
    }
    ScanRecord scratch = ZeroRecord();
    if (file.SkipId3v2(scratch) && file.id3v2_end_ == 0) {
        return {};  // a tag larger than the file: its text says nothing of frames
    }
    const std::span<const uint8_t> bytes = file.Stream().Peek(kLookAt);
    const auto word_at = [&](size_t at) { return LoadBe32(bytes.subspan(at, 4)); };

    // Free format: the same header, padding aside, with bitrate index 0, at
    // least three times.
    std::map<uint32_t, int> free_headers;
    for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
        const uint32_t word = word_at(at);
        FrameHeader header;
        if ((word & kBitrateMask) == 0 && DecodeFrameHeader(word | (1u << 12), header) != 0 &&
            ++free_headers[word & ~kPaddingMask] >= 3) {
            return kFreeFormatRefusal;
        }
    }
    // Too few frames: the file is a chain of headers from the first one to its
    // end (or to an ID3v1 tag), too short for the probe, which looks from the
    // middle of the file for five.
    const uint64_t audio_end = file.GetFileSize() - static_cast<uint64_t>(file.Stream().Tell());
    if (audio_end > bytes.size()) {
        return {};
    }
    for (size_t first = 0; first + 4 <= bytes.size(); ++first) {
        FrameHeader header;
        int frames = 0;
        size_t at = first;
        for (int length;
             at + 4 <= bytes.size() && (length = DecodeFrameHeader(word_at(at), header)) != 0;
             at += static_cast<size_t>(length)) {
            ++frames;
        }
        const bool to_end = at == bytes.size() || (at + kId3v1Size == bytes.size() &&
                                                   std::memcmp(bytes.data() + at, "TAG", 3) == 0);
        if (frames >= 1 && to_end) {
            return kTooFewFramesRefusal;
        }
    }
    return {};
}

bool CMp3File::Open(const std::string& path, std::string_view mode) {
    if (!CMediaFile::Open(path, mode)) {
        tag_.ReadTags(path);  // fails the same way, and forgets the last file's tag
        return false;
    }
    // The tag is read from the stream's buffer, where the scan finds the
    // file's first bytes again.
    FileStream& stream = Stream();
    std::span<const uint8_t> start = stream.Peek(kId3v2HeaderSize);
    if (start.size() >= 3 && std::memcmp(start.data(), "ID3", 3) == 0) {
        start = stream.Peek(kId3v2ReadLimit);
    }
    tag_.ReadTags(path, start);
    return true;
}

void CMp3File::OpenMemory(const std::string& path, std::vector<uint8_t> bytes) {
    tag_.ReadTags(path, bytes);
    CMediaFile::OpenMemory(path, std::move(bytes));
}

int64_t CMp3File::ReadId3v1(ScanRecord& record) {
    FileStream& stream = Stream();
    int64_t result = -1;
    record.id3v1.image[kId3v1GenreByte] = 255;
    if (const int64_t tag_position = FindId3v1Tag(stream); tag_position >= 0) {
        stream.Seek(tag_position);
        if (stream.Read(record.id3v1.image) == kId3v1Size) {
            record.id3v1_present = 1;
            result = tag_position;
            // ID3v1.1 keeps the track after a zero byte that ends the
            // comment; a 30-character ID3v1.0 comment has none.
            const uint8_t track = record.id3v1.image[kId3v1TrackByte];
            if (record.id3v1.image[kId3v1TrackByte - 1] == 0 && track != 0) {
                record.id3v1.track = static_cast<int8_t>(track);
            }
        }
    }
    stream.Seek(0);
    return result;
}

bool CMp3File::SkipId3v2(ScanRecord& record) {
    FileStream& stream = Stream();
    stream.Seek(0);
    uint8_t head[10] = {};
    const size_t got = stream.Read(head);
    id3v2_end_ = 0;
    if (got < 3 || std::memcmp(head, "ID3", 3) != 0) {
        record.id3v2_present = 0;
        stream.Seek(0);
        return false;
    }
    // The size bytes are taken whole, as written, even when a broken tag
    // sets their top bits.
    const int64_t size = ((int64_t{head[6]} * 128 + head[7]) * 128 + head[8]) * 128 + head[9];
    constexpr uint8_t kFooterFlag = 0x10;
    const int64_t recorded = size + ((head[5] & kFooterFlag) != 0 ? 20 : 10);
    record.id3v2_size = static_cast<int32_t>(recorded);
    record.id3v2_present = 1;
    const auto file_size = static_cast<int64_t>(GetFileSize());
    id3v2_end_ = 10 + size;
    if (id3v2_end_ > file_size) {
        // A size past the end of the file is no size: the frames are looked
        // for from the tag's start.
        id3v2_end_ = 0;
    } else {
        // Tags stacked one after another (a tagger that put its own in front
        // of another's): the audio starts after the last.
        int64_t next = 10 + size + ((head[5] & kFooterFlag) != 0 ? 10 : 0);
        for (int i = 0; i < kMaxStackedId3v2; ++i) {
            stream.Seek(next);
            if (stream.Read(head) != sizeof head || std::memcmp(head, "ID3", 3) != 0 ||
                (head[6] | head[7] | head[8] | head[9]) >= 0x80) {
                break;
            }
            const int64_t end = next + 10 + LoadSyncsafe28({head + 6, 4});
            if (end > file_size) {
                break;
            }
            id3v2_end_ = end;
            next = end + ((head[5] & kFooterFlag) != 0 ? 10 : 0);
        }
    }
    stream.Seek(id3v2_end_);
    return true;
}

bool CMp3File::HasCueSheet() const {
    return tag_.FindCueSheet() != -1;
}

void CMp3File::DetectVbrHeaders(ScanRecord& record) {
    FileStream& stream = Stream();
    const int64_t start = stream.Tell();
    std::array<uint8_t, kVbrHeaderProbeSize> buffer{};
    const std::span<const uint8_t> frame(buffer.data(), stream.Read(buffer));

    // The first place where a tag occurs decides whether the parser, which
    // looks only at the tag's fixed place in the frame, is run at all.
    auto first_of = [&](std::initializer_list<std::string_view> tags) -> size_t {
        for (size_t i = 0; i + 4 <= frame.size(); ++i) {
            for (std::string_view tag : tags) {
                if (std::memcmp(frame.data() + i, tag.data(), 4) == 0) {
                    return i;
                }
            }
        }
        return frame.size();
    };
    record.has_xing = first_of({"Xing", "Info"}) <= kVbrHeaderLastOffset
                          ? ParseXingHeader(record, frame, start)
                          : 0;
    record.has_vbri =
        first_of({"VBRI"}) <= kVbrHeaderLastOffset ? ParseVbriHeader(record, frame) : 0;
    stream.Seek(start);
}

void CMp3File::FindEncoderText(ScanRecord& record) {
    FileStream& stream = Stream();
    std::string text;
    if (const std::string_view version = LameVersion(record); !version.empty()) {
        text = NameFromText(version);
        if (text.empty() && record.xing.has_lame_tag != 0) {
            text = "Lame (" + std::string(version) + ")";  // lame inside another program
        }
    }
    // A header text that names nothing (another program's name in a tag whose
    // CRC is wrong) does not stop the search for an encoder's own signature.
    if (text.empty()) {
        // Encoders leave their name near the start of the audio or at the
        // very end of the file.
        std::array<uint8_t, kEncoderTextBlock> block{};
        stream.Seek(id3v2_end_);
        size_t got = stream.Read(block);
        text = NameFromText(SignatureFromBlock({block.data(), got}));
        if (text.empty()) {
            const auto size = static_cast<int64_t>(GetFileSize());
            stream.Seek(std::max<int64_t>(0, size - static_cast<int64_t>(block.size())));
            got = stream.Read(block);
            text = NameFromText(SignatureFromBlock({block.data(), got}));
        }
    }
    CopyTextField(record.encoder_text, text);
    stream.Seek(0);
}

int64_t CMp3File::FrameAfterInfoFrame(const ScanRecord& record) {
    FileStream& stream = Stream();
    stream.Seek(int64_t{record.first_frame_offset} + 4);
    return FindFrameChain(5) < 0 ? -1 : stream.Tell();
}

bool CMp3File::WriteId3v1(const Id3v1Tag& tag) {
    FileStream& stream = Stream();
    // The file's ID3v1 tag is replaced where it is; a file that does not end
    // in one (but perhaps in an APE or Lyrics3 tag) gets one appended.
    const int64_t existing = FindId3v1Tag(stream);
    stream.Seek(existing >= 0 ? existing : static_cast<int64_t>(GetFileSize()));
    const std::array<uint8_t, kId3v1Size> image = Id3v1Bytes(tag);
    const int64_t size_before = stream.Size();
    const bool written = stream.Write(image);
    if (!written && existing < 0) {
        // Part of an appended tag is no tag: the file gets its old length back.
        stream.Truncate(size_before);
    }
    SetFileSize(static_cast<uint64_t>(stream.Size()));
    return written;
}

uint16_t CMp3File::ComputeMusicCrc(ScanRecord& record, sink_mini* progress) {
    FileStream& stream = Stream();
    const int64_t first = record.first_frame_offset;
    FrameHeader header;
    stream.Seek(first);
    const int length = DecodeFrameHeader(ReadHeaderWord(stream), header);
    record.xing.header_frame_length = length;
    if (length == 0) {
        return 0;
    }
    const int64_t audio_start = first + length;
    stream.Seek(audio_start);
    if (DecodeFrameHeader(ReadHeaderWord(stream), header) == 0) {
        return 0;
    }

    // The tag's music length (from the start of its frame) says where the
    // music ends, before any tag or other bytes that follow it. A length that
    // ends inside the tag's frame or past the end of the file cannot be so:
    // then the rest of the file but an ID3v1 tag is checked, and the record
    // says which was the case.
    const auto size = static_cast<int64_t>(GetFileSize());
    const int64_t music_end = first + int64_t{record.xing.music_length};
    int64_t total =
        size - audio_start - (record.id3v1_present != 0 ? static_cast<int64_t>(kId3v1Size) : 0);
    int32_t computed = kMusicCrcOverMusicLength;
    if (music_end <= audio_start) {
        computed = kMusicCrcWithoutMusicLength;
    } else if (music_end > size) {
        computed = kMusicCrcMusicLengthPastEnd;
    } else {
        total = music_end - audio_start;
    }
    uint16_t crc = 0;
    int64_t done = 0;
    stream.Seek(audio_start);
    while (done < total) {
        // Progress is reported per chunk; the CRC runs over the stream's
        // buffer, a read at a time.
        const int64_t chunk_end = std::min(total, done + static_cast<int64_t>(kMusicCrcChunk));
        while (done < chunk_end) {
            const std::span<const uint8_t> bytes = stream.Peek(static_cast<size_t>(
                std::min<int64_t>(chunk_end - done, FileStream::kMaxReadAhead)));
            if (bytes.empty()) {
                break;  // the file ended early
            }
            crc = Crc16(bytes, crc);
            done += static_cast<int64_t>(bytes.size());
            stream.Seek(audio_start + done);
        }
        if (progress != nullptr && !progress->Progress(done, total)) {
            return crc;  // stopped: the record keeps what it said before
        }
        if (done < chunk_end) {
            break;
        }
    }
    record.xing.music_crc_ok = crc == record.xing.music_crc ? 1 : 0;
    record.xing.music_crc_computed = computed;
    return crc;
}

}  // namespace vandrel
