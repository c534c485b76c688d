#include "engine/checks/CrcObserver.h"

#include "engine/checks/FrameCrc.h"

namespace vandrel {

static_assert(kObservedFrameBytes >= kFrameCrcBytes,
              "a walk hands on as much of a frame as its CRC check reads");

void CrcObserver::BeginWalk() {
    out_.crc_frames = 0;
    out_.crc_errors = 0;
    out_.crc_unchecked = 0;
}

void CrcObserver::Check(std::span<const uint8_t> bytes, const FrameHeader& header) {
    switch (CheckFrameCrc(bytes, header)) {
    case FrameCrcResult::kOk:
        ++out_.crc_frames;
        break;
    case FrameCrcResult::kMismatch:
        ++out_.crc_frames;
        ++out_.crc_errors;
        break;
    case FrameCrcResult::kNotCheckable:
        ++out_.crc_unchecked;
        break;
    case FrameCrcResult::kUnprotected:
        break;
    }
}

}  // namespace vandrel
