// The Xing/Info/LAME and VBRI parsers over a first frame's bytes, and the
// texts made of what they found.
#include <cstddef>
#include <cstdint>

#include "engine/tags/VbrHeaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    ScanRecord record = ZeroRecord();
    record.has_xing = ParseXingHeader(record, {data, size}, 0);
    record.has_vbri = ParseVbriHeader(record, {data, size});
    LameTagTexts(record);
    ReplayGainTexts(record);
    return 0;
}
