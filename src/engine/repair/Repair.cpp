#include "engine/repair/Repair.h"

namespace vandrel {

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

RepairPlan PlanRepair(const std::string& path, const std::atomic<bool>* /*cancel*/) {
    RepairPlan plan;
    plan.path = path;
    plan.reason = "repair is not built yet";
    return plan;
}

RepairResult RepairFile(const RepairPlan& /*plan*/, const std::string& /*source_path*/,
                        const std::string& /*dest_path*/, const std::atomic<bool>* /*cancel*/) {
    RepairResult result;
    result.reason = "repair is not built yet";
    return result;
}

}  // namespace vandrel
