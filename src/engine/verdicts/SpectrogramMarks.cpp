#include "engine/verdicts/SpectrogramMarks.h"

#include "engine/verdicts/Upscale.h"

namespace vandrel {

SpectrumMarks SpectrogramMarks(const ScanRecord& record, const FileChecks& checks) {
    SpectrumMarks marks;
    const UpscaleJudgement judgement = JudgeUpscale(record, checks);
    if (judgement.cutoff_hz > 0) {
        marks.cutoff_hz = judgement.cutoff_hz;
    }
    if (judgement.expected_lowpass_hz > 0) {
        marks.lowpass_hz = judgement.expected_lowpass_hz;
    }
    return marks;
}

}  // namespace vandrel
