#include "engine/audio/WaveDecoder.h"

#include <cstring>
#include <string>

#include "engine/core/ScanError.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// Full scale of each integer width: the magnitude of its most negative value.
constexpr double kScale8 = 128.0;
constexpr double kScale16 = 32768.0;
constexpr double kScale24 = 8388608.0;
constexpr double kScale32 = 2147483648.0;
// Rates above studio rates are damage; they would not fit the builder's int.
constexpr uint32_t kHighestRate = 1'000'000;

}  // namespace

WaveDecoder::WaveDecoder(const WaveFormat& format) : format_(format) {
    const bool pcm = format.format_tag == kWaveFormatPcm;
    const bool floats = format.format_tag == kWaveFormatIeeeFloat;
    if (pcm && format.bits_per_sample == 8) {
        encoding_ = Encoding::kUnsigned8;
    } else if (pcm && format.bits_per_sample == 16) {
        encoding_ = Encoding::kSigned16;
    } else if (pcm && format.bits_per_sample == 24) {
        encoding_ = Encoding::kSigned24;
    } else if (pcm && format.bits_per_sample == 32) {
        encoding_ = Encoding::kSigned32;
    } else if (floats && format.bits_per_sample == 32) {
        encoding_ = Encoding::kFloat32;
    } else if (floats && format.bits_per_sample == 64) {
        encoding_ = Encoding::kFloat64;
    } else {
        throw ScanError("The WAVE file's audio is neither PCM of 8, 16, 24 or 32 bits nor floats "
                        "of 32 or 64 bits (format " +
                        std::to_string(format.format_tag) + ", " +
                        std::to_string(format.bits_per_sample) + " bits): it is not decoded");
    }
    if (format.channels == 0 || format.sample_rate == 0 || format.sample_rate > kHighestRate) {
        throw ScanError("The WAVE file's format has no channels or no usable sampling rate (" +
                        std::to_string(format.sample_rate) + " Hz)");
    }
    sample_bytes_ = format.bits_per_sample / 8u;
    frame_bytes_ = sample_bytes_ * format.channels;
}

double WaveDecoder::Sample(std::span<const uint8_t> bytes) const {
    switch (encoding_) {
    case Encoding::kUnsigned8:
        return (bytes[0] - kScale8) / kScale8;
    case Encoding::kSigned16:
        return static_cast<int16_t>(LoadLe16(bytes)) / kScale16;
    case Encoding::kSigned24: {
        // The top byte's sign fills the word's top eight bits.
        const uint32_t word = bytes[0] | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16);
        const auto value = static_cast<int32_t>(word << 8) >> 8;
        return value / kScale24;
    }
    case Encoding::kSigned32:
        return static_cast<int32_t>(LoadLe32(bytes)) / kScale32;
    case Encoding::kFloat32: {
        const uint32_t word = LoadLe32(bytes);
        float value = 0;
        std::memcpy(&value, &word, sizeof(value));
        return value;
    }
    case Encoding::kFloat64: {
        const uint64_t word = LoadLe64(bytes);
        double value = 0;
        std::memcpy(&value, &word, sizeof(value));
        return value;
    }
    }
    return 0;
}

void WaveDecoder::Convert(std::span<const uint8_t> bytes, std::vector<float>& samples) const {
    const size_t frames = bytes.size() / frame_bytes_;
    samples.resize(frames);
    const double channels = format_.channels;
    for (size_t frame = 0; frame < frames; ++frame) {
        double sum = 0;
        for (size_t channel = 0; channel < format_.channels; ++channel) {
            sum += Sample(bytes.subspan(frame * frame_bytes_ + channel * sample_bytes_));
        }
        samples[frame] = static_cast<float>(sum / channels);
    }
}

}  // namespace vandrel
