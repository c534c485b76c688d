#include "engine/verdicts/SpectrogramMarks.h"

#include "engine/checks/Bandwidth.h"

namespace vandrel {

SpectrumMarks SpectrogramMarks(const FileChecks& checks) {
    SpectrumMarks marks;
    const bool judged = checks.upscale != static_cast<int32_t>(UpscaleKind::kNotJudged);
    if (judged && checks.bandwidth_hz > 0) {
        marks.cutoff_hz = checks.bandwidth_hz;
    }
    return marks;
}

}  // namespace vandrel
