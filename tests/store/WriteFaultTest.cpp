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
    CIniFile big(fs.File("vandrel.ini"));
    for (int i = 0; i < 5000; ++i) {
        big.SetString("list_settings", "key" + std::to_string(i), std::string(60, 'v'));
    }
    fs.Fill();
    EXPECT_FALSE(big.Save());
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
        r.kind = 1;  // MPEG audio
        CopyTextField(r.path, "/music/" + std::to_string(i) + ".mp3");
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
    // No temporary file; the lock file stays for the next save.
    EXPECT_EQ(Names(fs.path()), (std::vector<std::string>{"cache.dat", "cache.dat.lock"}));

    // Read-only: a save with nothing new needs no write and succeeds; one
    // with a new record fails.
    ASSERT_TRUE(fs.MakeReadOnly());
    EXPECT_TRUE(small.Save(&error)) << "nothing to write";
    small.Store(record_of(2));
    EXPECT_FALSE(small.Save(&error)) << "a new record to write";
    EXPECT_EQ(test::ReadFile(fs.File("cache.dat")), before);
}

}  // namespace
}  // namespace vandrel
