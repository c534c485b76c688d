// The plan of a repair: from the map of the file's frames, what is kept,
// what goes, and the header frame that is made anew.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>

#include "engine/frame/FrameHeader.h"
#include "engine/io/Crc16.h"
#include "engine/repair/FrameMap.h"
#include "engine/repair/Repair.h"
#include "engine/repair/RepairTexts.h"
#include "engine/repair/XingFrame.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/Findings.h"

namespace vandrel {

namespace {

constexpr int64_t kFewestFrames = 5;

RepairPlan Refused(RepairPlan plan, std::string reason) {
    plan.status = PlanStatus::kRefused;
    plan.reason = std::move(reason);
    plan.actions.clear();
    plan.pieces.clear();
    plan.header_frame.clear();
    return plan;
}

uint32_t BitrateIndex(uint32_t word) {
    return (word >> 12) & 0xFu;
}

// What becomes of the file's header frame.
enum class HeaderFate { kNone, kKept, kRebuilt, kAdded };

// Makes one plan from one map.
class Planner {
public:
    Planner(const FrameMap& map, RepairPlan& plan) : map_(map), plan_(plan) {}

    // The plan's actions and pieces; the reason when it must be refused.
    std::optional<std::string> Make();

private:
    void TakeKeptFrames();
    std::optional<std::string> DecideHeader();
    bool HeaderFits() const;
    std::optional<std::string> BuildHeader();
    void AddActions();
    void AddPieces();
    void NameRepairedFindings();

    const FrameMap& map_;
    RepairPlan& plan_;
    std::vector<MappedFrame> kept_;
    uint64_t kept_bytes_ = 0;
    bool vbr_ = false;
    HeaderFate fate_ = HeaderFate::kNone;
};

void Planner::TakeKeptFrames() {
    kept_ = map_.frames;
    if (map_.last_frame_cut && !kept_.empty()) {
        kept_.pop_back();
    }
    for (const MappedFrame& frame : kept_) {
        kept_bytes_ += frame.length;
        vbr_ = vbr_ || BitrateIndex(frame.word) != BitrateIndex(kept_.front().word);
        if (!plan_.kept_audio.empty() &&
            plan_.kept_audio.back().offset + plan_.kept_audio.back().length == frame.offset) {
            plan_.kept_audio.back().length += frame.length;
        } else {
            plan_.kept_audio.push_back({frame.offset, frame.length});
        }
    }
}

// Whether the file's Xing/Info header already says what the repaired audio
// holds: its frame and byte counts and the LAME tag's music length. A VBR
// file's header needs the frame count.
bool Planner::HeaderFits() const {
    const VbrHeaderBlock& x = map_.record.xing;
    const uint64_t stream = map_.header->length + kept_bytes_;
    const bool frames = (x.flags & kXingFramesFlag) != 0;
    if (frames ? x.frames != kept_.size() : vbr_) {
        return false;
    }
    if ((x.flags & kXingBytesFlag) != 0 && x.bytes != stream) {
        return false;
    }
    return x.has_lame_tag == 0 || x.music_length == 0 || x.music_length == stream;
}

std::optional<std::string> Planner::DecideHeader() {
    const ScanRecord& record = map_.record;
    if (map_.header && record.has_vbri != 0) {
        const uint64_t counted = record.vbri.frames;
        if (counted != kept_.size() && counted != kept_.size() + 1) {
            return "the VBRI header disagrees with the audio; this program does not rebuild one";
        }
        fate_ = HeaderFate::kKept;
    } else if (map_.header) {
        fate_ = HeaderFits() ? HeaderFate::kKept : HeaderFate::kRebuilt;
    } else if (vbr_) {
        fate_ = HeaderFate::kAdded;
    }
    const bool build = fate_ == HeaderFate::kRebuilt || fate_ == HeaderFate::kAdded;
    if (build && record.layer != 3) {
        return "the Xing header of a Layer I or II file would need rebuilding, which this "
               "program does not do";
    }
    return build ? BuildHeader() : std::nullopt;
}

std::optional<std::string> Planner::BuildHeader() {
    const VbrHeaderBlock& x = map_.record.xing;
    XingFrameFacts facts;
    facts.model_word = kept_.front().word;
    facts.vbr = vbr_;
    facts.audio_bytes = kept_bytes_;
    uint16_t crc = 0;
    const std::span<const uint8_t> bytes(map_.bytes);
    for (const MappedFrame& frame : kept_) {
        FrameHeader header{};
        DecodeFrameHeader(frame.word, header);
        facts.frame_kbps.push_back(static_cast<uint32_t>(
            BitrateKbps(header.is_mpeg1, header.layer, header.bitrate_index)));
        crc = Crc16(bytes.subspan(frame.offset, frame.length), crc);
    }
    facts.music_crc = crc;
    if (fate_ == HeaderFate::kRebuilt && (x.flags & kXingScaleFlag) != 0) {
        facts.vbr_scale = static_cast<uint32_t>(x.vbr_scale);
    }
    if (fate_ == HeaderFate::kRebuilt && x.has_lame_tag != 0) {
        const std::vector<uint8_t> old(bytes.begin() + static_cast<ptrdiff_t>(map_.header->offset),
                                       bytes.begin() + static_cast<ptrdiff_t>(map_.header->end()));
        const std::optional<size_t> at = LameTagOffset(old);
        if (!at || *at + kLameTagBytes > old.size()) {
            return "the LAME tag could not be found in the header frame";
        }
        std::array<uint8_t, kLameTagBytes> tag{};
        std::copy_n(old.begin() + static_cast<ptrdiff_t>(*at), kLameTagBytes, tag.begin());
        facts.lame_tag = tag;
    }
    plan_.header_frame = BuildXingFrame(facts);
    if (plan_.header_frame.empty()) {
        return "no Xing frame of this format holds the header";
    }
    return std::nullopt;
}

void Planner::AddActions() {
    const uint64_t first = map_.junk_before.offset + map_.junk_before.length;
    if (map_.junk_before.length > 0) {
        plan_.actions.push_back(JunkBeforeAction(map_.junk_before));
    }
    if (fate_ == HeaderFate::kRebuilt || fate_ == HeaderFate::kAdded) {
        const ByteRange old = fate_ == HeaderFate::kRebuilt
                                  ? ByteRange{map_.header->offset, map_.header->length}
                                  : ByteRange{first, 0};
        const HeaderChange change{
            fate_ == HeaderFate::kRebuilt, vbr_,         old,
            plan_.header_frame.size(),     kept_.size(), plan_.header_frame.size() + kept_bytes_};
        plan_.actions.push_back(HeaderAction(change, map_.record));
    }
    for (const ByteRange& error : map_.sync_errors) {
        plan_.actions.push_back(SyncErrorAction(error));
    }
    if (map_.last_frame_cut) {
        const MappedFrame& cut = map_.frames.back();
        FrameHeader header{};
        const double seconds =
            DecodeFrameHeader(cut.word, header) == 0
                ? 0.0
                : static_cast<double>(SamplesPerFrame(header.is_mpeg1, header.layer)) /
                      header.sample_rate;
        const uint64_t end = std::min<uint64_t>(cut.end(), map_.trailing_tags.offset);
        plan_.actions.push_back(CutFrameAction({cut.offset, end - cut.offset}, seconds));
    }
    if (map_.unknown_after.length > 0) {
        plan_.actions.push_back(UnknownAfterAction(map_.unknown_after));
    }
}

void Planner::AddPieces() {
    std::vector<RepairPiece>& pieces = plan_.pieces;
    if (map_.leading_tags.length > 0) {
        pieces.push_back({map_.leading_tags, false});
        plan_.kept_tags.push_back(map_.leading_tags);
    }
    if (fate_ == HeaderFate::kKept) {
        pieces.push_back({{map_.header->offset, map_.header->length}, false});
    } else if (fate_ != HeaderFate::kNone) {
        pieces.push_back({{}, true});
    }
    for (const ByteRange& run : plan_.kept_audio) {
        pieces.push_back({run, false});
    }
    if (map_.trailing_tags.length > 0) {
        pieces.push_back({map_.trailing_tags, false});
        plan_.kept_tags.push_back(map_.trailing_tags);
    }
    for (const RepairPiece& piece : pieces) {
        plan_.result_bytes += piece.inserted ? plan_.header_frame.size() : piece.source.length;
    }
    plan_.result_frames = static_cast<int64_t>(kept_.size()) + (fate_ == HeaderFate::kNone ? 0 : 1);
}

void Planner::NameRepairedFindings() {
    for (const Finding& finding : CollectFindings(map_.record, map_.checks)) {
        const std::optional<RepairKind> kind = RepairingKind(finding.brief);
        if (!kind) {
            continue;
        }
        const bool acted = std::any_of(
            plan_.actions.begin(), plan_.actions.end(), [&kind](const RepairAction& action) {
                return action.kind == *kind || (*kind == RepairKind::kRebuildHeader &&
                                                action.kind == RepairKind::kAddHeader);
            });
        if (acted) {
            plan_.repaired_findings.push_back(finding.brief);
        }
    }
}

std::optional<std::string> Planner::Make() {
    TakeKeptFrames();
    if (kept_.empty()) {
        return "no whole audio frame to keep";
    }
    if (std::optional<std::string> refusal = DecideHeader()) {
        return refusal;
    }
    AddActions();
    AddPieces();
    // A scan takes a file for MPEG audio only from five frames on.
    if (!plan_.actions.empty() && plan_.result_frames < kFewestFrames) {
        return "the repaired file would hold " + std::to_string(plan_.result_frames) +
               " frames, too few to be taken for MPEG audio";
    }
    NameRepairedFindings();
    return std::nullopt;
}

}  // namespace

RepairPlan PlanRepair(const std::string& path, const std::atomic<bool>* cancel) {
    RepairPlan plan;
    plan.path = path;
    const FrameMap map = MapFrames(path, cancel);
    if (!map.failure.empty()) {
        return Refused(std::move(plan), map.failure);
    }
    plan.source_bytes = map.bytes.size();
    if (std::optional<std::string> refusal = Planner(map, plan).Make()) {
        return Refused(std::move(plan), *refusal);
    }
    plan.status = plan.actions.empty() ? PlanStatus::kNothingToRepair : PlanStatus::kRepairable;
    return plan;
}

}  // namespace vandrel
