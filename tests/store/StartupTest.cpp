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

TEST(ProcessValues, PlaceTheFilesWhereTheyCanBeWritten) {
    // The base name drops everything from the last "." of the file name only.
    EXPECT_EQ(ExecutableBaseName("/usr/bin/vandrel"), "vandrel");
    EXPECT_EQ(ExecutableBaseName("/opt/my.apps/vandrel.0.1.bin"), "vandrel.0.1");
    test::TempDir dir;
    Environment env;
    env.Set("VANDREL_HOME", nullptr);
    env.Set("HOME", "/home/u");
    // A writable executable folder (a portable copy), else the configuration folder.
    EXPECT_EQ(ApplicationFolderFor(dir.File("vandrel")), dir.path());
    env.Set("XDG_CONFIG_HOME", "/home/u/cfg/");
    EXPECT_EQ(ApplicationFolderFor("/no/such/folder/vandrel"), "/home/u/cfg/vandrel");
    env.Set("XDG_CONFIG_HOME", "relative");  // ignored
    EXPECT_EQ(ApplicationFolderFor("/no/such/folder/vandrel"), "/home/u/.config/vandrel");
    // VANDREL_HOME wins.
    env.Set("VANDREL_HOME", dir.path().c_str());
    InitProcessValues("/opt/my.apps/vandrel", {});
    EXPECT_EQ(SettingsFilePath(), dir.path() + "/vandrel.ini");
}

TEST(ProcessValues, WriteTheVersionWithThePatchNumberAfterTheMinorOne) {
    EXPECT_EQ(BuildVersionText(3, 1, 0), "Vandrel 3.1");
    EXPECT_EQ(BuildVersionText(3, 1, 4), "Vandrel 3.14");
    EXPECT_EQ(VersionText(), "Vandrel 0.1");  // this build: 0.1.0, a release
    EXPECT_EQ(BetaText(), "");
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
    EXPECT_EQ(CVandrelMp3File::GraphColors().big_base, 255);
    EXPECT_EQ(CVandrelMp3File::GraphColors().res_base, 10841401);  // missing: the default
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
