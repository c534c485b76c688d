#include "engine/media/MpcFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "engine/core/ScanError.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {
constexpr int32_t kMpcSampleRate = 44100;
// 1000 / 44100 as the single-precision number the durations were made with.
constexpr float kMillisecondsPerSample = 0.022675738f;

// Stream version 8 is a chain of packets after the magic: a two-letter key
// ('A' to 'Z' each), the packet's whole size (key and size field included)
// as a variable-length number, then the payload.
constexpr std::string_view kPacketMagic = "MPCK";
constexpr std::string_view kStreamHeaderKey = "SH";
constexpr std::string_view kEncoderInfoKey = "EI";
constexpr std::string_view kAudioPacketKey = "AP";
constexpr std::string_view kStreamEndKey = "SE";
constexpr size_t kKeySize = 2;
// Variable-length numbers take at most nine bytes (63 bits).
constexpr size_t kMaxVarLenBytes = 9;
// The header packets come before the audio; a file whose first thousands of
// packets are all something else is not read further.
constexpr int kMaxPacketsBeforeAudio = 4096;
// The stream header needs at most 4 + 1 + 9 + 9 + 2 bytes, the encoder information 4.
constexpr size_t kMaxPayloadRead = 32;
constexpr size_t kCrcSize = 4;
constexpr size_t kEncoderInfoSize = 4;

// The two bytes after the sample counts in the stream header:
//   RRRBBBBB CCCCMAAA
constexpr uint8_t kRateIndexShift = 5;       // RRR: index into kMpegPlusSampleRates
constexpr uint8_t kMaxBandsMask = 0x1F;      // BBBBB: bands used - 1
constexpr uint8_t kChannelsShift = 4;        // CCCC: channels - 1
constexpr uint8_t kMidSideMask = 0x08;       // M
constexpr uint8_t kPacketFramesMask = 0x07;  // AAA: frames per audio packet = 4^AAA

// The first byte of the encoder information:
//   PPPPPPPN
constexpr uint8_t kProfileShift = 1;  // P: profile in eighths
constexpr uint8_t kPnsMask = 0x01;    // N: noise substitution used

struct VarLen {
    uint64_t value;
    size_t length;
};

// Seven bits a byte, most significant first; a set top bit means another
// byte follows:  1xxxxxxx 1xxxxxxx 0xxxxxxx
std::optional<VarLen> ReadVarLen(std::span<const uint8_t> bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes.size() && i < kMaxVarLenBytes; ++i) {
        value = (value << 7) | (bytes[i] & 0x7Fu);
        if ((bytes[i] & 0x80) == 0) {
            return VarLen{value, i + 1};
        }
    }
    return std::nullopt;  // runs past the bytes given, or longer than any number
}

struct PacketHead {
    std::string key;
    uint64_t head_size;  // key and size field
    uint64_t size;       // the whole packet
};

bool IsKeyLetter(uint8_t c) {
    return c >= 'A' && c <= 'Z';
}

// The key and size of the packet at `pos`; nothing when they are damaged or
// the size would not even cover them (a packet that never moves the walk on).
std::optional<PacketHead> ReadPacketHead(FileStream& stream, uint64_t pos) {
    std::array<uint8_t, kKeySize + kMaxVarLenBytes> head{};
    stream.Seek(static_cast<int64_t>(pos));
    const size_t got = stream.Read(head);
    if (got <= kKeySize || !IsKeyLetter(head[0]) || !IsKeyLetter(head[1])) {
        return std::nullopt;
    }
    const std::optional<VarLen> size =
        ReadVarLen(std::span<const uint8_t>(head).subspan(kKeySize, got - kKeySize));
    if (!size || size->value < kKeySize + size->length) {
        return std::nullopt;
    }
    return PacketHead{std::string(head.begin(), head.begin() + kKeySize), kKeySize + size->length,
                      size->value};
}

// The stream header after its CRC (which is not checked): version, sample
// count, beginning silence, then the two bytes drawn above. False when the
// payload ends before them, the rate index is outside the table or the
// version is not the one we know.
bool ParseStreamHeader(std::span<const uint8_t> payload, MpcPacketSummary& summary) {
    if (payload.size() <= kCrcSize) {
        return false;
    }
    std::span<const uint8_t> rest = payload.subspan(kCrcSize);
    summary.stream_version = rest[0];
    rest = rest.subspan(1);
    const std::optional<VarLen> samples = ReadVarLen(rest);
    if (!samples) {
        return false;
    }
    rest = rest.subspan(samples->length);
    const std::optional<VarLen> silence = ReadVarLen(rest);
    if (!silence || rest.size() < silence->length + 2) {
        return false;
    }
    rest = rest.subspan(silence->length);
    summary.sample_count = samples->value;
    summary.beginning_silence = silence->value;
    const size_t rate_index = rest[0] >> kRateIndexShift;
    if (rate_index >= kMpegPlusSampleRates.size()) {
        return false;  // no rate to play it at, nor to measure it by
    }
    summary.sample_rate = kMpegPlusSampleRates[rate_index];
    summary.max_bands = (rest[0] & kMaxBandsMask) + 1u;
    summary.channels = (rest[1] >> kChannelsShift) + 1u;
    summary.mid_side = (rest[1] & kMidSideMask) != 0 ? 1 : 0;
    summary.frames_per_packet = 1u << (2 * (rest[1] & kPacketFramesMask));
    return summary.stream_version == kMpcPacketStreamVersion;
}

// The encoder information: profile and noise substitution, then the
// encoder's major, minor and build numbers. A packet cut short is ignored.
void ParseEncoderInfo(std::span<const uint8_t> payload, MpcPacketSummary& summary) {
    if (payload.size() < kEncoderInfoSize) {
        return;
    }
    summary.has_encoder_info = true;
    summary.profile = payload[0] >> kProfileShift;
    summary.pns = payload[0] & kPnsMask;
    summary.encoder_major = payload[1];
    summary.encoder_minor = payload[2];
    summary.encoder_build = payload[3];
}

}  // namespace

const char* MpcProfileName(int profile) {
    static constexpr const char* kNames[] = {"Thumb", "Radio", "Standard", "Xtreme", "Insane"};
    return profile >= 0 && profile < 5 ? kNames[profile] : "Unknown";
}

const char* MpcPacketProfileName(int profile_eighths) {
    // By whole profile number, as mpcenc names its qualities: 5.5 (10.5) is
    // still "Standard". It never writes a number below 5.
    static constexpr std::array<const char*, 16> kNames = {
        "Unknown", "Unknown",         "Unknown",         "Unknown",
        "Unknown", "below Telephone", "below Telephone", "Telephone",
        "Thumb",   "Radio",           "Standard",        "Xtreme",
        "Insane",  "BrainDead",       "above BrainDead", "above BrainDead"};
    const int number = profile_eighths / 8;
    return profile_eighths >= 0 && number < static_cast<int>(kNames.size())
               ? kNames[static_cast<size_t>(number)]
               : "Unknown";
}

const char* MpcRecordProfileName(int32_t stream_version, int32_t profile) {
    return stream_version == static_cast<int32_t>(kMpcPacketStreamVersion)
               ? MpcPacketProfileName(profile)
               : MpcProfileName(profile);
}

bool CMpcFile::IsSupportedFile(const std::string& path) const {
    CMpcFile probe;
    if (!probe.Open(path, "rb")) {
        return false;
    }
    // A damaged version 8 file is still taken: its scan then says what is wrong.
    MpcHeaderSummary summary;
    return probe.HasPacketMagic() || probe.ReadMpcHeader(summary);
}

std::unique_ptr<CMediaFileInterface> CMpcFile::Clone() const {
    return std::make_unique<CMpcFile>(*this);
}

bool CMpcFile::SetScanResult(const ScanRecord& record) {
    if (page_host_ != nullptr) {
        page_host_->FillTextPage(text_page_, record);
        if (!pages_.empty()) {
            page_host_->RefreshPage(pages_.front());
        }
    }
    return true;
}

// The page takes its font from the dialog it sits in.
bool CMpcFile::CreatePages(std::string_view /*font_face*/, PageHost& host, int /*option*/) {
    DestroyPages();
    page_host_ = &host;
    pages_ = {host.CreateTextPage(text_page_)};
    host.AddTab("Text Info");
    page_kinds_ = {kPageTextInfo};
    return true;
}

bool CMpcFile::MovePages(const PageRect& rect) {
    if (page_host_ != nullptr && !pages_.empty()) {
        page_host_->MovePage(pages_.front(), rect, PageSlot::kWhole);
    }
    return true;
}

bool CMpcFile::ShowPage(int tab) {
    if (page_host_ != nullptr && !pages_.empty()) {
        const bool text_tab = tab >= 0 && static_cast<size_t>(tab) < page_kinds_.size() &&
                              page_kinds_[static_cast<size_t>(tab)] == kPageTextInfo;
        page_host_->SetPageVisible(pages_.front(), text_tab);
    }
    return true;
}

bool CMpcFile::ReadMpcHeader(MpcHeaderSummary& summary) {
    summary.stream_version = 0;
    summary.file_size = SaturatedSize(GetFileSize());
    std::array<uint8_t, 12> head{};
    Stream().Seek(0);
    if (Stream().Read(head) < head.size() || std::memcmp(head.data(), "MP+", 3) != 0) {
        return false;
    }
    const std::span<const uint8_t> h(head);
    const uint32_t w0 = LoadLe32(h);
    const uint32_t w1 = LoadLe32(h.subspan(4));
    const uint32_t w2 = LoadLe32(h.subspan(8));
    const uint32_t version_byte = w0 >> 24;
    if (version_byte >= 7) {
        // SV7 and later: version in the fourth byte, profile in W2.
        summary.stream_version = version_byte;
        summary.auxiliary = 0;
        summary.frame_count = w1;
        summary.mid_side = (w2 >> 30) & 1;
        summary.profile = (w2 & (1u << 23)) != 0 ? (w2 >> 20) & 0x7 : 6;
    } else {
        // SV4 to SV6: the header word holds version and flags.
        summary.auxiliary = w0 >> 23;
        summary.mid_side = (w0 >> 21) & 1;
        summary.stream_version = (w0 >> 11) & 0x3FF;
        summary.profile = 6;
        summary.frame_count = summary.stream_version >= 5 ? w1 : w1 >> 16;
    }
    if (summary.stream_version < 6) {
        summary.frame_count -= 1;  // the last frame of old streams is not counted
    }
    const uint32_t samples = summary.frame_count * 1152u;  // wraps as the format's 32 bits do
    summary.duration_ms = static_cast<uint64_t>(
        static_cast<double>(samples) * static_cast<double>(kMillisecondsPerSample) + 0.5);
    return true;
}

bool CMpcFile::HasPacketMagic() {
    std::array<uint8_t, 4> magic{};
    Stream().Seek(0);
    return Stream().Read(magic) == magic.size() &&
           std::equal(magic.begin(), magic.end(), kPacketMagic.begin());
}

bool CMpcFile::ReadMpcPackets(MpcPacketSummary& summary) {
    summary = MpcPacketSummary{};
    if (!HasPacketMagic()) {
        return false;
    }
    const uint64_t file_size = GetFileSize();
    uint64_t pos = kPacketMagic.size();
    bool has_header = false;
    for (int n = 0; n < kMaxPacketsBeforeAudio && pos < file_size; ++n) {
        const std::optional<PacketHead> head = ReadPacketHead(Stream(), pos);
        if (!head) {
            break;
        }
        if (head->key == kAudioPacketKey || head->key == kStreamEndKey) {
            // The audio need not be whole: the headers before it are.
            if (head->key == kAudioPacketKey) {
                summary.first_audio_offset = static_cast<int64_t>(pos);
            }
            break;
        }
        if (head->size > file_size - pos) {
            break;  // runs past the end of the file
        }
        if (head->key == kStreamHeaderKey || head->key == kEncoderInfoKey) {
            std::array<uint8_t, kMaxPayloadRead> payload{};
            const size_t wanted = static_cast<size_t>(
                std::min<uint64_t>(head->size - head->head_size, payload.size()));
            Stream().Seek(static_cast<int64_t>(pos + head->head_size));
            const std::span<const uint8_t> got(payload.data(),
                                               Stream().Read(std::span(payload).first(wanted)));
            if (head->key == kEncoderInfoKey) {
                ParseEncoderInfo(got, summary);
            } else if (!has_header) {
                if (!ParseStreamHeader(got, summary)) {
                    break;
                }
                has_header = true;
            }
        }
        pos += head->size;
    }
    return has_header;
}

void CMpcFile::FillFromPackets(ScanRecord& record) {
    MpcPacketSummary summary;
    if (!ReadMpcPackets(summary)) {
        throw ScanError(kNoMpcStreamHeaderMessage);
    }
    record.file_size = SaturatedSize(GetFileSize());
    record.sample_rate = static_cast<int32_t>(summary.sample_rate);
    record.channels = static_cast<int32_t>(summary.channels);
    // Mono whatever the mid/side flag says (mpcenc sets it on mono streams too).
    record.mode = summary.channels == 1 ? 3 : (summary.mid_side != 0 ? 1 : 0);
    record.is_vbr = 1;
    record.whole_file_scanned = 1;
    record.first_frame_offset = static_cast<int32_t>(
        std::clamp<int64_t>(summary.first_audio_offset, 0, std::numeric_limits<int32_t>::max()));
    // The silence at the start is part of the stream but not of what plays.
    const uint64_t played = summary.sample_count > summary.beginning_silence
                                ? summary.sample_count - summary.beginning_silence
                                : 0;
    if (summary.sample_rate != 0 && played != 0) {
        record.length_seconds = static_cast<float>(static_cast<double>(played) /
                                                   static_cast<double>(summary.sample_rate));
        // kbit/s = bits × rate / 1000 / samples, truncated; the 32-bit size
        // times 8 times a rate below 2^16 stays far inside 64 bits.
        const uint64_t kbits_x_rate = uint64_t{record.file_size} * 8u * summary.sample_rate / 1000u;
        record.average_bitrate = static_cast<int32_t>(std::min<uint64_t>(
            kbits_x_rate / played, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
    }
    record.mpc_stream_version = static_cast<int32_t>(summary.stream_version);
    // Without encoder information the profile is 0, "Unknown".
    record.mpc_profile = static_cast<int32_t>(summary.profile);
    if (summary.has_encoder_info) {
        CopyTextField(record.encoder_text, "mpcenc " + std::to_string(summary.encoder_major) + "." +
                                               std::to_string(summary.encoder_minor) + "." +
                                               std::to_string(summary.encoder_build));
    }
}

int CMpcFile::Scan(ScanRecord& record, const ScanOptions& /*options*/) {
    record.kind = GetFileTypeCode();
    CopyTextField(record.path, Path());
    FillFileStatus(record.status, Path());
    if (HasPacketMagic()) {
        FillFromPackets(record);
        return 1;
    }
    MpcHeaderSummary summary;
    ReadMpcHeader(summary);
    record.frames = static_cast<int32_t>(summary.frame_count);
    record.length_seconds = static_cast<float>(summary.duration_ms / 1000);
    record.file_size = summary.file_size;
    record.sample_rate = kMpcSampleRate;
    record.mode = summary.mid_side != 0 ? 1 : 0;
    record.is_vbr = 1;
    record.whole_file_scanned = 1;
    // A stream without frames has no duration to divide by.
    record.average_bitrate =
        summary.duration_ms == 0
            ? 0
            : static_cast<int32_t>((summary.file_size * 8u) / summary.duration_ms);
    record.mpc_stream_version = static_cast<int32_t>(summary.stream_version);
    record.mpc_profile = static_cast<int32_t>(summary.profile);
    return 1;
}

}  // namespace vandrel
