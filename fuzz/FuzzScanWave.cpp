// A WAVE file held in memory: its canonical header.
#include <cstddef>
#include <cstdint>

#include "AttributeTexts.h"
#include "WaveFile.h"

namespace {
class MemoryWaveFile : public vandrel::CWaveFile {
public:
    using CMediaFile::OpenMemory;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    MemoryWaveFile file;
    file.OpenMemory("fuzz.wav", std::vector<uint8_t>(data, data + size));
    ScanRecord record = ZeroRecord();
    file.Scan(true, record, -1, nullptr, false, nullptr);
    AttributeTexts texts;
    BuildAttributeTexts(texts, record, false);
    return 0;
}
