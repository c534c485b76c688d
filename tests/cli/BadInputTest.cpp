// Damaged, hostile and odd inputs through vandrel-scan: each gives a clear
// outcome (a result or an error line), never a crash or a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/ScanCommand.h"
#include "engine/media/MediaFileRegistry.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

using test::TempDir;

class BadInput : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), "-q");
        return RunScanCommand(args, out_, err_);
    }
    std::ostringstream out_;
    std::ostringstream err_;
    TempDir dir_;
};

TEST_F(BadInput, FilesThatAreNoAudioSayWhy) {
    test::WriteFile(dir_.File("zeros.mp3"), std::vector<uint8_t>(200'000, 0));
    // One header word over and over: headers that never chain.
    std::vector<uint8_t> repeated;
    for (int i = 0; i < 50'000; ++i) {
        repeated.insert(repeated.end(), {0xFF, 0xFB, 0x90, 0x64});
    }
    test::WriteFile(dir_.File("repeated.mp3"), repeated);
    std::filesystem::create_directory(dir_.File("folder.mp3"));
    ASSERT_EQ(::mkfifo(dir_.File("pipe.mp3").c_str(), 0600), 0);

    EXPECT_EQ(Run({"--format=tsv", dir_.path(), dir_.File("folder.mp3")}), 1);
    const std::string err = err_.str();
    EXPECT_NE(err.find("zeros.mp3: Not an MPEG audio, MPEG Plus or WAVE file"), std::string::npos);
    EXPECT_NE(err.find("repeated.mp3: "), std::string::npos);
    EXPECT_NE(err.find("pipe.mp3: Not a regular file"), std::string::npos);  // and no hang
    // A folder is a folder whatever its name: it is not a file of the
    // listing, and named on its own it is scanned (here: nothing in it).
    EXPECT_EQ(err.find("folder.mp3"), std::string::npos);
    // Every file still has its row, with the placeholders.
    const std::string out = out_.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);
    EXPECT_NE(out.find("zeros.mp3\t--\t--"), std::string::npos);
}

TEST_F(BadInput, AnUnreadableFileSaysSo) {
    std::filesystem::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), dir_.File("locked.mp3"));
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(dir_.File("locked.mp3").c_str(), 0);
    // In a child without root's rights, where the permission holds.
    const auto child = test::RunAsNobody([&](std::string& output) {
        const int status = Run({dir_.File("locked.mp3")});
        output = err_.str();
        return status;
    });
    if (!child) {
        GTEST_SKIP() << "no process without the right to read every file could be started";
    }
    EXPECT_EQ(child->status, 1);
    EXPECT_NE(child->output.find("locked.mp3: Permission denied"), std::string::npos)
        << child->output;
}

TEST_F(BadInput, SizesBeyondWhatTheRecordHoldsAreShownAsAtLeast) {
    // A sparse file of 4.5 GB: frames at the start and in the middle, zeros
    // between them (which take no disk space).
    const std::string path = dir_.File("huge.mp3");
    test::WriteSparseFile(path, 4'500'000'000, test::MakeFrames({}, 100));
    EXPECT_EQ(Run({"--format=json", path}), 0);
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"file_size\": 4294967295"), std::string::npos);
    EXPECT_NE(json.find("\"Size\": \"4294,967,295+\""), std::string::npos);
    EXPECT_NE(json.find("\"frames\": 100"), std::string::npos);
    EXPECT_EQ(json.find("\"first_frame_offset\": -"), std::string::npos);
}

TEST_F(BadInput, OddFileNamesComeOutReadable) {
    const std::string odd_names[] = {"with space.mp3", "new\nline.mp3", "bad \xFF\xFE byte.mp3"};
    for (const std::string& name : odd_names) {
        std::filesystem::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), dir_.File(name));
    }
    EXPECT_EQ(Run({"--format=json", dir_.path()}), 0);
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"name\": \"with space.mp3\""), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"new\\nline.mp3\""), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"bad \xEF\xBF\xBD\xEF\xBF\xBD byte.mp3\""), std::string::npos);

    EXPECT_EQ(Run({"--format=tsv", "--columns=Name,Frames", dir_.path()}), 0);
    // One line per file: the line break of the name does not split its row.
    const std::string table = out_.str();
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4);
    EXPECT_NE(table.find("new line.mp3\t156"), std::string::npos);
}

TEST_F(BadInput, CacheFilesOfAnotherKindAreLeftAlone) {
    const std::string fixture = test::FixturePath("lame_cbr64_mono.mp3");
    // The cache of another version is refused and left as it is.
    std::vector<uint8_t> other = {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 8, 8};
    test::WriteFile(dir_.File("old.dat"), other);
    EXPECT_EQ(Run({"--cache", dir_.File("old.dat"), fixture}), 2);
    EXPECT_NE(err_.str().find("is not a readable analysis cache file"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir_.File("old.dat")), other);
    // A good cache cut at every length: each is read as far as it is whole,
    // or refused, and the scan goes on.
    ASSERT_EQ(Run({"--cache", dir_.File("good.dat"), fixture}), 0);
    const std::vector<uint8_t> good = test::ReadFile(dir_.File("good.dat"));
    for (size_t length = 0; length < good.size(); length += 97) {
        test::WriteFile(
            dir_.File("cut.dat"),
            std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(length)));
        const int status = Run({"--cache", dir_.File("cut.dat"), fixture});
        EXPECT_TRUE(status == 0 || status == 2) << length;
        EXPECT_NE(out_.str().find("lame_cbr64_mono.mp3"), std::string::npos) << length;
    }
}

}  // namespace
}  // namespace vandrel::cli
