#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// Bytes of the first frame (and what follows) that the header detection reads.
constexpr size_t kVbrHeaderProbeSize = 2000;
// A tag found later than this in those bytes is not parsed.
constexpr size_t kVbrHeaderLastOffset = 1872;
// VBRI headers always sit 32 bytes after the header word.
constexpr size_t kVbriOffset = 36;

// Xing flag bits: which optional fields follow the flags.
constexpr uint32_t kXingFramesFlag = 0x1;
constexpr uint32_t kXingBytesFlag = 0x2;
constexpr uint32_t kXingTocFlag = 0x4;
constexpr uint32_t kXingScaleFlag = 0x8;

// Whether a VBR header's byte count can be that of the audio the file holds.
// A joined pair of like files already holds twice what its first header
// counts; a header that leaves its own frame out of the count, tags this
// program does not know or stray bytes after the audio make a few percent.
// A factor of one and a half either way lies well between the two.
bool ByteCountFits(uint64_t header_bytes, uint64_t audio_bytes);
// The same for the record's Xing byte count; false when the header has none.
bool XingByteCountFits(const ScanRecord& record, uint64_t audio_bytes);

// Offset of a Xing/Info header inside its frame: after the side information,
// which is longer for MPEG-1 and for two channels.
size_t XingHeaderOffset(uint32_t header_word);

// Decodes a Xing or Info header (and a LAME tag after it) from the bytes of
// the frame that starts at `frame_position`. Returns 1 when the header is at
// its place, else 0. The LAME fields are kept only when the tag's own CRC is
// right; its version string is kept either way.
int ParseXingHeader(ScanRecord& record, std::span<const uint8_t> frame, int64_t frame_position);

// Decodes a VBRI header from the frame's bytes. Returns 1 when "VBRI" is at
// its place, else 0.
int ParseVbriHeader(ScanRecord& record, std::span<const uint8_t> frame);

// Texts of the LAME tag fields, as the reports and the attribute list show them.
struct LameTagTextSet {
    std::string vbr_scale;
    std::string tag_revision;
    std::string vbr_method;
    std::string lowpass;
    std::string psycho_acoustic_model;
    std::string safe_joint_stereo;
    std::string nogap_continued;
    std::string nogap_continuation;
    std::string ath_type;
    std::string abr_bitrate;
    std::string noise_shaping;
    std::string unwise_settings;
    std::string source_frequency;
    std::string stereo_mode;
};
LameTagTextSet LameTagTexts(const ScanRecord& record);

struct ReplayGainTextSet {
    std::string peak;
    std::string radio_name;
    std::string radio_originator;
    std::string radio_adjustment;
    std::string audiophile_name;
    std::string audiophile_originator;
    std::string audiophile_adjustment;
};
ReplayGainTextSet ReplayGainTexts(const ScanRecord& record);

// The setting a LAME tag names (lame 3.94 and later): the low 11 bits of the
// two bytes after the MP3 gain, under the surround bits. -V 9 to -V 0 are
// 410 to 500 (-V n is 500 - 10 n), the named presets of lame 3.94 to 3.97 are
// 1000 to 1007, and ABR and CBR files carry their bitrate. 0 when the tag
// names none, or when it is not lame's own tag with a correct CRC.
int LamePreset(const ScanRecord& record);
inline constexpr int kLamePresetV4 = 460;
inline constexpr int kLamePresetV2 = 480;
inline constexpr int kLamePresetV0 = 500;
inline constexpr int kLamePresetStandard = 1001;
inline constexpr int kLamePresetExtreme = 1002;
inline constexpr int kLamePresetInsane = 1003;
inline constexpr int kLamePresetStandardFast = 1004;
inline constexpr int kLamePresetExtremeFast = 1005;
inline constexpr int kLamePresetMedium = 1006;
inline constexpr int kLamePresetMediumFast = 1007;

// The samples the encoder put before the audio (its delay) and after it to
// fill the last frame (its padding), as the LAME tag's two 12-bit fields
// give them; nothing when the file has no LAME tag with a correct CRC.
struct EncoderGap {
    int delay = 0;
    int padding = 0;
};
std::optional<EncoderGap> LameEncoderGap(const ScanRecord& record);

// Where a player takes a file's length from before it has read the file: the
// frame count of the Xing header (when it has one), else that of the VBRI
// header, else (no count, or a count of 0) the audio's size at the first
// frame's bitrate. `frames` is the count taken, the header frame left out.
enum class ShownLengthSource { kXingFrames, kVbriFrames, kBitrateGuess };
struct ShownLengthBasis {
    ShownLengthSource source = ShownLengthSource::kBitrateGuess;
    uint32_t frames = 0;
};
ShownLengthBasis ShownLengthBasisOf(const ScanRecord& record);

// VBR method codes of the LAME tag.
inline constexpr int kVbrMethodOld = 3;
inline constexpr int kVbrMethodMtrh = 4;
inline constexpr int kVbrMethodMt = 5;

std::string VbrMethodName(int method);
std::string LameStereoModeName(int mode);
std::string SourceFrequencyName(int code);
std::string ReplayGainName(int code);
std::string ReplayGainOriginatorName(int code);

}  // namespace vandrel
