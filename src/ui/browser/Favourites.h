#pragma once

#include <string>
#include <vector>

#include "engine/core/SettingsStore.h"
#include "ui/browser/BrowserTypes.h"

namespace vandrel {

// The remembered folders, oldest first, as "favourites_mru" keeps them.
class Favourites {
public:
    struct Entry {
        std::string label;    // the folder's path, shown in the menu
        std::string encoded;  // its encoded id list
        bool operator==(const Entry&) const = default;
    };
    enum class AddResult { kAdded, kAlreadyThere };

    // Reads at most kMaxEntries, the favourites the menu has identities for;
    // an entry with neither a label nor an id list names no folder and is
    // left out.
    void Load(const SettingsStore& settings);
    void Save(SettingsStore& settings) const;

    // A folder whose label is already remembered is not added again.
    AddResult Add(const FolderRef& folder);
    const std::vector<Entry>& entries() const { return entries_; }
    void Replace(std::vector<Entry> entries) { entries_ = std::move(entries); }

    // Menu command identities: the first favourite's, and the last one taken
    // as a favourite.
    static constexpr int kFirstCommand = 34000;
    static constexpr int kLastCommand = 35000;
    static constexpr int kMaxEntries = kLastCommand - kFirstCommand + 1;
    // The favourite of a command identity; nullptr beyond the list.
    const Entry* FromCommand(int command) const;

private:
    std::vector<Entry> entries_;
};

}  // namespace vandrel
