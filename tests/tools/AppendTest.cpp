#include "tools/Append.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"
#include "tools/TagEditing.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Slice(const Bytes& bytes, int64_t start, int64_t end) {
    return {bytes.begin() + start, bytes.begin() + end};
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Says stop at the first progress; counts the bitrate notes.
struct Recorder : AppendSink {
    bool Progress(int64_t, int64_t) override { return go_on; }
    void DifferentBitrates() override { ++notes; }
    bool go_on = true;
    int notes = 0;
};

class Append : public ::testing::Test {
protected:
    // A fixture copied into the test folder, with an ID3v1 tag titled `title` when given.
    std::string Input(const char* fixture, const std::string& as, const char* title = nullptr) {
        const std::string path = dir_.File(as);
        fs::copy_file(test::FixturePath(fixture), path, fs::copy_options::overwrite_existing);
        if (title != nullptr) {
            Id3v1Fields fields;
            fields.title = title;
            EXPECT_TRUE(WriteId3v1File(path, fields).ok) << "tag for " << as;
        }
        return path;
    }
    AppendResult Join(const std::string& in1, const std::string& in2, const std::string& out,
                      AppendChoice choice, AppendSink* sink = nullptr) {
        CVandrelMp3File file;
        EXPECT_TRUE(file.Open(in1, "rb")) << in1;
        return AppendFiles(file, test::ScanFile(in1), in2, out, choice, sink);
    }
    // Nothing but the named files in the folder: no output, no temporary file.
    size_t FilesInFolder() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_.path()), {}));
    }

    test::TempDir dir_;
};

TEST_F(Append, TakesTheFramesOfBothFilesAndTheChosenTag) {
    // No information frames: input 1 whole but for its tag, input 2 from its first frame.
    const std::string in1 = Input("lame_notag_cbr128.mp3", "one.mp3", "First");
    const std::string in2 = Input("lame_notag_cbr128.mp3", "two.mp3", "Second");
    const std::string out = dir_.File("out.mp3");
    Recorder sink;
    const AppendResult result =
        Join(in1, in2, out,
             {.copy_first_tag = false, .copy_second_tag = true, .new_vbr_header = false}, &sink);
    ASSERT_EQ(result.outcome, AppendOutcome::kDone) << result.reason;
    const Bytes b1 = test::ReadFile(in1);
    const Bytes b2 = test::ReadFile(in2);
    const int64_t first2 = test::ScanFile(in2).first_frame_offset;
    const Bytes expected =
        Joined({Slice(b1, 0, std::ssize(b1) - 128), Slice(b2, first2, std::ssize(b2) - 128),
                Slice(b2, std::ssize(b2) - 128, std::ssize(b2))});
    EXPECT_EQ(test::ReadFile(out), expected) << "output bytes, ending with the second tag";
    EXPECT_EQ(sink.notes, 0) << "same bitrates: no note";

    // "Ignore": no tag at all.
    ASSERT_EQ(Join(in1, in2, out, {.copy_first_tag = false, .new_vbr_header = false}).outcome,
              AppendOutcome::kDone);
    EXPECT_EQ(test::ScanFile(out).id3v1_present, 0) << "no ID3v1 tag with Ignore";
    EXPECT_EQ(fs::file_size(out), expected.size() - 128) << "size without a tag";

    // "Copy from first file" of a file without a tag adds none (not 128 zero bytes).
    const std::string bare = Input("lame_notag_cbr128.mp3", "bare.mp3");
    ASSERT_EQ(Join(bare, in2, out, {.new_vbr_header = false}).outcome, AppendOutcome::kDone);
    EXPECT_EQ(fs::file_size(out), fs::file_size(bare) + b2.size() - first2 - 128)
        << "no tag from a file that has none";
}

TEST_F(Append, LeavesOutTheFirstInformationFrameOrWritesANewOne) {
    const std::string in1 = Input("lame_cbr128_joint.mp3", "one.mp3");
    const std::string in2 = Input("lame_cbr128_joint.mp3", "two.mp3");
    const std::string out = dir_.File("out.mp3");
    const ScanRecord r1 = test::ScanFile(in1);
    ASSERT_EQ(r1.has_xing, 1) << "the fixture has an Info frame";

    ASSERT_EQ(Join(in1, in2, out, {.new_vbr_header = false}).outcome, AppendOutcome::kDone);
    const ScanRecord plain = test::ScanFile(out);
    EXPECT_EQ(plain.has_xing, 0) << "input 1's Info frame is left out";
    EXPECT_EQ(plain.frames, 2 * r1.frames - 1) << "input 2's Info frame stays in the middle";

    // Two VBR files of other lengths: the new header describes the whole.
    const std::string v1 = Input("lame_vbr_v2.mp3", "v1.mp3");
    const std::string v2 = Input("lame_notag_vbr_long.mp3", "v2.mp3");
    Recorder sink;
    ASSERT_EQ(Join(v1, v2, out, {}, &sink).outcome, AppendOutcome::kDone);
    EXPECT_EQ(sink.notes, 1) << "different average bitrates: one note";
    const ScanRecord joined = test::ScanFile(out);
    const ScanRecord s1 = test::ScanFile(v1);
    const ScanRecord s2 = test::ScanFile(v2);
    EXPECT_EQ(joined.has_xing, 1) << "a new Xing frame";
    EXPECT_EQ(joined.xing.frames + 1u, static_cast<uint32_t>(joined.frames))
        << "its frame count matches the frames";
    EXPECT_EQ(joined.sync_errors, 0) << "no sync error at the joint";
    const double frame_seconds = 1152.0 / 44100;
    EXPECT_LE(std::abs(joined.length_seconds - (s1.length_seconds + s2.length_seconds)),
              frame_seconds * 1.01)
        << "length of the whole within one frame";
}

TEST_F(Append, AFailedOrStoppedJoinLeavesNoOutput) {
    // Large enough for more than one chunk.
    const std::string in1 = dir_.File("one.mp3");
    test::WriteFile(in1, test::MakeFrames({}, 3000));
    const std::string out = dir_.File("out.mp3");
    EXPECT_EQ(Join(in1, dir_.File("missing.mp3"), out, {}).outcome, AppendOutcome::kFailed)
        << "input 2 missing";
    EXPECT_FALSE(fs::exists(out)) << "no output after a failure";

    test::WriteText(out, "an earlier file");
    Recorder stop;
    stop.go_on = false;
    for (const bool new_header : {false, true}) {
        EXPECT_EQ(Join(in1, in1, out, {.new_vbr_header = new_header}, &stop).outcome,
                  AppendOutcome::kStopped)
            << "stopped at the first chunk";
    }
    EXPECT_EQ(test::ReadFile(out).size(), 15u) << "the earlier output is untouched";
    EXPECT_EQ(FilesInFolder(), 2u) << "no temporary file left";

    test::SmallFileSystem fs;
    if (!fs.available()) {
        GTEST_SKIP() << fs.reason();
    }
    fs.Fill();
    const AppendResult full = Join(in1, in1, fs.File("out.mp3"), {});
    EXPECT_EQ(full.outcome, AppendOutcome::kFailed) << "disk full";
    EXPECT_FALSE(full.reason.empty()) << "the reason is said";
    EXPECT_FALSE(fs::exists(fs.File("out.mp3"))) << "no partial output on a full disk";
}

TEST_F(Append, RefusesFilesWhoseFramesDifferInFormatAndSaysHow) {
    // 44.1 and 48 kHz: refused before anything is written, without the bitrates note.
    Recorder sink;
    const AppendResult result =
        Join(Input("lame_cbr128_joint.mp3", "one.mp3"),
             Input("lame_cbr192_dual_48k.mp3", "two.mp3"), dir_.File("out.mp3"), {}, &sink);
    EXPECT_EQ(result.outcome, AppendOutcome::kFailed) << "outcome of a join of two sample rates";
    EXPECT_EQ(result.reason, "The files differ in sample rate (44100 Hz and 48000 Hz).")
        << "reason names the rates";
    EXPECT_FALSE(fs::exists(dir_.File("out.mp3"))) << "no output after the refusal";
    EXPECT_EQ(sink.notes, 0) << "no bitrates note for a refused join";

    // Every difference with both values; stereo and joint stereo mix in one stream.
    const auto refusal = [](const char* first, const char* second) {
        return JoinRefusal(test::ScanFile(test::FixturePath(first)),
                           test::ScanFile(test::FixturePath(second)));
    };
    EXPECT_EQ(refusal("lame_cbr128_joint.mp3", "lame_mpeg2_22k_cbr64.mp3"),
              "The files differ in MPEG version (MPEG-1 and MPEG-2) and sample rate (44100 Hz and "
              "22050 Hz).")
        << "refusal of MPEG-1 then MPEG-2";
    EXPECT_EQ(
        refusal("lame_cbr128_joint.mp3", "twolame_mp2_64_16k_mono.mp2"),
        "The files differ in MPEG version (MPEG-1 and MPEG-2), layer (Layer III and Layer II), "
        "sample rate (44100 Hz and 16000 Hz) and channel mode (joint stereo and mono).")
        << "refusal of a stereo Layer III then a mono Layer II file";
    EXPECT_EQ(refusal("lame_cbr320_stereo.mp3", "lame_cbr128_joint.mp3"), "")
        << "refusal of stereo then joint stereo";
}

TEST_F(Append, NoInputIsEverTheOutput) {
    const std::string in1 = Input("lame_notag_cbr128.mp3", "a.mp3");
    const std::string in2 = Input("lame_notag_cbr128.mp3", "b.mp3");
    fs::create_symlink(in2, dir_.File("link.mp3"));
    fs::create_hard_link(in1, dir_.File("hard.mp3"));
    EXPECT_TRUE(OutputIsAnInput(in1, in2, in2)) << "the same text";
    EXPECT_TRUE(OutputIsAnInput(in1, in2, dir_.File("link.mp3"))) << "a link to input 2";
    EXPECT_TRUE(OutputIsAnInput(in1, in2, dir_.File("hard.mp3"))) << "a hard link to input 1";
    EXPECT_TRUE(OutputIsAnInput(in1, in2, dir_.path() + "/./a.mp3")) << "another spelling";
    EXPECT_FALSE(OutputIsAnInput(in1, in2, dir_.File("B.mp3"))) << "another letter case";
    EXPECT_FALSE(OutputIsAnInput(in1, in2, dir_.File("new.mp3"))) << "a new file";
}

}  // namespace
}  // namespace vandrel
