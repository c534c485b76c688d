#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Analysis.h"
#include "Options.h"

namespace vandrel::cli {

struct Column {
    std::string header;
    bool right_aligned;
    std::function<std::string(const FileResult&)> text;
};

// The columns of table, tsv and csv output.
std::vector<Column> OutputColumns(const Options& options);

// "OK" or "corrupt" for a checked music CRC, "Error calculating CRC" when the
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

std::unique_ptr<ResultWriter> MakeResultWriter(const Options& options, std::ostream& out);

// RFC 4180: a field with a comma, quote, CR or LF is quoted, quotes doubled.
std::string CsvField(const std::string& text);

} // namespace vandrel::cli
