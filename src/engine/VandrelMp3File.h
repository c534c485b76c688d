#pragma once

#include <memory>

#include "Mp3File.h"

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

// The analysing MPEG audio file: the scanner of CMp3File plus the statistics
// and pages the Details dialog shows.
class CVandrelMp3File : public CMp3File {
public:
    CVandrelMp3File() = default;
    CVandrelMp3File(const CVandrelMp3File& other) = default;
    CVandrelMp3File& operator=(const CVandrelMp3File&) = delete;

    std::unique_ptr<CMediaFileInterface> Clone() const override;

    // The graph colours, section "mp3_colors". They are one process-wide
    // value shared by every file, read at start-up and written back at exit.
    bool LoadPageSettings(const SettingsStore& settings) override;
    bool SavePageSettings(SettingsStore& settings) const override;
    static const Mp3GraphColors& GraphColors();
};

} // namespace vandrel
