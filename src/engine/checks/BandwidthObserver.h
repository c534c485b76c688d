#pragma once

#include <cstdint>
#include <span>

#include "engine/checks/Bandwidth.h"
#include "engine/core/FileChecks.h"
#include "engine/frame/FrameObserver.h"

namespace vandrel {

// Measures how far up the big values of a walk's Layer III granules reach
// and, once the walk is over, gives the checks' record the bandwidth verdict
// (JudgeBandwidth): bandwidth, reach, granules counted and the upscale kind.
class BandwidthObserver final : public FrameObserver {
public:
    explicit BandwidthObserver(FileChecks& out) : out_(out) {}
    void BeginWalk() override { histogram_ = {}; }
    void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
        if (header.layer != 3) {
            return;
        }
        // The side information follows the header, and the CRC word when there is one.
        const size_t side_info = header.protection == 0 ? 6 : 4;
        if (bytes.size() > side_info) {
            histogram_.AddSideInfo(bytes.subspan(side_info), header.is_mpeg1, header.channels,
                                   header.sample_rate);
        }
    }
    void EndWalk(const ScanRecord& record) override;

    const BandwidthHistogram& histogram() const { return histogram_; }

private:
    FileChecks& out_;
    BandwidthHistogram histogram_;
};

}  // namespace vandrel
