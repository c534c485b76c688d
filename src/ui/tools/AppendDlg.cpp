#include "ui/tools/AppendDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "store/Log.h"
#include "ui/common/PathText.h"
#include "ui/common/UiThread.h"
#include "ui/settings/OtherPages.h"

namespace vandrel {

namespace {

constexpr int kPercentDone = 100;
const char* const kMp3Filter = QT_TRANSLATE_NOOP("CAppendDlg", "MP3 Files (*.mp3 *.MP3)");

}  // namespace

CAppendDlg::CAppendDlg(const std::string& path, const std::string& name, const ScanRecord& record,
                       QWidget* parent)
    : QDialog(parent), record_(record),
      pump_([this](Message& message) { return TakeWorkerMessage(message); }) {
    AssertUiThread();
    setWindowTitle(tr("MP3 Concatenation : %1").arg(QString::fromStdString(name)));

    auto* note = new QLabel(tr("This process will merge two mp3 files without introducing sync "
                               "errors. Due to the nature of the mp3 format, however, other small "
                               "errors may occur on the boundary."),
                            this);
    note->setWordWrap(true);

    input1_ = new QLineEdit(PathText(path), this);
    input2_ = new QLineEdit(this);
    output_ = new QLineEdit(this);
    auto* browse_input2 = new QToolButton(this);
    auto* browse_output = new QToolButton(this);
    browse_input2->setText(QStringLiteral("..."));
    browse_output->setText(QStringLiteral("..."));
    browse_input2->setToolTip(tr("Choose the file to append"));
    browse_output->setToolTip(tr("Choose where the joined file goes"));
    connect(browse_input2, &QToolButton::clicked, this, &CAppendDlg::BrowseInput2);
    connect(browse_output, &QToolButton::clicked, this, &CAppendDlg::BrowseOutput);

    auto* files = new QGridLayout;
    const auto add_row = [&](int row, const QString& label, QLineEdit* edit, QToolButton* browse) {
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        files->addWidget(caption, row, 0);
        files->addWidget(edit, row, 1);
        if (browse != nullptr) {
            files->addWidget(browse, row, 2);
        }
    };
    add_row(0, tr("Input File &1:"), input1_, nullptr);
    add_row(1, tr("Input File &2:"), input2_, browse_input2);
    add_row(2, tr("&Output File:"), output_, browse_output);

    auto* tags = new QGroupBox(tr("ID3v1 Tags"), this);
    copy_first_ = new QRadioButton(tr("Copy from &first file"), tags);
    copy_second_ = new QRadioButton(tr("Copy from &second file"), tags);
    ignore_ = new QRadioButton(tr("&Ignore"), tags);
    copy_first_->setChecked(true);
    auto* tags_layout = new QVBoxLayout(tags);
    tags_layout->addWidget(copy_first_);
    tags_layout->addWidget(copy_second_);
    tags_layout->addWidget(ignore_);

    new_header_ = new QCheckBox(tr("Write a new &VBR header"), this);
    new_header_->setChecked(true);
    new_header_->setToolTip(tr("Starts the joined file with a header that gives players its "
                               "true length and lets them seek in it"));

    progress_ = new QProgressBar(this);
    progress_->setRange(0, kPercentDone);
    progress_->setValue(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAppendDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAppendDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(files);
    layout->addWidget(tags);
    layout->addWidget(new_header_);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

CAppendDlg::~CAppendDlg() {
    pump_.Detach();
    StopWorker();
}

QString CAppendDlg::StartFolder() const {
    return QFileInfo(input1_->text()).absolutePath();
}

void CAppendDlg::BrowseInput2() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("Input File 2"), StartFolder(), tr(kMp3Filter));
    if (!chosen.isEmpty()) {
        input2_->setText(chosen);
    }
}

void CAppendDlg::BrowseOutput() {
    QFileDialog dialog(this, tr("Output File"), StartFolder(), tr(kMp3Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        output_->setText(dialog.selectedFiles().front());
    }
}

void CAppendDlg::accept() {
    if (worker_) {
        return;  // already joining
    }
    // An empty or overlong path: the field gets the focus back.
    for (QLineEdit* edit : {input1_, input2_, output_}) {
        if (edit->text().isEmpty() || edit->text().size() > kMaxPathLength) {
            QApplication::beep();
            edit->setFocus();
            return;
        }
    }
    const std::string input1 = PathBytes(input1_->text());
    const std::string input2 = PathBytes(input2_->text());
    const std::string output = PathBytes(output_->text());
    if (OutputIsAnInput(input1, input2, output)) {
        QMessageBox::warning(this, tr("Error"),
                             tr("Output file cannot equal one of the input files... enter a "
                                "different path"));
        output_->setFocus();
        return;
    }
    AppendChoice choice;
    choice.copy_first_tag = copy_first_->isChecked();
    choice.copy_second_tag = copy_second_->isChecked();
    choice.new_vbr_header = new_header_->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{ok_, input1_, input2_, output_}) {
        control->setEnabled(false);
    }
    Log([&] { return "CAppendDlg: joining " + input1 + " and " + input2 + " into " + output; });
    worker_ = std::make_unique<CAppendThread>();
    worker_->Start(pump_.target(), record_, input1, input2, output, choice);
}

void CAppendDlg::reject() {
    // The join stops within one chunk; its temporary file goes with it.
    StopWorker();
    QDialog::reject();
}

void CAppendDlg::StopWorker() {
    if (worker_) {
        worker_->Stop();
        worker_.reset();
    }
}

bool CAppendDlg::TakeWorkerMessage(Message& message) {
    if (!worker_) {
        return false;  // a stopped join's last words
    }
    if (message.id == kMsgNotice) {
        const auto* text = std::get_if<std::string>(&message.payload);
        // The join goes on, and the box stays with the list after this
        // dialog has closed.
        ShowWorkerNotice(static_cast<NoticeKind>(message.wparam),
                         text != nullptr ? QString::fromStdString(*text) : QString(),
                         parentWidget());
    } else if (message.id == kMsgWorkDone) {
        StopWorker();
        QDialog::accept();
        return false;
    } else if (message.id == kMsgProgress) {
        progress_->setValue(static_cast<int>(message.wparam));
    }
    return true;
}

}  // namespace vandrel
