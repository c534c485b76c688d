#include "engine/tags/EncoderSignature.h"

#include <algorithm>

namespace vandrel {

namespace {

// Position of the first occurrence of `what` in the block, or npos.
size_t Find(std::span<const uint8_t> block, std::string_view what) {
    const auto it = std::search(block.begin(), block.end(), what.begin(), what.end());
    return it == block.end() ? std::string_view::npos : static_cast<size_t>(it - block.begin());
}

// Up to n bytes from `at`, cut at the first zero byte and at the block's end.
std::string TakeVersion(std::span<const uint8_t> block, size_t at, size_t n) {
    std::string out;
    for (size_t i = at; i < at + n && i < block.size() && block[i] != 0; ++i) {
        out += static_cast<char>(block[i]);
    }
    return out;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

// Whether the bytes at `at` begin a version: a digit, a dot, a digit.
bool VersionAt(std::span<const uint8_t> block, size_t at) {
    return at + 2 < block.size() && IsDigit(block[at]) && block[at + 1] == '.' &&
           IsDigit(block[at + 2]);
}

// The first "LAME" followed by a version. lame also pads frames with its name,
// and a frame's end can cut it anywhere ("LAMEUUUL"): those do not count.
size_t FindLameSignature(std::span<const uint8_t> block) {
    for (size_t from = 0; from < block.size();) {
        const size_t p = Find(block.subspan(from), "LAME");
        if (p == std::string_view::npos) {
            break;
        }
        if (VersionAt(block, from + p + 4)) {
            return from + p;
        }
        from += p + 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::string SignatureFromBlock(std::span<const uint8_t> block) {
    if (const size_t p = FindLameSignature(block); p != std::string_view::npos) {
        // "LAME3.90 (alpha)" becomes "LAME3.90a"; without " (" the suffix is a blank.
        char suffix = ' ';
        if (p + 10 < block.size() && block[p + 8] == ' ' && block[p + 9] == '(') {
            suffix = static_cast<char>(block[p + 10]);
        }
        std::string text = "LAME" + TakeVersion(block, p + 4, 4);
        if (p + 8 < block.size() && IsDigit(block[p + 8]) && text.size() == 8) {
            // Three-digit minor versions ("LAME3.100") keep their last digit.
            text += static_cast<char>(block[p + 8]);
        }
        if (suffix != '\0') {
            text += suffix;
        }
        return text;
    }
    constexpr std::string_view kRca = "RCA mp3PRO Encoder";
    if (const size_t q = Find(block, kRca); q != std::string_view::npos) {
        return "RCA " + TakeVersion(block, q + kRca.size(), 5);
    }
    constexpr std::string_view kThomson = "THOMSON mp3PRO Encoder ";
    if (const size_t r = Find(block, kThomson); r != std::string_view::npos) {
        return "Thomson " + TakeVersion(block, r + kThomson.size(), 6);
    }
    for (std::string_view tag : {"VBRI", "MPGE", "GOGO"}) {
        if (Find(block, tag) != std::string_view::npos) {
            return std::string(tag);
        }
    }
    return {};
}

std::string NameFromText(std::string_view text) {
    if (Contains(text, "LAME")) {
        if (text.size() < 8) {
            return "Lame";
        }
        // The version is taken from positions 4..7 wherever "LAME" stands.
        std::string name = "Lame " + std::string(text.substr(4, 4));
        auto suffix = [&](char c) {
            if (c == 'a') {
                name += " (alpha)";
            } else if (c == 'b') {
                name += " (beta)";
            }
        };
        if (text.size() > 8) {
            if (text.starts_with("LAME") && IsDigit(static_cast<unsigned char>(text[8]))) {
                name += text[8];  // "LAME3.100" is version 3.100, not 3.10
            }
            suffix(text[8]);
        }
        if (text.size() > 10 && text[8] == ' ' && text[9] == '(') {
            suffix(text[10]);
        }
        return name;
    }
    if (Contains(text, "VBRI")) {
        return "FhG (fastenc)";
    }
    if (Contains(text, "MPGE")) {
        return "Gogo (before 3.0)";
    }
    if (Contains(text, "GOGO")) {
        return "Gogo (after 3.0)";
    }
    if (Contains(text, "RCA") || Contains(text, "Thomson")) {
        return std::string(text);
    }
    return {};
}

}  // namespace vandrel
