#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// Repairing an MPEG audio file: a plan of what would change, made from a
// walk of the whole file, and the repaired copy written beside it and
// scanned afresh before it is kept. The original is never written to.
// RepairFile scans through the registered media-file kinds
// (MediaFileTypesScope, engine/media/MediaFileRegistry.h), as Analyse does;
// neither call keeps any state, so they may run on a worker thread.

// A run of bytes of a file: `length` bytes from `offset` on.
struct ByteRange {
    uint64_t offset = 0;
    uint64_t length = 0;

    bool operator==(const ByteRange&) const = default;
};

// What one action of a plan does.
enum class RepairKind {
    kRemoveJunkBefore,    // bytes between the leading tags and the first frame
    kAddHeader,           // a Xing header for a VBR file without one
    kRebuildHeader,       // the Xing/Info header made anew from the walk
    kDropSyncError,       // the bytes between two frames that break the chain
    kDropCutFrame,        // the last frame, which the file ends inside
    kRemoveUnknownAfter,  // bytes after the last frame that are no known tag
};

// "remove_junk_before", "add_header", "rebuild_header", "drop_sync_error",
// "drop_cut_frame", "remove_unknown_after": the names the JSON output uses.
std::string_view RepairKindName(RepairKind kind);

// One change to the file, in the order of the file.
struct RepairAction {
    RepairKind kind = RepairKind::kRemoveJunkBefore;
    // The bytes of the original this action takes away or replaces; for an
    // added header, an empty range where it goes.
    ByteRange range;
    uint64_t bytes_removed = 0;
    uint64_t bytes_added = 0;
    double seconds_removed = 0;  // of audio, from the samples of the frames dropped
    // One line for people: "drop the cut last frame (417 bytes, 0.026 s)".
    std::string text;
};

enum class PlanStatus {
    kRepairable,       // the actions say what to do
    kNothingToRepair,  // the file has none of the faults repaired here
    kRefused,          // not repaired: `reason` says why
};

// A piece of the repaired file: bytes of the original, or (when `inserted`
// is set) the new header frame of the plan.
struct RepairPiece {
    ByteRange source;
    bool inserted = false;
};

// What a repair would do to one file, made by PlanRepair.
struct RepairPlan {
    std::string path;
    PlanStatus status = PlanStatus::kRefused;
    std::string reason;  // why it was refused; empty otherwise
    std::vector<RepairAction> actions;

    // What the repaired file is made of, in order, and the new header frame
    // that an `inserted` piece stands for (empty without one).
    std::vector<RepairPiece> pieces;
    std::vector<uint8_t> header_frame;
    // The runs of audio frames kept as they are (the header frame left
    // out), as ranges of the original; and the tags at either end.
    std::vector<ByteRange> kept_audio;
    std::vector<ByteRange> kept_tags;

    uint64_t source_bytes = 0;
    // The repaired file's size, and the frames a scan of it counts (the
    // header frame among them).
    uint64_t result_bytes = 0;
    int64_t result_frames = 0;
    // The briefs of the findings the repair takes away ("3 sync errors",
    // "cut last frame", ...), as the scan of the original gave them.
    std::vector<std::string> repaired_findings;
};

// Walks the whole file and plans its repair. Never throws: a file that
// cannot be planned is refused with its reason (not MPEG audio, free format,
// a header rebuild this program does not make, a walk that did not cover the
// file). `cancel`, when given and set, stops the walk (the plan is refused).
RepairPlan PlanRepair(const std::string& path, const std::atomic<bool>* cancel = nullptr);

// "nothing to repair", or the actions' texts, one a line.
std::string PlanText(const RepairPlan& plan);

// One check of a repaired file: "findings", "audio frames", "tags",
// "frame count", "length", ...
struct RepairCheck {
    std::string name;
    bool passed = false;
    std::string detail;
};

enum class RepairStatus {
    kRepaired,
    kNothingToRepair,
    kRefused,  // the plan refused the file
    kFailed,   // writing or the checks failed: nothing was kept
};

// "repaired", "nothing to repair", "refused", "failed".
std::string_view RepairStatusName(RepairStatus status);

struct RepairResult {
    RepairStatus status = RepairStatus::kFailed;
    std::string reason;  // why it was refused or failed
    std::string output;  // the repaired file; empty when none was kept
    std::vector<RepairCheck> checks;
    // The byte ranges of the original that are not in the repaired file.
    std::vector<ByteRange> removed;
};

// Writes the repaired copy of `source_path` to `dest_path` as the plan says
// and checks it before keeping it: a fresh scan of the whole copy must show
// none of the repaired findings, every kept run of audio frames and every tag
// must be byte for byte the original's, and the frame count and size must be
// the plan's. A copy that fails a check is removed. Never writes over an
// existing file or over the source; `cancel` stops the work (nothing kept).
RepairResult RepairFile(const RepairPlan& plan, const std::string& source_path,
                        const std::string& dest_path, const std::atomic<bool>* cancel = nullptr);

}  // namespace vandrel
