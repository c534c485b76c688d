#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/ScanError.h"
#include "engine/media/MediaFile.h"
#include "engine/verdicts/AttributeTexts.h"

// A property that must hold whatever the input; breaks into the fuzzer when
// it does not (unlike assert, also in optimised builds).
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

namespace vandrel::fuzz {

// A file in a private temporary folder, for the readers that take a path.
// Each call overwrites the same file.
std::string WriteTempFile(const uint8_t* data, size_t size, const char* name);

// Splits the input into fields at zero bytes (the last field takes the rest).
std::vector<std::string> SplitFields(const uint8_t* data, size_t size, size_t count);

// Scans the input as a file of type File held in memory and builds the
// list's texts of the record.
template <typename File> void ScanFromMemory(const uint8_t* data, size_t size, const char* name) {
    struct MemoryFile : File {
        using CMediaFile::OpenMemory;
    };
    MemoryFile file;
    file.OpenMemory(name, std::vector<uint8_t>(data, data + size));
    ScanRecord record = ZeroRecord();
    try {
        file.Scan(record, {});
    } catch (const ScanError&) {
        return;  // a file the scan refuses with a message
    }
    AttributeTexts texts;
    BuildAttributeTexts(texts, record, false);
}

}  // namespace vandrel::fuzz
