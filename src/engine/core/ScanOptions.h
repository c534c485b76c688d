#pragma once

#include "engine/core/FileChecks.h"
#include "engine/core/FrameSeries.h"
#include "engine/core/Sink.h"

namespace vandrel {

struct ScanChecks;  // engine/frame/FrameObserver.h

// The frame limit that walks every frame.
constexpr int kAllFrames = -1;

// Whether a scan first asks the analysis cache for the file's record.
enum class CacheLookup {
    kAsk,
    // The caller wants what only a walk gives (the per-frame series) or a
    // fresh look at the file. A finished walk is still stored.
    kSkip,
};

// How much of a file one scan reads, and what it reports on the way.
struct ScanOptions {
    // False: tags and headers only, no frame walk.
    bool walk_frames = true;
    // Frames to walk; kAllFrames for the whole file.
    int frame_limit = kAllFrames;
    // Filled with per-frame values when given; owned by the caller.
    FrameSeries* series = nullptr;
    // The integrity checks to make, when given: the record they fill and the
    // observer of the walk that measures them (IntegrityChecks, in
    // engine/checks, makes every check); owned by the caller. A cached record
    // without checks then answers no lookup.
    ScanChecks* checks = nullptr;
    CacheLookup cache = CacheLookup::kAsk;
    // Told of the progress; a false answer stops the scan.
    sink* progress = nullptr;
};

}  // namespace vandrel
