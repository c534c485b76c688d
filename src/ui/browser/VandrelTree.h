#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QIcon>
#include <QTreeWidget>

#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"

namespace vandrel {

// What "tree_settings" keeps, as the settings page edits it.
struct TreeSettings {
    std::string start_folder;      // "initdir": the folder shown at start
    std::string start_id_list;     // "initdirenc": the same folder as an encoded id list
    bool use_most_recent = false;  // "userecent": at close, the current folder becomes it
};

// Where the start folder came from: the settings, the user's music or home
// folder, or, when the user has none of these, the examples that come with
// the program.
enum class StartFolderKind { kUsers, kExamples };

struct StartFolderChoice {
    std::string path;
    StartFolderKind kind = StartFolderKind::kUsers;
};

// The folder tree: the file system from "/", with the home folder also shown
// as "Home", the first child of the root. Selecting a folder makes the file
// list show its audio files.
class CVandrelTree : public QTreeWidget, public CWindowWithSettings {
    Q_OBJECT
public:
    explicit CVandrelTree(TreeListener& listener, QWidget* parent = nullptr);
    ~CVandrelTree() override;

    // CWindowWithSettings: "tree_settings" ("initdir", "initdirenc",
    // "userecent"). Without a saved start folder, loading takes the music
    // folder, else the examples (ExamplesFolder), else the home folder.
    // Saving first takes the current folder as the start folder when
    // "userecent" is on; examples taken for want of a folder are not saved.
    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;
    // The "Start up" page edits a copy of the start folder and "userecent".
    void SettingsToPages() override { page_data_ = settings_; }
    void PagesToSettings() override;
    void AddSettingsPages(SettingsSheet& sheet) override;

    // Builds the root and opens the start folder: the saved one, or what the
    // command line names (one folder, one file, or several files).
    void StartUp(const std::vector<std::string>& arguments);
    // Rebuilds the tree and goes back to the current folder.
    void Refresh();
    // The selected folder, or nothing.
    std::optional<FolderRef> CurrentFolder() const;
    // Expands to and selects a folder given as a path and an encoded id list.
    void BeginExpand(const std::string& path, const std::string& encoded);

    // The item that `id_list` leads to from `item`, expanding the items on
    // the way; `item` itself for an empty list; nullptr when a step has no
    // matching child or the bytes are not an id list.
    QTreeWidgetItem* Walk(QTreeWidgetItem* item, std::span<const uint8_t> id_list);
    // The folder an item of this tree stands for; nothing for a foreign item.
    static std::optional<FolderRef> FolderOf(const QTreeWidgetItem* item);
    // "/" and the "Home" shortcut; nullptr before the root is built (and
    // "Home" also when there is no usable home folder).
    QTreeWidgetItem* RootItem() const;
    QTreeWidgetItem* MyDocumentsItem() const { return docs_item_; }

    // The settings page reads and sets these; they reach the file at exit.
    const TreeSettings& settings() const { return settings_; }
    void set_settings(TreeSettings settings) {
        if (settings.start_folder != settings_.start_folder) {
            start_kind_ = StartFolderKind::kUsers;
        }
        settings_ = std::move(settings);
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildRoot();
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, const std::string& step,
                                const std::string& path, const QString& display_name);
    // Reads an item's sub-folders the first time it opens.
    void OnItemExpanding(QTreeWidgetItem* item);
    // Fills the item if it never was, and opens it.
    void ExpandItem(QTreeWidgetItem* item);
    void OnSelChanged(QTreeWidgetItem* current);

    TreeListener& listener_;
    TreeSettings settings_;
    TreeSettings page_data_;  // the settings page's copy
    // The examples open when no folder is saved and the user has no music
    // folder; they are then not saved as the start folder.
    StartFolderKind start_kind_ = StartFolderKind::kUsers;
    struct Icons {
        QIcon root;
        QIcon home;
        QIcon folder;  // with an open one for the selected folder
    };
    Icons icons_;
    QTreeWidgetItem* docs_item_ = nullptr;  // owned by the tree
    // Set for the start-up with several files, whose list must not be
    // replaced by the folder the tree then shows.
    bool suppress_next_selection_ = false;
};

}  // namespace vandrel
