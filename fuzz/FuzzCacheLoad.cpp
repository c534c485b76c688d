// The analysis cache's file reader, then a lookup, a store and a save.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "store/DataCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    const std::string path = fuzz::WriteTempFile(data, size, "cache.dat");
    CDataCache cache(path);
    cache.Load();
    ScanRecord record = ZeroRecord();
    CopyTextField(record.path, "/music/a.mp3");
    record.whole_file_scanned = 1;
    ScanRecord found = ZeroRecord();
    cache.Lookup("/music/a.mp3", record.status, found, -1);
    cache.Store(record);
    cache.Save();
    return 0;
}
