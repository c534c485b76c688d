#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/audio/RealFft.h"

namespace vandrel {

// How a spectrogram cuts the audio: frames of `fft_size` samples (a power of
// two), each half a frame after the one before and shaped by a Hann window,
// averaged into at most `max_columns` columns of equal length.
struct SpectrogramShape {
    int fft_size = 2048;
    int max_columns = 1200;
};

// Levels below this are silence; digital zero would be minus infinity.
inline constexpr float kSilenceDb = -200.0f;

// The spectrum of a whole file over time, and its long-term spectrum. Levels
// are in dB against a full-scale sine: a sine of amplitude 1 whose frequency
// is a bin's centre gives 0 dB in that bin.
struct Spectrogram {
    int sample_rate = 0;
    int fft_size = 0;
    int bins = 0;     // fft_size / 2 + 1: bin k lies at k * sample_rate / fft_size Hz
    int columns = 0;  // 0 when no sample came
    // The time each column spans; the last one may hold fewer frames than
    // the others and so span less of the file.
    double column_seconds = 0;
    double seconds = 0;  // the audio's length
    // columns * bins levels, column after column, each from its lowest bin up.
    std::vector<float> levels_db;
    // The mean power of each bin over the loud columns (see kLoudBelowMeanDb).
    std::vector<float> long_term_db;

    double bin_hz() const { return fft_size > 0 ? double(sample_rate) / fft_size : 0.0; }
    double nyquist_hz() const { return sample_rate / 2.0; }
    float Level(int column, int bin) const {
        return levels_db[static_cast<size_t>(column) * static_cast<size_t>(bins) +
                         static_cast<size_t>(bin)];
    }
};

// Columns whose mean power lies more than this under the mean power of the
// whole file (silence, fades, a quiet intro) are left out of the long-term
// spectrum.
inline constexpr double kLoudBelowMeanDb = 20.0;

// Makes a spectrogram from mono samples handed over in pieces of any size.
// The number of frames is not known ahead: each column starts as one frame,
// and whenever max_columns are full, neighbouring columns are merged in
// pairs, so a file of any length ends with between max_columns / 2 and
// max_columns columns of equally many frames (fewer only for a short file),
// in memory of a fixed size.
class SpectrogramBuilder {
public:
    // `sample_rate` above 0; the shape's fft_size a power of two from 16 up
    // and max_columns from 2 up.
    explicit SpectrogramBuilder(int sample_rate, SpectrogramShape shape = {});

    void Add(std::span<const float> samples);
    // The spectrogram of the samples added: every whole frame, or for fewer
    // samples than a frame, one frame of them padded with zeros. No columns
    // when no sample came.
    Spectrogram Finish();

    int64_t samples() const { return samples_; }

private:
    void TransformFrame(std::span<const float> frame);
    void HalveColumns();
    void CloseColumn();

    int sample_rate_;
    SpectrogramShape shape_;
    int hop_;
    RealFft fft_;
    std::vector<float> window_;
    std::vector<float> power_;    // one frame's power, bins values
    std::vector<float> pending_;  // samples not yet transformed (less than a frame and a hop)
    size_t pending_start_ = 0;    // where the next frame starts in pending_
    // The closed columns' power sums, bins values each, max_columns at most.
    std::vector<float> sums_;
    int closed_ = 0;
    std::vector<float> open_sum_;  // the column being filled
    int open_frames_ = 0;
    int frames_per_column_ = 1;
    int64_t samples_ = 0;
    int64_t frame_end_ = 0;  // the sample after the last one a frame covered
};

}  // namespace vandrel
