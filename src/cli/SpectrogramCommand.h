#pragma once

#include <ostream>

#include "cli/Options.h"
#include "engine/audio/SpectrumAnalysis.h"

namespace vandrel::cli {

// vandrel-scan --spectrogram FILE: scans the file with every check, decodes it
// and writes the PNG picture of its spectrogram (RenderSpectrogram, with the
// marks of SpectrogramMarks) to the file of -o, or to `out` for "-". The exit
// status: 0 when the picture was written, 1 when the file cannot be read or
// decoded (MPEG Plus is not; the reason on `err`) or the picture not written,
// 2 when -o names the file itself or another audio file.
int RunSpectrogramCommand(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace vandrel::cli
