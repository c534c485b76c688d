#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "engine/frame/FrameHeader.h"
#include "engine/frame/FrameParser.h"

namespace vandrel {

// The bytes a walk hands an observer of each frame: the header, its CRC word
// and the longest side information (and a few more).
inline constexpr size_t kObservedFrameBytes = kFrameParseBytes;

// Told of each frame a walk takes as audio, in the order of the file: what
// measures the audio frame by frame (the frame CRCs, the bandwidth, the coded
// spectrum) without the walk knowing what it measures.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    // A walk starts: what an earlier walk told is forgotten.
    virtual void BeginWalk() {}
    // One frame: its bytes from the header on, kObservedFrameBytes of them or
    // the whole frame when it is shorter or was asked for whole
    // (wants_whole_frame), as far as the file holds them; and its decoded
    // header. Frames skipped for disagreeing with the first (another layer,
    // a change of channels or rate) are not told.
    virtual void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) = 0;
    // The frame told next does not follow the one told last: frames were
    // skipped between them, or a re-synchronisation.
    virtual void Gap() {}
    // The walk reached the end of the audio or its frame limit (a walk its
    // caller stopped does not end); `record` as the scan hands it on, with
    // its average bitrate, length and VBR flag.
    virtual void EndWalk(const ScanRecord& /*record*/) {}

    // Whether the walk hands the next frame whole, its main data too, rather
    // than its first kObservedFrameBytes. An observer that decodes some
    // frames sets it in the call for the frame before them (or before the
    // walk); the walk reads it before each frame, a plain member, so that
    // the usual frame costs no more than it did. The Xing, Info or VBRI
    // header frame, which carries no audio, is never handed whole.
    bool wants_whole_frame() const { return wants_whole_frame_; }
    // How many frames the walk expects to tell, set before BeginWalk: from
    // the header frame's count, else the audio's size over the first frame's
    // length, at most the frame limit. An estimate: VBR frames without such
    // a header, or frames of another layer, make the walk longer or shorter.
    int64_t expected_frames() const { return expected_frames_; }
    void set_expected_frames(int64_t frames) { expected_frames_ = frames; }

protected:
    void set_wants_whole_frame(bool whole) { wants_whole_frame_ = whole; }

private:
    bool wants_whole_frame_ = false;
    int64_t expected_frames_ = 0;
};

// The integrity checks a scan makes, as ScanOptions::checks asks for them:
// the record they fill, and the observer of the walk that measures part of
// it. The scan fills the rest itself: the bytes around the audio, the audio's
// extent, the frames of another layer, the length a player shows.
// engine/checks/IntegrityChecks.h makes the program's.
//
// One observer, not a list: a call per frame is what the walk can afford
// (a loop over several costs as much again), so several observers are told
// through one that tells each of them, as IntegrityChecks does for its two.
struct ScanChecks {
    FileChecks* results = nullptr;
    FrameObserver* observer = nullptr;
};

}  // namespace vandrel
