#include "engine/tags/VbrHeaders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/io/ByteOrder.h"
#include "engine/io/Crc16.h"

namespace vandrel {

namespace {

// Field offsets of the LAME tag, from the start of its version string.
constexpr size_t kLameVersionLength = 9;
constexpr size_t kLameRevisionMethod = 9;
constexpr size_t kLameLowpass = 10;
constexpr size_t kLamePeak = 11;
constexpr size_t kLameRadioGain = 15;
constexpr size_t kLameAudiophileGain = 17;
constexpr size_t kLameFlagsAth = 19;
constexpr size_t kLameAbrBitrate = 20;
constexpr size_t kLameDelayPadding = 21;
constexpr size_t kLameMisc = 24;
constexpr size_t kLameMp3Gain = 25;
constexpr size_t kLameMusicLength = 28;
constexpr size_t kLameMusicCrc = 32;
constexpr size_t kLameTagCrc = 34;
constexpr size_t kLameTagSize = 36;

// Reads within the frame's bytes; what lies beyond them reads as zero.
class FrameBytes {
public:
    explicit FrameBytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint8_t U8(size_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }
    uint16_t Be16(size_t at) const { return static_cast<uint16_t>((U8(at) << 8) | U8(at + 1)); }
    uint32_t Be32(size_t at) const { return (uint32_t{Be16(at)} << 16) | uint32_t{Be16(at + 2)}; }
    bool Has(size_t at, std::string_view text) const {
        return at + text.size() <= bytes_.size() &&
               std::memcmp(bytes_.data() + at, text.data(), text.size()) == 0;
    }
    void Copy(size_t at, uint8_t* out, size_t n) const {
        for (size_t i = 0; i < n; ++i) {
            out[i] = U8(at + i);
        }
    }
    std::span<const uint8_t> bytes() const { return bytes_; }

private:
    std::span<const uint8_t> bytes_;
};

// A LAME tag's version string as lame ("LAME3.100") or a program that uses
// lame as a library ("Lavc58.18", "Lavf lame") writes it: printable, with
// nothing after its end but zeros, and at least four characters.
bool IsVersionString(const FrameBytes& frame, size_t at) {
    bool ended = false;
    for (size_t i = 0; i < kLameVersionLength; ++i) {
        const uint8_t c = frame.U8(at + i);
        if (c == 0) {
            ended = true;
        } else if (ended || c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return frame.U8(at + 3) != 0;
}

bool HasXingTag(const FrameBytes& frame, size_t at) {
    return frame.Has(at, "Xing") || frame.Has(at, "Info");
}

// A replay gain field: name (3 bits), originator (3 bits), sign, 9-bit
// magnitude in tenths of a dB.
void DecodeReplayGain(const FrameBytes& frame, size_t at, int32_t& name, int32_t& originator,
                      int32_t& adjustment) {
    const uint8_t high = frame.U8(at);
    const uint8_t low = frame.U8(at + 1);
    name = high >> 5;
    originator = (high >> 2) & 0x7;
    const int32_t magnitude = ((high & 0x1) << 8) | low;
    adjustment = (high & 0x2) != 0 ? -magnitude : magnitude;
}

std::string Decimal(int64_t value) {
    return std::to_string(value);
}

std::string YesNo(bool value) {
    return value ? "yes" : "no";
}

std::string ShortestG(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

}  // namespace

bool ByteCountFits(uint64_t header_bytes, uint64_t audio_bytes) {
    // Both sides times two against the other times three: whole numbers, no
    // rounding. Sizes stay far below 2^62.
    return header_bytes > 0 && audio_bytes * 2 <= header_bytes * 3 &&
           header_bytes * 2 <= audio_bytes * 3;
}

bool XingByteCountFits(const ScanRecord& record, uint64_t audio_bytes) {
    return record.has_xing != 0 && (record.xing.flags & kXingBytesFlag) != 0 &&
           ByteCountFits(record.xing.bytes, audio_bytes);
}

size_t XingHeaderOffset(uint32_t header_word) {
    const bool mpeg1 = (header_word & 0x00080000) != 0;
    const bool mono = ((header_word >> 6) & 0x3) == 3;
    if (mpeg1) {
        return mono ? 21 : 36;
    }
    return mono ? 13 : 21;
}

namespace {

// Where the Xing or Info tag of the frame with header `word` starts, or
// nothing when it is not at its place.
std::optional<size_t> XingTagOffset(const FrameBytes& frame, uint32_t word) {
    const size_t at = XingHeaderOffset(word);
    if (HasXingTag(frame, at)) {
        return at;
    }
    // With CRC protection the side information starts two bytes later;
    // encoders differ on whether the header moves with it.
    const bool crc_protected = (word & 0x00010000) == 0;
    if (crc_protected && HasXingTag(frame, at + 2)) {
        return at + 2;
    }
    return std::nullopt;
}

// The Xing fields after the tag at `at`: those its flags name, in their
// order. Returns where they end.
size_t ReadXingFields(VbrHeaderBlock& x, const FrameBytes& frame, uint32_t word, size_t at) {
    x.is_mpeg1 = (word & 0x00080000) != 0 ? 1 : 0;
    static constexpr int32_t kXingRates[4] = {44100, 48000, 32000, 99999};
    x.sample_rate = kXingRates[(word >> 10) & 0x3];
    if (x.is_mpeg1 == 0) {
        x.sample_rate /= 2;
    }
    size_t p = at + 4;
    x.flags = frame.Be32(p);
    p += 4;
    if ((x.flags & kXingFramesFlag) != 0) {
        x.frames = frame.Be32(p);
        p += 4;
    }
    if ((x.flags & kXingBytesFlag) != 0) {
        x.bytes = frame.Be32(p);
        p += 4;
    }
    if ((x.flags & kXingTocFlag) != 0) {
        p += 100;  // the table of contents is not kept
    }
    if ((x.flags & kXingScaleFlag) != 0) {
        x.vbr_scale = static_cast<int32_t>(frame.Be32(p));
        p += 4;
    } else {
        x.vbr_scale = -1;
    }
    return p;
}

// The LAME tag's fields from its version string at `p` on, over a copy of
// the Xing fields.
VbrHeaderBlock ReadLameTag(const VbrHeaderBlock& x, const FrameBytes& frame, size_t p) {
    VbrHeaderBlock lame = x;
    frame.Copy(p, reinterpret_cast<uint8_t*>(lame.lame_version), kLameVersionLength);
    lame.tag_revision = static_cast<uint8_t>(frame.U8(p + kLameRevisionMethod) >> 4);
    lame.vbr_method = static_cast<uint8_t>(frame.U8(p + kLameRevisionMethod) & 0xF);
    lame.lowpass = frame.U8(p + kLameLowpass) * 100;
    // The peak is a fixed-point number with 23 fraction bits (1.0 is full
    // scale), as lame writes it.
    lame.peak_amplitude =
        static_cast<float>(static_cast<int32_t>(frame.Be32(p + kLamePeak)) / 8388608.0);
    DecodeReplayGain(frame, p + kLameRadioGain, lame.radio_gain_name, lame.radio_gain_originator,
                     lame.radio_gain_adjustment);
    DecodeReplayGain(frame, p + kLameAudiophileGain, lame.audiophile_gain_name,
                     lame.audiophile_gain_originator, lame.audiophile_gain_adjustment);
    lame.encoding_flags = static_cast<uint8_t>(frame.U8(p + kLameFlagsAth) >> 4);
    lame.ath_type = static_cast<uint8_t>(frame.U8(p + kLameFlagsAth) & 0xF);
    lame.abr_bitrate = frame.U8(p + kLameAbrBitrate);
    frame.Copy(p + kLameDelayPadding, lame.delay_padding, sizeof lame.delay_padding);
    const uint8_t misc = frame.U8(p + kLameMisc);
    lame.noise_shaping = misc & 0x3;
    lame.stereo_mode = (misc >> 2) & 0x7;
    lame.unwise_settings = (misc >> 5) & 0x1;
    lame.source_frequency = misc >> 6;
    frame.Copy(p + kLameMp3Gain, lame.mp3_gain, sizeof lame.mp3_gain);
    lame.music_length = frame.Be32(p + kLameMusicLength);
    lame.music_crc = frame.Be16(p + kLameMusicCrc);
    lame.tag_crc = frame.Be16(p + kLameTagCrc);
    return lame;
}

}  // namespace

int ParseXingHeader(ScanRecord& record, std::span<const uint8_t> bytes, int64_t frame_position) {
    record.first_frame_offset = static_cast<int32_t>(frame_position);
    record.xing.flags = 0;
    const FrameBytes frame(bytes);
    const uint32_t word = frame.Be32(0);
    const std::optional<size_t> at = XingTagOffset(frame, word);
    if (!at) {
        return 0;
    }
    VbrHeaderBlock& x = record.xing;
    const size_t p = ReadXingFields(x, frame, word, *at);

    // The LAME tag, when there is one, starts right after the Xing fields.
    // lame's own tag names it; a program that uses lame as a library puts
    // its own name there, and such a tag counts only when its CRC is right.
    std::memset(x.lame_version, 0, sizeof x.lame_version);
    frame.Copy(p, reinterpret_cast<uint8_t*>(x.lame_version), 4);
    const bool by_lame = frame.Has(p, "LAME");
    if (!by_lame && !IsVersionString(frame, p)) {
        return 1;
    }
    if (by_lame) {
        frame.Copy(p, reinterpret_cast<uint8_t*>(x.lame_version), kLameVersionLength);
    }
    const VbrHeaderBlock lame = ReadLameTag(x, frame, p);
    // The tag CRC covers the frame from its first header byte up to the CRC.
    const size_t covered = p + kLameTagCrc;
    if (p + kLameTagSize <= bytes.size() && Crc16(bytes.first(covered)) == lame.tag_crc) {
        x = lame;
        x.has_lame_tag = 1;
    }
    return 1;
}

int ParseVbriHeader(ScanRecord& record, std::span<const uint8_t> bytes) {
    const FrameBytes frame(bytes);
    if (!frame.Has(kVbriOffset, "VBRI")) {
        return 0;
    }
    VbriBlock& v = record.vbri;
    size_t p = kVbriOffset + 4;
    v.version = frame.Be16(p);
    v.delay = frame.Be16(p + 2);
    v.quality = frame.Be16(p + 4);
    v.bytes = frame.Be32(p + 6);
    v.frames = frame.Be32(p + 10);
    v.table_entries = frame.Be16(p + 14);
    v.table_scale = frame.Be16(p + 16);
    v.entry_size = frame.Be16(p + 18);
    v.frames_per_entry = frame.Be16(p + 20);
    p += 22;
    // Every entry is read as 16 bits, whatever size the header gives.
    if (v.table_entries >= 1 && v.table_entries <= kVbriTableCapacity) {
        for (size_t i = 0; i < v.table_entries; ++i) {
            v.table[i] = frame.Be16(p + 2 * i);
        }
    }
    return 1;
}

int LamePreset(const ScanRecord& record) {
    const VbrHeaderBlock& x = record.xing;
    if (x.has_lame_tag == 0 || !LameVersion(record).starts_with("LAME")) {
        return 0;
    }
    // mp3_gain holds tag bytes 25 to 27: the gain, then the preset word.
    return ((x.mp3_gain[1] & 0x07) << 8) | x.mp3_gain[2];
}

std::string VbrMethodName(int method) {
    switch (method) {
    case 1:
        return "cbr";
    case 2:
        return "abr";
    case 3:
        return "vbr-old / vbr-rh";
    case 4:
        return "vbr-mtrh";
    case 5:
        return "vbr-new / vbr-mt";
    default:
        return "Unknown";
    }
}

std::string LameStereoModeName(int mode) {
    static constexpr const char* kNames[] = {"Mono",         "Stereo", "Dual Stereo",
                                             "Joint Stereo", "Auto",   "Intensity"};
    return mode >= 0 && mode < 6 ? kNames[mode] : "Unknown";
}

std::string SourceFrequencyName(int code) {
    static constexpr const char* kNames[] = {"32kHz or less", "44.1kHz", "48kHz",
                                             "more than 48kHz"};
    return kNames[code & 0x3];
}

std::string ReplayGainName(int code) {
    static constexpr const char* kNames[] = {"not set", "Radio", "Audiophile"};
    return code >= 0 && code < 3 ? kNames[code] : "other";
}

std::string ReplayGainOriginatorName(int code) {
    static constexpr const char* kNames[] = {"unspecified", "pre-set by producer", "set by user",
                                             "automatic"};
    return code >= 0 && code < 4 ? kNames[code] : "other";
}

std::optional<EncoderGap> LameEncoderGap(const ScanRecord& record) {
    if (record.xing.has_lame_tag == 0) {
        return std::nullopt;
    }
    const uint8_t* b = record.xing.delay_padding;
    return EncoderGap{(b[0] << 4) | (b[1] >> 4), ((b[1] & 0x0F) << 8) | b[2]};
}

ShownLengthBasis ShownLengthBasisOf(const ScanRecord& record) {
    ShownLengthBasis basis;
    if (record.has_xing != 0 && (record.xing.flags & kXingFramesFlag) != 0) {
        basis = {ShownLengthSource::kXingFrames, record.xing.frames};
    } else if (record.has_vbri != 0) {
        basis = {ShownLengthSource::kVbriFrames, record.vbri.frames};
    }
    if (basis.frames == 0) {
        basis.source = ShownLengthSource::kBitrateGuess;
    }
    return basis;
}

LameTagTextSet LameTagTexts(const ScanRecord& record) {
    const VbrHeaderBlock& x = record.xing;
    LameTagTextSet t;
    t.vbr_scale = Decimal(x.vbr_scale);
    t.tag_revision = Decimal(x.tag_revision);
    t.vbr_method = VbrMethodName(x.vbr_method);
    t.lowpass = x.lowpass == 0 ? "Unknown" : Decimal(x.lowpass);
    t.psycho_acoustic_model = (x.encoding_flags & 0x1) != 0 ? "nspsytune" : "gpsycho";
    t.safe_joint_stereo = YesNo((x.encoding_flags & 0x2) != 0);
    t.nogap_continued = YesNo((x.encoding_flags & 0x4) != 0);
    t.nogap_continuation = YesNo((x.encoding_flags & 0x8) != 0);
    t.ath_type = Decimal(x.ath_type);
    t.abr_bitrate = x.abr_bitrate == 255 ? "255 or more"
                    : x.abr_bitrate == 0 ? "Unknown"
                                         : Decimal(x.abr_bitrate);
    t.noise_shaping = Decimal(x.noise_shaping);
    t.unwise_settings = YesNo(x.unwise_settings != 0);
    t.source_frequency = SourceFrequencyName(x.source_frequency);
    t.stereo_mode = LameStereoModeName(x.stereo_mode);
    return t;
}

ReplayGainTextSet ReplayGainTexts(const ScanRecord& record) {
    const VbrHeaderBlock& x = record.xing;
    ReplayGainTextSet t;
    t.peak = x.peak_amplitude == 0.0f ? "not set" : ShortestG(x.peak_amplitude);
    t.radio_name = ReplayGainName(x.radio_gain_name);
    t.radio_originator = ReplayGainOriginatorName(x.radio_gain_originator);
    t.radio_adjustment = ShortestG(x.radio_gain_adjustment * 0.1);
    t.audiophile_name = ReplayGainName(x.audiophile_gain_name);
    t.audiophile_originator = ReplayGainOriginatorName(x.audiophile_gain_originator);
    t.audiophile_adjustment = ShortestG(x.audiophile_gain_adjustment * 0.1);
    return t;
}

}  // namespace vandrel
