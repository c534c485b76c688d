// The ID3v2 tag reader and the cue-sheet search.
#include <cstddef>
#include <cstdint>

#include "engine/tags/Id3Tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vandrel::CID3Tag tag;
    tag.ReadTags("fuzz.mp3", {data, size});
    std::string id;
    tag.FindCueSheet(&id);
    return 0;
}
