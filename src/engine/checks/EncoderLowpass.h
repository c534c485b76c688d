#pragma once

#include <optional>
#include <string_view>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// How far up the band an encoder keeps audio at its settings, and which first
// encode a lower edge in a file's spectrum is typical of: what tells a file
// re-encoded from a smaller lossy file (its spectrum ends at the first
// encode's lowpass) from one its own encoder made from a lossless source.
//
// The figures are the cutoffs that bench/transcode/lowpass/measure.sh
// measured (bench/transcode/lowpass/RESULTS.md): lame 3.100, ffmpeg 5.1's
// libmp3lame and libshine, and the AAC, Vorbis, Opus and Layer II encoders
// behind LikelySource, each encoding a signal that fills the band at 32, 44.1
// and 48 kHz. A cutoff is the frequency above which the decoded file's
// long-term spectrum stays 30 dB or more under its mean level from 2 to 8 kHz
// (bench/transcode/spectrum.py). lame's own lowpass, the one it writes into
// its tag, lies up to 350 Hz either way of that: lame's filter works on whole
// subbands, so 224 and 256 kbit/s share one filter at 44.1 kHz though their
// tags say 19,400 and 19,700 Hz.

enum class EncoderFamily {
    kUnknown,     // an encoder the table does not know
    kLame,        // lame 3.100, the version measured ("Lame 3.100")
    kOtherLame,   // another lame version: only its tag's lowpass is known
    kFfmpegLame,  // ffmpeg's libmp3lame, with ffmpeg's tag ("Lame (Lavc59.37)")
    kShine,       // Shine, no lowpass ("Shine", "Shine (Lavc59.37)")
};

enum class RateControl { kConstant, kVariable };

// The family of an encoder as NameEncoder names it.
EncoderFamily EncoderFamilyOf(std::string_view encoder_name);

// What the table reads of a file.
struct LowpassQuery {
    EncoderFamily family = EncoderFamily::kUnknown;
    // The LAME tag's lowpass in Hz (the tag's byte is in units of 100 Hz;
    // ScanRecord::xing.lowpass holds it multiplied out); 0 when unknown.
    int tag_lowpass_hz = 0;
    int sample_rate = 0;
    int bitrate_kbps = 0;  // average over the audio frames
    RateControl rate_control = RateControl::kConstant;
    int vbr_quality = -1;  // lame's -V, 0 to 9; -1 when unknown
};

// The query of a scanned file: `encoder_name` as NameEncoder gives it, the
// tag's lowpass of lame's own tags only (ffmpeg's leaves it 0), and -V from
// the preset the LAME tag names (-V n, or the named presets standard,
// extreme and medium).
LowpassQuery LowpassQueryOf(const ScanRecord& record, std::string_view encoder_name);

// The cutoff the file's encoder keeps at the file's settings, in Hz: the
// measured one of its bitrate (CBR) or -V (VBR). A tag's lowpass that is
// not the one lame chooses for the setting (--lowpass given, or a lame
// whose choice differs) is taken as it stands, and so is the tag's lowpass
// of settings the table lacks (ABR, VBR of unknown -V). Shine keeps the whole
// band but at 32 and 40 kbit/s. Nothing for sampling rates other than 32,
// 44.1 and 48 kHz, bitrates no CBR row is near, or an encoder unknown to the
// table.
std::optional<double> ExpectedLowpassHz(const LowpassQuery& query);

// What a cutoff is typical of, as a first encode at 44.1 or 48 kHz leaves it:
// "typical of a 128 kbit/s MP3", "typical of a 192 kbit/s MP3", or "" when it
// fits none of the measured sources, lies above 19.8 kHz (the edge of Opus
// and of MP3 at 320 kbit/s: no sign of a smaller source) or within 10 % of
// the top of the file's own band. `sample_rate` is the file's; "" for rates
// other than 32, 44.1 and 48 kHz.
std::string_view LikelySource(double cutoff_hz, int sample_rate);

}  // namespace vandrel
