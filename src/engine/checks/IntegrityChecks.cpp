#include "engine/checks/IntegrityChecks.h"

namespace vandrel {

IntegrityChecks::IntegrityChecks(FileChecks& out) : both_(out) {
    results = &out;
    observer = &both_;
}

void IntegrityChecks::Both::BeginWalk() {
    crc_.BeginWalk();
    bandwidth_.BeginWalk();
}

void IntegrityChecks::Both::ProtectedFrame(std::span<const uint8_t> bytes,
                                           const FrameHeader& header) {
    crc_.Frame(bytes, header);
    bandwidth_.Frame(bytes, header);
}

void IntegrityChecks::Both::EndWalk(const ScanRecord& record) {
    crc_.EndWalk(record);
    bandwidth_.EndWalk(record);
}

}  // namespace vandrel
