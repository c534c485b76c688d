#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "tools/Export.h"
#include "ui/common/ListSettings.h"
#include "ui/tools/ExportRunner.h"
#include "ui/tools/ExportTree.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vandrel {

// "Export": writes the HTML report of the list's folder (and its
// sub-folders) with the ticked columns through a template, then opens it in
// the default viewer. The export runs on its own thread; Cancel stops it, and
// deleting the dialog stops it and waits for it. Modal; GUI thread only.
class CExportDlg : public QDialog {
    Q_OBJECT
public:
    // `settings` gives the file types, the frames read and the export choices.
    CExportDlg(const std::string& folder, const ListSettings& settings, QWidget* parent = nullptr);

    // What the user chose, for the settings: kept also after Cancel.
    const ExportChoices& choices() const { return choices_; }
    // Where the report went, once it was written.
    const std::string& report_path() const { return runner_.report_path(); }
    bool working() const { return runner_.working(); }

    CExportTree* Tree() const { return tree_; }
    QLineEdit* TemplateEdit() const { return template_edit_; }
    QCheckBox* RecursiveBox() const { return recursive_; }
    QPushButton* GoButton() const { return go_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QLabel* StatusLabel() const { return status_; }

    // How a written report is shown; the default viewer unless set (tests).
    void SetReportOpener(std::function<void(const QString& path)> open) {
        runner_.SetReportOpener(std::move(open));
    }

    // A status text as the dialog shows it: at most 60 characters.
    static QString ShortStatus(const QString& text);

public slots:
    // "Go": checks the template and starts the export.
    void accept() override;
    // "Cancel": before Go closes; while the export runs stops it, and the
    // dialog closes when the worker is done.
    void reject() override;

private:
    void Browse();
    void KeepChoices();

    std::string folder_;
    ListSettings settings_;
    ExportChoices choices_;
    std::vector<ExportColumn> columns_;
    CExportRunner runner_;

    CExportTree* tree_ = nullptr;
    QLineEdit* template_edit_ = nullptr;
    QCheckBox* recursive_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* go_ = nullptr;
};

}  // namespace vandrel
