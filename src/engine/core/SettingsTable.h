#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "engine/core/SettingsStore.h"

namespace vandrel {

// One key of a settings section and the member of Owner that holds its value.
// The key's default is the member's value in a default-made Owner, so each
// default is written once, where the member is declared. A table lists the
// keys of a section in the order they are written.
template <typename Owner> struct SettingKey {
    const char* key;
    std::variant<int Owner::*, bool Owner::*, std::string Owner::*> member;
};

namespace settings_detail {

inline void Read(const SettingsStore& store, std::string_view section, const char* key,
                 int fallback, int& value) {
    value = store.GetInt(section, key, fallback);
}
inline void Read(const SettingsStore& store, std::string_view section, const char* key,
                 bool fallback, bool& value) {
    value = store.GetInt(section, key, fallback ? 1 : 0) != 0;
}
inline void Read(const SettingsStore& store, std::string_view section, const char* key,
                 const std::string& fallback, std::string& value) {
    value = store.GetString(section, key, fallback);
}
inline void Write(SettingsStore& store, std::string_view section, const char* key, int value) {
    store.SetInt(section, key, value);
}
inline void Write(SettingsStore& store, std::string_view section, const char* key, bool value) {
    store.SetInt(section, key, value ? 1 : 0);
}
inline void Write(SettingsStore& store, std::string_view section, const char* key,
                  const std::string& value) {
    store.SetString(section, key, value);
}

}  // namespace settings_detail

// Reads every key of the table into `owner`; a key the store lacks gets its
// default.
template <typename Owner, size_t N>
void LoadSettingKeys(const SettingsStore& store, std::string_view section,
                     const std::array<SettingKey<Owner>, N>& keys, Owner& owner) {
    static const Owner defaults{};
    for (const SettingKey<Owner>& entry : keys) {
        std::visit(
            [&](auto member) {
                settings_detail::Read(store, section, entry.key, defaults.*member, owner.*member);
            },
            entry.member);
    }
}

// Writes every key of the table, in its order.
template <typename Owner, size_t N>
void SaveSettingKeys(SettingsStore& store, std::string_view section,
                     const std::array<SettingKey<Owner>, N>& keys, const Owner& owner) {
    for (const SettingKey<Owner>& entry : keys) {
        std::visit(
            [&](auto member) { settings_detail::Write(store, section, entry.key, owner.*member); },
            entry.member);
    }
}

}  // namespace vandrel
