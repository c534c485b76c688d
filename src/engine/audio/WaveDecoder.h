#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/tags/WaveChunks.h"

namespace vandrel {

// Turns the "data" chunk of a WAVE file into mono samples (the channels
// averaged, full scale 1): integer PCM of 8 bits (unsigned), 16, 24 and 32
// bits, and IEEE floats of 32 and 64 bits, little-endian as WAVE stores them.
class WaveDecoder {
public:
    // Throws ScanError for every other format (ADPCM, A-law, ...) and for a
    // format without channels or rate.
    explicit WaveDecoder(const WaveFormat& format);

    int sample_rate() const { return static_cast<int>(format_.sample_rate); }
    // The bytes of one sample of every channel.
    size_t frame_bytes() const { return frame_bytes_; }

    // Replaces `samples` with one mono sample for each whole frame of `bytes`;
    // a part frame at the end is left out.
    void Convert(std::span<const uint8_t> bytes, std::vector<float>& samples) const;

private:
    enum class Encoding { kUnsigned8, kSigned16, kSigned24, kSigned32, kFloat32, kFloat64 };

    double Sample(std::span<const uint8_t> bytes) const;

    WaveFormat format_;
    Encoding encoding_ = Encoding::kSigned16;
    size_t sample_bytes_ = 0;
    size_t frame_bytes_ = 0;
};

}  // namespace vandrel
