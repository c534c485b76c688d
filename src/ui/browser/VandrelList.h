#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QTableView>

#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/ListColumns.h"
#include "ui/browser/ListFilter.h"
#include "ui/browser/ListLoader.h"
#include "ui/browser/ListModel.h"
#include "ui/common/ListSettings.h"
#include "ui/settings/ListPages.h"

namespace vandrel {

class ListFileActions;

// The right pane: the audio files of the chosen folder, filled in by the list
// worker as it analyses them, coloured by quality and sorted by any column.
// What the user does with the files is ListFileActions'; how the rows are
// read and the folder followed, ListLoader's.
class CVandrelList : public QTableView, public CWindowWithSettings {
    Q_OBJECT
public:
    explicit CVandrelList(ListListener& listener, QWidget* parent = nullptr);
    ~CVandrelList() override;

    // CWindowWithSettings: "list_settings" and "export".
    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;
    // The "General", "Quality", "Columns" and "Filetypes" pages edit a copy
    // of the settings; after OK a change that needs it reads the folder again.
    void SettingsToPages() override;
    void PagesToSettings() override;
    void AddSettingsPages(SettingsSheet& sheet) override;

    // Shows the folder's audio files and has them analysed; a refill of the
    // folder shown keeps the selection, the current row and the scroll.
    void OnFill(const std::string& folder, ListReadDepth depth);
    // Fills again from the current folder (F5; F6 reads every frame).
    void RefreshRequest(ListReadDepth depth);
    // The export dialog for the folder shown; its choices are kept in the settings.
    void ExportRequest();
    // "Problem files only": hides the rows known clean, and shows the
    // Problems column when it is not shown.
    void SetProblemsOnly(bool on);

    ListModel& model_data() { return model_; }
    const ListSettings& settings() const { return settings_; }
    ListLoader& loader() { return loader_; }
    ListFileActions& actions() { return *actions_; }
    // The model rows of the selected rows, in order.
    std::vector<int> SelectedRows() const;

signals:
    // Every listed file has its result (after the summary was shown).
    void allDone();

protected:
    void startDrag(Qt::DropActions actions) override;
    void paintEvent(QPaintEvent* event) override;
    // With "autosize" the first column takes up what the list gains or
    // loses in width, so that the other columns stay in view.
    void resizeEvent(QResizeEvent* event) override;
    // Home and End go to the first and last row (a table would go to the
    // first and last column); with Shift they extend the selection.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void ApplySettings();

    ListListener& listener_;
    ListModel model_;
    ListFilter filter_;  // between the model and the view
    ListSettings settings_;
    ListPageData page_data_;  // the settings pages' copy
    ListLoader loader_;
    ListColumns columns_;
    std::unique_ptr<ListFileActions> actions_;
};

}  // namespace vandrel
