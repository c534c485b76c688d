#include "cli/SpectrogramCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/ScanCommand.h"
#include "engine/io/ByteOrder.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The header of a PNG file: its signature, then the IHDR chunk's width,
// height, bit depth and colour type (2: RGB).
struct PngHeader {
    bool signature = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int bit_depth = 0;
    int colour_type = -1;
};

PngHeader HeaderOf(const std::string& bytes) {
    PngHeader header;
    if (bytes.size() < 26) {
        return header;
    }
    const std::span<const uint8_t> b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    header.signature = bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n" && bytes.substr(12, 4) == "IHDR";
    header.width = LoadBe32(b.subspan(16));
    header.height = LoadBe32(b.subspan(20));
    header.bit_depth = b[24];
    header.colour_type = b[25];
    return header;
}

std::string FileText(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

class SpectrogramCommand : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), "-q");
        return RunScanCommand(args, out_, err_);
    }

    TempDir dir_;
    const std::string mp3_ = test::FixturePath("lame_cbr256_from128.mp3");
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(SpectrogramCommand, WritesAPngOfTheSizeAskedToItsFileOrToStandardOutput) {
    const std::string png = dir_.File("out.png");
    ASSERT_EQ(Run({"--spectrogram", mp3_, "-o", png}), 0) << err_.str();
    EXPECT_EQ(err_.str(), "") << "nothing on standard error";
    EXPECT_EQ(out_.str(), "") << "nothing on standard output";
    const PngHeader header = HeaderOf(FileText(png));
    EXPECT_TRUE(header.signature) << "a PNG file";
    EXPECT_EQ(header.width, 1280u) << "default width";
    EXPECT_EQ(header.height, 720u) << "default height";
    EXPECT_EQ(header.bit_depth, 8) << "bit depth";
    EXPECT_EQ(header.colour_type, 2) << "colour type RGB";

    ASSERT_EQ(Run({"--spectrogram", test::FixturePath("sox_pcm_22k_mono.wav"), "--size=640x360",
                   "-o", "-"}),
              0)
        << err_.str();
    const PngHeader piped = HeaderOf(out_.str());
    EXPECT_TRUE(piped.signature) << "a PNG on standard output";
    EXPECT_EQ(piped.width, 640u) << "width of --size";
    EXPECT_EQ(piped.height, 360u) << "height of --size";
}

TEST_F(SpectrogramCommand, ExplainsTheCommandLinesItRefuses) {
    const auto usage = [this](std::vector<std::string> args) {
        EXPECT_EQ(Run(std::move(args)), 2) << "exit status of a usage error";
        return err_.str().substr(0, err_.str().find('\n'));
    };
    EXPECT_EQ(usage({"--spectrogram", mp3_}),
              "vandrel-scan: --spectrogram needs -o FILE (- for standard output)");
    EXPECT_EQ(usage({"--spectrogram", mp3_, "-o", "-", mp3_}),
              "vandrel-scan: --spectrogram draws the one file it names: no other PATH");
    EXPECT_EQ(usage({"--spectrogram", mp3_, "-o", "-", "--format", "json"}),
              "vandrel-scan: --spectrogram cannot be combined with --format");
    EXPECT_EQ(usage({"--spectrogram", mp3_, "-o", "-", "--html", "t.html"}),
              "vandrel-scan: --spectrogram cannot be combined with --html");
    EXPECT_EQ(usage({"--size", "800x600", mp3_}), "vandrel-scan: --size goes with --spectrogram");
    for (const char* size : {"800", "800x", "x600", "100x100", "9000x600", "800x-6"}) {
        EXPECT_EQ(usage({"--spectrogram", mp3_, "-o", "-", "--size", size}),
                  std::string("vandrel-scan: --size needs WIDTHxHEIGHT in pixels, from 320x200 to "
                              "8192x8192, not '") +
                      size + "'")
            << size;
    }
    EXPECT_EQ(out_.str(), "") << "nothing written";
}

TEST_F(SpectrogramCommand, NeverWritesOverTheFileItDrawsOrAnotherAudioFile) {
    const std::string copy = dir_.File("song.mp3");
    fs::copy_file(mp3_, copy);
    const std::string before = FileText(copy);
    EXPECT_EQ(Run({"--spectrogram", copy, "-o", copy}), 2) << "-o names the file drawn";
    EXPECT_EQ(err_.str(), "vandrel-scan: the output file " + copy + " is the input file " + copy +
                              "; it is left as it is\n");
    const std::string other = dir_.File("other.mp3");
    fs::copy_file(mp3_, other);
    EXPECT_EQ(Run({"--spectrogram", copy, "-o", other}), 2) << "-o names another MP3";
    EXPECT_EQ(err_.str(),
              "vandrel-scan: the output file " + other + " holds audio; it is left as it is\n");
    EXPECT_EQ(FileText(copy), before) << "the file drawn is unchanged";
    EXPECT_EQ(FileText(other), before) << "the other MP3 is unchanged";
}

TEST_F(SpectrogramCommand, SaysWhyAFileHasNoSpectrogram) {
    const std::string png = dir_.File("out.png");
    const auto failure = [&](const std::string& path) {
        EXPECT_EQ(Run({"--spectrogram", path, "-o", png}), 1) << "exit status for " << path;
        EXPECT_FALSE(fs::exists(png)) << "no picture for " << path;
        return err_.str();
    };
    const std::string missing = dir_.File("missing.mp3");
    EXPECT_EQ(failure(missing), "vandrel-scan: " + missing + ": No such file or directory\n");
    const std::string mpc = test::FixturePath("mpcenc_q3_mono_48k.mpc");
    EXPECT_EQ(failure(mpc), "vandrel-scan: " + mpc +
                                ": only MPEG audio and WAVE files are decoded: no spectrogram\n");
    const std::string adpcm = test::FixturePath("sox_ima_adpcm_8k_mono.wav");
    EXPECT_EQ(failure(adpcm), "vandrel-scan: " + adpcm +
                                  ": The WAVE file's audio is neither PCM of 8, 16, 24 or 32 bits "
                                  "nor floats of 32 or 64 bits (format 17, 4 bits): it is not "
                                  "decoded\n");
    const std::string text = dir_.File("notes.mp3");
    test::WriteText(text, "not audio at all");
    EXPECT_EQ(failure(text).rfind("vandrel-scan: " + text + ": ", 0), 0u)
        << "a file no kind takes: " << err_.str();
}

}  // namespace
}  // namespace vandrel::cli
