// An MPEG Plus file held in memory: the stream header and its texts.
#include <cstddef>
#include <cstdint>

#include "AttributeTexts.h"
#include "MpcFile.h"

namespace {
// Opens bytes from memory through the base class's reader.
class MemoryMpcFile : public vandrel::CMpcFile {
public:
    using CMediaFile::OpenMemory;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    MemoryMpcFile file;
    file.OpenMemory("fuzz.mpc", std::vector<uint8_t>(data, data + size));
    ScanRecord record = ZeroRecord();
    file.Scan(true, record, -1, nullptr, false, nullptr);
    AttributeTexts texts;
    BuildAttributeTexts(texts, record, false);
    return 0;
}
