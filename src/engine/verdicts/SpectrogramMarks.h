#pragma once

#include "engine/audio/SpectrogramImage.h"
#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"

namespace vandrel {

// The lines a file's spectrogram marks, from the upscale verdict
// (JudgeUpscale): the cutoff of its coded spectrum and the lowpass its
// encoder keeps at its settings, each when the verdict has it. A file the
// verdict does not judge (Layer I and II, other rates) has none.
SpectrumMarks SpectrogramMarks(const ScanRecord& record, const FileChecks& checks);

}  // namespace vandrel
