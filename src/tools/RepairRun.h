#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/repair/Repair.h"
#include "work/OneShotWorker.h"

namespace vandrel {

// Repairing files of the list in place: each file is checked (may it be
// written now?), planned, repaired into a hidden copy beside it, and only a
// copy that passed its checks takes the original's place, the original going
// to the trash. The trash is the desktop's: the caller gives the step that
// moves a file there. No Qt here; the work runs on a COneShotWorker.

// A file's size and modification time, as stat gives them now.
struct FileStamp {
    uint64_t size = 0;
    int64_t mtime_ns = 0;

    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);

// A file to repair, with what the list's scan recorded of it (the record
// keeps the modification time in whole seconds).
struct RepairRequest {
    std::string path;
    uint64_t scanned_size = 0;
    int64_t scanned_mtime = 0;
};

// Whether a process has the file open for writing, as a read lease tells:
// the kernel refuses one while any descriptor writes to the file. kUnknown
// when leases are not allowed here (another user's file, a file system
// without them).
enum class WriteUse { kNone, kInUse, kUnknown };
WriteUse OpenForWriting(const std::string& path);

// Why the file must not be repaired now, or nothing: a file or folder this
// process may not write to, a file that changed since its scan, a file that
// another program is writing.
std::optional<std::string> RefuseRepair(const RepairRequest& request);

// A new hidden name beside `path` that no file has: ".NAME.repair-XXXXXX".
// It has no audio file type, so the list never shows the copy while it is
// being written.
std::string TempPathBeside(const std::string& path);

// What became of moving a file to the trash.
struct TrashResult {
    bool ok = false;
    std::string trashed_path;  // where the file now is
    std::string error;         // why it could not be moved
};

// The file steps of putting a repaired copy in place. `trash` is the
// desktop's; `place` renames without replacing (RenameNoReplace) unless a
// test gives another.
struct ReplaceSteps {
    std::function<TrashResult(const std::string& path)> trash;
    std::function<std::error_code(const std::string& from, const std::string& to)> place;
};

// rename(2) that fails with EEXIST rather than replace a file at `to`.
std::error_code RenameNoReplace(const std::string& from, const std::string& to);

// Puts a trashed file back at `path` and drops its entry in the trash's info
// folder; an empty text when done, otherwise why not.
std::string RestoreFromTrash(const std::string& trashed_path, const std::string& path);

struct ReplaceResult {
    bool ok = false;
    std::string error;         // why the original was not replaced
    std::string trashed_path;  // where the original went, once replaced
};

// Moves `original` to the trash and `temp` to its name. If the trash step
// fails nothing changes; if the rename fails the original comes back from
// the trash. `temp` is gone afterwards in every case.
ReplaceResult ReplaceWithRepaired(const std::string& original, const std::string& temp,
                                  const ReplaceSteps& steps);

// One file of a repair run, as the planning and then the repair leave it.
struct RepairItem {
    RepairRequest request;
    // Refused before planning (RefuseRepair) or by the plan: plan.reason says why.
    RepairPlan plan;
    FileStamp planned;  // the file as it was planned
    // Set by the repair of a repairable file.
    std::optional<RepairStatus> status;
    std::string reason;  // why it failed
    std::vector<RepairCheck> checks;
};

// Checks and plans every item, with progress per file; a cancelled run
// leaves the rest unplanned (refused, "cancelled").
WorkOutcome PlanRepairs(std::vector<RepairItem>& items, WorkChannel& channel);
// Repairs every repairable item as the steps say.
WorkOutcome RunRepairs(std::vector<RepairItem>& items, WorkChannel& channel,
                       const ReplaceSteps& steps);
// One item's repair: the file checked once more, the copy written and put in place.
void RepairItemInPlace(RepairItem& item, const ReplaceSteps& steps,
                       const std::atomic<bool>* cancel);

// What the report says of an item: "repaired", "nothing to repair",
// "refused: REASON", "failed: REASON", or "repairable" before the repair.
std::string ItemStatusText(const RepairItem& item);
// The lines under it: the plan's actions, and after a repair the checks.
std::vector<std::string> ItemLines(const RepairItem& item);

}  // namespace vandrel
