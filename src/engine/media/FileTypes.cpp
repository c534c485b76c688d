#include "engine/media/FileTypes.h"

#include <algorithm>

namespace vandrel {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::vector<std::string> SplitNonEmpty(std::string_view text, char separator) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            out.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

std::vector<std::string> SplitFileTypes(std::string_view text) {
    std::vector<std::string> out = SplitNonEmpty(text, ';');
    for (std::string& extension : out) {
        extension = AsciiLower(extension);
    }
    return out;
}

bool MatchesFileTypes(std::string_view name, const std::vector<std::string>& extensions) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string extension = AsciiLower(name.substr(dot));
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

}  // namespace vandrel
