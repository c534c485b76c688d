#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vandrel {

// Per-frame values collected by a frame walk for the Details histograms.
struct FrameSeries {
    enum Sequence : size_t {
        kShortBlockSize = 0,  // big_values of the last granule-channel of a short-block frame
        kScalefacScale = 1,   // 1 when any granule-channel set scalefac_scale
        kBitrateIndex = 2,
        kMainDataBegin = 3,  // bit reservoir use in bytes
        kModeExtension = 4,
        kBlockKind = 5,      // 0 long (start/stop), 1 short, 2 mixed
        kFramePosition = 6,  // one per walk step that was not a re-synchronisation
        kSequenceCount = 7,
    };

    std::array<std::vector<uint32_t>, kSequenceCount> sequences;

    void Reserve(size_t n) {
        for (auto& s : sequences) {
            s.reserve(n);
        }
    }
    std::vector<uint32_t>& operator[](Sequence s) { return sequences[s]; }
    const std::vector<uint32_t>& operator[](Sequence s) const { return sequences[s]; }
};

}  // namespace vandrel
