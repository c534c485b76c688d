#include "engine/audio/SpectrumAnalysis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/audio/MpegDecoder.h"
#include "engine/audio/WaveDecoder.h"
#include "engine/core/ScanError.h"
#include "engine/io/FileStream.h"
#include "engine/tags/WaveChunks.h"

namespace vandrel {

namespace {

// Tells the request's callback how far a read of `total` bytes has got.
class ReadProgress {
public:
    ReadProgress(int64_t total, const std::function<bool(int)>& progress)
        : total_(total), progress_(progress) {}

    // False when the callback asks to stop.
    bool Report(int64_t done) const {
        if (!progress_) {
            return true;
        }
        const int64_t percent = total_ > 0 ? std::clamp<int64_t>(done * 100 / total_, 0, 100) : 100;
        return progress_(static_cast<int>(percent));
    }

private:
    int64_t total_;
    const std::function<bool(int)>& progress_;
};

FileStream& OpenStream(FileStream& stream, const std::string& path) {
    if (!stream.Open(path, "rb")) {
        throw ScanError(std::string("The file cannot be opened: ") +
                        std::strerror(stream.LastError()));
    }
    return stream;
}

std::optional<Spectrogram> AnalyseMpeg(FileStream& stream, const SpectrumRequest& request) {
    MpegDecoder decoder;
    std::optional<SpectrogramBuilder> builder;
    const MpegDecoder::Deliver deliver = [&](int rate, std::span<const float> samples) {
        if (!builder) {
            builder.emplace(rate, request.shape);
        }
        builder->Add(samples);
    };
    const ReadProgress progress(stream.Size(), request.progress);
    std::vector<uint8_t> piece(kSpectrumReadBytes);
    int64_t done = 0;
    while (const size_t got = stream.Read(piece)) {
        decoder.Feed(std::span(piece).first(got), deliver);
        done += static_cast<int64_t>(got);
        if (!progress.Report(done)) {
            return std::nullopt;
        }
    }
    if (!builder || builder->samples() == 0) {
        throw ScanError("No MPEG audio frame in the file could be decoded");
    }
    return builder->Finish();
}

std::optional<Spectrogram> AnalyseWave(FileStream& stream, const SpectrumRequest& request) {
    std::array<uint8_t, 12> head{};
    if (stream.Read(head) < head.size() || std::memcmp(head.data(), "RIFF", 4) != 0 ||
        std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
        throw ScanError("The file is not a WAVE file");
    }
    const WaveLayout layout = WalkWaveChunks(stream);
    if (!layout.format) {
        throw ScanError("The WAVE file has no usable \"fmt \" chunk");
    }
    const WaveDecoder decoder(*layout.format);
    const uint64_t total = layout.data_bytes.value_or(0);
    // Whole sample frames in every piece but the last.
    const size_t frame = decoder.frame_bytes();
    std::vector<uint8_t> piece(std::max<size_t>(1, kSpectrumReadBytes / frame) * frame);
    SpectrogramBuilder builder(decoder.sample_rate(), request.shape);
    const ReadProgress progress(static_cast<int64_t>(total), request.progress);
    std::vector<float> samples;
    stream.Seek(layout.data_offset);
    for (uint64_t done = 0; done < total;) {
        const auto wanted = static_cast<size_t>(std::min<uint64_t>(piece.size(), total - done));
        const size_t got = stream.Read(std::span(piece).first(wanted));
        if (got == 0) {
            break;  // the file shrank while it was read
        }
        decoder.Convert(std::span(piece).first(got), samples);
        builder.Add(samples);
        done += got;
        if (!progress.Report(static_cast<int64_t>(done))) {
            return std::nullopt;
        }
    }
    if (builder.samples() == 0) {
        throw ScanError("The WAVE file holds no audio: no \"data\" chunk, or an empty one");
    }
    return builder.Finish();
}

}  // namespace

std::optional<Spectrogram> AnalyseSpectrum(const std::string& path,
                                           const SpectrumRequest& request) {
    FileStream stream;
    OpenStream(stream, path);
    switch (request.format) {
    case AudioFormat::kMpeg:
        return AnalyseMpeg(stream, request);
    case AudioFormat::kWave:
        return AnalyseWave(stream, request);
    }
    return std::nullopt;
}

}  // namespace vandrel
