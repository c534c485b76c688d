#pragma once

#include <filesystem>
#include <string>
#include <system_error>

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

}  // namespace vandrel
