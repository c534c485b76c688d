// A WAVE file held in memory: its canonical header.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/media/WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vandrel::fuzz::ScanFromMemory<vandrel::CWaveFile>(data, size, "fuzz.wav");
    return 0;
}
