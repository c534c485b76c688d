#pragma once

#include <string>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// The row of the decision table that names a file's encoder from its frame
// statistics (1..26), used when the file holds no encoder text.
int EncoderDecisionRow(const ScanRecord& record);

// A file's encoder as its record names it.
struct EncoderName {
    std::string name;  // as IdentifyEncoder gives it (ISO-8859-1)
    // False for "Unknown": neither a text in the file nor the statistics of
    // the frames read named an encoder (a walk of more frames may).
    bool named = false;
};

// The displayed encoder name: the encoder text found in the file, or the
// answer of the decision table (for Layer III; "Unknown" for Layer I and II).
// A text made from another program's LAME-style tag ("Lame (Lavc59.37)")
// names Shine instead of lame ("Shine (Lavc59.37)") when the walk found
// Shine's frames: no short or mixed block and no reservoir use in ten frames
// or more. The name comes from the record alone, so a cached record gives it
// too.
EncoderName NameEncoder(const ScanRecord& record);
std::string IdentifyEncoder(const ScanRecord& record);  // NameEncoder(record).name

}  // namespace vandrel
