#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// Typed access to the settings file. Keys with a running number pass it as
// `index`; its decimal digits are appended to the key. The settings file
// implements this; tests can use an in-memory one.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int GetInt(std::string_view section, std::string_view key, int default_value,
                       int index = -1) const = 0;
    virtual std::string GetString(std::string_view section, std::string_view key,
                                  std::string_view default_value, int index = -1) const = 0;
    virtual void SetInt(std::string_view section, std::string_view key, int value,
                        int index = -1) = 0;
    virtual void SetString(std::string_view section, std::string_view key, std::string_view value,
                           int index = -1) = 0;
};

}  // namespace vandrel
