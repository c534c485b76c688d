#include "ui/settings/SettingsSheet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace vandrel {

namespace {

constexpr const char* kRejectedProperty = "vandrelRejected";
constexpr int kLastPageNumber = 9;

}  // namespace

void CSettingsPage::RejectEntry(QLineEdit* field, const QString& expected) {
    QApplication::beep();
    field->setFocus();
    field->selectAll();
    // The page may come on screen only now; the focus goes there once it has.
    QTimer::singleShot(0, field, [field] { field->setFocus(); });
    field->setToolTip(expected);
    field->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
    field->setProperty(kRejectedProperty, true);
    // Any edit takes the mark away; the entry is checked again at the next OK.
    QObject::connect(
        field, &QLineEdit::textEdited, field,
        [field] {
            field->setStyleSheet({});
            field->setToolTip({});
            field->setProperty(kRejectedProperty, false);
        },
        Qt::SingleShotConnection);
}

bool CSettingsPage::IsRejected(const QLineEdit* field) {
    return field->property(kRejectedProperty).toBool();
}

SettingsSheet::SettingsSheet(QWidget* parent) : QDialog(parent), tabs_(new QTabWidget(this)) {
    setWindowTitle(tr("Settings"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);
    resize(600, 500);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsSheet::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (CSettingsPage* page = PageAt(index)) {
            shown_.insert(page);
        }
    });
}

void SettingsSheet::AddPage(CSettingsPage* page) {
    tabs_->addTab(page, page->windowTitle());
    if (tabs_->count() == 1) {
        shown_.insert(page);  // the first tab is current from the start
    }
}

void SettingsSheet::OpenOn(int page) {
    tabs_->setCurrentIndex(page >= 0 && page <= kLastPageNumber && page < tabs_->count() ? page
                                                                                         : 0);
}

CSettingsPage* SettingsSheet::PageAt(int index) const {
    return qobject_cast<CSettingsPage*>(tabs_->widget(index));
}

void SettingsSheet::accept() {
    for (int i = 0; i < tabs_->count(); ++i) {
        CSettingsPage* page = PageAt(i);
        if (page == nullptr || !shown_.contains(page)) {
            continue;
        }
        if (!page->Apply()) {
            // The page shows its invalid entry; the sheet stays for a correction.
            tabs_->setCurrentIndex(i);
            return;
        }
    }
    QDialog::accept();
}

bool QtUserQuestion::AskYesNo(std::string_view caption, std::string_view text) {
    return QMessageBox::question(QApplication::activeWindow(),
                                 QString::fromUtf8(caption.data(), qsizetype(caption.size())),
                                 QString::fromUtf8(text.data(), qsizetype(text.size())),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace vandrel
