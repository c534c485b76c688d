#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "engine/repair/Repair.h"

namespace vandrel {

// One frame of a walk: where it starts, its length and its header word.
struct MappedFrame {
    uint64_t offset = 0;
    uint32_t length = 0;
    uint32_t word = 0;

    uint64_t end() const { return offset + length; }
};

// Where everything of an MPEG audio file lies, from a walk of the whole
// file: the scanner's own walk tells the frames in order, and each is placed
// in the file's bytes (the frames after a re-synchronisation where the next
// one with its header word starts).
struct FrameMap {
    // The scan's record and checks, as the walk left them.
    ScanRecord record = ZeroRecord();
    FileChecks checks;
    // The file's bytes, read once for the map, the header and the CRCs.
    std::vector<uint8_t> bytes;

    // The Xing/Info or VBRI frame, when the file has one.
    std::optional<MappedFrame> header;
    // The audio frames, in order; the cut last frame is the last of them.
    std::vector<MappedFrame> frames;
    // The bytes of each sync error: between the end of a frame and the
    // frame the walk found next.
    std::vector<ByteRange> sync_errors;
    ByteRange junk_before;
    ByteRange unknown_after;
    // The tags at the start (from byte 0) and at the end (to the end of the file).
    ByteRange leading_tags;
    ByteRange trailing_tags;
    bool last_frame_cut = false;

    // Why no map could be made; empty when it was.
    std::string failure;
};

// Walks the file and maps it. A file that is not MPEG audio, of free format,
// whose walk the scanner could not finish or whose frames could not all be
// placed gets no map but a failure. `cancel`, when set, stops the walk.
FrameMap MapFrames(const std::string& path, const std::atomic<bool>* cancel);

}  // namespace vandrel
