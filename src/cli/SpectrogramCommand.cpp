#include "cli/SpectrogramCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "cli/Analysis.h"
#include "cli/Output.h"
#include "cli/ScanCommand.h"
#include "engine/audio/PngFile.h"
#include "engine/audio/SpectrogramImage.h"
#include "engine/core/ScanError.h"
#include "engine/io/AtomicFile.h"
#include "engine/media/Mp3File.h"
#include "engine/media/WaveFile.h"
#include "engine/verdicts/SpectrogramMarks.h"

namespace vandrel::cli {

namespace {

// "[42%] decoding NAME" on standard error while the file is decoded, on a
// terminal only; cleared at the end.
class DecodeProgress {
public:
    DecodeProgress(bool enabled, std::string name, std::ostream& err)
        : enabled_(enabled), name_(EscapeText(std::move(name))), err_(err) {}
    ~DecodeProgress() {
        if (drawn_) {
            err_ << "\r\033[K" << std::flush;
        }
    }
    DecodeProgress(const DecodeProgress&) = delete;
    DecodeProgress& operator=(const DecodeProgress&) = delete;

    void Show(int percent) {
        if (!enabled_ || percent == shown_) {
            return;
        }
        shown_ = percent;
        std::string line = "[" + std::to_string(percent) + "%] decoding " + name_;
        DrawProgressLine(err_, std::move(line));
        drawn_ = true;
    }

private:
    bool enabled_;
    std::string name_;
    std::ostream& err_;
    int shown_ = -1;
    bool drawn_ = false;
};

// How the audio of an analysed file is decoded; nothing for a kind that is not.
std::optional<AudioFormat> FormatOfKind(int kind) {
    if (kind == kMpegAudioKind) {
        return AudioFormat::kMpeg;
    }
    if (kind == kWaveFileKind) {
        return AudioFormat::kWave;
    }
    return std::nullopt;
}

// The picture of the file, or why there is none.
struct Picture {
    std::optional<std::string> png;
    std::string problem;
};

Picture DrawFile(const Options& options, std::ostream& err) {
    const std::string& path = options.spectrogram;
    const FileAnalysis analysis =
        Analyse(path, {.depth = ReadDepth::kFrames, .reason_layout = ReasonLayout::kOneLine});
    if (analysis.outcome != AnalysisOutcome::kAnalysed) {
        return {std::nullopt, OneLine(analysis.failure.value_or("the file cannot be analysed"))};
    }
    const std::optional<AudioFormat> format = FormatOfKind(analysis.record.kind);
    if (!format) {
        return {std::nullopt, "only MPEG audio and WAVE files are decoded: no spectrogram"};
    }
    std::optional<Spectrogram> spectrogram;
    try {
        DecodeProgress progress(!options.quiet && ::isatty(STDERR_FILENO) != 0, FileNameOf(path),
                                err);
        SpectrumRequest request{.format = *format, .shape = {}, .progress = {}};
        request.progress = [&progress](int percent) {
            progress.Show(percent);
            return true;
        };
        spectrogram = AnalyseSpectrum(path, request);
    } catch (const ScanError& e) {
        return {std::nullopt, OneLine(e.what())};
    }
    const RgbImage image =
        RenderSpectrogram(*spectrogram, SpectrogramMarks(analysis.record, analysis.checks),
                          options.picture_width, options.picture_height);
    std::string error;
    std::optional<std::string> png = EncodePng(image, &error);
    return {std::move(png), error};
}

}  // namespace

int RunSpectrogramCommand(const Options& options, std::ostream& out, std::ostream& err) {
    const std::string& path = options.spectrogram;
    const bool to_standard_output = options.output == kStandardStream;
    if (!to_standard_output) {
        const std::vector<InputFile> inputs{{path, std::nullopt}};
        if (const auto clash = OutputClash(options.output, "", inputs)) {
            err << "vandrel-scan: " << EscapeText(*clash) << "\n";
            return 2;
        }
    }
    const Picture picture = DrawFile(options, err);
    if (!picture.png) {
        err << "vandrel-scan: " << EscapeText(path) << ": " << EscapeText(picture.problem) << "\n";
        return 1;
    }
    if (to_standard_output) {
        out.write(picture.png->data(), static_cast<std::streamsize>(picture.png->size()));
        out.flush();
        if (!out) {
            err << "vandrel-scan: cannot write the output: " << std::strerror(errno) << "\n";
            return 1;
        }
        return 0;
    }
    std::string error;
    if (!WriteFileAtomically(options.output, *picture.png, &error)) {
        err << "vandrel-scan: " << EscapeText(error) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace vandrel::cli
