#include "engine/audio/Spectrogram.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vandrel {

namespace {

// Powers under this are silence (kSilenceDb).
constexpr double kSilencePower = 1e-20;

float PowerDb(double power) {
    return power > kSilencePower ? static_cast<float>(10.0 * std::log10(power)) : kSilenceDb;
}

// The periodic Hann window, which tiles at half-frame steps.
std::vector<float> HannWindow(int size) {
    std::vector<float> window(static_cast<size_t>(size));
    for (size_t n = 0; n < window.size(); ++n) {
        window[n] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / size));
    }
    return window;
}

// Each column's levels from its power sums over `frames` frames; returns the
// column's mean power over all bins.
std::vector<double> FillLevels(Spectrogram& result, std::span<const float> sums,
                               std::span<const int> frames) {
    const auto bins = static_cast<size_t>(result.bins);
    std::vector<double> column_power(frames.size());
    result.levels_db.resize(sums.size());
    for (size_t c = 0; c < frames.size(); ++c) {
        for (size_t k = 0; k < bins; ++k) {
            const double mean = sums[c * bins + k] / double(frames[c]);
            result.levels_db[c * bins + k] = PowerDb(mean);
            column_power[c] += mean;
        }
    }
    return column_power;
}

// The mean power of each bin over the columns no more than kLoudBelowMeanDb
// under the whole file's mean.
void FillLongTerm(Spectrogram& result, std::span<const float> sums, std::span<const int> frames,
                  std::span<const double> column_power) {
    double file_power = 0;
    int64_t file_frames = 0;
    for (size_t c = 0; c < frames.size(); ++c) {
        file_power += column_power[c] * frames[c];
        file_frames += frames[c];
    }
    const double loud =
        file_frames > 0 ? file_power / double(file_frames) * std::pow(10.0, -kLoudBelowMeanDb / 10)
                        : 0.0;
    const auto bins = static_cast<size_t>(result.bins);
    std::vector<double> long_term(bins);
    int64_t loud_frames = 0;
    for (size_t c = 0; c < frames.size(); ++c) {
        if (column_power[c] >= loud) {
            for (size_t k = 0; k < bins; ++k) {
                long_term[k] += sums[c * bins + k];
            }
            loud_frames += frames[c];
        }
    }
    result.long_term_db.assign(bins, kSilenceDb);
    for (size_t k = 0; k < bins && loud_frames > 0; ++k) {
        result.long_term_db[k] = PowerDb(long_term[k] / double(loud_frames));
    }
}

}  // namespace

SpectrogramBuilder::SpectrogramBuilder(int sample_rate, SpectrogramShape shape)
    : sample_rate_(sample_rate), shape_(shape), hop_(shape.fft_size / 2), fft_(shape.fft_size),
      window_(HannWindow(shape.fft_size)), power_(static_cast<size_t>(fft_.bins())),
      open_sum_(static_cast<size_t>(fft_.bins())) {
    // Columns merge in pairs: an odd count would leave one out of step.
    shape_.max_columns = std::max(2, shape_.max_columns & ~1);
}

void SpectrogramBuilder::Add(std::span<const float> samples) {
    samples_ += static_cast<int64_t>(samples.size());
    pending_.insert(pending_.end(), samples.begin(), samples.end());
    const auto size = static_cast<size_t>(shape_.fft_size);
    while (pending_.size() - pending_start_ >= size) {
        TransformFrame(std::span(pending_).subspan(pending_start_, size));
        frame_end_ = samples_ - static_cast<int64_t>(pending_.size() - pending_start_ - size);
        pending_start_ += static_cast<size_t>(hop_);
    }
    pending_.erase(pending_.begin(),
                   pending_.begin() + static_cast<std::ptrdiff_t>(pending_start_));
    pending_start_ = 0;
}

void SpectrogramBuilder::TransformFrame(std::span<const float> frame) {
    std::span<float> input = fft_.input();
    for (size_t i = 0; i < input.size(); ++i) {
        input[i] = frame[i] * window_[i];
    }
    fft_.PowerSpectrum(power_);
    // A sine of amplitude A on a bin's centre gives |X| = A * sum(window) / 2,
    // and the periodic Hann window sums to N / 2: A^2 = |X|^2 * 16 / N^2.
    const auto n = static_cast<float>(shape_.fft_size);
    const float scale = 16.0f / (n * n);
    for (size_t k = 0; k < power_.size(); ++k) {
        open_sum_[k] += power_[k] * scale;
    }
    if (++open_frames_ < frames_per_column_) {
        return;
    }
    if (closed_ == shape_.max_columns) {
        // The open column is now half of a merged one and goes on filling.
        HalveColumns();
        return;
    }
    CloseColumn();
}

void SpectrogramBuilder::CloseColumn() {
    sums_.insert(sums_.end(), open_sum_.begin(), open_sum_.end());
    std::fill(open_sum_.begin(), open_sum_.end(), 0.0f);
    open_frames_ = 0;
    ++closed_;
}

void SpectrogramBuilder::HalveColumns() {
    const size_t bins = power_.size();
    for (int column = 0; column < closed_ / 2; ++column) {
        const size_t to = static_cast<size_t>(column) * bins;
        const size_t from = 2 * to;
        for (size_t k = 0; k < bins; ++k) {
            sums_[to + k] = sums_[from + k] + sums_[from + bins + k];
        }
    }
    closed_ /= 2;
    sums_.resize(static_cast<size_t>(closed_) * bins);
    frames_per_column_ *= 2;
}

Spectrogram SpectrogramBuilder::Finish() {
    if (frame_end_ == 0 && samples_ > 0) {
        // Too few samples for a whole frame: one frame of them, padded with
        // zeros. After whole frames the rest (less than a hop) is left out:
        // the step to the padding would show as a click across every bin.
        std::vector<float> last(pending_.begin() + static_cast<std::ptrdiff_t>(pending_start_),
                                pending_.end());
        last.resize(static_cast<size_t>(shape_.fft_size), 0.0f);
        TransformFrame(last);
        frame_end_ = samples_;
    }
    const int last_frames = open_frames_;
    if (last_frames > 0) {
        if (closed_ == shape_.max_columns) {
            HalveColumns();
        }
        CloseColumn();
    }
    Spectrogram result;
    result.sample_rate = sample_rate_;
    result.fft_size = shape_.fft_size;
    result.bins = fft_.bins();
    result.columns = closed_;
    result.column_seconds = double(frames_per_column_) * hop_ / sample_rate_;
    result.seconds = double(samples_) / sample_rate_;

    std::vector<int> column_frames(static_cast<size_t>(closed_), frames_per_column_);
    if (last_frames > 0) {
        column_frames.back() = last_frames;
    }
    const std::vector<double> column_power = FillLevels(result, sums_, column_frames);
    FillLongTerm(result, sums_, column_frames, column_power);
    return result;
}

}  // namespace vandrel
