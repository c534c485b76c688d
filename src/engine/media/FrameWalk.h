#pragma once

#include <cstdint>

#include "engine/core/ScanOptions.h"
#include "engine/core/ScanRecord.h"
#include "engine/io/FileStream.h"

namespace vandrel {

class CMp3File;

// The audio a walk goes over.
struct WalkSpan {
    int64_t first_frame;
    int64_t start;  // the frame after the first
    int64_t end;    // where the tags after the audio start, -1 when none do
};

// The frame walk of a scan (see CMp3File::Scan): every frame of `span` in
// turn, from `stream`, the stream of `file`, which stands anywhere. Each
// frame is parsed into the record and the series and told to the observer
// of the checks; a frame that disagrees with the record's reference values is
// skipped, and an invalid one starts a re-synchronisation. The record's
// counts start afresh; once the walk is over, the record is stored in the
// analysis cache and finished (FinishScan). Returns 1; a walk the progress
// sink stops ends there, and its record keeps what it has and is not cached.
int WalkFrames(CMp3File& file, FileStream& stream, ScanRecord& record, WalkSpan span,
               const ScanOptions& options);

}  // namespace vandrel
