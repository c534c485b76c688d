#include "ui/browser/FolderEntries.h"

#include <sys/stat.h>

#include <algorithm>

namespace vandrel {

std::optional<std::vector<FolderFile>> ListFolderFiles(const std::string& folder) {
    std::vector<FolderFile> files;
    std::error_code stopped;
    const bool opened = ForEachFolderEntry(
        folder,
        [&](const std::filesystem::directory_entry& entry) {
            std::error_code type_ec;
            if (entry.is_directory(type_ec)) {
                return;
            }
            FolderFile file{entry.path().filename().string()};
            // One stat gives both; a link counts as what it points to.
            struct stat st {};
            if (::stat(entry.path().c_str(), &st) == 0) {
                file.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
                file.modified_ns = int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
            }
            files.push_back(std::move(file));
        },
        stopped);
    if (!opened) {
        return std::nullopt;
    }
    std::sort(files.begin(), files.end(),
              [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
    return files;
}

}  // namespace vandrel
