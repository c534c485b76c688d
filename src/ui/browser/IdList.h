#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// An id list names a folder by the steps that lead to it from the top of the
// folder tree ("/"). Each step is one item:
//
//   size (2 bytes, little-endian, counting itself) | the step's name bytes
//
// and the list ends with two zero bytes. "/" itself is the bare terminator;
// "/music/jazz" is 07 00 'm' 'u' 's' 'i' 'c' 06 00 'j' 'a' 'z' 'z' 00 00. The
// shortcut to the home folder is the step "~".
using IdList = std::vector<uint8_t>;

// The name of the step to the home folder's shortcut under the root.
inline constexpr std::string_view kHomeStep = "~";

// The longest name an item can hold: its size must fit in 16 bits.
inline constexpr size_t kMaxStepName = 0xFFFF - 2;

// The id list of these steps; nothing when a name is empty or too long.
std::optional<IdList> MakeIdList(const std::vector<std::string>& steps);

// The steps of an id list; nothing when the bytes are not one: an item size
// of 1 (shorter than its own size field), an item running past the end, or
// no terminator.
std::optional<std::vector<std::string>> SplitIdList(std::span<const uint8_t> list);

// The number of bytes of the list up to and including its terminator;
// nothing when the bytes are not an id list.
std::optional<size_t> IdListSize(std::span<const uint8_t> list);

// `relative` appended to `absolute`: the absolute list without its terminator,
// then the whole relative list, size(absolute) - 2 + size(relative) bytes.
// Nothing when either is not an id list.
std::optional<IdList> AppendIdList(std::span<const uint8_t> absolute,
                                   std::span<const uint8_t> relative);

// The text form kept in settings and favourites: every byte, terminator
// included, as two upper-case hexadecimal digits, without separators.
std::string EncodeIdList(std::span<const uint8_t> list);

// The bytes of the text form, read two characters at a time. An odd last
// character is ignored and an empty text gives no bytes. Nothing when a pair
// is not two hexadecimal digits.
std::optional<IdList> DecodeIdList(std::string_view text);

}  // namespace vandrel
