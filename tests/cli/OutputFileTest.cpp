#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/ScanCommand.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// A stream whose every write fails, as standard output on a full disk.
class FullDisk : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

class OutputFile : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args, std::ostream* out = nullptr) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), "-q");
        return RunScanCommand(args, out != nullptr ? *out : out_, err_);
    }
    std::string Copy(const char* fixture, const std::string& name) {
        fs::copy_file(test::FixturePath(fixture), dir_.File(name));
        return dir_.File(name);
    }
    std::ostringstream out_;
    std::ostringstream err_;
    TempDir dir_;
};

TEST_F(OutputFile, AFailingStandardOutputIsAnError) {
    const std::string mp3 = test::FixturePath("lame_cbr64_mono.mp3");
    FullDisk full;
    std::ostream out(&full);
    EXPECT_EQ(Run({mp3}, &out), 1) << "exit status";
    EXPECT_NE(err_.str().find("vandrel-scan: cannot write the output"), std::string::npos)
        << err_.str();
}

TEST_F(OutputFile, NeverReplacesAnInputTheCacheOrAnAudioFile) {
    const std::string first = Copy("lame_cbr64_mono.mp3", "a.mp3");
    const std::string second = Copy("lame_cbr128_joint.mp3", "b.mp3");
    const std::vector<uint8_t> audio = test::ReadFile(first);

    // "-o *.mp3": the first MP3 would become the table.
    EXPECT_EQ(Run({"-o", first, second}), 2) << "exit status for -o *.mp3";
    EXPECT_NE(err_.str().find("holds audio; it is left as it is"), std::string::npos) << err_.str();
    // The same file as an input under another name.
    EXPECT_EQ(Run({"-o", dir_.path() + "/./a.mp3", dir_.path()}), 2) << "exit status for ./a.mp3";
    EXPECT_NE(err_.str().find("is the input file"), std::string::npos) << err_.str();
    EXPECT_EQ(test::ReadFile(first), audio) << "the input is untouched";

    // The cache, named as it is and through a link.
    const std::string cache = dir_.File("cache.dat");
    ASSERT_EQ(Run({"--cache", cache, second}), 0);
    const std::vector<uint8_t> cached = test::ReadFile(cache);
    fs::create_symlink(cache, dir_.File("link.dat"));
    for (const std::string& output : {cache, dir_.File("link.dat")}) {
        EXPECT_EQ(Run({"--cache", cache, "-o", output, second}), 2) << "exit status for " << output;
        EXPECT_NE(err_.str().find("is the cache file"), std::string::npos) << err_.str();
    }
    EXPECT_EQ(test::ReadFile(cache), cached) << "the cache is untouched";
}

TEST_F(OutputFile, NeverTakesTheCachesPlaceBeforeTheCacheIsThere) {
    const std::string song = test::FixturePath("lame_cbr64_mono.mp3");
    const std::string cache = dir_.File("cache.dat");
    // The cache file and each file it keeps beside it, none of them there yet.
    for (const std::string& output :
         {cache, dir_.path() + "/./cache.dat", cache + ".checks", cache + ".lock",
          cache + ".old-version", cache + ".old-version.checks"}) {
        EXPECT_EQ(Run({"--cache", cache, "-o", output, song}), 2) << "exit status for " << output;
        EXPECT_NE(err_.str().find("; it is left as it is"), std::string::npos)
            << "message for " << output << ": " << err_.str();
        EXPECT_FALSE(fs::exists(output)) << output << " not written";
    }
    // Once the cache is there, its checks beside it are refused all the same.
    ASSERT_EQ(Run({"--cache", cache, song}), 0);
    const std::vector<uint8_t> checks = test::ReadFile(cache + ".checks");
    EXPECT_EQ(Run({"--cache", cache, "-o", cache + ".checks", song}), 2)
        << "exit status for the checks file";
    EXPECT_EQ(test::ReadFile(cache + ".checks"), checks) << "the checks file is untouched";
}

TEST_F(OutputFile, TakesADashForStandardOutput) {
    const std::string mp3 = test::FixturePath("lame_cbr64_mono.mp3");
    ASSERT_FALSE(fs::exists("-")) << "a file named - in the current folder before the run";
    EXPECT_EQ(Run({"--columns=Name", "-o", "-", mp3}), 0) << "exit status";
    EXPECT_EQ(out_.str(), "Name\nlame_cbr64_mono.mp3\n") << "the table on standard output";
    EXPECT_FALSE(fs::exists("-")) << "a file named - in the current folder after the run";
}

TEST_F(OutputFile, WritesThroughLinksAndIntoDevicesAndPipes) {
    const std::string mp3 = test::FixturePath("lame_cbr64_mono.mp3");
    ASSERT_EQ(Run({mp3}), 0);
    const std::string table = out_.str();

    test::WriteText(dir_.File("real.txt"), "old");
    fs::create_symlink("real.txt", dir_.File("link.txt"));
    EXPECT_EQ(Run({"-o", dir_.File("link.txt"), mp3}), 0) << err_.str();
    EXPECT_TRUE(fs::is_symlink(dir_.File("link.txt"))) << "the link stays a link";
    EXPECT_EQ(Text(dir_.File("real.txt")), table) << "the file behind the link";

    EXPECT_EQ(Run({"-o", "/dev/null", mp3}), 0) << err_.str();
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "/dev/null is still a device";

    const std::string fifo = dir_.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::ifstream in(fifo);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    EXPECT_EQ(Run({"-o", fifo, mp3}), 0) << err_.str();
    reader.join();
    EXPECT_EQ(received, table) << "what came through the FIFO";
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo) << "the FIFO stays a FIFO";
}

}  // namespace
}  // namespace vandrel::cli
