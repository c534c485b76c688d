#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

enum class Alignment { kLeft, kRight };

// One attribute a file can be described by: a column of the list, a line of
// the export.
struct AttributeInfo {
    int32_t id;
    std::string_view name;
    std::string_view description;
    std::string_view group;  // "General", "ID3v1", "Mpeg Plus" or "Lame Tag"
    Alignment alignment;
    // -1: sorted by its text; else the record offset of the number it sorts by.
    int sort_field;
    int text_slot;
    int width;            // column width in pixels
    bool scan_dependent;  // needs the frames walked, not only the headers
};

// Offset of the one floating-point sort field (the length in seconds).
constexpr int kFloatSortField = 280;

// The process-wide catalog of the 41 attributes, in ascending id order.
const std::vector<AttributeInfo>& Catalog();
// nullptr for an id without an attribute.
const AttributeInfo* FindAttribute(int32_t id);
// By name, compared without regard to ASCII case; nullptr when unknown.
const AttributeInfo* FindAttributeByName(std::string_view name);

// The list's columns when none are chosen: Name, Encoder, Bitrate, Frames,
// Length, Size, Bad Last Frame, Quality.
const std::vector<int32_t>& DefaultColumnIds();

// Whether any of the attributes needs a frame walk.
bool AnyScanDependent(const std::vector<int32_t>& ids);

// Orders two files by an attribute: negative when `a` goes first. Numbers
// compare as the record holds them (equal numbers never go first, either
// way); texts compare without regard to case.
int CompareForSort(const AttributeInfo& attribute, const ScanRecord& a,
                   const AttributeTexts& a_texts, const ScanRecord& b,
                   const AttributeTexts& b_texts, bool descending);
// The same with each file's text of the attribute.
int CompareForSort(const AttributeInfo& attribute, const ScanRecord& a, std::string_view a_text,
                   const ScanRecord& b, std::string_view b_text, bool descending);

// The ASCII case-insensitive comparison the list sorts texts by.
int CompareTextsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vandrel
