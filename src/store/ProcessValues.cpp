#include "store/ProcessValues.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "store/Log.h"

#ifndef VANDREL_VERSION_MAJOR
#define VANDREL_VERSION_MAJOR 0
#define VANDREL_VERSION_MINOR 0
#define VANDREL_VERSION_PATCH 0
#endif
#ifndef VANDREL_BETA
#define VANDREL_BETA 0
#endif

namespace vandrel {

namespace {

struct ProcessValues {
    std::string application_folder;
    std::string log_folder;
    std::string base_name;
    std::vector<std::string> arguments;
    std::string version_text;
    std::string beta_text;
};

std::string RunningExecutable() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("vandrel") : self.string();
}

ProcessValues Compute(const std::string& executable_path, std::vector<std::string> arguments) {
    return {ApplicationFolderFor(executable_path),
            LogFolderFor(executable_path),
            ExecutableBaseName(executable_path),
            std::move(arguments),
            BuildVersionText(VANDREL_VERSION_MAJOR, VANDREL_VERSION_MINOR, VANDREL_VERSION_PATCH),
            BuildBetaText(VANDREL_BETA)};
}

// Set at start-up on the user-interface thread before any worker exists.
ProcessValues& Current() {
    static ProcessValues values = Compute(RunningExecutable(), {});
    return values;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        home = found->pw_dir;
    }
    return home;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Where a program keeps what it writes: the folder VANDREL_HOME names, the
// executable's own folder, or the user's folders of the XDG base directories.
struct Placement {
    enum class Kind { kOverride, kBeside, kUser } kind;
    std::string folder;  // VANDREL_HOME's, or the executable's
};

Placement PlacementFor(const std::string& executable_path) {
    if (std::string home = Environment("VANDREL_HOME"); !home.empty()) {
        return {Placement::Kind::kOverride, WithoutTrailingSlashes(std::move(home))};
    }
    const size_t slash = executable_path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : executable_path.substr(0, slash);
    // A writable executable folder is a portable copy (a build folder, an
    // unpacked archive), unless the program is installed there: beside an
    // installed program's bin/ lies share/vandrel, and root could write into
    // /usr/bin itself.
    const std::string installed_data = folder + "/../share/vandrel";
    struct stat data {};
    const bool installed = ::stat(installed_data.c_str(), &data) == 0 && S_ISDIR(data.st_mode);
    const bool beside = !installed && ::access(folder.c_str(), W_OK) == 0;
    return {beside ? Placement::Kind::kBeside : Placement::Kind::kUser, std::move(folder)};
}

// $variable/vandrel, or ~/fallback/vandrel when the variable is unset or
// relative (relative values are to be ignored); `folder` when there is no
// home either.
std::string UserFolder(const char* variable, const char* fallback, const std::string& folder) {
    std::string base = Environment(variable);
    if (base.empty() || base.front() != '/') {
        const std::string home = HomeFolder();
        if (home.empty()) {
            return folder;
        }
        base = WithoutTrailingSlashes(home) + "/" + fallback;
    }
    return WithoutTrailingSlashes(std::move(base)) + "/vandrel";
}

}  // namespace

void InitProcessValues(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    InitProcessValues(RunningExecutable(), std::move(arguments));
}

void InitProcessValues(const std::string& executable_path, std::vector<std::string> arguments) {
    Current() = Compute(executable_path, std::move(arguments));
}

std::string ApplicationFolderFor(const std::string& executable_path) {
    Placement placement = PlacementFor(executable_path);
    return placement.kind == Placement::Kind::kUser
               ? UserFolder("XDG_CONFIG_HOME", ".config", placement.folder)
               : std::move(placement.folder);
}

std::string LogFolderFor(const std::string& executable_path) {
    Placement placement = PlacementFor(executable_path);
    return placement.kind == Placement::Kind::kUser
               ? UserFolder("XDG_STATE_HOME", ".local/state", placement.folder)
               : std::move(placement.folder);
}

std::string ExecutableBaseName(std::string_view executable_path) {
    const size_t slash = executable_path.find_last_of('/');
    std::string_view name =
        slash == std::string_view::npos ? executable_path : executable_path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

const std::string& ApplicationFolder() {
    return Current().application_folder;
}

bool EnsureApplicationFolder() {
    std::error_code ec;
    std::filesystem::create_directories(ApplicationFolder(), ec);
    if (ec) {
        Log([&] { return "Cannot create " + ApplicationFolder() + ": " + ec.message(); });
        return false;
    }
    return true;
}

std::string SettingsFilePath() {
    return ApplicationFolder() + "/" + Current().base_name + ".ini";
}

std::string LogFilePath() {
    return Current().log_folder + "/" + Current().base_name + ".log";
}

const std::vector<std::string>& CommandLineArguments() {
    return Current().arguments;
}

const std::string& VersionText() {
    return Current().version_text;
}

const std::string& BetaText() {
    return Current().beta_text;
}

std::string BuildVersionText(int major, int minor, int patch) {
    std::string text = "Vandrel " + std::to_string(major) + "." + std::to_string(minor);
    if (patch != 0) {
        text += std::to_string(patch);
    }
    return text;
}

std::string BuildBetaText(int beta) {
    return beta == 0 ? std::string() : "beta " + std::to_string(beta);
}

std::string GetDesktopPath() {
    Log("Requesting 'Desktop' folder path...");
    return "/";
}

std::string GetMyDocumentsPath() {
    std::string home = HomeFolder();
    if (home.empty()) {
        Log("Failed to obtain 'My Documents' folder (SHGetSpecialFolderLocation)");
    }
    return home;
}

}  // namespace vandrel
