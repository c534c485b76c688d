#pragma once

#include <array>

#include "engine/audio/RgbImage.h"

namespace vandrel {

// The colours of levels, from black through purple, red and orange to pale
// yellow, each step as much lighter as the one before: the "inferno" map of
// even perceived lightness, which reads the same in grey and to colour-blind
// eyes. Its darkest end stays distinct from a near-black background only by
// a hair, so pictures frame it.
class ColourMap {
public:
    static constexpr int kSteps = 256;

    ColourMap();
    // The colour of `t`, 0 (the lowest level) to 1 (the highest); values
    // outside are taken as the nearest end.
    Rgb At(double t) const;

private:
    std::array<Rgb, kSteps> table_{};
};

}  // namespace vandrel
