#pragma once

#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "BrowserTypes.h"
#include "WindowWithSettings.h"

namespace vandrel {

// The folder tree: the file system from "/", with the home folder also shown
// as "Home", the first child of the root. Selecting a folder makes the file
// list show its audio files.
class CVandrelTree : public QTreeWidget, public CWindowWithSettings {
    Q_OBJECT
public:
    explicit CVandrelTree(TreeListener& listener, QWidget* parent = nullptr);
    ~CVandrelTree() override;

    // CWindowWithSettings: "tree_settings" ("initdir", "initdirenc",
    // "userecent"). Saving first takes the current folder as the start
    // folder when "userecent" is on.
    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;

    // Builds the root and opens the start folder: the saved one, or what the
    // command line names (one folder, one file, or several files).
    void StartUp(const std::vector<std::string>& arguments);
    // Rebuilds the tree and goes back to the current folder.
    void Refresh();
    // The selected folder, or nothing.
    std::optional<FolderRef> CurrentFolder() const;
    // Expands to and selects a folder given as a path and an encoded id list.
    void BeginExpand(const std::string& path, const std::string& encoded);
    void GoToFavourite(const std::string& label, const std::string& encoded);

private:
    TreeListener& listener_;
};

}  // namespace vandrel
