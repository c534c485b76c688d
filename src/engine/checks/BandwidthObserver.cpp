#include "engine/checks/BandwidthObserver.h"

namespace vandrel {

void BandwidthObserver::EndWalk(const ScanRecord& record) {
    const StreamFacts facts{
        .bitrate_kbps = record.average_bitrate,
        .sample_rate = record.sample_rate,
        .rate_control = record.is_vbr != 0 ? RateControl::kVariable : RateControl::kConstant,
        .lame_vbr_scale =
            record.has_xing != 0 && record.xing.has_lame_tag != 0 ? record.xing.vbr_scale : -1,
    };
    const UpscaleVerdict verdict = JudgeBandwidth(histogram_, facts);
    out_.bandwidth_granules = static_cast<uint32_t>(histogram_.count());
    out_.bandwidth_hz = static_cast<float>(verdict.bandwidth_hz);
    out_.reach_hz = static_cast<float>(verdict.reach_hz);
    out_.upscale = static_cast<int32_t>(verdict.kind);
}

}  // namespace vandrel
