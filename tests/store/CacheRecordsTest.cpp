#include "store/CacheRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandrel {
namespace {

CacheEntry Entry(const std::string& path, int32_t frames) {
    CacheEntry entry{ZeroRecord(), std::nullopt, 0};
    CopyTextField(entry.record.path, path);
    entry.record.frames = frames;
    entry.record.whole_file_scanned = 1;
    return entry;
}

// The keys and frame counts of the records, in their order.
std::vector<std::string> Listed(const CacheRecords& records) {
    std::vector<std::string> listed;
    for (const CacheEntry& entry : records.Entries()) {
        listed.push_back(std::string(RecordPath(entry.record)) + ":" +
                         std::to_string(entry.record.frames));
    }
    return listed;
}

TEST(CacheRecords, MergeWithTheFileKeepsWhatThisRunStoredAndTakesTheRestAsTheFileHasIt) {
    constexpr int kLimitKb = 1000;
    CacheRecords records;
    CacheRecordList file;
    file.push_back(Entry("/a", 1));
    file.push_back(Entry("/b", 1));
    records.TakeFromFile(std::move(file), 0);
    EXPECT_FALSE(records.HasUnsavedChanges()) << "changes after loading the file";
    ASSERT_NE(records.Use("/b", ZeroRecord().status, -1, false), nullptr) << "lookup of /b";
    EXPECT_FALSE(records.HasUnsavedChanges()) << "changes after a lookup reordered them";
    records.Put(Entry("/c", 5), kLimitKb);
    EXPECT_TRUE(records.HasUnsavedChanges()) << "changes after a store";

    // Meanwhile another run scanned /b again, dropped /a and stored /c and /d.
    CacheRecordList disk;
    disk.push_back(Entry("/c", 9));
    disk.push_back(Entry("/d", 1));
    disk.push_back(Entry("/b", 2));
    records.MergeWithFile(std::move(disk));
    EXPECT_EQ(Listed(records), (std::vector<std::string>{"/c:5", "/b:2", "/d:1"}))
        << "this run's /c, the file's /b in this run's order, then the file's /d";
    ASSERT_NE(records.Use("/d", ZeroRecord().status, -1, false), nullptr) << "lookup of /d";
    EXPECT_EQ(records.Use("/a", ZeroRecord().status, -1, false), nullptr) << "lookup of /a";
}

}  // namespace
}  // namespace vandrel
