#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vandrel {

// Calls visit with each entry of `folder` (hidden ones included, "." and ".."
// not). False when the folder cannot be opened; when the reading stops early,
// `stopped` gets the reason and visit has seen the entries before it.
template <typename Visit>
bool ForEachFolderEntry(const std::string& folder, Visit visit, std::error_code& stopped) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return false;
    }
    // An error while moving on makes the iterator the end.
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        visit(*it);
    }
    stopped = ec;
    return true;
}

// A folder's entry that is not a folder: its name as the bytes the file
// system holds (which need not be UTF-8), its size and its last change.
struct FolderFile {
    std::string name;
    uint64_t size = 0;
    int64_t modified_ns = 0;  // 0 when unknown
    bool operator==(const FolderFile&) const = default;
};

// The folder's entries that are not folders (hidden ones, links to files and
// special files included), in byte order of their names; nothing when the
// folder cannot be read.
std::optional<std::vector<FolderFile>> ListFolderFiles(const std::string& folder);

}  // namespace vandrel
