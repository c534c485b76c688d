// Measures what the bandwidth estimate sees in MPEG audio files, and where the
// spectrum of decoded audio really ends, for bench/bandwidth/measure.sh.
//
//   bandwidth_probe FILE...            one row per file (tab-separated, the
//                                      columns above PrintFile): bitrate, the
//                                      granules' bandwidth percentiles, verdict
//   bandwidth_probe --spectrum WAV...  one row per 16-bit PCM WAVE file: where
//                                      its averaged spectrum falls 40 dB under
//                                      the level of 1 to 10 kHz, and the 95th
//                                      percentile of the same edge per block
//   bandwidth_probe --bands WAV...     the same after the averaged level in
//                                      1 kHz bands (dB under the loudest)
//
// The frame walk is a plain one: skip an ID3v2 tag, find a header that a
// second one follows, step by frame lengths and search again after a bad
// header. It stops at the first byte that no frame explains past the audio.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/checks/Bandwidth.h"
#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {
namespace {

std::optional<std::vector<uint8_t>> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::vector<uint8_t>{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
}

std::span<const uint8_t> At(const std::vector<uint8_t>& bytes, size_t at) {
    return std::span<const uint8_t>(bytes).subspan(at);
}

// The length of the frame whose header starts at `at`, or 0.
int FrameAt(const std::vector<uint8_t>& bytes, size_t at, FrameHeader& header) {
    if (at + 4 > bytes.size()) {
        return 0;
    }
    return DecodeFrameHeader(LoadBe32(At(bytes, at)), header);
}

// The first header at or after `at` that a header of the same layer and
// sampling rate follows; bytes.size() when there is none.
size_t FindFrame(const std::vector<uint8_t>& bytes, size_t at) {
    for (; at + 4 <= bytes.size(); ++at) {
        FrameHeader first;
        FrameHeader second;
        const int length = FrameAt(bytes, at, first);
        if (length > 0 && FrameAt(bytes, at + static_cast<size_t>(length), second) > 0 &&
            second.layer == first.layer && second.sample_rate == first.sample_rate) {
            return at;
        }
    }
    return bytes.size();
}

size_t Id3v2Size(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 10 || std::memcmp(bytes.data(), "ID3", 3) != 0) {
        return 0;
    }
    const size_t footer = (bytes[5] & 0x10) != 0 ? 10 : 0;
    return 10 + footer + LoadSyncsafe28(At(bytes, 6));
}

// What the walk of one file found.
struct FileFigures {
    int layer = 0;
    int sample_rate = 0;
    int frames = 0;
    double bitrate_sum = 0;        // kbit/s of every frame, for the average
    int first_bitrate_index = -1;  // of the second frame (the first may be a Xing frame)
    bool bitrate_varies = false;
    int lame_vbr_scale = -1;
    int lame_lowpass = 0;  // Hz, from the LAME tag
    BandwidthHistogram granules;
    int short_granules = 0;  // granules with a short-block channel
};

// The Xing or Info header of the first frame and the LAME tag after it.
void ReadLameTag(const std::vector<uint8_t>& bytes, size_t frame, const FrameHeader& h, int length,
                 FileFigures& figures) {
    const size_t at = frame + 4 + (h.protection == 0 ? 2 : 0) +
                      static_cast<size_t>(SideInfoSize(h.is_mpeg1, h.channels));
    const size_t end = frame + static_cast<size_t>(length);
    if (at + 8 > end ||
        (std::memcmp(&bytes[at], "Xing", 4) != 0 && std::memcmp(&bytes[at], "Info", 4) != 0)) {
        return;
    }
    const uint32_t flags = LoadBe32(At(bytes, at + 4));
    size_t field = at + 8;
    field += (flags & 1) != 0 ? 4 : 0;    // frames
    field += (flags & 2) != 0 ? 4 : 0;    // bytes
    field += (flags & 4) != 0 ? 100 : 0;  // table of contents
    int vbr_scale = -1;
    if ((flags & 8) != 0 && field + 4 <= end) {
        vbr_scale = static_cast<int>(LoadBe32(At(bytes, field)));
        field += 4;
    }
    // "LAME3.100", the tag revision and VBR method, the lowpass in 100 Hz
    if (field + 11 <= end && std::memcmp(&bytes[field], "LAME", 4) == 0) {
        figures.lame_vbr_scale = vbr_scale;
        figures.lame_lowpass = bytes[field + 10] * 100;
    }
}

FileFigures Walk(const std::vector<uint8_t>& bytes) {
    FileFigures figures;
    size_t at = FindFrame(bytes, Id3v2Size(bytes));
    while (at < bytes.size()) {
        FrameHeader h;
        const int length = FrameAt(bytes, at, h);
        if (length == 0) {
            at = FindFrame(bytes, at + 1);
            continue;
        }
        if (at + static_cast<size_t>(length) > bytes.size()) {
            break;  // a cut-short last frame
        }
        if (figures.frames == 0) {
            figures.layer = h.layer;
            figures.sample_rate = h.sample_rate;
            if (h.layer == 3) {
                ReadLameTag(bytes, at, h, length, figures);
            }
        } else if (figures.first_bitrate_index < 0) {
            figures.first_bitrate_index = h.bitrate_index;
        } else if (h.bitrate_index != figures.first_bitrate_index) {
            figures.bitrate_varies = true;
        }
        ++figures.frames;
        figures.bitrate_sum += BitrateKbps(h.is_mpeg1, h.layer, h.bitrate_index);
        if (h.layer == 3) {
            // The side information follows the header and, when the
            // protection bit is 0, its CRC.
            const size_t side_at = at + 4 + (h.protection == 0 ? 2 : 0);
            const std::optional<FrameSideInfo> side =
                ReadSideInfo(std::span<const uint8_t>(bytes).subspan(
                                 side_at, at + static_cast<size_t>(length) - side_at),
                             h.is_mpeg1, h.channels);
            if (side) {
                figures.granules.AddFrame(*side, h.sample_rate);
                for (int gr = 0; gr < side->granules; ++gr) {
                    for (int ch = 0; ch < side->channels; ++ch) {
                        if (side->granule[static_cast<size_t>(gr)][static_cast<size_t>(ch)]
                                .block_type == 2) {
                            ++figures.short_granules;
                            break;
                        }
                    }
                }
            }
        }
        at += static_cast<size_t>(length);
    }
    return figures;
}

std::string_view KindName(UpscaleKind kind) {
    switch (kind) {
    case UpscaleKind::kFullBandwidth:
        return "full";
    case UpscaleKind::kProbablyUpscaled:
        return "UPSCALED";
    case UpscaleKind::kNotJudged:
        break;
    }
    return "-";
}

// file, layer, sampling rate, CBR or VBR, average kbit/s, frames, long-block
// granules, granules with short blocks, the LAME tag's VBR scale and lowpass,
// the bandwidth at 50, 90, 95 and 99 %, verdict, reason
void PrintFile(const std::string& path) {
    const std::optional<std::vector<uint8_t>> bytes = ReadBytes(path);
    if (!bytes) {
        std::printf("%s\tcannot read\n", path.c_str());
        return;
    }
    const FileFigures f = Walk(*bytes);
    const int kbps = f.frames > 0 ? static_cast<int>(std::lround(f.bitrate_sum / f.frames)) : 0;
    const RateControl rate = f.bitrate_varies ? RateControl::kVariable : RateControl::kConstant;
    std::printf("%s\tL%d\t%d\t%s\t%d\t%d\t%d\t%d\t%d\t%d", path.c_str(), f.layer, f.sample_rate,
                rate == RateControl::kVariable ? "VBR" : "CBR", kbps, f.frames, f.granules.count(),
                f.short_granules, f.lame_vbr_scale, f.lame_lowpass);
    if (f.layer != 3) {
        std::printf("\t-\t-\t-\t-\t-\tno side information to estimate from\n");
        return;
    }
    const UpscaleVerdict verdict = JudgeBandwidth(f.granules, {.bitrate_kbps = kbps,
                                                               .sample_rate = f.sample_rate,
                                                               .rate_control = rate,
                                                               .lame_vbr_scale = f.lame_vbr_scale});
    std::printf("\t%.0f\t%.0f\t%.0f\t%.0f\t%s\t%s\n", f.granules.Percentile(0.5),
                f.granules.Percentile(0.9), verdict.bandwidth_hz, verdict.reach_hz,
                std::string(KindName(verdict.kind)).c_str(), std::string(verdict.reason).c_str());
}

// --- the spectrum of a decoded file ---

struct Pcm {
    int sample_rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved, -1 to 1
};

// 16-bit PCM WAVE (plain or extensible), as lame --decode and sox write it.
std::optional<Pcm> ReadWave(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    Pcm pcm;
    int bits = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = LoadLe32(At(bytes, at + 4));
        const size_t body = at + 8;
        const size_t end = std::min(bytes.size(), body + size);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && size >= 16) {
            pcm.channels = LoadLe16(At(bytes, body + 2));
            pcm.sample_rate = static_cast<int>(LoadLe32(At(bytes, body + 4)));
            bits = LoadLe16(At(bytes, body + 14));
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            if (bits != 16 || pcm.channels < 1) {
                return std::nullopt;
            }
            for (size_t s = body; s + 2 <= end; s += 2) {
                pcm.samples.push_back(static_cast<int16_t>(LoadLe16(At(bytes, s))) / 32768.0f);
            }
            return pcm;
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

constexpr size_t kFftSize = 2048;
constexpr double kDropDb = 40;

// The highest frequency whose level (averaged over five bins) is within
// kDropDb of the mean level from 1 to 10 kHz; nothing for a silent block.
std::optional<double> SpectrumEdge(const std::vector<double>& power, int sample_rate) {
    const double bin_hz = static_cast<double>(sample_rate) / kFftSize;
    double reference = 0;
    int reference_bins = 0;
    for (size_t i = 0; i < power.size(); ++i) {
        const double hz = static_cast<double>(i) * bin_hz;
        if (hz >= 1000 && hz <= 10000) {
            reference += power[i];
            ++reference_bins;
        }
    }
    reference /= std::max(reference_bins, 1);
    if (reference < 1e-12) {
        return std::nullopt;
    }
    const double floor = reference * std::pow(10.0, -kDropDb / 10);
    for (size_t i = power.size() - 3; i >= 2; --i) {
        double sum = 0;
        for (size_t k = i - 2; k <= i + 2; ++k) {
            sum += power[k];
        }
        if (sum / 5 >= floor) {
            return static_cast<double>(i) * bin_hz;
        }
    }
    return 0.0;
}

void PrintSpectrum(const std::string& path, bool bands) {
    const std::optional<std::vector<uint8_t>> bytes = ReadBytes(path);
    const std::optional<Pcm> pcm = bytes ? ReadWave(*bytes) : std::nullopt;
    if (!pcm) {
        std::printf("%s\tnot a 16-bit PCM WAVE file\n", path.c_str());
        return;
    }
    const auto channels = static_cast<size_t>(pcm->channels);
    const size_t frames = pcm->samples.size() / channels;
    std::vector<double> window(kFftSize);
    for (size_t i = 0; i < kFftSize; ++i) {
        window[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) /
                                         static_cast<double>(kFftSize));
    }
    std::vector<double> average(kFftSize / 2 + 1);
    BandwidthHistogram blocks;
    std::vector<std::complex<double>> a(kFftSize);
    for (size_t start = 0; start + kFftSize <= frames; start += kFftSize / 2) {
        std::vector<double> power(kFftSize / 2 + 1);
        for (size_t ch = 0; ch < channels; ++ch) {
            for (size_t i = 0; i < kFftSize; ++i) {
                a[i] = pcm->samples[(start + i) * channels + ch] * window[i];
            }
            Fft(a);
            for (size_t i = 0; i < power.size(); ++i) {
                power[i] += std::norm(a[i]);
            }
        }
        for (size_t i = 0; i < power.size(); ++i) {
            average[i] += power[i];
        }
        if (const std::optional<double> edge = SpectrumEdge(power, pcm->sample_rate)) {
            blocks.Add(*edge);
        }
    }
    const std::optional<double> edge = SpectrumEdge(average, pcm->sample_rate);
    if (bands) {
        // The averaged level in 1 kHz bands, in dB under the loudest band.
        const double bin_hz = static_cast<double>(pcm->sample_rate) / kFftSize;
        std::vector<double> band(static_cast<size_t>(pcm->sample_rate / 2000) + 1);
        for (size_t i = 0; i < average.size(); ++i) {
            band[static_cast<size_t>(static_cast<double>(i) * bin_hz / 1000)] += average[i];
        }
        const double loudest = *std::max_element(band.begin(), band.end());
        for (size_t b = 0; b < band.size(); ++b) {
            std::printf("%s%zu:%.0f", b == 0 ? "" : " ", b,
                        10 * std::log10(std::max(band[b], 1e-30) / loudest));
        }
        std::printf("\n");
    }
    std::printf("%s\t%d\t%.0f\t%.0f\n", path.c_str(), pcm->sample_rate, edge.value_or(0),
                blocks.Percentile(kBandwidthPercentile));
}

}  // namespace
}  // namespace vandrel

int main(int argc, char** argv) {
    bool spectrum = false;
    bool bands = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--spectrum") {
            spectrum = true;
        } else if (arg == "--bands") {
            spectrum = true;
            bands = true;
        } else if (spectrum) {
            vandrel::PrintSpectrum(argv[i], bands);
        } else {
            vandrel::PrintFile(argv[i]);
        }
    }
    return 0;
}
