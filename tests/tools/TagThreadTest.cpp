#include "tools/TagThread.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/Inbox.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

// lame -V 2, no ID3 tags: a LAME tag whose music CRC matches the audio.
constexpr const char* kLameFixture = "lame_vbr_v2.mp3";

// Runs the check and gives what it posted.
std::vector<Message> Check(const std::string& path, const ScanRecord& record) {
    const auto inbox = std::make_shared<test::Inbox>();
    CTagThread thread;
    thread.Start(inbox, path, record);
    thread.done_event.Wait();
    return inbox->Take();
}

TEST(TagThread, EndsWithTheCheckedRecordOrAFailure) {
    // A file whose audio matches its tag: progress up to 100, then the record.
    const std::string path = test::FixturePath(kLameFixture);
    ScanRecord record = test::ScanFile(path);
    record.xing.music_crc_ok = 1;  // an earlier check's word does not count
    record.xing.music_crc_computed = 1;
    std::vector<Message> messages = Check(path, record);
    ASSERT_GE(messages.size(), 2u) << "progress and the end";
    EXPECT_EQ(messages[messages.size() - 2].id, kMsgProgress) << "progress before the end";
    EXPECT_EQ(messages[messages.size() - 2].wparam, 100u) << "the last percent";
    ASSERT_EQ(messages.back().id, kMsgWorkDone) << "the end comes last";
    EXPECT_EQ(OutcomeOf(messages.back()), WorkOutcome::kDone) << "the check's outcome";
    const auto& checked = std::get<std::unique_ptr<ScanRecord>>(messages.back().payload);
    EXPECT_NE(checked->xing.music_crc_computed, 0) << "music_crc_computed";
    EXPECT_EQ(checked->xing.music_crc_ok, 1) << "music_crc_ok";

    // A file that is gone: failed, and the record says the CRC was not computed.
    messages = Check(test::FixturePath("no such file.mp3"), record);
    ASSERT_EQ(messages.size(), 1u) << "only the end for a missing file";
    EXPECT_EQ(OutcomeOf(messages[0]), WorkOutcome::kFailed) << "the missing file's outcome";
    const auto& failed = std::get<std::unique_ptr<ScanRecord>>(messages[0].payload);
    EXPECT_EQ(failed->xing.music_crc_computed, 0) << "music_crc_computed of the missing file";
    EXPECT_EQ(failed->xing.music_crc_ok, 0) << "music_crc_ok of the missing file";
}

}  // namespace
}  // namespace vandrel
