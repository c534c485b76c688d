#include "ui/details/DetailsPages.h"

#include <algorithm>

#include <QApplication>
#include <QDebug>
#include <QEvent>
#include <QSignalBlocker>
#include <QTabBar>
#include <QThread>
#include <QVBoxLayout>

#include "engine/media/VandrelMp3File.h"
#include "engine/verdicts/TextReports.h"
#include "ui/details/Histogram.h"
#include "ui/details/SpectrumPage.h"
#include "ui/details/TextInfoPage.h"

namespace vandrel {

namespace {

void AssertGuiThread() {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
}

// Pixels between two pages that share the area side by side.
constexpr int kMiddleGap = 10;

// The pixels of `slot` in `area`. PageRect's right and bottom edges lie just
// outside the rectangle; QRect's inside.
QRect SlotRect(const PageRect& area, PageSlot slot) {
    const int middle = (area.left + area.right) / 2;
    int left = area.left;
    int right = area.right;
    if (slot == PageSlot::kLeftHalf) {
        right = middle - kMiddleGap / 2;
    } else if (slot == PageSlot::kRightHalf) {
        left = middle + kMiddleGap / 2;
    }
    return {left, area.top, std::max(0, right - left), std::max(0, area.bottom - area.top)};
}

}  // namespace

CDetailsPages::CDetailsPages(QWidget* parent)
    : QWidget(parent), tab_bar_(new QTabBar(this)), page_area_(new QWidget(this)) {
    tab_bar_->setExpanding(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tab_bar_);
    layout->addWidget(page_area_, 1);
    connect(tab_bar_, &QTabBar::currentChanged, this, [this](int tab) {
        if (tab >= 0) {
            emit TabSelected(tab);
        }
    });
    // Connected before the dialog's own connection, which has the media file
    // show its pages: the spectrum's page is placed first.
    connect(this, &CDetailsPages::TabSelected, this, &CDetailsPages::ShowSpectrumFor);
    page_area_->installEventFilter(this);
}

CDetailsPages::PageHandle CDetailsPages::AddPage(QWidget* widget) {
    widget->hide();
    const PageHandle handle = next_handle_++;
    pages_.emplace(handle, widget);
    return handle;
}

CDetailsPages::PageHandle CDetailsPages::CreateTextPage(const TextPageData& page_data) {
    AssertGuiThread();
    auto* page = new CTextInfoDlg(page_data, page_area_);
    connect(page, &CTextInfoDlg::InfoRequested, this, &CDetailsPages::InfoRequested);
    return AddPage(page);
}

void CDetailsPages::FillTextPage(TextPageData& page_data, const ScanRecord& record) {
    vandrel::FillTextPage(page_data, record);
}

CDetailsPages::PageHandle CDetailsPages::CreateHistogram(const HistogramData& histogram) {
    AssertGuiThread();
    return AddPage(new CHistogram(histogram, page_area_));
}

void CDetailsPages::AddTab(std::string_view title) {
    AssertGuiThread();
    // The first tab becomes current on its own; the media file is still
    // creating its pages then, so the dialog picks the tab afterwards.
    const QSignalBlocker blocker(tab_bar_);
    tab_bar_->addTab(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
}

void CDetailsPages::RefreshPage(PageHandle page) {
    AssertGuiThread();
    QWidget* widget = Page(page);
    if (auto* histogram = qobject_cast<CHistogram*>(widget)) {
        histogram->Refresh();
    } else if (auto* text = qobject_cast<CTextInfoDlg*>(widget)) {
        text->Refresh();
    }
}

void CDetailsPages::DestroyPage(PageHandle page) {
    AssertGuiThread();
    const auto found = pages_.find(page);
    if (found == pages_.end()) {
        qDebug() << "CDetailsPages: DestroyPage of unknown page" << page << "ignored";
        return;
    }
    // Deleted at once, not later: the media file may free the page's data
    // right after this call.
    delete found->second;
    pages_.erase(found);
}

void CDetailsPages::MovePage(PageHandle page, const PageRect& area, PageSlot slot) {
    AssertGuiThread();
    if (QWidget* widget = Page(page)) {
        widget->setGeometry(SlotRect(area, slot));
    }
}

void CDetailsPages::SetPageVisible(PageHandle page, bool visible) {
    AssertGuiThread();
    if (QWidget* widget = Page(page)) {
        widget->setVisible(visible);
    }
}

void CDetailsPages::SelectTab(int tab) {
    AssertGuiThread();
    {
        const QSignalBlocker blocker(tab_bar_);
        tab_bar_->setCurrentIndex(tab);
    }
    if (tab >= 0 && tab < tab_bar_->count()) {
        emit TabSelected(tab);
    }
}

void CDetailsPages::RemoveTabs() {
    AssertGuiThread();
    const QSignalBlocker blocker(tab_bar_);
    while (tab_bar_->count() > 0) {
        tab_bar_->removeTab(tab_bar_->count() - 1);
    }
    spectrum_tab_ = -1;
}

void CDetailsPages::DestroyAllPages() {
    AssertGuiThread();
    for (const auto& [handle, widget] : pages_) {
        delete widget;
    }
    pages_.clear();
    DestroySpectrumPage();
}

CSpectrumPage* CDetailsPages::AddSpectrumTab() {
    AssertGuiThread();
    if (spectrum_ == nullptr) {
        spectrum_ = new CSpectrumPage(page_area_);
        spectrum_->hide();
        spectrum_->setGeometry(page_area_->rect());
    }
    if (spectrum_tab_ < 0 || spectrum_tab_ >= tab_bar_->count()) {
        const QSignalBlocker blocker(tab_bar_);
        spectrum_tab_ = tab_bar_->addTab(tr("Spectrum"));
    }
    return spectrum_;
}

void CDetailsPages::DestroySpectrumPage() {
    AssertGuiThread();
    delete spectrum_;
    spectrum_ = nullptr;
}

void CDetailsPages::ShowSpectrumFor(int tab) {
    if (spectrum_ != nullptr) {
        spectrum_->setVisible(tab == spectrum_tab_);
    }
}

PageRect CDetailsPages::PageAreaRect() const {
    return {0, 0, page_area_->width(), page_area_->height()};
}

QWidget* CDetailsPages::Page(PageHandle page) const {
    const auto found = pages_.find(page);
    return found == pages_.end() ? nullptr : found->second;
}

std::vector<CDetailsPages::PageHandle> CDetailsPages::Pages() const {
    std::vector<PageHandle> handles;
    handles.reserve(pages_.size());
    for (const auto& [handle, widget] : pages_) {
        handles.push_back(handle);
    }
    return handles;
}

bool CDetailsPages::eventFilter(QObject* watched, QEvent* event) {
    if (watched == page_area_ && event->type() == QEvent::Resize) {
        if (spectrum_ != nullptr) {
            spectrum_->setGeometry(page_area_->rect());
        }
        emit PageAreaResized(PageAreaRect());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vandrel
