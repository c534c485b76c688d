#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/core/SettingsStore.h"

namespace vandrel {

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

template <typename T> struct MemberOf;
template <typename O, typename V> struct MemberOf<V O::*> { using Owner = O; };

}  // namespace settings_detail

// One key of a settings section and how it reads into, and writes from, a
// member of Owner. The key's default is the member's value in a default-made
// Owner, so each default is written once, where the member is declared. A
// table lists the keys of a section in the order they are written.
template <typename Owner> struct SettingKey {
    const char* key;
    void (*read)(const SettingsStore& store, std::string_view section, const char* key,
                 const Owner& defaults, Owner& owner);
    void (*write)(SettingsStore& store, std::string_view section, const char* key,
                  const Owner& owner);
};

// The entry of a table for a member (an int, bool or std::string):
//   Key<&ListSettings::frame_limit>("frameres")
template <auto Member>
constexpr SettingKey<typename settings_detail::MemberOf<decltype(Member)>::Owner>
Key(const char* key) {
    using Owner = typename settings_detail::MemberOf<decltype(Member)>::Owner;
    return {
        key,
        [](const SettingsStore& store, std::string_view section, const char* name,
           const Owner& defaults, Owner& owner) {
            settings_detail::Read(store, section, name, defaults.*Member, owner.*Member);
        },
        [](SettingsStore& store, std::string_view section, const char* name, const Owner& owner) {
            settings_detail::Write(store, section, name, owner.*Member);
        }};
}

// Reads every key of the table into `owner`; a key the store lacks gets its
// default.
template <typename Owner, size_t N>
void LoadSettingKeys(const SettingsStore& store, std::string_view section,
                     const std::array<SettingKey<Owner>, N>& keys, Owner& owner) {
    const Owner defaults{};
    for (const SettingKey<Owner>& entry : keys) {
        entry.read(store, section, entry.key, defaults, owner);
    }
}

// Writes every key of the table, in its order.
template <typename Owner, size_t N>
void SaveSettingKeys(SettingsStore& store, std::string_view section,
                     const std::array<SettingKey<Owner>, N>& keys, const Owner& owner) {
    for (const SettingKey<Owner>& entry : keys) {
        entry.write(store, section, entry.key, owner);
    }
}

}  // namespace vandrel
