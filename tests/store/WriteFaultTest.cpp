#include <gtest/gtest.h>

#include <filesystem>

#include "store/DataCache.h"
#include "store/IniFile.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::SmallFileSystem;

// The names in the folder, to see that no temporary file stays behind.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

CIniFile BigSettings(const std::string& path) {
    CIniFile ini(path);
    for (int i = 0; i < 5000; ++i) {
        ini.SetString("list_settings", "key" + std::to_string(i), std::string(60, 'v'));
    }
    return ini;
}

TEST(WriteFaults, TheSettingsFileIsWrittenWholeOrNotAtAll) {
    SmallFileSystem fs;
    if (!fs.available()) {
        GTEST_SKIP() << fs.reason();
    }
    CIniFile first(fs.File("vandrel.ini"));
    first.SetString("mainframe", "left", "10");
    ASSERT_TRUE(first.Save());
    const std::vector<uint8_t> before = test::ReadFile(fs.File("vandrel.ini"));

    // A disk that fills up while the new file is written.
    fs.Fill();
    EXPECT_FALSE(BigSettings(fs.File("vandrel.ini")).Save());
    EXPECT_EQ(test::ReadFile(fs.File("vandrel.ini")), before);
    EXPECT_EQ(Names(fs.path()), (std::vector<std::string>{"filler", "vandrel.ini"}));

    // A folder that cannot be written at all.
    ASSERT_TRUE(fs.MakeReadOnly());
    EXPECT_FALSE(first.Save());
    EXPECT_EQ(test::ReadFile(fs.File("vandrel.ini")), before);
}

TEST(WriteFaults, TheCacheFileIsWrittenWholeOrNotAtAll) {
    SmallFileSystem fs;
    if (!fs.available()) {
        GTEST_SKIP() << fs.reason();
    }
    auto record_of = [](int i) {
        ScanRecord r = ZeroRecord();
        CopyTextField(r.path, "/music/" + std::to_string(i) + ".mp3");
        r.frames = i;
        r.whole_file_scanned = 1;
        return r;
    };
    CDataCache small(fs.File("cache.dat"));
    small.Store(record_of(1));
    ASSERT_TRUE(small.Save());
    const std::vector<uint8_t> before = test::ReadFile(fs.File("cache.dat"));

    // 300 records (600 KB) do not fit the 300 KB disk.
    CDataCache big(fs.File("cache.dat"));
    big.SetMaxSizeKb(100000);
    for (int i = 0; i < 300; ++i) {
        big.Store(record_of(i));
    }
    std::string error;
    EXPECT_FALSE(big.Save(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadFile(fs.File("cache.dat")), before);
    EXPECT_EQ(Names(fs.path()), std::vector<std::string>{"cache.dat"});

    ASSERT_TRUE(fs.MakeReadOnly());
    EXPECT_FALSE(small.Save(&error));
    EXPECT_EQ(test::ReadFile(fs.File("cache.dat")), before);
}

TEST(WriteFaults, ASettingsFileOfJunkGivesTheDefaults) {
    test::TempDir dir;
    // Binary junk, then a line of 100,000 characters, then a good section.
    std::vector<uint8_t> junk;
    for (int i = 0; i < 4096; ++i) {
        junk.push_back(static_cast<uint8_t>((i * 7919) % 256));
    }
    junk.insert(junk.end(), 100'000, 'x');
    const std::string tail = "\r\nlist_settings\r\nframeres\t5\r\n\r\n";
    junk.insert(junk.end(), tail.begin(), tail.end());
    test::WriteFile(dir.File("junk.ini"), junk);
    CIniFile ini(dir.File("junk.ini"));
    ini.Load();
    EXPECT_EQ(ini.GetInt("list_settings", "frameres", 1000), 1000);
    EXPECT_EQ(ini.GetString("tree_settings", "initdir", "none"), "none");
    EXPECT_TRUE(ini.Save());  // and what it kept can be written back
}

}  // namespace
}  // namespace vandrel
