#include "engine/io/TextEncoding.h"

namespace vandrel {

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // The length of the sequence from its lead byte; whatever does not
        // continue it properly counts as one bad byte.
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        size_t valid = 1;
        while (valid < length && i + valid < text.size() &&
               (static_cast<unsigned char>(text[i + valid]) & 0xC0) == 0x80) {
            ++valid;
        }
        if (length == 2 && valid == 2) {
            const unsigned code =
                ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            out += code >= 0x80 && code <= 0xFF ? static_cast<char>(code) : '?';
        } else {
            out += '?';
        }
        i += length > 1 && valid == length ? length : 1;
    }
    return out;
}

}  // namespace vandrel
