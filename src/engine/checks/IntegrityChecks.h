#pragma once

#include <cstdint>
#include <span>

#include "engine/checks/CodedSpectrumObserver.h"
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
// The frame CRCs and the coded spectrum are measured by observers of the
// walk (the spectrum's sample reduced by FillUpscaleFacts); the scan fills
// the rest. Lives as long as the scans
// that use it.
class IntegrityChecks : public ScanChecks {
public:
    explicit IntegrityChecks(FileChecks& out);
    IntegrityChecks(const IntegrityChecks&) = delete;
    IntegrityChecks& operator=(const IntegrityChecks&) = delete;

    // The coded spectrum of the last walk's sample of Layer III granules
    // (CodedSpectrumSummary), for a verdict on it; not in `out`, so a scan
    // answered from the analysis cache leaves it as an earlier walk left it.
    const CodedSpectrumSummary& coded_spectrum() const { return both_.coded_spectrum(); }

private:
    // The CRC and coded-spectrum observers as one: the walk makes one call a
    // frame, which for the usual frame without a CRC goes straight on to the
    // sample's frame count.
    class Both final : public FrameObserver {
    public:
        explicit Both(FileChecks& out) : out_(out), crc_(out) {}
        void BeginWalk() override;
        void Frame(std::span<const uint8_t> bytes, const FrameHeader& header) override {
            if (header.protection == 0) [[unlikely]] {
                ProtectedFrame(bytes, header);
                return;
            }
            spectrum_.Frame(bytes, header);
            set_wants_whole_frame(spectrum_.wants_whole_frame());
        }
        void Gap() override { spectrum_.Gap(); }
        void EndWalk(const ScanRecord& record) override;

        const CodedSpectrumSummary& coded_spectrum() const { return spectrum_.summary(); }

    private:
        void ProtectedFrame(std::span<const uint8_t> bytes, const FrameHeader& header);

        FileChecks& out_;
        CrcObserver crc_;
        CodedSpectrumObserver spectrum_;
    };

    Both both_;
};

}  // namespace vandrel
