#include "ui/common/ListSettings.h"

#include <algorithm>

#include "engine/core/SettingsTable.h"
#include "store/AttributeCatalog.h"

namespace vandrel {

namespace {

constexpr const char* kListSection = "list_settings";
constexpr const char* kExportSection = "export";

// The keys written before the export section and the column keys.
constexpr auto kLeadingKeys = std::to_array<SettingKey<ListSettings>>({
    Key<&ListSettings::frame_limit>("frameres"),
    Key<&ListSettings::read_all_unknown>("readallunknown"),
    Key<&ListSettings::read_all_initial>("readallinitial"),
    Key<&ListSettings::sort_column>("sortcolid"),
    Key<&ListSettings::sort_reverse>("sort_reverse"),
    Key<&ListSettings::mono_quality>("monoquality"),
    Key<&ListSettings::xml_entities>("xml"),
    Key<&ListSettings::rescan>("rescan"),
    Key<&ListSettings::color_good>("color_good"),
    Key<&ListSettings::color_notbad>("color_notbad"),
    Key<&ListSettings::color_bad>("color_bad"),
});
// Written after the column count, before the columns.
constexpr auto kHeaderKeys = std::to_array<SettingKey<ListSettings>>({
    Key<&ListSettings::autosize>("autosize"),
    Key<&ListSettings::tooltips>("tooltips"),
});
// Written last.
constexpr auto kTrailingKeys = std::to_array<SettingKey<ListSettings>>({
    Key<&ListSettings::file_types>("filetypes"),
    Key<&ListSettings::problems_only>("problemsonly"),
});

}  // namespace

std::vector<ListColumn> DefaultListColumns() {
    std::vector<ListColumn> columns;
    for (int32_t id : DefaultColumnIds()) {
        columns.push_back({id, 0});
    }
    return columns;
}

ListSettings LoadListSettings(const SettingsStore& store) {
    ListSettings settings;
    LoadSettingKeys(store, kListSection, kLeadingKeys, settings);
    LoadSettingKeys(store, kListSection, kHeaderKeys, settings);
    LoadSettingKeys(store, kListSection, kTrailingKeys, settings);

    if (settings.frame_limit < 0) {
        settings.frame_limit = ListSettings{}.frame_limit;
    }
    settings.frame_limit = std::min(settings.frame_limit, kMaxFramesToRead);

    // A count from the file is never trusted further than the catalog
    // reaches: 2147483647 would otherwise be as many look-ups.
    const int attributes = static_cast<int>(Catalog().size());
    ExportChoices& choices = settings.export_choices;
    choices.recurse = store.GetInt(kExportSection, "recurse", 1) != 0;
    const int selected = std::min(store.GetInt(kExportSection, "selnum", 0), attributes);
    for (int i = 0; i < selected; ++i) {
        choices.selected.emplace_back(store.GetString(kExportSection, "selected_gp", "", i),
                                      store.GetString(kExportSection, "selected_nm", "", i));
    }
    choices.template_path = store.GetString(kExportSection, "template", "");

    // Each attribute is shown at most once.
    const int count = std::min(store.GetInt(kListSection, "num_columns22_", 0), attributes);
    for (int i = 0; i < count; ++i) {
        const int32_t id = store.GetInt(kListSection, "colid2_", i, i);
        if (FindAttribute(id) != nullptr) {
            const int width = store.GetInt(kListSection, "colwidth2_", 100, i);
            settings.columns.push_back({id, std::clamp(width, 0, kMaxColumnWidth)});
        }
    }
    if (settings.columns.empty()) {
        settings.columns = DefaultListColumns();
    }
    if (FindAttribute(settings.sort_column) == nullptr) {
        settings.sort_column = 0;
    }
    return settings;
}

void SaveListSettings(SettingsStore& store, const ListSettings& settings) {
    SaveSettingKeys(store, kListSection, kLeadingKeys, settings);

    const ExportChoices& choices = settings.export_choices;
    store.SetInt(kExportSection, "recurse", choices.recurse ? 1 : 0);
    store.SetInt(kExportSection, "selnum", static_cast<int>(choices.selected.size()));
    for (size_t i = 0; i < choices.selected.size(); ++i) {
        const int index = static_cast<int>(i);
        store.SetString(kExportSection, "selected_gp", choices.selected[i].first, index);
        store.SetString(kExportSection, "selected_nm", choices.selected[i].second, index);
    }
    store.SetString(kExportSection, "template", choices.template_path);

    store.SetInt(kListSection, "num_columns22_", static_cast<int>(settings.columns.size()));
    SaveSettingKeys(store, kListSection, kHeaderKeys, settings);
    for (size_t i = 0; i < settings.columns.size(); ++i) {
        const int index = static_cast<int>(i);
        store.SetInt(kListSection, "colid2_", settings.columns[i].id, index);
        store.SetInt(kListSection, "colwidth2_", settings.columns[i].width, index);
    }
    SaveSettingKeys(store, kListSection, kTrailingKeys, settings);
}

}  // namespace vandrel
