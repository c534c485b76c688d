#include "engine/verdicts/FileAnalysis.h"

#include <gtest/gtest.h>

#include "engine/core/ScanError.h"
#include "engine/media/MediaFileRegistry.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

class FileAnalysisTest : public ::testing::Test {
protected:
    const MediaFileTypesScope media_types_;
    test::TempDir dir_;
};

// Answers true until it has been asked `answers` times.
class CountingSink : public sink {
public:
    explicit CountingSink(int answers) : answers_(answers) {}
    bool Progress(const ScanRecord& /*record*/) override { return ++calls <= answers_; }
    int calls = 0;

private:
    int answers_;
};

TEST_F(FileAnalysisTest, ReadsAsMuchAsAskedAndCountsZeroFramesAsAll) {
    const std::string path = dir_.File("a.mp3");
    const std::vector<uint8_t> bytes = test::MakeFrames({}, 60);
    test::WriteFile(path, bytes);

    // 0 frames: every frame.
    FileAnalysis all = Analyse(path, {});
    EXPECT_EQ(all.outcome, AnalysisOutcome::kAnalysed) << "outcome";
    EXPECT_EQ(all.record.frames, 60) << "frames of a walk of all";
    EXPECT_EQ(all.texts[kSlotFrames], "60") << "Frames text of a walk of all";
    EXPECT_EQ(all.texts[kSlotProblems], "none") << "Problems text";
    EXPECT_EQ(all.failure, std::nullopt) << "failure";
    // A part of the file.
    const FileAnalysis part = Analyse(path, {.frames = 10});
    EXPECT_EQ(part.texts[kSlotFrames], "10+") << "Frames text of a walk of 10";
    // The headers only.
    const FileAnalysis headers = Analyse(path, {.depth = ReadDepth::kHeaders});
    EXPECT_EQ(headers.record.frames, 0) << "frames without a walk";
    EXPECT_EQ(headers.texts[kSlotBitrate], "128") << "Bitrate text from the first frame";
    // Opened for its size: nothing read, nothing described.
    const FileAnalysis opened = Analyse(path, {.depth = ReadDepth::kOpenOnly});
    EXPECT_EQ(opened.outcome, AnalysisOutcome::kAnalysed) << "outcome when only opened";
    EXPECT_EQ(opened.file_bytes, bytes.size()) << "file_bytes";
    EXPECT_NE(opened.feature_mask, 0) << "feature_mask";
    EXPECT_EQ(opened.texts[kSlotEncoder], "") << "Encoder text when only opened";
}

TEST_F(FileAnalysisTest, GivesTheReasonOfAFileItCannotAnalyseInTheCallersLayout) {
    // No such file: refused, its record still names it.
    const FileAnalysis gone = Analyse(dir_.File("gone.mp3"), {});
    EXPECT_EQ(gone.outcome, AnalysisOutcome::kRefused) << "outcome of a missing file";
    EXPECT_EQ(gone.failure, "No such file or directory") << "failure of a missing file";
    EXPECT_EQ(RecordPath(gone.record), dir_.File("gone.mp3")) << "record path";
    EXPECT_EQ(gone.severity, Severity::kDamage) << "severity of a missing file";

    // Frames in its middle only: the kind opens it, the scan fails. The
    // scanner's message ends with a line break, which each layout keeps or
    // drops.
    std::vector<uint8_t> late(600'000, 0);
    test::Append(late, test::MakeFrames({}, 2000));
    test::WriteFile(dir_.File("late.mp3"), late);
    const FileAnalysis as_given = Analyse(dir_.File("late.mp3"), {});
    EXPECT_EQ(as_given.outcome, AnalysisOutcome::kScanFailed) << "outcome of a failed scan";
    EXPECT_EQ(as_given.failure, kNoHeaderMessage) << "failure, as the scanner says it";
    EXPECT_EQ(as_given.texts[kSlotProblems], kNoHeaderMessage) << "Problems as given";
    EXPECT_EQ(as_given.texts[kSlotEncoder], "--") << "Encoder text of a failed scan";
    EXPECT_EQ(as_given.texts[kSlotCrcErrors], "--") << "CRC Errors text of a failed scan";
    EXPECT_EQ(as_given.texts[kSlotQuality], "Unknown") << "Quality text of a failed scan";
    const FileAnalysis cut =
        Analyse(dir_.File("late.mp3"), {.reason_layout = ReasonLayout::kTrailingBreaksCut});
    EXPECT_EQ(cut.texts[kSlotProblems], "Cannot find valid mp3 header, scanning failed")
        << "Problems without its trailing line break";
    ASSERT_EQ(cut.findings.size(), 1u) << "findings of a failed scan";
    EXPECT_EQ(cut.findings[0].brief, cut.texts[kSlotProblems]) << "finding's brief";

    // Line breaks inside a reason.
    FileAnalysis lines;
    ApplyFailure(lines, AnalysisOutcome::kScanFailed, kLostHeaderMessage,
                 ReasonLayout::kTrailingBreaksCut);
    EXPECT_EQ(lines.texts[kSlotProblems],
              "Hmm - I thought I'd found a header... \r\nPlease report this bug...")
        << "Problems with the breaks inside kept";
    ApplyFailure(lines, AnalysisOutcome::kScanFailed, kLostHeaderMessage, ReasonLayout::kOneLine);
    EXPECT_EQ(lines.texts[kSlotProblems],
              "Hmm - I thought I'd found a header...   Please report this bug...")
        << "Problems on one line";
    EXPECT_EQ(lines.failure, kLostHeaderMessage) << "failure, whatever the layout";
}

TEST_F(FileAnalysisTest, EndsAsStoppedWhenTheProgressSinkSaysSo) {
    // The sink is asked every 2000 frames and once at the end.
    const std::string path = dir_.File("long.mp3");
    test::WriteFile(path, test::MakeFrames({}, 4500));
    CountingSink listening(100);
    const FileAnalysis whole = Analyse(path, {.progress = &listening});
    EXPECT_EQ(whole.outcome, AnalysisOutcome::kAnalysed) << "outcome with a willing sink";
    EXPECT_GT(listening.calls, 1) << "the sink's calls";

    CountingSink stopping(0);
    const FileAnalysis stopped = Analyse(path, {.progress = &stopping});
    EXPECT_EQ(stopped.outcome, AnalysisOutcome::kStopped) << "outcome with a sink that stops";
    EXPECT_EQ(stopped.texts[kSlotEncoder], "") << "Encoder text of a stopped scan";
    EXPECT_EQ(stopped.failure, std::nullopt) << "failure of a stopped scan";
}

}  // namespace
}  // namespace vandrel
