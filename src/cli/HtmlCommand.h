#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "cli/Options.h"
#include "tools/ExportHtml.h"

namespace vandrel::cli {

// The report's columns for the attributes chosen on the command line: those
// exported, every other catalog attribute not; the name always is.
std::vector<ExportColumn> HtmlColumns(const std::vector<int32_t>& attribute_ids);

// vandrel-scan --html: the HTML report of the export tool over the
// command-line paths, written to the file of -o (`out` for "-"). Each path that is a folder
// gives its file list as the export assembles it (with -r its sub-folders
// too), any other path is listed as it stands; one report holds them all, in
// the order given. The exit status: 0 when the report was written and every
// file analysed, 1 when a file could not be opened or scanned or the report
// not written, 2 when the template cannot be read or is no template (not a
// regular file, over 16 MB, not text, no <!--MAIN-->) or -o names an input,
// the template, the cache or an audio file, 3 when only the cache was not
// saved.
int RunHtmlCommand(const Options& options, const std::vector<int32_t>& attribute_ids,
                   std::ostream& out, std::ostream& err);

}  // namespace vandrel::cli
