#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

enum class Alignment { kLeft, kRight };

// Sort fields that are no record offset: the attribute sorts by its text, or
// by the number its text starts with (-1 when it starts with none).
constexpr int kSortByText = -1;
constexpr int kSortByNumberInText = -2;

// One attribute a file can be described by: a column of the list, a line of
// the export.
struct AttributeInfo {
    int32_t id;
    std::string_view name;
    std::string_view description;
    // "General", "ID3v1", "Mpeg Plus", "Lame Tag", "Checks" or "Length"
    std::string_view group;
    Alignment alignment;
    // kSortByText, kSortByNumberInText, or the record offset of the number it
    // sorts by.
    int sort_field;
    int text_slot;
    int width;            // column width in pixels
    bool scan_dependent;  // needs the frames walked, not only the headers
};

// Offset of the one floating-point sort field (the length in seconds).
constexpr int kFloatSortField = 280;

// The process-wide catalog of the 50 attributes, in ascending id order.
const std::vector<AttributeInfo>& Catalog();
// nullptr for an id without an attribute.
const AttributeInfo* FindAttribute(int32_t id);
// By name, compared without regard to ASCII case; nullptr when unknown.
const AttributeInfo* FindAttributeByName(std::string_view name);

// The list's columns when none are chosen: Name, Encoder, Bitrate, Frames,
// Length, Size, Bad Last Frame, Quality.
const std::vector<int32_t>& DefaultColumnIds();

// The attributes of one group as lines of a report, those with a text only:
// "Length:\n  Delay: 576\n  Padding: 756\n"; empty when none has a text.
std::string GroupReport(std::string_view group, const AttributeTexts& texts);

// Whether any of the attributes needs a frame walk.
bool AnyScanDependent(const std::vector<int32_t>& ids);

// What a file sorts by under an attribute: the number at the attribute's
// record offset (the float length or a 32-bit integer) or, for a text
// attribute, its text.
struct SortKey {
    double number = 0;
    std::string_view text;
};
// The number from the 32 bits at the sort field, as the record's image holds them.
double SortNumber(const AttributeInfo& attribute, uint32_t field);
// The number a text starts with, -1 when it starts with none.
double NumberInText(std::string_view text);
SortKey SortKeyOf(const AttributeInfo& attribute, const ScanRecord& record,
                  const AttributeTexts& texts);

// Orders two files by an attribute: negative when `a` goes first. Numbers
// never put an equal one first, either way (a damaged NaN length counts as
// the smallest); texts compare without regard to case.
int CompareForSort(const AttributeInfo& attribute, const SortKey& a, const SortKey& b,
                   bool descending);

// The ASCII case-insensitive comparison the list sorts texts by.
int CompareTextsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vandrel
