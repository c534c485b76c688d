// The repair of a file on disk: its plan from the walk, the new header frame,
// the copy written beside it and checked. Whatever the input, a copy is kept
// only when its checks passed, and nothing is left behind otherwise.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "FuzzSupport.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/repair/Repair.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    static const MediaFileTypesScope media_types;
    const std::string path = fuzz::WriteTempFile(data, size, "fuzz.mp3");
    const RepairPlan plan = PlanRepair(path);
    PlanText(plan);
    if (plan.status != PlanStatus::kRepairable) {
        FUZZ_CHECK(plan.status == PlanStatus::kNothingToRepair || !plan.reason.empty());
        return 0;
    }
    const std::string dest = path + ".repaired.mp3";
    std::error_code error;
    std::filesystem::remove(dest, error);
    const RepairResult result = RepairFile(plan, path, dest);
    const bool kept = std::filesystem::exists(dest, error);
    FUZZ_CHECK(kept == (result.status == RepairStatus::kRepaired));
    if (kept) {
        FUZZ_CHECK(std::filesystem::file_size(dest, error) == plan.result_bytes);
        std::filesystem::remove(dest, error);
    }
    return 0;
}
