#pragma once

#include "store/DataCache.h"
#include "ui/browser/VandrelTree.h"
#include "ui/settings/SettingsSheet.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vandrel {

// The longest folder or file path the pages take, as the system allows paths.
inline constexpr int kMaxPathLength = 4095;

// "Start up": the folder the tree opens with.
class CPropTree : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPropTree(TreeSettings& page_data, QWidget* parent = nullptr);
    bool Apply() override;

    QLineEdit* initial_directory() const { return initial_directory_; }
    QCheckBox* use_most_recent() const { return use_most_recent_; }

private:
    TreeSettings& data_;
    QLineEdit* initial_directory_;
    QCheckBox* use_most_recent_;
};

// "Cache": where the analysis cache is kept, its size limit, its switch, its
// figures and "Purge".
class CPropCache : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPropCache(CachePageData& page_data, QWidget* parent = nullptr);
    bool Apply() override;

    // How many files a limit of `kb` KB holds.
    static int64_t FilesHeld(int64_t kb);

    QLineEdit* location() const { return location_; }
    QLineEdit* max_size() const { return max_size_; }
    QCheckBox* enabled() const { return enabled_; }
    QPushButton* purge() const { return purge_; }
    QLabel* entries() const { return entries_; }
    QLabel* size_kb() const { return size_kb_; }
    QLabel* files_held() const { return files_held_; }

private:
    void ShowFigures();
    void ShowFilesHeld();

    CachePageData& data_;
    QLineEdit* location_;
    QLineEdit* max_size_;
    QLabel* files_held_;
    QCheckBox* enabled_;
    QLabel* entries_;
    QLabel* size_kb_;
    QPushButton* purge_;
};

}  // namespace vandrel
