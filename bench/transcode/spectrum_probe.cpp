// Prints what the coded-spectrum sample of each MPEG audio file shows, one
// tab-separated row per file, for tuning the upscale verdict on the transcode
// set (bench/transcode/README.md):
//
//   spectrum_probe FILE...
//
// Columns: path, rate, kbit/s, encoder, expected lowpass, long granules, then
// per loudness class the granule count, and for the loud granules (the
// classes the verdict reads) the highest-line percentiles 10/50/90/95/99 and
// each long band's start, and its level under the granules' loudest band.

#include <cstdio>
#include <optional>
#include <string>

#include "engine/checks/EncoderLowpass.h"
#include "engine/checks/IntegrityChecks.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/EncoderId.h"
#include "engine/verdicts/Upscale.h"

namespace vandrel {
namespace {

void PrintFile(const char* path) {
    CVandrelMediaFileWrapper file;
    if (!file.Attach(path)) {
        std::printf("%s\tunreadable\n", path);
        return;
    }
    ScanRecord record = ZeroRecord();
    FileChecks checks;
    IntegrityChecks integrity(checks);
    if (file.Scan(record, {.checks = &integrity, .cache = CacheLookup::kSkip}) == 0) {
        std::printf("%s\tno scan\n", path);
        return;
    }
    const CodedSpectrumSummary& s = integrity.coded_spectrum();
    const std::string encoder = IdentifyEncoder(record);
    const std::optional<double> lowpass = ExpectedLowpassHz(LowpassQueryOf(record, encoder));
    std::printf("%s\t%d\t%d\t%s\t%.0f\t%u", path, record.sample_rate, record.average_bitrate,
                encoder.c_str(), lowpass.value_or(0), s.long_granules);
    int top = 0;
    for (int c = 0; c < CodedSpectrumSummary::kLoudnessClasses; ++c) {
        unsigned n = 0;
        for (const uint16_t v : s.long_highest[static_cast<size_t>(c)]) {
            n += v;
        }
        top = n > 0 ? c : top;
        std::printf("\t%u", n);
    }
    const int loud = top - 2;
    for (const double p : {0.1, 0.5, 0.9, 0.95, 0.99}) {
        std::printf("\t%.0f", s.HighestLinePercentile(p, loud).value_or(-1));
    }
    for (int band = 0; band < kLongBands; ++band) {
        const auto level = s.LongBandLevel(band, loud);
        std::printf("\t%.0f/%.1f/%.2f", s.LongBandStartHz(band),
                    level ? level->below_loudest_db : -1.0, level ? level->coded_share : 0.0);
    }
    // The highest-line percentiles of each loud class on its own.
    for (int c = top; c >= loud && c >= 0; --c) {
        std::printf("\tc%d:%.0f/%.0f", c, s.HighestLinePercentile(0.5, c).value_or(-1),
                    s.HighestLinePercentile(0.9, c).value_or(-1));
    }
    const UpscaleJudgement judgement = JudgeUpscale(record, checks);
    std::printf("\t%u\t%u\t%s\t%s\n", s.counts.huffman_errors, s.counts.reservoir_errors,
                UpscaleAnswerText(judgement.answer), judgement.reason.c_str());
}

}  // namespace
}  // namespace vandrel

int main(int argc, char** argv) {
    vandrel::RegisterStandardMediaFileTypes();
    for (int i = 1; i < argc; ++i) {
        vandrel::PrintFile(argv[i]);
    }
    return 0;
}
