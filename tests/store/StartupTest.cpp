#include "store/Startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "engine/media/MediaFileRegistry.h"
#include "engine/media/VandrelMp3File.h"
#include "store/ProcessValues.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

// Sets environment variables for one test; nullptr removes one.
class Environment {
public:
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {  // the oldest value last
            it->second ? ::setenv(it->first.c_str(), it->second->c_str(), 1)
                       : ::unsetenv(it->first.c_str());
        }
    }
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(ProcessValues, KeepTheSettingsOfAnInstalledCopyInTheUsersConfigurationFolder) {
    Environment env;
    env.Set("VANDREL_HOME", nullptr);
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("HOME", "/home/u");
    // The executable's folder cannot be written; the file is named after the
    // executable up to its last ".", where a "." in a folder does not count.
    InitProcessValues("/no/such.folder/vandrel.bin", {});
    EXPECT_EQ(SettingsFilePath(), "/home/u/.config/vandrel/vandrel.ini");
}

TEST(ProcessValues, KeepAWritableFolderForAPortableCopyButNotForAnInstalledOne) {
    test::TempDir dir;
    Environment env;
    env.Set("VANDREL_HOME", nullptr);
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("HOME", "/home/u");
    std::filesystem::create_directories(dir.File("portable"));
    InitProcessValues(dir.File("portable/vandrel"), {});
    EXPECT_EQ(SettingsFilePath(), dir.File("portable/vandrel.ini")) << "portable copy";

    // Installed in a prefix that root may write: share/vandrel beside bin/.
    std::filesystem::create_directories(dir.File("usr/bin"));
    std::filesystem::create_directories(dir.File("usr/share/vandrel"));
    InitProcessValues(dir.File("usr/bin/vandrel"), {});
    EXPECT_EQ(SettingsFilePath(), "/home/u/.config/vandrel/vandrel.ini") << "installed copy";
}

TEST(ProcessValues, KeepTheLogOfAnInstalledCopyInTheUsersStateFolder) {
    test::TempDir dir;
    Environment env;
    env.Set("VANDREL_HOME", nullptr);
    env.Set("XDG_STATE_HOME", nullptr);
    env.Set("HOME", "/home/u");
    InitProcessValues("/no/such.folder/vandrel", {});
    EXPECT_EQ(LogFilePath(), "/home/u/.local/state/vandrel/vandrel.log") << "default";
    // A portable copy keeps it beside itself, as its settings.
    std::filesystem::create_directories(dir.File("portable"));
    InitProcessValues(dir.File("portable/vandrel"), {});
    EXPECT_EQ(LogFilePath(), dir.File("portable/vandrel.log")) << "portable copy";
}

class FakeMainFrame : public CWindowWithSettings {
public:
    void LoadSettings(const SettingsStore& s) override {
        pos = s.GetInt("view_settings", "splitter_pos", 200);
    }
    void SaveSettings(SettingsStore& s) override { s.SetInt("view_settings", "splitter_pos", pos); }
    int pos = 0;
};

TEST(Startup, ReadsTheSettingsAndWritesAFreshFileAtExit) {
    test::TempDir dir;
    Environment env;
    env.Set("VANDREL_HOME", dir.File("home").c_str());
    InitProcessValues("/opt/vandrel", {});
    const MediaFileTypesScope media_types;  // their page settings are read and written
    ShutDown(nullptr);                      // no main window: nothing written, not even the folder
    EXPECT_FALSE(std::filesystem::exists(dir.File("home")));
    FakeMainFrame frame;
    ShutDown(&frame);  // makes the folder to write in
    test::WriteText(SettingsFilePath(), "by_hand\nkey\tv\n\nmp3_colors\nbig_base\t255\n\n"
                                        "view_settings\nsplitter_pos\t300\ncustom\t1\n\n");
    frame.LoadSettings(*StartUp());
    EXPECT_EQ(frame.pos, 300);
    frame.pos = 310;
    ShutDown(&frame);
    // The main frame's keys, then the colours; keys nobody writes are gone.
    const std::vector<uint8_t> bytes = test::ReadFile(SettingsFilePath());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "view_settings\r\nsplitter_pos\t310\r\n\r\nmp3_colors\r\nbig_base\t255\r\n"
              "res_base\t10841401\r\nbit_base\t10841401\r\nbig_high\t12814415\r\n"
              "res_high\t12814415\r\nbit_high\t12814415\r\n\r\n");
}

}  // namespace
}  // namespace vandrel
