#include "engine/audio/ColourMap.h"

#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

// Ten evenly spaced stops of the map, as 0xRRGGBB; the steps between are
// mixed in straight lines, close enough to the map's curve at this spacing.
constexpr std::array<int, 10> kStops = {0x000004, 0x1B0C41, 0x4A0C6B, 0x781C6D, 0xA52C60,
                                        0xCF4446, 0xED6925, 0xFB9B06, 0xF7D13D, 0xFCFFA4};

uint8_t Channel(int colour, int shift) {
    return static_cast<uint8_t>((colour >> shift) & 0xFF);
}

uint8_t Mix(uint8_t a, uint8_t b, double f) {
    return static_cast<uint8_t>(std::lround(a + (b - a) * f));
}

}  // namespace

ColourMap::ColourMap() {
    const double last_stop = kStops.size() - 1;
    for (size_t i = 0; i < table_.size(); ++i) {
        const double position = static_cast<double>(i) / (kSteps - 1) * last_stop;
        const auto stop = std::min(static_cast<size_t>(position), kStops.size() - 2);
        const double f = position - static_cast<double>(stop);
        const int a = kStops[stop];
        const int b = kStops[stop + 1];
        table_[i] = {Mix(Channel(a, 16), Channel(b, 16), f), Mix(Channel(a, 8), Channel(b, 8), f),
                     Mix(Channel(a, 0), Channel(b, 0), f)};
    }
}

Rgb ColourMap::At(double t) const {
    if (!(t > 0)) {
        return table_.front();  // NaN too
    }
    const auto step = static_cast<size_t>(std::lround(std::min(t, 1.0) * (kSteps - 1)));
    return table_[step];
}

}  // namespace vandrel
