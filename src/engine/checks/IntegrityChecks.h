#pragma once

#include <cstdint>
#include <span>

#include "engine/checks/BandwidthObserver.h"
#include "engine/checks/CrcObserver.h"
#include "engine/core/FileChecks.h"
#include "engine/frame/FrameObserver.h"

namespace vandrel {

// Every integrity check of a scan, into `out`, for ScanOptions::checks:
//
//   FileChecks checks;
//   IntegrityChecks integrity(checks);
//   file.Scan(record, {.checks = &integrity});
//
// The frame CRCs and the bandwidth are measured by observers of the walk; the
// scan fills the rest. Lives as long as the scans that use it.
class IntegrityChecks : public ScanChecks {
public:
    explicit IntegrityChecks(FileChecks& out);
    IntegrityChecks(const IntegrityChecks&) = delete;
    IntegrityChecks& operator=(const IntegrityChecks&) = delete;

private:
    // The CRC and bandwidth observers as one: the walk makes one call a
    // frame, which for the usual frame without a CRC goes straight on to the
    // bandwidth measure.
    class Both final : public FrameObserver {
    public:
        explicit Both(FileChecks& out) : crc_(out), bandwidth_(out) {}
        void BeginWalk() override;
        void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
            if (header.protection == 0) [[unlikely]] {
                ProtectedFrame(bytes, header);
                return;
            }
            bandwidth_.Frame(bytes, header);
        }
        void EndWalk(const ScanRecord& record) override;

    private:
        void ProtectedFrame(std::span<const uint8_t> bytes, const FrameHeader& header);

        CrcObserver crc_;
        BandwidthObserver bandwidth_;
    };

    Both both_;
};

}  // namespace vandrel
