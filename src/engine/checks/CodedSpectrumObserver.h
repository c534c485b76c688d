#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/frame/FrameObserver.h"
#include "engine/frame/MainDataDecoder.h"

namespace vandrel {

// Where a Layer III file's coded spectrum really ends, from a sample of its
// granules decoded as far as their quantised lines (MainDataDecoder): past the
// big values of the side information (SideInfo.h) come the lines of -1 to
// 1, and only the main data shows how far up those reach. A fixed-size value,
// whatever the length of the file.
//
// A granule counts once, as its widest channel shows it: of its long-block
// channels the highest line and, band by band, the louder level (the side
// channel of mid/side stereo is narrow, the right channel of intensity stereo
// stops at the intensity bound). A granule with no decoded long-block channel
// counts among the short-block granules, whose highest line is known to
// within a band only (HighestLineHz).
struct CodedSpectrumSummary {
    // Highest lines in bins of kBinHz from 0 to 24 kHz (the highest half
    // sampling rate), and a last bin for anything above.
    static constexpr double kBinHz = 100.0;
    static constexpr int kBins = 241;
    // Granules by the level of their loudest band: class 0 below -70 dB,
    // then steps of 10 dB, class 7 at -10 dB and above (0 dB: a requantised
    // value of 1.0, about full scale).
    static constexpr int kLoudnessClasses = 8;
    static constexpr double kQuietestClassTopDb = -70.0;
    static constexpr double kClassStepDb = 10.0;

    static int LoudnessClass(double loudest_db);
    static int BinOf(double hz);

    // The band levels of long-block granules of one loudness class, summed
    // band by band over the granules in which the band holds a line that is
    // not zero (`coded` of them): the level itself, and how far it lies below
    // the granule's loudest band.
    struct BandProfile {
        uint16_t granules = 0;
        std::array<uint16_t, kLongBands> coded{};
        std::array<float, kLongBands> level_db_sum{};
        std::array<float, kLongBands> below_loudest_db_sum{};
    };

    int sample_rate = 0;  // of the first frame decoded; the profile holds its frames only
    bool mpeg1 = true;
    uint32_t runs = 0;            // runs of consecutive frames sampled
    uint32_t frames_decoded = 0;  // frames handed whole and decoded
    MainDataCounts counts;        // granule-channels of the sample
    uint32_t long_granules = 0;
    std::array<uint32_t, kLoudnessClasses>
        long_by_class{};  // long-block granules by loudness class
    uint32_t short_granules = 0;
    // Long-block granules by loudness class and by the bin of their highest line.
    std::array<std::array<uint16_t, kBins>, kLoudnessClasses> long_highest{};
    // Of those, the granules whose coded spectrum ends firmly (EndsFirmly):
    // by loudness class and by the bin of their highest line.
    std::array<std::array<uint16_t, kBins>, kLoudnessClasses> firm_highest{};
    // Short-block granules by the bin of their highest line.
    std::array<uint16_t, kBins> short_highest{};
    std::array<BandProfile, kLoudnessClasses> profile{};

    // The upper edge of the bin under which a share `p` (0 to 1) of the
    // long-block granules of loudness class `min_class` and above end.
    // Nothing when there are none.
    std::optional<double> HighestLinePercentile(double p, int min_class) const;
    // The average level of long band `band` over the granules of loudness
    // class `min_class` and above in which it is coded, and the share of
    // those granules in which it is. Nothing when no such granule codes it.
    struct BandLevel {
        double level_db;
        double below_loudest_db;
        double coded_share;
    };
    std::optional<BandLevel> LongBandLevel(int band, int min_class) const;
    // Where long band `band` starts, in Hz, at the summary's sampling rate
    // (`band` 22 gives the end of the top band); 0 before any frame.
    double LongBandStartHz(int band) const;
};

// Whether a long-block channel's coded spectrum ends firmly: a line within
// kFirmEdgeHz under its highest line is kFirmValue or more, as where a
// lowpass cuts off music well above the quantiser's step. Music that rolls
// off on its own ends in lines of 1, the quietest the quantiser codes. A
// spectrum that ends with the band under the top band does not count: an
// encoder that leaves out a weak top band cuts it off there too.
inline constexpr double kFirmEdgeHz = 500;
inline constexpr int kFirmValue = 2;
bool EndsFirmly(const GranuleSpectrum& spectrum, const ScaleFactorBands& bands, int sample_rate);

// The loud granules are the long-block granules within this many loudness
// classes of the loudest class a sample met (see UpscaleFacts.h).
inline constexpr int kLoudClasses = 3;
// Fewer loud granules than this in the runs decoded so far is thin evidence:
// the spare runs between them are decoded too.
inline constexpr uint32_t kWantedLoudGranules = 40;

// Decodes a bounded sample of a walk's Layer III frames: up to `runs` runs of
// a few consecutive frames (the first of each run fills the reservoir) spread
// evenly over the frames the walk expects, at most one frame in
// `one_frame_in`; a walk that outlasts its estimate goes on with runs twice
// as far apart after each half of what is left of a second budget of `runs`,
// so that no file decodes more than 2 * runs runs. Halfway between two runs
// (where they leave room for one) lies a spare run, decoded only while the
// sample holds fewer than kWantedLoudGranules loud granules (speech, music
// with long pauses): such a file decodes up to twice as many. Only the frames of a run are asked
// for whole; the others cost a comparison.
class CodedSpectrumObserver final : public FrameObserver {
public:
    // The defaults decode about 600 granule-channels of a file of a few
    // minutes, some 2 microseconds each at 320 kbit/s: a millisecond or so
    // next to the few of reading the file.
    struct SamplePlan {
        int runs = 30;
        int granule_channels_per_run = 20;  // after the frame that fills the reservoir
        int one_frame_in = 2;
    };

    CodedSpectrumObserver() : CodedSpectrumObserver(SamplePlan{}) {}
    explicit CodedSpectrumObserver(SamplePlan plan) : plan_(plan) {}

    void BeginWalk() override;
    void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
        const int64_t index = told_++;
        if (index + 1 < run_start_) [[likely]] {
            return;
        }
        Sampled(index, bytes, header);
    }
    void Gap() override { decoder_.Reset(); }

    // What the walk's sample showed so far (a walk its caller stopped keeps
    // what it had).
    const CodedSpectrumSummary& summary() const { return summary_; }

private:
    // The frame at `index`, at most one before a run starts.
    void Sampled(int64_t index, std::span<const uint8_t> bytes, const FrameHeader& header);
    void PlanRuns(const FrameHeader& first);
    void NextRun();
    bool ThinEvidence() const;
    void AddFrame(const FrameHeader& header);
    void AddGranule(int granule, const FrameHeader& header);

    SamplePlan plan_;
    MainDataDecoder decoder_;
    CodedSpectrumSummary summary_;
    int64_t told_ = 0;       // frames told this walk
    int64_t run_start_ = 0;  // the first frame of the next or current run
    int64_t run_end_ = 0;    // the frame after it
    int64_t run_frames_ = 0;
    int64_t stride_ = 0;        // frames from one run's start to the next
    int64_t planned_runs_ = 0;  // runs and spare runs
    int64_t positions_ = 0;     // runs and spare runs passed
    bool spares_ = false;       // whether every second position is a spare run
    int64_t doubling_at_ = 0;   // the run count at which the stride doubles
};

}  // namespace vandrel
