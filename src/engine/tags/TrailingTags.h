#pragma once

#include <cstdint>

#include "engine/io/FileStream.h"

namespace vandrel {

// Where the tags after the audio begin: ID3v1 tags, APEv2 tags (with or
// without their header), Lyrics3 blocks (version 1 and 2) and ID3v2 tags with
// a footer, in any order and stacked. The file's size when it ends with none
// of them. Each tag is taken only when its size fits in what is left before
// it. Moves the stream. `id3v1_at`, when given, receives where the file's
// ID3v1 tag starts (as FindId3v1Tag), -1 when there is none.
int64_t FindTrailingTags(FileStream& stream, int64_t* id3v1_at = nullptr);

// Where the file's ID3v1 tag starts: the 128 bytes that end the file, when
// they begin with "TAG" and are not the end of another tag. -1 when there is
// none. Moves the stream.
int64_t FindId3v1Tag(FileStream& stream);

}  // namespace vandrel
