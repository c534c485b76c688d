#pragma once

class QHBoxLayout;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vandrel {

// The bottom row of the Details dialog: the scan's progress bar, then "Go To
// Folder", "Refresh", "Copy Info" and "Close" (the default button). The
// widgets are the dialog's children; the dialog puts layout() under its pages.
// GUI thread only.
class CDetailsButtons {
public:
    explicit CDetailsButtons(QWidget* dialog);

    QHBoxLayout* layout() const { return layout_; }
    QProgressBar& progress_bar() const { return *progress_; }
    QPushButton& go_to_folder_button() const { return *go_to_folder_; }
    QPushButton& refresh_button() const { return *refresh_; }
    QPushButton& copy_button() const { return *copy_; }
    QPushButton& close_button() const { return *close_; }

    // A scan begins: the bar at 0, shown when `with_progress` (the file kind's
    // scan walks the frames, so it takes time worth showing); Refresh and Copy
    // Info off until it is done.
    void ShowScanning(bool with_progress);
    // The scan is done: the bar back at 0 and hidden, Refresh and Copy Info on.
    void ShowFinished();

private:
    QProgressBar* progress_ = nullptr;
    QPushButton* go_to_folder_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* close_ = nullptr;
    QHBoxLayout* layout_ = nullptr;
};

}  // namespace vandrel
