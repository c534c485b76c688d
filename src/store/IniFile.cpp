#include "store/IniFile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <span>

#include "engine/io/AtomicFile.h"
#include "engine/io/FileStream.h"
#include "store/Log.h"
#include "store/ProcessValues.h"

namespace vandrel {

namespace {

// Longest line the reader takes, line end not counted. A longer line ends
// the reading as if the file ended there.
constexpr size_t kMaxLineLength = 1023;

std::string IndexedKey(std::string_view key, int index) {
    std::string full(key);
    if (index != -1) {
        full += std::to_string(index);
    }
    return full;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Hands out the lines of the file's text one by one.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    // False at the end of the text and at a line that is too long.
    bool Next(std::string_view& line) {
        if (rest_.empty()) {
            return false;
        }
        const size_t end = rest_.find('\n');
        if (end == std::string_view::npos) {
            line = rest_;  // a last line without a line end
            rest_ = {};
        } else {
            line = rest_.substr(0, end);
            rest_.remove_prefix(end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }
        return line.size() <= kMaxLineLength;
    }

private:
    std::string_view rest_;
};

// First match by name; later duplicates are never found.
template <typename Sections> auto FindSection(Sections& sections, std::string_view name) {
    return std::find_if(sections.begin(), sections.end(),
                        [&](const auto& candidate) { return candidate.name == name; });
}

template <typename Entries> auto FindEntry(Entries& entries, std::string_view key) {
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& entry) { return entry.first == key; });
}

}  // namespace

int ParseSettingsInt(std::string_view text) {
    size_t i = 0;
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && blank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a negative number, which reaches INT_MIN as well.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::max<int64_t>(value * 10 - (text[i] - '0'), int64_t{INT_MIN} - 1);
    }
    if (!negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

CIniFile::CIniFile() : path_(SettingsFilePath()) {}

CIniFile::CIniFile(std::string path) : path_(std::move(path)) {}

bool CIniFile::Load() {
    FileStream file;
    if (!file.Open(path_, "rb")) {
        return false;
    }
    // Settings take a few kilobytes; anything far larger is no settings file
    // and must not exhaust memory. The defaults are used instead.
    if (file.Size() > kMaxSettingsFileSize) {
        Log([&] {
            return "CIniFile::Load: " + path_ + " is " + std::to_string(file.Size()) +
                   " bytes, more than a settings file holds; the defaults are used";
        });
        return false;
    }
    std::string text(static_cast<size_t>(file.Size()), '\0');
    text.resize(file.Read({reinterpret_cast<uint8_t*>(text.data()), text.size()}));
    file.Close();

    LineReader reader(text);
    std::string_view line;
    // An empty line where a section name belongs ends the file.
    while (reader.Next(line) && !line.empty()) {
        Section section{std::string(line), {}};
        for (;;) {
            if (!reader.Next(line)) {
                return true;  // the unfinished section is dropped
            }
            if (line.empty()) {
                break;
            }
            const size_t tab = line.find('\t');
            if (tab == std::string_view::npos) {
                section.entries.emplace_back("corrupt", "");
            } else {
                section.entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
            }
        }
        sections_.push_back(std::move(section));
    }
    return true;
}

bool CIniFile::Save() const {
    // The format has no escapes, so a name, key or value with a line break, a
    // key with a TAB, an empty section name or a line over the reader's limit
    // would change the meaning of everything after it when read back. Such an
    // entry is left out rather than let it cost the other settings.
    std::string text;
    for (const Section& section : sections_) {
        if (section.name.empty() || HasLineBreak(section.name) ||
            section.name.size() > kMaxLineLength) {
            Log([&] { return "CIniFile::Save: section left out: " + section.name; });
            continue;
        }
        text += section.name;
        text += "\r\n";
        for (const auto& [key, value] : section.entries) {
            if (HasLineBreak(key) || key.find('\t') != std::string::npos || HasLineBreak(value) ||
                key.size() + 1 + value.size() > kMaxLineLength) {
                Log([&, &k = key] {
                    return "CIniFile::Save: key left out: " + section.name + " " + k;
                });
                continue;
            }
            text += key;
            text += '\t';
            text += value;
            text += "\r\n";
        }
        text += "\r\n";
    }
    std::string error;
    if (!WriteFileAtomically(path_, text, &error)) {
        Log([&] { return "CIniFile::Save: " + error; });
        return false;
    }
    return true;
}

const std::string* CIniFile::Find(std::string_view section, std::string_view key) const {
    auto s = FindSection(sections_, section);
    if (s == sections_.end()) {
        return nullptr;
    }
    auto e = FindEntry(s->entries, key);
    return e == s->entries.end() ? nullptr : &e->second;
}

int CIniFile::GetInt(std::string_view section, std::string_view key, int default_value,
                     int index) const {
    const std::string* value = Find(section, IndexedKey(key, index));
    return value == nullptr ? default_value : ParseSettingsInt(*value);
}

std::string CIniFile::GetString(std::string_view section, std::string_view key,
                                std::string_view default_value, int index) const {
    const std::string* value = Find(section, IndexedKey(key, index));
    return value == nullptr ? std::string(default_value) : *value;
}

void CIniFile::SetInt(std::string_view section, std::string_view key, int value, int index) {
    SetString(section, key, std::to_string(value), index);
}

void CIniFile::SetString(std::string_view section, std::string_view key, std::string_view value,
                         int index) {
    const std::string full_key = IndexedKey(key, index);
    auto s = FindSection(sections_, section);
    if (s == sections_.end()) {
        sections_.push_back({std::string(section), {}});
        s = sections_.end() - 1;
    }
    auto e = FindEntry(s->entries, full_key);
    if (e == s->entries.end()) {
        s->entries.emplace_back(full_key, value);
    } else {
        e->second = value;
    }
}

}  // namespace vandrel
