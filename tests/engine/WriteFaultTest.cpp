#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

Id3v1Tag SomeTag() {
    Id3v1Fields fields;
    fields.title = "Title";
    fields.track = 3;
    return ComposeId3v1(fields);
}

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
        EXPECT_FALSE(file.WriteId3v1(SomeTag()));  // no room for 128 more bytes
        EXPECT_EQ(file.GetFileSize(), audio.size());
    }
    EXPECT_EQ(test::ReadFile(path), audio);

    ASSERT_TRUE(fs.MakeReadOnly());
    CVandrelMp3File file;
    EXPECT_FALSE(file.Open(path, "r+b"));  // the caller reports it cannot write
    EXPECT_EQ(test::ReadFile(path), audio);
}

TEST(WriteFaults, AFileThatShrinksOrGrowsWhileItIsScannedEndsCleanly) {
    test::TempDir dir;
    const std::string path = dir.File("moving.mp3");
    const std::vector<uint8_t> audio = test::MakeFrames({}, 6000);
    for (const bool shrink : {true, false}) {
        test::WriteFile(path, audio);
        // At the first progress call the file changes under the scanner.
        class Changer : public sink {
        public:
            Changer(std::string path, bool shrink) : path_(std::move(path)), shrink_(shrink) {}
            bool Progress(const ScanRecord&) override {
                if (!done_) {
                    done_ = true;
                    if (shrink_) {
                        std::filesystem::resize_file(path_, 1000 * 417 + 100);
                    } else {
                        std::filesystem::resize_file(path_, 7000 * 417);
                    }
                }
                return true;
            }

        private:
            std::string path_;
            bool shrink_;
            bool done_ = false;
        } changer(path, shrink);
        CVandrelMp3File file;
        ASSERT_TRUE(file.Open(path, "rb"));
        ScanRecord r = ZeroRecord();
        EXPECT_EQ(file.Scan(r, {.cache = CacheLookup::kSkip, .progress = &changer}), 1);
        if (shrink) {
            // The walk ends soon after the new end (what was already buffered
            // is still walked).
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
