#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/Analysis.h"
#include "cli/Options.h"

namespace vandrel::cli {

struct Column {
    std::string header;
    bool right_aligned;
    std::function<std::string(const FileResult&)> text;
};

// The attributes chosen with --columns (names or ids), --all-columns or the
// default set; an error message for a name that is no attribute.
std::variant<std::vector<int32_t>, std::string> ResolveColumns(const Options& options);

// The columns of table, tsv and csv output: the attributes, each with its
// name as header and its alignment, then the music CRC check when asked for.
std::vector<Column> OutputColumns(const std::vector<int32_t>& attribute_ids,
                                  const Options& options);

// The name of the music CRC check among the columns and the JSON attributes.
inline constexpr const char* kMusicCrcColumn = "Music CRC";

// "OK" or "corrupt" for a checked music CRC (with the reason in brackets when
// the tag's music length could not be used), "Error calculating CRC" when the
// check could not run, empty for a file without a LAME tag.
std::string MusicCrcText(const ScanRecord& record);

// Receives the results in input order and writes them in one format.
class ResultWriter {
public:
    virtual ~ResultWriter() = default;
    virtual void Add(const FileResult& result) = 0;
    // Writes whatever the format keeps until the end.
    virtual void Finish() = 0;
};

// A writer for the chosen format; --report prints each file's text report.
std::unique_ptr<ResultWriter> MakeResultWriter(const Options& options,
                                               const std::vector<int32_t>& attribute_ids,
                                               std::ostream& out);

// RFC 4180: a field with a comma, quote, CR or LF is quoted, quotes doubled.
std::string CsvField(const std::string& text);

// A text made safe for a terminal and for line- and tab-separated output
// (table, tsv, csv and error messages), byte for byte reversible:
// - tab, line feed and carriage return become \t, \n and \r;
// - any other control character (bytes 00-1F and 7F, and the C1 controls
//   U+0080-U+009F, which terminals may take for escape sequences) and every
//   byte that is not part of valid UTF-8 becomes \xHH, the byte in lower-case
//   hex (so a C1 control, two bytes in UTF-8, gives two of them);
// - a backslash is doubled only where it would otherwise read as the start of
//   one of these sequences: before another backslash, before "t", "n", "r" or
//   "x", and before a character that is escaped itself. Elsewhere ("C:\Music",
//   "a\b") it stays single.
// Reading back: "\\" is one backslash, \t \n \r \xHH as above, and any
// other backslash stands for itself. Printable UTF-8 (accents, CJK, ...) is
// left as it is.
std::string EscapeText(std::string_view text);

// Writes `line` over the terminal line a progress display keeps on `err`:
// back to its start, the old text cleared, and the new one cut to 79 bytes
// where a character starts, so that it never wraps.
void DrawProgressLine(std::ostream& err, std::string line);

}  // namespace vandrel::cli
