#pragma once

#include <map>
#include <string_view>
#include <vector>

#include <QWidget>

#include "engine/core/PageHost.h"

class QTabBar;

namespace vandrel {

class CSpectrumPage;

// The tab area of the Details dialog: a tab bar over a page area. The media
// file creates its pages through the PageHost calls and says which part of the
// page area each fills; this widget owns the page
// widgets and tells the dialog when a tab was chosen and when the page area
// changed size, so that the dialog can pass both on to the media file
// (ShowPage, MovePages). After the media file's tabs it may hold one more of
// its own, "Spectrum", whose page it shows, hides and places itself: the
// media file's ShowPage finds no page kind for that tab and hides all of its
// own. GUI thread only.
class CDetailsPages : public QWidget, public PageHost {
    Q_OBJECT
public:
    explicit CDetailsPages(QWidget* parent = nullptr);

    PageHandle CreateTextPage(const TextPageData& page_data) override;
    void FillTextPage(TextPageData& page_data, const ScanRecord& record) override;
    PageHandle CreateHistogram(const HistogramData& histogram) override;
    void AddTab(std::string_view title) override;
    void RefreshPage(PageHandle page) override;
    void DestroyPage(PageHandle page) override;
    void MovePage(PageHandle page, const PageRect& area, PageSlot slot) override;
    void SetPageVisible(PageHandle page, bool visible) override;

    // Makes `tab` the current tab and emits TabSelected for it, also when it
    // already was the current one (the dialog shows its first page this way).
    void SelectTab(int tab);
    // Removes all tabs without emitting TabSelected.
    void RemoveTabs();
    // Deletes every page widget; their handles stay unused.
    void DestroyAllPages();

    // Adds the "Spectrum" tab after the others, and its page; one at most.
    CSpectrumPage* AddSpectrumTab();
    // Deletes the spectrum's page; its tab goes with the next RemoveTabs.
    void DestroySpectrumPage();
    // The spectrum's page, nullptr when there is none.
    CSpectrumPage* SpectrumPage() const { return spectrum_; }

    QTabBar* TabBar() const { return tab_bar_; }
    QWidget* PageArea() const { return page_area_; }
    // The whole page area in its own coordinates, as MovePages takes it.
    PageRect PageAreaRect() const;
    // The widget of a live page, nullptr for an unknown or destroyed handle.
    QWidget* Page(PageHandle page) const;
    // The live pages' handles in the order they were created.
    std::vector<PageHandle> Pages() const;

signals:
    // The user or SelectTab chose `tab`; the dialog calls the media file's ShowPage.
    void TabSelected(int tab);
    // The page area changed size; the dialog calls the media file's MovePages.
    void PageAreaResized(vandrel::PageRect rect);
    // The text page's "Info" button was pressed.
    void InfoRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PageHandle AddPage(QWidget* widget);
    void ShowSpectrumFor(int tab);

    QTabBar* tab_bar_ = nullptr;
    QWidget* page_area_ = nullptr;
    // Children of the page area; Qt deletes whatever is left with it.
    std::map<PageHandle, QWidget*> pages_;
    // Handles count up and are never given out twice, so a media file that
    // still holds a handle of a destroyed page cannot reach a newer one.
    PageHandle next_handle_ = 1;
    CSpectrumPage* spectrum_ = nullptr;  // a child of the page area
    int spectrum_tab_ = -1;
};

}  // namespace vandrel
