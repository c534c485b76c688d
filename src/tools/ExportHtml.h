#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

// One attribute of the catalog as the HTML report sees it: a column of its
// table, exported or not.
struct ExportColumn {
    int32_t id = 0;
    std::string name;
    std::string group;
    std::string alignment;  // "left" or "right", written as the cell's align value
    int text_slot = 0;      // which of a file's attribute texts holds the value
    int width = 0;          // written as the header cell's width
    bool exported = false;
    bool needs_all_frames = false;  // the attribute needs the frames walked
};

// (group, name) of an attribute, as the export's selection names it.
using ExportSelectionEntry = std::pair<std::string, std::string>;

// Every attribute of the catalog, in catalog order, exported when the
// selection names it; the first ("Name") always is. An empty selection
// exports just the name.
std::vector<ExportColumn> ExportColumns(const std::vector<ExportSelectionEntry>& selection);
// The exported columns as a selection, in the order given.
std::vector<ExportSelectionEntry> SelectionOf(const std::vector<ExportColumn>& columns);

// Whether a quick scan (the first frames of each file) gives every exported
// attribute its value: false when one of them needs all frames.
bool QuickScanIsEnough(const std::vector<ExportColumn>& columns);
// Whether anything but the name is exported, so that files must be scanned.
bool ExportNeedsScan(const std::vector<ExportColumn>& columns);

// A text made safe to put between tags or in an attribute value: "&", "<",
// ">" and '"' become entities. Bytes that are no valid UTF-8 (a file name in
// another encoding) become the text "\xHH", the byte in lower-case hex, as
// vandrel-scan writes them, so the report stays valid UTF-8.
std::string EscapeHtml(std::string_view text);

// The pieces of the report's table. `columns` is ExportColumns' list: the
// catalog's first attribute at index 0. Every inserted text is escaped.

// The row of column names, then an empty spacer row.
std::string HeaderRow(const std::vector<ExportColumn>& columns);
// The row that opens a folder's files: its path under the first column, and
// in every other exported column what a file not yet analysed shows there.
std::string FolderRow(const std::vector<ExportColumn>& columns, std::string_view folder);
// One file's row: its texts under the exported columns.
std::string FileRow(const std::vector<ExportColumn>& columns, const AttributeTexts& texts);
// One cell of a folder or file row.
std::string DataCell(const ExportColumn& column, std::string_view value);
// One line of the summary at the top of the report.
std::string SummaryRow(std::string_view label, std::string_view value);

// What the report counts over its files.
struct ExportTotals {
    int64_t tracks = 0;   // files listed, those that could not be opened included
    int64_t folders = 0;  // folder rows written
    int64_t bytes = 0;    // sizes of the files written
    int64_t seconds = 0;  // their playing times, each cut to whole seconds
};

// The summary rows: tracks, folders, size, and the duration when there is one.
std::string InfoText(const ExportTotals& totals);
// "12.34 MB" up to 1024 MB, else "1.21 GB".
std::string SizeText(int64_t bytes);
// "1 week, 2 days, 1 hour, 2 minutes, 5 seconds": weeks, days and hours only
// when there are any, minutes when not zero, seconds always.
std::string DurationText(int64_t seconds);
// "Mon, Dec 7 2026 9:05:03": the day and month names in the language of the
// given LC_TIME locale ("" for the environment's; "C" when it does not exist).
std::string DateText(const std::tm& local_time, const std::string& time_locale = "");
// The program's version and beta texts, blank between.
std::string VersionLine();

// The texts that go into a template, each before its marker.
struct ReportTexts {
    std::string info;     // before <!--INFO-->
    std::string main;     // before <!--MAIN-->
    std::string version;  // before <!--VERSION-->
    std::string date;     // before <!--DATE-->
};
inline constexpr std::string_view kInfoMarker = "<!--INFO-->";
inline constexpr std::string_view kMainMarker = "<!--MAIN-->";
inline constexpr std::string_view kVersionMarker = "<!--VERSION-->";
inline constexpr std::string_view kDateMarker = "<!--DATE-->";

// The template with each text inserted before the first occurrence of its
// marker, the markers taken in the order INFO, MAIN, VERSION, DATE, each
// looked for in the text as the earlier ones left it. The markers stay;
// a missing marker takes nothing.
std::string FillTemplate(std::string_view template_text, const ReportTexts& texts);
// The largest template read: far beyond any page a person edits, and a
// report of it is held in memory whole.
inline constexpr int64_t kMaxTemplateBytes = 16 * 1024 * 1024;

// A template file as read, and what keeps it from being a usable one.
enum class TemplateFault {
    kNone,
    kUnreadable,    // not there, no right to read, a folder, a FIFO or device, too large
    kNotText,       // holds a zero byte: another encoding (UTF-16) or no text at all
    kNoMainMarker,  // no <!--MAIN-->: the table would go nowhere
};
struct TemplateFile {
    std::string text;  // the whole file (kNone, kNotText, kNoMainMarker)
    TemplateFault fault = TemplateFault::kNone;
    // kUnreadable: the system's reason, or that it is no regular file or is
    // larger than kMaxTemplateBytes.
    std::string reason;
};
// Reads a regular file of at most kMaxTemplateBytes, without waiting on a
// FIFO, and says whether it is a template that can be filled.
TemplateFile LoadTemplate(const std::string& path);

// The template file's text: the whole file up to its first zero byte; empty
// when it cannot be read (see LoadTemplate).
std::string ReadTemplate(const std::string& path);

}  // namespace vandrel
