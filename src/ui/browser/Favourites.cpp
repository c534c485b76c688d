#include "ui/browser/Favourites.h"

#include <algorithm>
#include <cstdio>

namespace vandrel {

namespace {

constexpr std::string_view kSection = "favourites_mru";

std::string Key(const char* format, size_t index) {
    char key[64];
    std::snprintf(key, sizeof key, format, static_cast<int>(index));
    return key;
}

}  // namespace

void Favourites::Load(const SettingsStore& settings) {
    entries_.clear();
    const int count = std::min(settings.GetInt(kSection, "count", -1), kMaxEntries);
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<size_t>(i);
        Entry entry{settings.GetString(kSection, Key("mru_label_%i", index), ""),
                    settings.GetString(kSection, Key("mru_pidl_str_%i", index), "")};
        if (!entry.label.empty() || !entry.encoded.empty()) {
            entries_.push_back(std::move(entry));
        }
    }
}

void Favourites::Save(SettingsStore& settings) const {
    settings.SetInt(kSection, "count", static_cast<int>(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i) {
        settings.SetString(kSection, Key("mru_label_%i", i), entries_[i].label);
        settings.SetString(kSection, Key("mru_pidl_str_%i", i), entries_[i].encoded);
    }
}

Favourites::AddResult Favourites::Add(const FolderRef& folder) {
    const bool known = std::any_of(entries_.begin(), entries_.end(),
                                   [&](const Entry& e) { return e.label == folder.path; });
    if (known) {
        return AddResult::kAlreadyThere;
    }
    entries_.push_back({folder.path, folder.encoded});
    return AddResult::kAdded;
}

const Favourites::Entry* Favourites::FromCommand(int command) const {
    if (command < kFirstCommand || command > kLastCommand) {
        return nullptr;
    }
    const auto index = static_cast<size_t>(command - kFirstCommand);
    return index < entries_.size() ? &entries_[index] : nullptr;
}

}  // namespace vandrel
