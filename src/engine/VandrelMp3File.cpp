#include "VandrelMp3File.h"

#include <utility>

namespace vandrel {

namespace {

constexpr const char* kColorSection = "mp3_colors";

// Each colour's key, in the order the keys are written.
constexpr std::pair<const char*, int Mp3GraphColors::*> kColorKeys[] = {
    {"big_base", &Mp3GraphColors::big_base}, {"res_base", &Mp3GraphColors::res_base},
    {"bit_base", &Mp3GraphColors::bit_base}, {"big_high", &Mp3GraphColors::big_high},
    {"res_high", &Mp3GraphColors::res_high}, {"bit_high", &Mp3GraphColors::bit_high},
};

// Changed only at start-up, before any file is shown.
Mp3GraphColors g_graph_colors;

} // namespace

std::unique_ptr<CMediaFileInterface> CVandrelMp3File::Clone() const {
    return std::make_unique<CVandrelMp3File>(*this);
}

bool CVandrelMp3File::LoadPageSettings(const SettingsStore& settings) {
    const Mp3GraphColors defaults;
    for (const auto& [key, color] : kColorKeys) {
        g_graph_colors.*color = settings.GetInt(kColorSection, key, defaults.*color);
    }
    return true;
}

bool CVandrelMp3File::SavePageSettings(SettingsStore& settings) const {
    for (const auto& [key, color] : kColorKeys) {
        settings.SetInt(kColorSection, key, g_graph_colors.*color);
    }
    return true;
}

const Mp3GraphColors& CVandrelMp3File::GraphColors() {
    return g_graph_colors;
}

} // namespace vandrel
