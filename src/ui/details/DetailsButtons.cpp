#include "ui/details/DetailsButtons.h"

#include <QHBoxLayout>
#include <QObject>
#include <QProgressBar>
#include <QPushButton>

namespace vandrel {

namespace {

constexpr int kPercentDone = 100;
// Room between the progress bar and the buttons.
constexpr int kProgressGap = 20;

}  // namespace

CDetailsButtons::CDetailsButtons(QWidget* dialog) {
    progress_ = new QProgressBar(dialog);
    progress_->setTextVisible(false);
    go_to_folder_ = new QPushButton(QObject::tr("&Go To Folder"), dialog);
    refresh_ = new QPushButton(QObject::tr("&Refresh"), dialog);
    copy_ = new QPushButton(QObject::tr("Copy &Info"), dialog);
    close_ = new QPushButton(QObject::tr("Close"), dialog);
    for (QPushButton* button : {go_to_folder_, refresh_, copy_}) {
        button->setAutoDefault(false);
    }
    close_->setDefault(true);

    layout_ = new QHBoxLayout;
    layout_->addWidget(progress_, 1);
    layout_->addSpacing(kProgressGap);
    layout_->addStretch();
    layout_->addWidget(go_to_folder_);
    layout_->addWidget(refresh_);
    layout_->addWidget(copy_);
    layout_->addWidget(close_);
}

void CDetailsButtons::ShowScanning(bool with_progress) {
    progress_->setRange(0, kPercentDone);
    progress_->setValue(0);
    progress_->setVisible(with_progress);
    refresh_->setEnabled(false);
    copy_->setEnabled(false);
}

void CDetailsButtons::ShowFinished() {
    progress_->setValue(0);
    progress_->hide();
    refresh_->setEnabled(true);
    copy_->setEnabled(true);
}

}  // namespace vandrel
