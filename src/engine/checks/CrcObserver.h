#pragma once

#include <cstdint>
#include <span>

#include "engine/core/FileChecks.h"
#include "engine/frame/FrameObserver.h"

namespace vandrel {

// Checks the CRC of each protected frame of a walk and counts into the
// checks' record the frames checked, those that failed and those whose
// protected part cannot be laid out.
class CrcObserver final : public FrameObserver {
public:
    explicit CrcObserver(FileChecks& out) : out_(out) {}
    void BeginWalk() override;
    // Inline, as the walk's usual frame has no CRC.
    void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
        if (header.protection == 0) {
            Check(bytes, header);
        }
    }

private:
    void Check(std::span<const uint8_t> bytes, const FrameHeader& header);

    FileChecks& out_;
};

}  // namespace vandrel
