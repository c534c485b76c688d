#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

inline constexpr std::string_view kDefaultFileTypes = ".mp3;.mp2;.mp1;.mpc;.mp+;";

// The non-empty pieces of a text cut at every `separator`.
std::vector<std::string> SplitNonEmpty(std::string_view text, char separator);

// Splits a file-types text at every ";" into lower-cased extensions; empty
// pieces are skipped and a last piece without ";" counts too.
std::vector<std::string> SplitFileTypes(std::string_view text);

// Whether the name's extension (from its last "." on, compared without regard
// to case) is one of `extensions`; a name without "." never matches.
bool MatchesFileTypes(std::string_view name, const std::vector<std::string>& extensions);

// ASCII lower-casing, byte for byte (file names need not be UTF-8).
std::string AsciiLower(std::string_view text);

}  // namespace vandrel
