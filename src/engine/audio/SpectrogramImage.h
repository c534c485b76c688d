#pragma once

#include <optional>

#include "engine/audio/RgbImage.h"
#include "engine/audio/Spectrogram.h"

namespace vandrel {

// The frequencies a spectrogram marks with a labelled line across it.
struct SpectrumMarks {
    // Where the file's audio was measured to end ("cutoff 16.0 kHz").
    std::optional<double> cutoff_hz;
    // The lowpass the file's encoder keeps at the file's settings ("encoder
    // lowpass 20.5 kHz"): a cutoff well under it shows an earlier encode.
    std::optional<double> lowpass_hz;
};

// Where a spectrogram picture's plot, long-term spectrum and legend go, in pixels.
struct SpectrogramLayout {
    int scale = 1;         // of the labels' font (BitmapFont)
    PixelRect plot;        // the spectrogram: time from the left, frequency from the bottom up
    PixelRect spectrum;    // the long-term spectrum: level from the left, the plot's rows
    PixelRect legend;      // the colour bar: level from the bottom up
    double top_db = 0;     // the level of the brightest colour
    double bottom_db = 0;  // the level of the darkest
};

// The levels a picture spans.
inline constexpr double kPictureRangeDb = 120.0;

// The places of the plot, the long-term spectrum and the legend in a picture
// of `width` x `height` pixels, and the range of levels: from the loudest
// level of the spectrogram, rounded up to 10 dB, kPictureRangeDb down. What
// finds no room is empty.
SpectrogramLayout LayOutSpectrogram(const Spectrogram& spectrogram, int width, int height);

// The row of the plot (and of the long-term spectrum) that holds `hz`: the
// bottom row holds 0 Hz, the top row the Nyquist frequency.
int FrequencyRow(const SpectrogramLayout& layout, double hz, double nyquist_hz);

// The colours the picture is drawn in, on a dark background.
struct SpectrogramColours {
    static constexpr Rgb kBackground{18, 18, 22};
    static constexpr Rgb kFrame{96, 96, 108};
    static constexpr Rgb kText{225, 225, 232};
    static constexpr Rgb kTick{160, 160, 172};
    static constexpr Rgb kCurve{240, 240, 245};
    static constexpr Rgb kCutoff{64, 224, 255};
    static constexpr Rgb kLowpass{120, 255, 120};
};

// The whole picture: the spectrogram with its frequency axis in kHz and its
// time axis in m:ss, the long-term spectrum beside it on the same rows, the
// colour legend in dB, and the marks' lines and labels. An empty picture for
// a size under 1.
RgbImage RenderSpectrogram(const Spectrogram& spectrogram, const SpectrumMarks& marks, int width,
                           int height);

}  // namespace vandrel
