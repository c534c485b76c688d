#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// Texts taken from inside audio files (ID3v1 fields, encoder signatures) are
// 8-bit ISO-8859-1; everything the program shows is UTF-8.
std::string Latin1ToUtf8(std::string_view text);
// Back to ISO-8859-1 for writing into a file: characters it has no code for,
// and bytes that are no valid UTF-8, become "?".
std::string Utf8ToLatin1(std::string_view text);

}  // namespace vandrel
