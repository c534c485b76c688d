#include "ui/tools/ExportDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

#include "store/Log.h"
#include "store/ProcessValues.h"
#include "ui/common/PathText.h"
#include "ui/common/UiThread.h"

namespace vandrel {

namespace {

constexpr int kPercentDone = 100;
// Longer status texts are cut to kStatusKept characters and "...".
constexpr qsizetype kStatusLimit = 60;
constexpr qsizetype kStatusKept = 57;

}  // namespace

CExportDlg::CExportDlg(const std::string& folder, const ListSettings& settings, QWidget* parent)
    : QDialog(parent), folder_(folder), settings_(settings), choices_(settings.export_choices),
      runner_(parent) {
    AssertUiThread();
    setWindowTitle(tr("Export"));

    // The program's own template is put in place when the user has none there.
    if (EnsureApplicationFolder()) {
        EnsureDefaultTemplate(ApplicationFolder());
    }
    if (choices_.template_path.empty()) {
        choices_.template_path = ApplicationFolder() + "/template.html";
    }
    if (choices_.selected.empty()) {
        choices_.selected = {{"General", "Name"}};
    }
    columns_ = ExportColumns(choices_.selected);

    tree_ = new CExportTree(this);
    tree_->Fill(columns_);

    template_edit_ = new QLineEdit(PathText(choices_.template_path), this);
    auto* browse = new QToolButton(this);
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(tr("Choose the template"));
    connect(browse, &QToolButton::clicked, this, &CExportDlg::Browse);
    auto* template_label = new QLabel(tr("&Template"), this);
    template_label->setBuddy(template_edit_);
    auto* template_row = new QHBoxLayout;
    template_row->addWidget(template_label);
    template_row->addWidget(template_edit_, 1);
    template_row->addWidget(browse);

    recursive_ = new QCheckBox(tr("&Recursive Scan"), this);
    recursive_->setChecked(choices_.recurse);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, kPercentDone);
    progress_->setValue(0);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(this);
    go_ = buttons->addButton(tr("&Go"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    go_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CExportDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CExportDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Columns of the report for %1").arg(PathText(folder_)), this));
    layout->addWidget(tree_, 1);
    layout->addLayout(template_row);
    layout->addWidget(recursive_);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(460, 560);

    connect(&runner_, &CExportRunner::PercentChanged, progress_, &QProgressBar::setValue);
    connect(&runner_, &CExportRunner::StatusChanged, status_,
            [this](const QString& text) { status_->setText(ShortStatus(text)); });
    connect(&runner_, &CExportRunner::Ended, this, [this] { QDialog::accept(); });
}

QString CExportDlg::ShortStatus(const QString& text) {
    return text.size() > kStatusLimit ? text.left(kStatusKept) + QStringLiteral("...") : text;
}

void CExportDlg::Browse() {
    const QString current = template_edit_->text();
    const QString start = current.contains(QLatin1Char('/'))
                              ? QFileInfo(current).absolutePath()
                              : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("Template"), start, tr("Html Files (*.html *.htm)"));
    if (!chosen.isEmpty()) {
        template_edit_->setText(chosen);
    }
}

void CExportDlg::KeepChoices() {
    choices_.recurse = recursive_->isChecked();
    choices_.template_path = PathBytes(template_edit_->text());
    choices_.selected = SelectionOf(tree_->Apply(columns_));
}

void CExportDlg::accept() {
    if (runner_.working()) {
        return;
    }
    const std::string template_path = PathBytes(template_edit_->text());
    // A FIFO or an oversized file counts as none: the export would wait on
    // it, or read it without end.
    if (LoadTemplate(template_path).fault == TemplateFault::kUnreadable) {
        QMessageBox::critical(this, tr("Error"),
                              tr("Cannot find template file: ") + template_edit_->text());
        return;
    }
    go_->setEnabled(false);
    KeepChoices();
    ExportJob job;
    job.start_paths = {folder_};
    job.recursion = choices_.recurse ? Recursion::kWithSubFolders : Recursion::kThisFolder;
    job.extensions = ExportExtensions(settings_.file_types);
    job.template_path = template_path;
    job.report_path = ApplicationFolder() + "/temp_report.html";
    job.columns = tree_->Apply(columns_);
    job.quick_frames = settings_.frame_limit;
    job.mono_quality = settings_.mono_quality;
    Log([&] { return "CExportDlg: exporting " + folder_ + " to " + job.report_path; });
    runner_.Start(std::move(job));
}

void CExportDlg::reject() {
    KeepChoices();
    if (runner_.working()) {
        // The dialog closes when the worker says it is done.
        runner_.Cancel();
        status_->setText(tr("Stopping..."));
        return;
    }
    QDialog::reject();
}

}  // namespace vandrel
