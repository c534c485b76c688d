#include "engine/media/Mp3GraphColors.h"

#include <array>

#include "engine/core/SettingsTable.h"

namespace vandrel {

namespace {

constexpr const char* kColorSection = "mp3_colors";

// Each colour's key, in the order the keys are written.
constexpr auto kColorKeys = std::to_array<SettingKey<Mp3GraphColors>>({
    Key<&Mp3GraphColors::big_base>("big_base"),
    Key<&Mp3GraphColors::res_base>("res_base"),
    Key<&Mp3GraphColors::bit_base>("bit_base"),
    Key<&Mp3GraphColors::big_high>("big_high"),
    Key<&Mp3GraphColors::res_high>("res_high"),
    Key<&Mp3GraphColors::bit_high>("bit_high"),
});

// Changed only at start-up, before any file is shown.
Mp3GraphColors g_graph_colors;

}  // namespace

void LoadGraphColors(const SettingsStore& settings) {
    LoadSettingKeys(settings, kColorSection, kColorKeys, g_graph_colors);
}

void SaveGraphColors(SettingsStore& settings) {
    SaveSettingKeys(settings, kColorSection, kColorKeys, g_graph_colors);
}

const Mp3GraphColors& GraphColors() {
    return g_graph_colors;
}

}  // namespace vandrel
