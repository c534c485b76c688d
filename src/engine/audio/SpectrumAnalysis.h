#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/audio/Spectrogram.h"

namespace vandrel {

// How the audio of a file is stored, as the file's kind tells.
enum class AudioFormat {
    kMpeg,  // MPEG audio, Layers I to III, decoded with libmpg123
    kWave,  // RIFF/WAVE of integer PCM or floats
};

struct SpectrumRequest {
    AudioFormat format = AudioFormat::kMpeg;
    SpectrogramShape shape;
    // Told how much of the file has been read, 0 to 100, after every piece
    // of it (kSpectrumReadBytes), whether the share changed or not; an answer
    // of false stops the work. May be empty.
    std::function<bool(int percent)> progress;
};

// The pieces a file is read and decoded in: the most work between two looks
// at the progress callback, some milliseconds.
inline constexpr size_t kSpectrumReadBytes = 64 * 1024;

// Decodes the whole file at `path` and makes its spectrogram. Nothing when
// the progress callback stopped it. Throws ScanError, with a sentence for the
// user, when the file cannot be read, is not of the format asked, or holds no
// audio that can be decoded; a file cut short or damaged in the middle gives
// the spectrogram of what can be decoded.
std::optional<Spectrogram> AnalyseSpectrum(const std::string& path, const SpectrumRequest& request);

}  // namespace vandrel
