#pragma once

#include <string>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// The row of the decision table that names a file's encoder from its frame
// statistics (1..26), used when the file holds no encoder text.
int EncoderDecisionRow(const ScanRecord& record);

// The displayed encoder name: the encoder text found in the file, or the
// answer of the decision table (for Layer III; "Unknown" for Layer I and II).
// A text made from another program's LAME-style tag ("Lame (Lavc59.37)")
// names Shine instead of lame ("Shine (Lavc59.37)") when the walk found
// Shine's frames: no short or mixed block and no reservoir use in ten frames
// or more. The name comes from the record alone, so a cached record gives it
// too.
std::string IdentifyEncoder(const ScanRecord& record);

}  // namespace vandrel
