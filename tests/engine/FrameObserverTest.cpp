// The observers of the frame walk: the walk's side (what it tells whom and
// when), and the CRC and bandwidth observers on frames handed to them.
#include "engine/frame/FrameObserver.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/checks/CrcObserver.h"
#include "engine/checks/FrameCrc.h"
#include "engine/checks/IntegrityChecks.h"
#include "engine/io/ByteOrder.h"
#include "engine/media/Mp3File.h"
#include "support/MpegBuilder.h"

namespace vandrel {
namespace {

using test::HeaderFields;

// Writes down what the walk tells it.
class RecordingObserver : public FrameObserver {
public:
    void BeginWalk() override { ++begun; }
    void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
        sizes.push_back(bytes.size());
        layers.push_back(header.layer);
    }
    void EndWalk(const ScanRecord& record) override {
        ++ended;
        ended_bitrate = record.average_bitrate;
    }
    int begun = 0;
    int ended = 0;
    int ended_bitrate = 0;
    std::vector<size_t> sizes;
    std::vector<int> layers;
};

// Stops every scan at its first progress call.
class StoppingSink : public sink {
public:
    bool Progress(const ScanRecord&) override { return false; }
};

RecordingObserver Walk(std::vector<uint8_t> bytes, ScanOptions options = {}) {
    RecordingObserver observer;
    FileChecks results;
    ScanChecks checks{&results, &observer};
    options.checks = &checks;
    options.cache = CacheLookup::kSkip;
    CMp3File file;
    file.OpenMemory("walked.mp3", std::move(bytes));
    ScanRecord record = ZeroRecord();
    file.Scan(record, options);
    return observer;
}

TEST(FrameWalk, TellsItsObserversOfEachFrameTakenAsAudio) {
    // Five frames, one of Layer II that is skipped, six more.
    std::vector<uint8_t> bytes = test::MakeFrames({}, 5);
    test::Append(bytes, test::MakeFrame({.layer = 2, .bitrate_index = 10}));
    test::Append(bytes, test::MakeFrames({}, 6));
    const RecordingObserver whole = Walk(bytes);
    EXPECT_EQ(whole.begun, 1) << "walks begun";
    EXPECT_EQ(whole.ended, 1) << "walks ended";
    EXPECT_EQ(whole.ended_bitrate, 128) << "bitrate of the finished record";
    ASSERT_EQ(whole.layers.size(), 11u) << "frames told: the first one too, not the skipped one";
    EXPECT_EQ(whole.layers, std::vector<int>(11, 3)) << "layers of the frames told";
    EXPECT_EQ(whole.sizes.front(), kObservedFrameBytes) << "bytes of the first frame told";
    EXPECT_EQ(whole.sizes.back(), kObservedFrameBytes) << "bytes of the last frame told";

    // A walk cut short by its frame limit ends too. Each step parses the
    // frame after the one it counts: the first frame and three more are told.
    const RecordingObserver part = Walk(bytes, {.frame_limit = 3});
    EXPECT_EQ(part.layers.size(), 4u) << "frames told under a limit of 3";
    EXPECT_EQ(part.ended, 1) << "walks ended under a limit";

    // One that its caller stops does not, and a scan of the headers only has no walk.
    StoppingSink stop;
    const RecordingObserver stopped =
        Walk(test::MakeFrames({}, kProgressInterval + 10), {.progress = &stop});
    EXPECT_EQ(stopped.layers.size(), static_cast<size_t>(kProgressInterval) + 1)
        << "frames told before the stop";
    EXPECT_EQ(stopped.ended, 0) << "stopped walks ended";
    const RecordingObserver headers = Walk(bytes, {.walk_frames = false});
    EXPECT_EQ(headers.begun, 0) << "walks begun for the headers only";
}

// Asks for the frames at odd places whole, and writes down what it gets.
class WholeFrameObserver : public RecordingObserver {
public:
    void BeginWalk() override {
        RecordingObserver::BeginWalk();
        expected = expected_frames();
        set_wants_whole_frame(false);
    }
    void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
        RecordingObserver::Frame(bytes, header);
        set_wants_whole_frame(sizes.size() % 2 == 1);
    }
    void Gap() override { gaps.push_back(sizes.size()); }
    int64_t expected = 0;
    std::vector<size_t> gaps;  // frames told before each gap
};

WholeFrameObserver WalkWhole(std::vector<uint8_t> bytes, ScanOptions options = {}) {
    WholeFrameObserver observer;
    FileChecks results;
    ScanChecks checks{&results, &observer};
    options.checks = &checks;
    options.cache = CacheLookup::kSkip;
    CMp3File file;
    file.OpenMemory("walked.mp3", std::move(bytes));
    ScanRecord record = ZeroRecord();
    file.Scan(record, options);
    return observer;
}

TEST(FrameWalk, HandsWholeFramesToAnObserverThatAsksForThem) {
    // Six frames of 417 bytes: the second, fourth and sixth are asked for whole.
    const WholeFrameObserver plain = WalkWhole(test::MakeFrames({}, 6));
    EXPECT_EQ(plain.sizes, (std::vector<size_t>{kObservedFrameBytes, 417, kObservedFrameBytes, 417,
                                                kObservedFrameBytes, 417}))
        << "bytes of each frame told";
    EXPECT_EQ(plain.expected, 6) << "frames expected: the audio's size over the first frame's";
    EXPECT_TRUE(plain.gaps.empty()) << "gaps in a clean walk";

    // The Xing frame holds no audio: asked for or not, it comes cut.
    std::vector<uint8_t> xing = test::MakeXingFrame({}, {.frames = 9});
    test::Append(xing, test::MakeFrames({}, 5));
    WholeFrameObserver asks_first;
    {
        struct AsksFirst : WholeFrameObserver {
            void BeginWalk() override {
                WholeFrameObserver::BeginWalk();
                set_wants_whole_frame(true);
            }
        } observer;
        FileChecks results;
        ScanChecks checks{&results, &observer};
        CMp3File file;
        file.OpenMemory("xing.mp3", xing);
        ScanRecord record = ZeroRecord();
        file.Scan(record, {.checks = &checks, .cache = CacheLookup::kSkip});
        asks_first = observer;
    }
    ASSERT_EQ(asks_first.sizes.size(), 6u) << "frames told after a Xing frame";
    EXPECT_EQ(asks_first.sizes[0], kObservedFrameBytes) << "bytes of the Xing frame asked for";
    EXPECT_EQ(asks_first.sizes[1], 417u) << "bytes of the first audio frame asked for";
    EXPECT_EQ(asks_first.expected, 10) << "frames expected: the Xing count and its own frame";

    // A frame limit caps the estimate; frames of another layer are a gap.
    EXPECT_EQ(WalkWhole(test::MakeFrames({}, 6), {.frame_limit = 3}).expected, 4)
        << "frames expected under a limit of 3";
    std::vector<uint8_t> mixed = test::MakeFrames({}, 3);
    test::Append(mixed, test::MakeFrame({.layer = 2, .bitrate_index = 10}));
    test::Append(mixed, test::MakeFrames({}, 3));
    EXPECT_EQ(WalkWhole(mixed).gaps, (std::vector<size_t>{3})) << "gaps: after the third frame";
}

// `frame` (from MakeFrame, protection bit 0) with the CRC it should carry.
std::vector<uint8_t> WithRightCrc(std::vector<uint8_t> frame) {
    FrameHeader header{};
    DecodeFrameHeader(LoadBe32(frame), header);
    const size_t bits = CrcProtectedBits(frame, header).value();
    const std::span<const uint8_t> bytes(frame);
    const uint16_t crc = MpegCrc16(bytes.subspan(kProtectedBitsOffset), bits,
                                   MpegCrc16(bytes.subspan(kCoveredHeaderOffset), 16));
    StoreBe16(std::span(frame).subspan(kFrameCrcOffset), crc);
    return frame;
}

void Tell(FrameObserver& observer, const std::vector<uint8_t>& frame, size_t size) {
    FrameHeader header{};
    DecodeFrameHeader(LoadBe32(frame), header);
    observer.Frame(std::span(frame).first(size), header);
}

TEST(CrcObserver, CountsTheProtectedFramesItIsTold) {
    FileChecks out;
    out.crc_frames = 99;  // from an earlier walk
    CrcObserver crc(out);
    crc.BeginWalk();
    EXPECT_EQ(out.crc_frames, 0u) << "frames checked when the walk begins";

    const std::vector<uint8_t> right = WithRightCrc(test::MakeFrame({.crc = true}));
    std::vector<uint8_t> wrong = right;
    wrong[kProtectedBitsOffset] ^= 0x01;
    Tell(crc, right, kObservedFrameBytes);
    Tell(crc, wrong, kObservedFrameBytes);
    Tell(crc, right, 20);                                 // cut inside the side information
    Tell(crc, test::MakeFrame({}), kObservedFrameBytes);  // no CRC
    EXPECT_EQ(out.crc_frames, 2u) << "frames checked";
    EXPECT_EQ(out.crc_errors, 1u) << "frames that failed";
    EXPECT_EQ(out.crc_unchecked, 1u) << "frames not checkable";
}

TEST(IntegrityChecks, AsksForEveryCheckIntoItsRecord) {
    FileChecks out;
    IntegrityChecks checks(out);
    EXPECT_EQ(checks.results, &out) << "the record filled";
    ASSERT_NE(checks.observer, nullptr) << "the observer: the CRC and coded-spectrum ones as one";
    // Told a walk of one protected Layer III frame, both count it.
    FrameObserver& both = *checks.observer;
    out.bandwidth_granules = 9;  // from an earlier walk
    both.BeginWalk();
    test::SideInfoFields side;
    side.granules[0][0].big_values = 100;
    Tell(both, WithRightCrc(test::MakeFrame({.crc = true}, side)), kObservedFrameBytes);
    both.EndWalk(ZeroRecord());
    EXPECT_EQ(out.crc_frames, 1u) << "frames checked";
    EXPECT_EQ(out.crc_errors, 0u) << "frames that failed";
    // A one-frame walk samples nothing (the first frame may be a header
    // frame): the earlier walk's figures are gone.
    EXPECT_EQ(out.bandwidth_granules, 0u) << "loud granules after a walk that sampled none";
}

}  // namespace
}  // namespace vandrel
