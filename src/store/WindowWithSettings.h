#pragma once

#include "engine/core/SettingsStore.h"

namespace vandrel {

// The settings dialog with its tabs; the user-interface layer defines it.
class SettingsSheet;

// Every object that keeps settings: the main frame and its children, and the
// analysis cache. At start-up each reads its keys from the loaded settings
// file; at exit each writes them into a fresh one, so the file holds exactly
// what the program writes.
class CWindowWithSettings {
public:
    virtual ~CWindowWithSettings() = default;

    // Writes this object's keys.
    virtual void SaveSettings(SettingsStore& settings) = 0;
    // Reads this object's keys; missing keys give their defaults.
    virtual void LoadSettings(const SettingsStore& settings) = 0;
    // Copies the current settings into this object's pages before the
    // settings dialog opens.
    virtual void SettingsToPages() {}
    // Takes the pages' values after the dialog was closed with OK.
    virtual void PagesToSettings() {}
    // Adds this object's pages to the settings dialog.
    virtual void AddSettingsPages(SettingsSheet& /*sheet*/) {}
};

}  // namespace vandrel
