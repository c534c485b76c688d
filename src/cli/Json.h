#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ScanRecord.h"

namespace vandrel::cli {

// A small streaming JSON writer with two-space indentation; arrays opened as
// compact stay on one line.
class JsonOut {
public:
    // `one_line`: no line breaks at all, for one object per line.
    explicit JsonOut(std::string& out, bool one_line = false) : out_(out), one_line_(one_line) {}

    void BeginObject();
    void EndObject();
    void BeginArray(bool compact = false);
    void EndArray();
    void Key(std::string_view key);
    // `text` is UTF-8; invalid bytes become U+FFFD so the output stays valid.
    void String(std::string_view text);
    void Int(int64_t value);
    void Float(float value);
    void Null();

private:
    struct Level {
        bool compact;
        bool empty;
    };
    void BeforeValue();
    void NewLine();

    std::string& out_;
    bool one_line_;
    std::vector<Level> levels_;
    bool after_key_ = false;
};

// Length of the valid UTF-8 sequence at the start of `s` (not empty), or 0:
// no overlong forms, no surrogates, nothing above U+10FFFF.
size_t Utf8SequenceLength(std::string_view s);
bool IsValidUtf8(std::string_view text);

// Appends `text` to `out` as a quoted JSON string.
void AppendJsonString(std::string& out, std::string_view text);

std::string HexBytes(const uint8_t* bytes, size_t count);

// The record's fields under the keys of the command-line contract.
void WriteRecordJson(JsonOut& json, const ScanRecord& record);

}  // namespace vandrel::cli
