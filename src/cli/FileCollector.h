#pragma once

#include <optional>
#include <istream>
#include <string>
#include <vector>

namespace vandrel::cli {

struct InputFile {
    std::string path;
    // Set when the path could not even be listed (an unreadable folder).
    std::optional<std::string> error;
};

// Expands the command-line paths into the files to analyse, in output order:
// a file stands for itself whatever its name; a folder gives its files whose
// extension is in `filetypes`, in name order without regard to case, and with
// `recursive` then its sub-folders the same way, depth first.
// The paths of a list: separated by NUL bytes when it holds any (as `find
// -print0` writes them), else one per line (a CR before the line break is
// dropped). Empty entries are skipped.
std::vector<std::string> ReadPathList(std::istream& in);

std::vector<InputFile> CollectInputFiles(const std::vector<std::string>& paths, bool recursive,
                                         const std::string& filetypes);

// Name order without regard to ASCII case; names equal but for case keep a
// fixed byte order.
bool NameLess(const std::string& a, const std::string& b);

}  // namespace vandrel::cli
