#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/Findings.h"

namespace vandrel {

// The display texts of a row in one buffer, so that a row holds only the
// bytes its texts need (most slots are empty or short).
class PackedTexts {
public:
    PackedTexts() = default;
    explicit PackedTexts(const AttributeTexts& texts);
    std::string_view operator[](int slot) const;
    // Replaces one slot's text (the name, after a rename).
    void Set(int slot, std::string_view text);

private:
    std::string buffer_;
    // Where each slot's text ends in buffer_. Texts are short (a file name is
    // at most 255 bytes), so the whole buffer stays far below 64 KB.
    std::array<uint16_t, kSlotCount> ends_{};
};

// A scan record in less room. Most of a record's 2056 bytes are zero (the
// VBRI table, the unused end of the path, counters a file never uses), so it
// keeps the image's 32-byte pieces that are not all zero and which they are.
class PackedRecord {
public:
    PackedRecord() = default;  // all zero
    explicit PackedRecord(const ScanRecord& record);
    ScanRecord Unpack() const;
    // The little-endian 32 bits at an offset of the image (a multiple of 4).
    uint32_t Field32(size_t offset) const;

private:
    static constexpr size_t kPiece = 32;
    static constexpr size_t kPieces = (kScanRecordSize + kPiece - 1) / kPiece;
    bool Holds(size_t piece) const { return (present_[piece / 64] >> (piece % 64) & 1) != 0; }
    size_t HeldBefore(size_t piece) const;

    std::array<uint64_t, 2> present_{};  // a bit for each piece held
    std::string pieces_;                 // the pieces held, in order
};

// The features of a file whose scan has not answered yet.
constexpr int kFeaturesUnknown = -1;

// One row of the file list: a file and what its scan found. Only the list
// touches its rows; the worker gets a ListJob and answers with a ListResult.
struct _LVItemData {
    uint64_t key = 0;      // how results and removals find the row
    uint32_t listing = 0;  // place in the folder's listing; rows that sort equal keep it
    std::string path;
    PackedRecord record;  // all zero until a result came
    PackedTexts texts;
    int feature_mask = kFeaturesUnknown;  // FeatureBit values of the file's kind
    int quality_class = -1;               // the record's, -1 until a result came
    bool whole_file_scanned = false;      // the record's: every frame was read
    bool done = false;                    // the result of its latest job is in
    // No media type opened the file, or its scan failed: the reason is its
    // Problems text, and there is no record for the tools to start from.
    bool refused = false;
    Severity severity = Severity::kNone;  // the worst finding of its latest result

    std::string_view name() const { return texts[kSlotName]; }
    // Whether its latest result found nothing wrong; a row still waiting for
    // its first result is not known clean.
    bool known_clean() const {
        return feature_mask != kFeaturesUnknown && severity == Severity::kNone;
    }
};

}  // namespace vandrel
