#pragma once

#include <cstdint>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// Scan progress: called with the record so far every 2000 frames and at the
// end of a frame walk. Answering false stops the scan.
class sink {
public:
    virtual ~sink() = default;
    virtual bool Progress(const ScanRecord& record) = 0;
};

// Byte progress of long file work (music CRC, joining files).
class sink_mini {
public:
    virtual ~sink_mini() = default;
    virtual bool Progress(int64_t done, int64_t total) = 0;
};

}  // namespace vandrel
