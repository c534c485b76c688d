// The ID3v2 tag reader, the cue-sheet search and the iTunSMPB comment's.
#include <cstddef>
#include <cstdint>

#include "engine/tags/Id3Tag.h"
#include "engine/tags/ItunesGap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vandrel::CID3Tag tag;
    tag.ReadTags("fuzz.mp3", {data, size});
    std::string id;
    tag.FindCueSheet(&id);
    vandrel::FindItunesGap({data, size});
    return 0;
}
