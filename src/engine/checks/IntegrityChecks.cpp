#include "engine/checks/IntegrityChecks.h"

#include "engine/checks/UpscaleFacts.h"

namespace vandrel {

IntegrityChecks::IntegrityChecks(FileChecks& out) : both_(out) {
    results = &out;
    observer = &both_;
}

void IntegrityChecks::Both::BeginWalk() {
    crc_.BeginWalk();
    spectrum_.set_expected_frames(expected_frames());
    spectrum_.BeginWalk();
    set_wants_whole_frame(spectrum_.wants_whole_frame());
}

void IntegrityChecks::Both::ProtectedFrame(std::span<const uint8_t> bytes,
                                           const FrameHeader& header) {
    crc_.Frame(bytes, header);
    spectrum_.Frame(bytes, header);
    set_wants_whole_frame(spectrum_.wants_whole_frame());
}

void IntegrityChecks::Both::EndWalk(const ScanRecord& record) {
    crc_.EndWalk(record);
    spectrum_.EndWalk(record);
    FillUpscaleFacts(spectrum_.summary(), out_);
}

}  // namespace vandrel
