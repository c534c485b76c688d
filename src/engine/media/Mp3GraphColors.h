#pragma once

#include "engine/core/SettingsStore.h"

namespace vandrel {

// The colours of the Details dialog's histograms as 0x00BBGGRR values: the
// base and highlight shade of the big-values, reservoir and bitrate graphs.
struct Mp3GraphColors {
    int big_base = 0xA56D39;
    int res_base = 0xA56D39;
    int bit_base = 0xA56D39;
    int big_high = 0xC3884F;
    int res_high = 0xC3884F;
    int bit_high = 0xC3884F;
};

// The graph colours, section "mp3_colors". They are one process-wide value
// shared by every file, read at start-up and written back at exit.
void LoadGraphColors(const SettingsStore& settings);
void SaveGraphColors(SettingsStore& settings);
const Mp3GraphColors& GraphColors();

}  // namespace vandrel
