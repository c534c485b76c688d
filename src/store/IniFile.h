#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/SettingsStore.h"

namespace vandrel {

// The largest settings file that is read; a larger one is left unread.
inline constexpr int64_t kMaxSettingsFileSize = 4 * 1024 * 1024;

// The settings file, held whole in memory.
//
// The file is a run of sections. A section is a line with its name, then one
// line per entry ("key" TAB "value"; further TABs belong to the value), then
// an empty line that closes it. Lines end with CR LF when written; LF alone is
// read too. There is no quoting, no comment and no trimming: names, keys and
// values are compared byte for byte.
class CIniFile : public SettingsStore {
public:
    // The program's own settings file (see SettingsFilePath); not read yet.
    CIniFile();
    explicit CIniFile(std::string path);
    ~CIniFile() override = default;

    // Appends the sections of the file at the path. False when the file
    // cannot be opened or is over kMaxSettingsFileSize; then nothing changes
    // and every Get gives its default.
    bool Load();
    // Replaces the file with the sections, atomically. Entries that would not
    // read back as they are (see Save in the .cpp) are left out and logged.
    // False when the file could not be written; the old one is then intact.
    bool Save() const;

    int GetInt(std::string_view section, std::string_view key, int default_value,
               int index = -1) const override;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view default_value, int index = -1) const override;
    void SetInt(std::string_view section, std::string_view key, int value, int index = -1) override;
    void SetString(std::string_view section, std::string_view key, std::string_view value,
                   int index = -1) override;

    const std::string& Path() const { return path_; }

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;  // key, value
    };

    // The stored value of the key, or nullptr. Only the first section and the
    // first entry of a name count.
    const std::string* Find(std::string_view section, std::string_view key) const;

    std::string path_;
    std::vector<Section> sections_;  // in the order read or first written
};

// The decimal conversion of settings values: leading white space, an optional
// sign, then digits up to the first non-digit; no digits give 0. Values beyond
// the range of int stop at its limits.
int ParseSettingsInt(std::string_view text);

}  // namespace vandrel
