#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/ScanRecord.h"
#include "engine/repair/Repair.h"

namespace vandrel {

// A count with its thousands grouped: "4,120,000".
std::string Grouped(uint64_t n);

// The actions of a plan, each with its line for people.
RepairAction JunkBeforeAction(ByteRange junk);
RepairAction SyncErrorAction(ByteRange error);
RepairAction CutFrameAction(ByteRange frame, double seconds);
RepairAction UnknownAfterAction(ByteRange unknown);

// The header frame made for the repaired audio: `frames` audio frames after
// it and `stream_bytes` with it; `replaced` is the old header frame (or an
// empty range where the new one goes, when there was none).
struct HeaderChange {
    bool rebuilt = false;
    bool vbr = false;
    ByteRange replaced;
    uint64_t frame_bytes = 0;
    uint64_t frames = 0;
    uint64_t stream_bytes = 0;
};
RepairAction HeaderAction(const HeaderChange& change, const ScanRecord& record);

// The kind of action that takes away a finding of this brief, or nothing for
// a finding that no repair takes away. "header mismatch" and "wrong length
// shown" are the header's.
std::optional<RepairKind> RepairingKind(std::string_view brief);

}  // namespace vandrel
