#include "tools/Append.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/FrameSeries.h"
#include "engine/frame/FrameHeader.h"
#include "engine/io/AtomicFile.h"
#include "engine/io/FileStream.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/tags/TrailingTags.h"
#include "store/Log.h"

namespace vandrel {

namespace {

// The frames of input 2 that are read for its bitrate and tag.
constexpr int kSecondFileFrames = 100;
constexpr size_t kTocEntries = 100;
// "Xing" or "Info", the flags, the frame count, the byte count and the table.
constexpr size_t kXingFieldsSize = 4 + 4 + 4 + 4 + kTocEntries;
constexpr uint32_t kXingFramesBytesToc = 0x7;

const char* const kDifferentBitrates =
    "These two files have different bitrates. The resulting file will therefore\n"
    "be a VBR file. It should play correctly, but it's length may be displayed\n"
    " incorrectly by some players.";

// Passes progress on and remembers whether the answer was to stop.
class StopWatch : public sink_mini {
public:
    explicit StopWatch(sink_mini* inner) : inner_(inner) {}
    bool Progress(int64_t done, int64_t total) override {
        if (inner_ != nullptr && !inner_->Progress(done, total)) {
            stopped_ = true;
        }
        return !stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    sink_mini* inner_;
    bool stopped_ = false;
};

AppendResult Failed(std::string reason) {
    return {AppendOutcome::kFailed, std::move(reason)};
}

// A byte range of one input that goes into the output.
struct Piece {
    FileStream* source;
    int64_t start;
    int64_t count;
};

// The frames of a whole walk over a file, with its record.
struct WalkedFile {
    ScanRecord record = ZeroRecord();
    FrameSeries series;
};

bool Walk(const std::string& path, WalkedFile& walked) {
    CVandrelMp3File file;
    if (!file.Open(path, "rb")) {
        return false;
    }
    return file.Scan(walked.record, {.walk_frames = true,
                                     .frame_limit = kAllFrames,
                                     .series = &walked.series,
                                     .cache = CacheLookup::kSkip}) != 0;
}

uint32_t LoadBe32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
}

void StoreBe32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

// A silent Layer III frame in the format of the frame header `model` that
// carries a Xing/Info header: the smallest bitrate whose frame holds it, no
// CRC, no padding, side information all zero. `offsets` are the joined
// frames' places counted from the end of this frame; `audio_bytes` is their
// total. Empty when the model is no Layer III header.
std::vector<uint8_t> MakeXingFrame(uint32_t model, const std::vector<int64_t>& offsets,
                                   int64_t audio_bytes, bool vbr) {
    FrameHeader header{};
    if (DecodeFrameHeader(model, header) == 0 || header.layer != 3) {
        return {};
    }
    const size_t side_info =
        header.is_mpeg1 != 0 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    const size_t xing_at = 4 + side_info;
    uint32_t word = (model & ~(kBitrateMask | kPaddingMask | kModeExtensionMask)) | kProtectionMask;
    int length = 0;
    for (uint32_t index = 1; index < 15 && length < static_cast<int>(xing_at + kXingFieldsSize);
         ++index) {
        word = (word & ~kBitrateMask) | (index << 12);
        length = DecodeFrameHeader(word, header);
    }
    if (length < static_cast<int>(xing_at + kXingFieldsSize)) {
        return {};
    }
    std::vector<uint8_t> frame(static_cast<size_t>(length), 0);
    StoreBe32(frame.data(), word);
    uint8_t* xing = frame.data() + xing_at;
    std::copy_n(vbr ? "Xing" : "Info", 4, xing);
    StoreBe32(xing + 4, kXingFramesBytesToc);
    StoreBe32(xing + 8, static_cast<uint32_t>(offsets.size()));
    const int64_t total = length + audio_bytes;
    StoreBe32(xing + 12, SaturatedSize(static_cast<uint64_t>(total)));
    // Entry i: where i percent of the frames have passed, in 256ths of the stream.
    for (size_t i = 0; i < kTocEntries; ++i) {
        const size_t frame_index = i * offsets.size() / kTocEntries;
        const int64_t at = length + (offsets.empty() ? 0 : offsets[frame_index]);
        xing[16 + i] = static_cast<uint8_t>(std::min<int64_t>(255, at * 256 / total));
    }
    return frame;
}

// Where the walked frames start: the first frame, then where each step of
// the walk ended but the last.
std::vector<int64_t> FrameStarts(const WalkedFile& walked) {
    const std::vector<uint32_t>& ends = walked.series[FrameSeries::kFramePosition];
    std::vector<int64_t> starts;
    starts.reserve(ends.size());
    if (!ends.empty()) {
        starts.push_back(walked.record.first_frame_offset);
        starts.insert(starts.end(), ends.begin(), ends.end() - 1);
    }
    return starts;
}

// Where the audio of a walked file starts and ends: after its information
// frame, if any, and before its trailing tags.
std::pair<int64_t, int64_t> AudioSpan(FileStream& stream, const WalkedFile& walked,
                                      const std::vector<int64_t>& starts) {
    const int64_t end = FindTrailingTags(stream);
    int64_t start = walked.record.first_frame_offset;
    if (walked.record.has_xing != 0) {
        start = starts.size() > 1 ? starts[1] : end;
    }
    return {start, std::max(start, end)};
}

// The pieces of the output with a new VBR header: input 1 up to its first
// frame (its ID3v2 tag), the new frame (written by the caller between the
// first two pieces), the audio of input 1 and the audio of input 2.
// Empty when the inputs cannot have one (not Layer III, or not readable).
struct NewHeaderLayout {
    std::vector<uint8_t> frame;
    std::vector<Piece> pieces;
};

NewHeaderLayout LayOutWithNewHeader(const std::string& path1, FileStream& source1,
                                    const std::string& path2, FileStream& source2) {
    WalkedFile walked1;
    WalkedFile walked2;
    if (!Walk(path1, walked1) || !Walk(path2, walked2)) {
        return {};
    }
    const std::vector<int64_t> starts1 = FrameStarts(walked1);
    const std::vector<int64_t> starts2 = FrameStarts(walked2);
    const auto [start1, end1] = AudioSpan(source1, walked1, starts1);
    const auto [start2, end2] = AudioSpan(source2, walked2, starts2);
    std::vector<int64_t> offsets;
    bool vbr = false;
    uint32_t first_bitrate = 0;
    const auto take = [&](const WalkedFile& walked, const std::vector<int64_t>& starts,
                          int64_t start, int64_t end, int64_t base) {
        for (const int64_t position : starts) {
            if (position >= start && position < end) {
                offsets.push_back(base + position - start);
            }
        }
        for (const uint32_t index : walked.series[FrameSeries::kBitrateIndex]) {
            first_bitrate = first_bitrate == 0 ? index : first_bitrate;
            vbr = vbr || index != first_bitrate;
        }
    };
    take(walked1, starts1, start1, end1, 0);
    take(walked2, starts2, start2, end2, end1 - start1);
    if (offsets.empty()) {
        return {};
    }
    // The new frame takes the format of the first joined frame.
    std::array<uint8_t, 4> model{};
    FileStream& model_source = start1 < end1 ? source1 : source2;
    model_source.Seek(start1 < end1 ? start1 : start2);
    if (model_source.Read(model) != model.size()) {
        return {};
    }
    NewHeaderLayout layout;
    layout.frame =
        MakeXingFrame(LoadBe32(model.data()), offsets, (end1 - start1) + (end2 - start2), vbr);
    if (layout.frame.empty()) {
        return {};
    }
    layout.pieces = {{&source1, 0, walked1.record.first_frame_offset},
                     {&source1, start1, end1 - start1},
                     {&source2, start2, end2 - start2}};
    return layout;
}

std::string VersionName(const ScanRecord& record) {
    if (record.is_mpeg1 != 0) {
        return "MPEG-1";
    }
    return record.not_mpeg25 != 0 ? "MPEG-2" : "MPEG-2.5";
}

std::string LayerName(const ScanRecord& record) {
    return "Layer " + std::string(static_cast<size_t>(std::clamp(record.layer, 0, 3)), 'I');
}

std::string RateName(const ScanRecord& record) {
    return std::to_string(record.sample_rate) + " Hz";
}

std::string ModeName(const ScanRecord& record) {
    return std::string(ChannelModeName(record.mode));
}

bool IsMono(const ScanRecord& record) {
    return record.mode == kModeMono;
}

}  // namespace

std::string JoinRefusal(const ScanRecord& first, const ScanRecord& second) {
    const auto known = [](const ScanRecord& r) { return r.layer >= 1 && r.layer <= 3; };
    if (!known(first) || !known(second)) {
        return {};
    }
    std::vector<std::string> differences;
    const auto compare = [&](const char* what, bool differ,
                             std::string (*name)(const ScanRecord&)) {
        if (differ) {
            differences.push_back(std::string(what) + " (" + name(first) + " and " + name(second) +
                                  ")");
        }
    };
    compare("MPEG version", VersionName(first) != VersionName(second), VersionName);
    compare("layer", first.layer != second.layer, LayerName);
    compare("sample rate", first.sample_rate != second.sample_rate, RateName);
    // Stereo, joint stereo and dual channel frames mix in one stream (encoders
    // switch between them); a change of the channel count does not.
    compare("channel mode", IsMono(first) != IsMono(second), ModeName);
    if (differences.empty()) {
        return {};
    }
    std::string text = "The files differ in ";
    for (size_t i = 0; i < differences.size(); ++i) {
        if (i > 0) {
            text += i + 1 == differences.size() ? " and " : ", ";
        }
        text += differences[i];
    }
    return text + ".";
}

bool CopyRange(AtomicFile& destination, FileStream& source, int64_t start, int64_t count,
               sink_mini* sink) {
    const int64_t kept = source.Tell();
    source.Seek(start);
    std::vector<uint8_t> buffer(static_cast<size_t>(kCopyChunk));
    int64_t done = 0;
    for (;;) {
        int64_t chunk = kCopyChunk;
        if (count != -1 && count - done < chunk) {
            chunk = count - done;
        }
        const size_t got = source.Read(std::span(buffer.data(), static_cast<size_t>(chunk)));
        if (got > 0 && !destination.Write(
                           std::string_view(reinterpret_cast<const char*>(buffer.data()), got))) {
            return false;
        }
        done += static_cast<int64_t>(got);
        if (count != -1 && done >= count) {
            break;
        }
        if (sink != nullptr && !sink->Progress(done, count)) {
            return false;
        }
        if (static_cast<int64_t>(got) != kCopyChunk) {
            break;
        }
    }
    source.Seek(kept);
    return true;
}

namespace {

// Input 2 read far enough for its format, its bitrate and its tag.
bool ReadSecondInput(const std::string& path, ScanRecord& record) {
    CVandrelMp3File scratch;
    if (!scratch.Open(path, "rb")) {
        return false;
    }
    scratch.Scan(record, {.walk_frames = true, .frame_limit = kSecondFileFrames});
    return true;
}

// The ID3v1 tag the joined file ends with. A tag is copied only from a file
// that has one: the record of a file without holds no tag, only zero bytes.
std::optional<Id3v1Tag> ChosenTag(const AppendChoice& choice, const ScanRecord& record1,
                                  const ScanRecord& record2) {
    const ScanRecord* from = choice.copy_second_tag  ? &record2
                             : choice.copy_first_tag ? &record1
                                                     : nullptr;
    if (from == nullptr || from->id3v1_present == 0) {
        return std::nullopt;
    }
    return from->id3v1;
}

// The pieces of the output without a new VBR header: input 1 whole but for
// its ID3v1 tag, and from the frame after its information frame when it has
// one; input 2 from its first frame, without its ID3v1 tag.
std::vector<Piece> PlainPieces(CVandrelMp3File& input1, const ScanRecord& record1,
                               FileStream& source1, FileStream& source2,
                               const ScanRecord& record2) {
    const int64_t size1 = static_cast<int64_t>(input1.GetFileSize());
    int64_t start1 = 0;
    if (record1.has_xing != 0) {
        start1 = std::max<int64_t>(0, input1.FrameAfterInfoFrame(record1));
    }
    const int64_t count1 = size1 - (record1.id3v1_present != 0 ? 128 : 0) - start1;
    const int64_t start2 = record2.first_frame_offset;
    const int64_t count2 = source2.Size() - start2 - (record2.id3v1_present != 0 ? 128 : 0);
    return {{&source1, start1, count1}, {&source2, start2, count2}};
}

bool WriteBytes(AtomicFile& destination, std::span<const uint8_t> bytes) {
    return destination.Write(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Copies the pieces into the output, the new frame (if any) after the first
// one, then the tag, and puts the output in place.
AppendResult WriteJoined(AtomicFile& destination, const NewHeaderLayout& layout,
                         const std::optional<Id3v1Tag>& tag, StopWatch& watch) {
    for (size_t i = 0; i < layout.pieces.size(); ++i) {
        if (i == 1 && !layout.frame.empty() && !WriteBytes(destination, layout.frame)) {
            return Failed(destination.Error());
        }
        const Piece& piece = layout.pieces[i];
        if (piece.count > 0 &&
            !CopyRange(destination, *piece.source, piece.start, piece.count, &watch)) {
            return watch.stopped() ? AppendResult{AppendOutcome::kStopped, {}}
                                   : Failed(destination.Error());
        }
    }
    if (tag && !WriteBytes(destination, Id3v1Bytes(*tag))) {
        return Failed(destination.Error());
    }
    if (!destination.Commit()) {
        return Failed(destination.Error());
    }
    return {AppendOutcome::kDone, {}};
}

}  // namespace

AppendResult AppendFiles(CVandrelMp3File& input1, const ScanRecord& record1,
                         const std::string& input2, const std::string& output,
                         const AppendChoice& choice, AppendSink* sink) {
    if (input2.empty() || output.empty()) {
        return Failed({});
    }
    ScanRecord record2 = ZeroRecord();
    if (!ReadSecondInput(input2, record2)) {
        return Failed("The second file cannot be read.");
    }
    if (std::string refusal = JoinRefusal(record1, record2); !refusal.empty()) {
        return Failed(std::move(refusal));
    }
    const std::optional<Id3v1Tag> tag = ChosenTag(choice, record1, record2);
    if (record1.average_bitrate != record2.average_bitrate && sink != nullptr) {
        sink->DifferentBitrates();
    }

    FileStream source1;
    FileStream source2;
    if (!source1.Open(input1.Path(), "rb") || !source2.Open(input2, "rb")) {
        return Failed("The input files cannot be read.");
    }
    AtomicFile destination(output);
    if (!destination.Open()) {
        return Failed(destination.Error());
    }
    StopWatch watch(sink);
    NewHeaderLayout layout;
    if (choice.new_vbr_header) {
        layout = LayOutWithNewHeader(input1.Path(), source1, input2, source2);
    }
    if (layout.pieces.empty()) {
        layout.pieces = PlainPieces(input1, record1, source1, source2, record2);
    }
    return WriteJoined(destination, layout, tag, watch);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool OutputIsAnInput(const std::string& input1, const std::string& input2,
                     const std::string& output) {
    return output == input1 || output == input2 || SameFile(output, input1) ||
           SameFile(output, input2);
}

// ---------------------------------------------------------------------------

namespace {

// Tells the dialog of each copy's progress and of the bitrates note; stops
// once the join is cancelled.
class JoinSink : public AppendSink {
public:
    explicit JoinSink(WorkChannel& channel) : channel_(channel) {}

    bool Progress(int64_t done, int64_t total) override { return channel_.Progress(done, total); }
    void DifferentBitrates() override {
        channel_.Notice(NoticeKind::kInformation, kDifferentBitrates);
    }

private:
    WorkChannel& channel_;
};

// What one join needs, copied to its worker.
struct AppendJob {
    ScanRecord record1;
    std::string input1;
    std::string input2;
    std::string output;
    AppendChoice choice;
};

WorkOutcome WorkOutcomeOf(AppendOutcome outcome) {
    switch (outcome) {
    case AppendOutcome::kDone:
        return WorkOutcome::kDone;
    case AppendOutcome::kStopped:
        return WorkOutcome::kStopped;
    case AppendOutcome::kFailed:
        break;
    }
    return WorkOutcome::kFailed;
}

WorkResult RunAppendWork(WorkChannel& channel, const AppendJob& job) {
    CVandrelMp3File file;
    if (job.input1.empty() || !file.Open(job.input1, "rb")) {
        channel.Notice(NoticeKind::kError, "Problem opening file for reading: \r\n" + job.input1);
        return {WorkOutcome::kFailed, {}};
    }
    JoinSink sink(channel);
    AppendResult result;
    try {
        result = AppendFiles(file, job.record1, job.input2, job.output, job.choice, &sink);
    } catch (const std::exception& e) {
        result = Failed(e.what());
    }
    if (result.outcome == AppendOutcome::kFailed) {
        Log([&] { return "CAppendThread: " + job.output + ": " + result.reason; });
        channel.Notice(NoticeKind::kError,
                       "Problem appending file: \r\n" + job.input2 +
                           (result.reason.empty() ? std::string() : "\r\n\r\n" + result.reason));
    }
    return {WorkOutcomeOf(result.outcome), {}};
}

}  // namespace

void CAppendThread::Start(std::shared_ptr<MessageTarget> target, const ScanRecord& record1,
                          std::string input1, std::string input2, std::string output,
                          AppendChoice choice) {
    auto job = std::make_shared<const AppendJob>(
        AppendJob{record1, std::move(input1), std::move(input2), std::move(output), choice});
    COneShotWorker::Start(std::move(target),
                          [job](WorkChannel& channel) { return RunAppendWork(channel, *job); });
}

}  // namespace vandrel
