#include "ui/settings/OtherPages.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// --- Start up -----------------------------------------------------------------

CPropTree::CPropTree(TreeSettings& page_data, QWidget* parent)
    : CSettingsPage(parent), data_(page_data), initial_directory_(new QLineEdit(this)),
      use_most_recent_(new QCheckBox(tr("Use most &recent"), this)) {
    setWindowTitle(tr("Start up"));
    initial_directory_->setText(QString::fromStdString(data_.start_folder));
    use_most_recent_->setChecked(data_.use_most_recent);
    initial_directory_->setEnabled(!data_.use_most_recent);
    connect(use_most_recent_, &QCheckBox::toggled, initial_directory_,
            [this](bool on) { initial_directory_->setEnabled(!on); });

    auto* home = new QGroupBox(tr("Home folder"));
    auto* form = new QFormLayout(home);
    form->addRow(tr("&Initial Directory:"), initial_directory_);
    form->addRow(QString(), use_most_recent_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(home);
    layout->addStretch();
}

bool CPropTree::Apply() {
    const QString folder = initial_directory_->text();
    if (folder.toStdString().size() > static_cast<size_t>(kMaxPathLength)) {
        RejectEntry(initial_directory_,
                    tr("A folder path of at most %1 bytes").arg(kMaxPathLength));
        return false;
    }
    data_.start_folder = folder.toStdString();
    data_.use_most_recent = use_most_recent_->isChecked();
    return true;
}

// --- Cache --------------------------------------------------------------------

CPropCache::CPropCache(CachePageData& page_data, QWidget* parent)
    : CSettingsPage(parent), data_(page_data), location_(new QLineEdit(this)),
      max_size_(new QLineEdit(this)), files_held_(new QLabel(this)),
      enabled_(new QCheckBox(tr("&Enabled"), this)), entries_(new QLabel(this)),
      size_kb_(new QLabel(this)), purge_(new QPushButton(tr("&Purge"), this)) {
    setWindowTitle(tr("Cache"));
    location_->setText(QString::fromStdString(data_.location));
    max_size_->setText(QString::number(data_.max_size));
    enabled_->setChecked(data_.enabled);

    auto* browse = new QPushButton(tr("..."));
    browse->setToolTip(tr("Choose the cache file"));
    connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, tr("Cache"), location_->text(), tr("Cache Files (*.dat)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("dat"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            location_->setText(dialog.selectedFiles().front());
        }
    });
    auto* location_row = new QHBoxLayout;
    location_row->addWidget(location_, 1);
    location_row->addWidget(browse);
    connect(max_size_, &QLineEdit::textChanged, this, &CPropCache::ShowFilesHeld);

    auto* behaviour = new QGroupBox(tr("Behaviour"));
    auto* behaviour_form = new QFormLayout(behaviour);
    auto* location_label = new QLabel(tr("&Location:"));
    location_label->setBuddy(location_);
    behaviour_form->addRow(location_label, location_row);
    behaviour_form->addRow(tr("&Max Size (KB):"), max_size_);
    behaviour_form->addRow(QString(), files_held_);
    behaviour_form->addRow(QString(), enabled_);

    auto* status = new QGroupBox(tr("Status"));
    auto* status_form = new QFormLayout(status);
    status_form->addRow(tr("Entries:"), entries_);
    status_form->addRow(tr("Size (KB):"), size_kb_);
    status_form->addRow(QString(), purge_);
    connect(purge_, &QPushButton::clicked, this, [this] {
        data_.purge_requested = true;
        data_.record_count = 0;
        data_.size_kb = 0;
        ShowFigures();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(behaviour);
    layout->addWidget(status);
    layout->addStretch();
    ShowFigures();
    ShowFilesHeld();
}

int64_t CPropCache::FilesHeld(int64_t kb) {
    return kb <= 0 ? 0 : kb * 1024 / static_cast<int64_t>(kScanRecordSize);
}

void CPropCache::ShowFigures() {
    const QLocale locale;
    entries_->setText(locale.toString(static_cast<qlonglong>(data_.record_count)));
    size_kb_->setText(locale.toString(static_cast<qlonglong>(data_.size_kb)));
    purge_->setEnabled(data_.record_count != 0);
}

void CPropCache::ShowFilesHeld() {
    bool number = false;
    const qlonglong kb = max_size_->text().trimmed().toLongLong(&number);
    files_held_->setText(number && kb >= 0
                             ? tr("Room for about %1 files")
                                   .arg(QLocale().toString(static_cast<qlonglong>(FilesHeld(kb))))
                             : QString());
}

bool CPropCache::Apply() {
    const QString location = location_->text();
    if (location.toStdString().size() > static_cast<size_t>(kMaxPathLength)) {
        RejectEntry(location_, tr("A file path of at most %1 bytes").arg(kMaxPathLength));
        return false;
    }
    data_.location = location.toStdString();
    bool number = false;
    const int max_size = max_size_->text().trimmed().toInt(&number);
    if (!number || max_size < 0) {
        RejectEntry(max_size_, tr("A size in KB, 0 or more"));
        return false;
    }
    data_.max_size = max_size;
    data_.enabled = enabled_->isChecked();
    return true;
}

}  // namespace vandrel
