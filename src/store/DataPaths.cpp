#include "store/DataPaths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vandrel {

namespace fs = std::filesystem;

namespace {

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

bool IsFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

}  // namespace

std::string ExecutableFolder() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

std::string DataFolderFor(const std::string& executable_folder) {
    if (!executable_folder.empty()) {
        const fs::path installed = fs::path(executable_folder) / ".." / "share" / "vandrel";
        if (IsFolder(installed.string())) {
            return installed.lexically_normal().string();
        }
    }
#ifdef VANDREL_SOURCE_DATA_DIR
    if (IsFolder(VANDREL_SOURCE_DATA_DIR)) {
        return VANDREL_SOURCE_DATA_DIR;
    }
#endif
    return {};
}

std::string DataFolder() {
    if (const char* forced = std::getenv("VANDREL_DATA_DIR"); forced != nullptr && *forced) {
        return IsFolder(forced) ? std::string(forced) : std::string();
    }
    return DataFolderFor(ExecutableFolder());
}

std::string ExamplesFolder() {
    const std::string data = DataFolder();
    const std::string examples = data.empty() ? std::string() : data + "/examples";
    return IsFolder(examples) ? examples : std::string();
}

std::string UserGuidePathFor(const std::string& executable_folder) {
    if (!executable_folder.empty()) {
        const fs::path installed =
            fs::path(executable_folder) / ".." / "share" / "doc" / "vandrel" / "user-guide.html";
        if (IsFile(installed.string())) {
            return installed.lexically_normal().string();
        }
    }
#ifdef VANDREL_BUILD_USER_GUIDE
    if (IsFile(VANDREL_BUILD_USER_GUIDE)) {
        return VANDREL_BUILD_USER_GUIDE;
    }
#endif
#ifdef VANDREL_SOURCE_USER_GUIDE
    if (IsFile(VANDREL_SOURCE_USER_GUIDE)) {
        return VANDREL_SOURCE_USER_GUIDE;
    }
#endif
    return {};
}

std::string UserGuidePath() {
    return UserGuidePathFor(ExecutableFolder());
}

}  // namespace vandrel
