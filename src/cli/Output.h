#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
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

}  // namespace vandrel::cli
