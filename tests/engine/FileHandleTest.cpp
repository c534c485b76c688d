#include "engine/io/FileHandle.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

// A hole in a sparse file is skipped by the frame search; what follows it
// and what lies before it are not.
TEST(FileHandle, FindsTheDataAfterAHole) {
    test::TempDir dir;
    const std::string path = dir.File("sparse");
    test::WriteSparseFile(path, 50'000'000, std::vector<uint8_t>(1000, 0x5A));
    {
        std::fstream tail(path, std::ios::in | std::ios::out | std::ios::binary);
        tail.seekp(40'000'000);
        tail.write("data", 4);
    }
    FileHandle file;
    ASSERT_TRUE(file.Open(path, false));
    EXPECT_EQ(file.NextData(10), 10) << "inside the data at the start";
    const int64_t next = file.NextData(10'000'000);
    EXPECT_GE(next, 10'000'000) << "never before where the search stands";
    EXPECT_LE(next, 40'000'000) << "never past the data after the hole";
    EXPECT_LE(file.NextData(45'000'000), 50'000'000) << "at most the end";
}

}  // namespace
}  // namespace vandrel
