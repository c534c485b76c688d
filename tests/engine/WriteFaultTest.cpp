#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

TEST(WriteFaults, AnId3v1TagThatCannotBeWrittenLeavesTheFileAlone) {
    test::SmallFileSystem fs;
    if (!fs.available()) {
        GTEST_SKIP() << fs.reason();
    }
    // Exactly twelve pages of audio, so that a tag needs a page of its own.
    std::vector<uint8_t> audio = test::MakeFrames({}, 110);
    audio.resize(12 * 4096, 0);
    const std::string path = fs.File("song.mp3");
    test::WriteFile(path, audio);

    fs.Fill();
    {
        CVandrelMp3File file;
        ASSERT_TRUE(file.Open(path, "r+b"));
        Id3v1Fields fields;
        fields.title = "Title";
        EXPECT_FALSE(file.WriteId3v1(ComposeId3v1(fields)));  // no room for 128 more bytes
        EXPECT_EQ(file.GetFileSize(), audio.size());
    }
    EXPECT_EQ(test::ReadFile(path), audio);

    ASSERT_TRUE(fs.MakeReadOnly());
    CVandrelMp3File file;
    EXPECT_FALSE(file.Open(path, "r+b"));  // the caller reports it cannot write
    EXPECT_EQ(test::ReadFile(path), audio);
}

// At the first progress call the file takes the new size under the scanner.
struct Resizer : sink {
    bool Progress(const ScanRecord&) override {
        if (size != 0) {
            std::filesystem::resize_file(path, std::exchange(size, 0));
        }
        return true;
    }
    std::string path;
    uintmax_t size = 0;
};

TEST(WriteFaults, AFileThatShrinksOrGrowsWhileItIsScannedEndsCleanly) {
    test::TempDir dir;
    const std::string path = dir.File("moving.mp3");
    const std::vector<uint8_t> audio = test::MakeFrames({}, 6000);
    for (const uintmax_t size : {uintmax_t{1000 * 417 + 100}, uintmax_t{7000 * 417}}) {
        test::WriteFile(path, audio);
        Resizer resizer;
        resizer.path = path;
        resizer.size = size;
        CVandrelMp3File file;
        ASSERT_TRUE(file.Open(path, "rb"));
        ScanRecord r = ZeroRecord();
        EXPECT_EQ(file.Scan(r, {.cache = CacheLookup::kSkip, .progress = &resizer}), 1);
        if (size < audio.size()) {
            // The walk ends soon after the new end (buffered bytes are still walked).
            EXPECT_GE(r.frames, 2000);
            EXPECT_LT(r.frames, 3000);
        } else {
            // The size measured at opening bounds the walk.
            EXPECT_EQ(r.frames, 6000);
        }
    }
}

}  // namespace
}  // namespace vandrel
