// The names and texts of the repair: the kinds and outcomes as the JSON
// output names them, and each action's line for people.
#include "engine/repair/RepairTexts.h"

#include <cstdio>

#include "engine/tags/VbrHeaders.h"

namespace vandrel {

namespace {

std::string Bytes(uint64_t n) {
    return Grouped(n) + (n == 1 ? " byte" : " bytes");
}

// "bytes 0-1,233": the first and last byte of a range.
std::string Span(ByteRange range) {
    return "bytes " + Grouped(range.offset) + "-" + Grouped(range.offset + range.length - 1);
}

RepairAction Removal(RepairKind kind, ByteRange range, std::string text) {
    return {kind, range, range.length, 0, 0.0, std::move(text)};
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string Grouped(uint64_t n) {
    std::string digits = std::to_string(n);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

RepairAction JunkBeforeAction(ByteRange junk) {
    return Removal(RepairKind::kRemoveJunkBefore, junk,
                   "remove " + Bytes(junk.length) + " of junk before the first frame (" +
                       Span(junk) + ")");
}

RepairAction SyncErrorAction(ByteRange error) {
    return Removal(RepairKind::kDropSyncError, error,
                   "drop " + Bytes(error.length) + " of a sync error at byte " +
                       Grouped(error.offset));
}

RepairAction CutFrameAction(ByteRange frame, double seconds) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f s", seconds);
    RepairAction action =
        Removal(RepairKind::kDropCutFrame, frame,
                "drop the cut last frame (" + Bytes(frame.length) + ", " + time + ")");
    action.seconds_removed = seconds;
    return action;
}

RepairAction UnknownAfterAction(ByteRange unknown) {
    return Removal(RepairKind::kRemoveUnknownAfter, unknown,
                   "remove " + Bytes(unknown.length) + " of unknown data after the last frame (" +
                       Span(unknown) + ")");
}

RepairAction HeaderAction(const HeaderChange& change, const ScanRecord& record) {
    const char* const name = change.vbr ? "Xing" : "Info";
    std::string text = std::string(change.rebuilt ? "rebuild the " : "add a ") + name + " header: ";
    text += Grouped(change.frames) + " frames, " + Grouped(change.stream_bytes) + " bytes, TOC";
    if (const std::optional<EncoderGap> gap = LameEncoderGap(record);
        gap && change.rebuilt && record.xing.has_lame_tag != 0) {
        text += "; LAME tag with delay " + Grouped(static_cast<uint64_t>(gap->delay)) +
                ", padding " + Grouped(static_cast<uint64_t>(gap->padding)) + " kept";
    }
    const RepairKind kind = change.rebuilt ? RepairKind::kRebuildHeader : RepairKind::kAddHeader;
    return {kind, change.replaced, change.replaced.length, change.frame_bytes,
            0.0,  std::move(text)};
}

std::optional<RepairKind> RepairingKind(std::string_view brief) {
    if (EndsWith(brief, " sync error") || EndsWith(brief, " sync errors")) {
        return RepairKind::kDropSyncError;
    }
    if (brief == "cut last frame") {
        return RepairKind::kDropCutFrame;
    }
    if (brief == "header mismatch" || brief == "wrong length shown") {
        return RepairKind::kRebuildHeader;
    }
    if (brief == "junk before audio") {
        return RepairKind::kRemoveJunkBefore;
    }
    if (brief == "unknown data after audio") {
        return RepairKind::kRemoveUnknownAfter;
    }
    return std::nullopt;
}

std::string_view RepairKindName(RepairKind kind) {
    switch (kind) {
    case RepairKind::kRemoveJunkBefore:
        return "remove_junk_before";
    case RepairKind::kAddHeader:
        return "add_header";
    case RepairKind::kRebuildHeader:
        return "rebuild_header";
    case RepairKind::kDropSyncError:
        return "drop_sync_error";
    case RepairKind::kDropCutFrame:
        return "drop_cut_frame";
    case RepairKind::kRemoveUnknownAfter:
        break;
    }
    return "remove_unknown_after";
}

std::string_view RepairStatusName(RepairStatus status) {
    switch (status) {
    case RepairStatus::kRepaired:
        return "repaired";
    case RepairStatus::kNothingToRepair:
        return "nothing to repair";
    case RepairStatus::kRefused:
        return "refused";
    case RepairStatus::kFailed:
        break;
    }
    return "failed";
}

std::string PlanText(const RepairPlan& plan) {
    if (plan.status == PlanStatus::kRefused) {
        return "not repaired: " + plan.reason;
    }
    if (plan.actions.empty()) {
        return "nothing to repair";
    }
    std::string text;
    for (const RepairAction& action : plan.actions) {
        text += (text.empty() ? "" : "\n") + action.text;
    }
    return text;
}

}  // namespace vandrel
