#include "cli/FileCollector.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/media/FileTypes.h"

namespace vandrel::cli {

namespace fs = std::filesystem;

namespace {

void CollectFolder(const fs::path& folder, bool recursive,
                   const std::vector<std::string>& extensions, std::vector<InputFile>& out) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        out.push_back({folder.string(), ec.message()});
        return;
    }
    std::vector<std::string> files;
    std::vector<std::string> folders;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        std::error_code type_ec;
        if (entry.is_directory(type_ec)) {
            // Symbolic links to folders are not followed: they could loop.
            if (recursive && !entry.is_symlink(type_ec)) {
                folders.push_back(name);
            }
        } else if (MatchesFileTypes(name, extensions)) {
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end(), NameLess);
    std::sort(folders.begin(), folders.end(), NameLess);
    for (const std::string& name : files) {
        out.push_back({(folder / name).string(), std::nullopt});
    }
    for (const std::string& name : folders) {
        CollectFolder(folder / name, recursive, extensions, out);
    }
}

}  // namespace

bool NameLess(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a);
    const std::string lb = AsciiLower(b);
    if (la != lb) {
        return la < lb;
    }
    return a < b;
}

std::vector<InputFile> CollectInputFiles(const std::vector<std::string>& paths, bool recursive,
                                         const std::string& filetypes) {
    const std::vector<std::string> extensions = SplitFileTypes(filetypes);
    std::vector<InputFile> out;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            CollectFolder(path, recursive, extensions, out);
        } else {
            out.push_back({path, std::nullopt});
        }
    }
    return out;
}

}  // namespace vandrel::cli
