// An MPEG Plus file held in memory: the stream header and its texts.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/media/MpcFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vandrel::fuzz::ScanFromMemory<vandrel::CMpcFile>(data, size, "fuzz.mpc");
    return 0;
}
