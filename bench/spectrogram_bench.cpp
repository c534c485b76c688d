// Times the spectrogram of one file, step by step, on the calling thread
// alone: the decode with the transforms (AnalyseSpectrum), the picture
// (RenderSpectrogram at 1280 x 720) and its PNG bytes (EncodePng). Each step
// runs ROUNDS times; the best and the mean are printed.
//
//   spectrogram_bench FILE [ROUNDS]    FILE: MPEG audio, or WAVE (*.wav)
//
// bench/spectrogram.sh makes a five-minute 320 kbit/s file and runs this
// and vandrel-scan --spectrogram on it.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/audio/PngFile.h"
#include "engine/audio/SpectrogramImage.h"
#include "engine/audio/SpectrumAnalysis.h"
#include "engine/core/ScanError.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
    double best = 0;
    double mean = 0;
};

Timing Time(int rounds, const std::function<void()>& step) {
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        step();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    double sum = 0;
    for (const double s : seconds) {
        sum += s;
    }
    return {*std::min_element(seconds.begin(), seconds.end()), sum / rounds};
}

void Print(const char* what, const Timing& timing) {
    std::printf("%-34s best %8.3f s   mean %8.3f s\n", what, timing.best, timing.mean);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: spectrogram_bench FILE [ROUNDS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const bool wave = path.size() > 4 && path.substr(path.size() - 4) == ".wav";
    const vandrel::SpectrumRequest request{.format = wave ? vandrel::AudioFormat::kWave
                                                          : vandrel::AudioFormat::kMpeg,
                                           .shape = {},
                                           .progress = {}};
    std::optional<vandrel::Spectrogram> spectrogram;
    try {
        Print("decode and transforms",
              Time(rounds, [&] { spectrogram = vandrel::AnalyseSpectrum(path, request); }));
    } catch (const vandrel::ScanError& e) {
        std::fprintf(stderr, "spectrogram_bench: %s: %s\n", path.c_str(), e.what());
        return 1;
    }
    std::printf("  %.1f s of audio at %d Hz, %d columns of %d bins\n", spectrogram->seconds,
                spectrogram->sample_rate, spectrogram->columns, spectrogram->bins);
    vandrel::RgbImage image;
    Print("picture, 1280 x 720", Time(rounds, [&] {
              image = vandrel::RenderSpectrogram(
                  *spectrogram, {.cutoff_hz = 16000, .lowpass_hz = 20500}, 1280, 720);
          }));
    std::optional<std::string> png;
    Print("PNG bytes", Time(rounds, [&] { png = vandrel::EncodePng(image); }));
    std::printf("  %zu bytes of PNG\n", png ? png->size() : size_t{0});
    return 0;
}
