#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/SettingsStore.h"
#include "engine/media/FileTypes.h"

namespace vandrel {

// The largest frames-to-read count: the worker takes it in 16 bits.
inline constexpr int kMaxFramesToRead = 0xFFFF;
// The widest column the settings give: wider than any screen.
inline constexpr int kMaxColumnWidth = 16384;

// A shown column: an attribute and its width.
struct ListColumn {
    int32_t id;
    int width;  // 0: the attribute's own width
};

// What the export dialog last offered ("export").
struct ExportChoices {
    bool recurse = true;
    std::vector<std::pair<std::string, std::string>> selected;  // group, name
    std::string template_path;
};

// The file list's settings ("list_settings"); each member says its key.
struct ListSettings {
    int frame_limit = 1000;         // "frameres": frames read per file at first, 0 for all
    bool read_all_unknown = true;   // "readallunknown": all frames when the encoder is unknown
    bool read_all_initial = false;  // "readallinitial": a second pass reads the rest
    int sort_column = 0;            // "sortcolid": the attribute the rows are sorted by
    bool sort_reverse = false;      // "sort_reverse"
    bool mono_quality = false;      // "monoquality": double the quality per bitrate of mono
    bool xml_entities = true;       // "xml": HTML codes in the export
    bool rescan = true;             // "rescan": follow changes of the folder
    int color_good = 9895830;       // "color_good", "color_notbad", "color_bad": the Quality
    int color_notbad = 9895935;     //   cell's background, red + 256 green + 65536 blue
    int color_bad = 9869055;
    bool autosize = true;  // "autosize": the first column fills the width when a scan ends
    bool tooltips = true;  // "tooltips": header tooltips
    std::string file_types = std::string(kDefaultFileTypes);  // "filetypes"
    bool problems_only = false;  // "problemsonly": "Problem files only" hides the clean files
    // "num_columns22_", "colid2_" + i, "colwidth2_" + i; the default set when none.
    std::vector<ListColumn> columns;
    ExportChoices export_choices;
};

// The columns shown when the settings name none.
std::vector<ListColumn> DefaultListColumns();

// Reads both sections; unknown column ids are dropped and an unknown sort
// column becomes the name. Counts are bounded by what can exist: no more
// columns and export choices than the catalog has attributes, widths from 0
// to kMaxColumnWidth, frames to read from 0 to kMaxFramesToRead (a negative
// count reads as the default).
ListSettings LoadListSettings(const SettingsStore& store);
// Writes both sections, the keys in their order.
void SaveListSettings(SettingsStore& store, const ListSettings& settings);

}  // namespace vandrel
