#pragma once

#include "engine/audio/SpectrogramImage.h"
#include "engine/core/FileChecks.h"

namespace vandrel {

// The lines a file's spectrogram marks, from its checks: the bandwidth the
// upscale verdict measured, as the cutoff, when the verdict judged the file
// (a file it left open has no measurement worth a line). The encoder's
// lowpass has no source in the checks yet and stays unmarked.
SpectrumMarks SpectrogramMarks(const FileChecks& checks);

}  // namespace vandrel
