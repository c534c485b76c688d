// Composing an ID3v1 tag from edited fields, and reading its texts back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "engine/tags/Id3Tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    if (size < 6) {
        return 0;
    }
    Id3v1Fields fields;
    fields.year = static_cast<int16_t>(data[0] | (data[1] << 8));
    fields.track = data[2];
    fields.genre = data[3];
    const auto texts = fuzz::SplitFields(data + 4, size - 4, 4);
    fields.title = texts[0];
    fields.artist = texts[1];
    fields.album = texts[2];
    fields.comment = texts[3];
    const Id3v1Tag tag = ComposeId3v1(fields);
    const std::span<const uint8_t, kId3v1Size> image(tag.image);
    for (Id3v1Field field : {kId3v1Title, kId3v1Artist, kId3v1Album, kId3v1Year, kId3v1Comment}) {
        FUZZ_CHECK(Id3v1FieldText(image, field).size() <= field.width);
    }
    FUZZ_CHECK(std::memcmp(tag.image, "TAG", 3) == 0);
    return 0;
}
