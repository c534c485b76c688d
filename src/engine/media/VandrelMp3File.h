#pragma once

#include <memory>
#include <string_view>

#include "engine/core/TextPageData.h"
#include "engine/media/Mp3Charts.h"
#include "engine/media/Mp3File.h"
#include "engine/media/Mp3GraphColors.h"
#include "engine/media/PageWindows.h"

namespace vandrel {

// The analysing MPEG audio file: the scanner of CMp3File plus the pages the
// Details dialog shows: the text page and the charts of Mp3Charts.
class CVandrelMp3File : public CMp3File {
public:
    using Histogram = Mp3Charts::Histogram;
    using enum Mp3Charts::Histogram;

    CVandrelMp3File();
    // Copies the page data and the record; the page windows stay with the original.
    CVandrelMp3File(const CVandrelMp3File& other);
    CVandrelMp3File& operator=(const CVandrelMp3File&) = delete;

    std::unique_ptr<CMediaFileInterface> Clone() const override;

    bool SetScanResult(const ScanRecord& record) override;
    bool UpdatePages(const ScanRecord& record, const FrameSeries* series) override;
    bool CreatePages(std::string_view font_face, PageHost& host, int option) override;
    bool MovePages(const PageRect& rect) override;
    bool ShowPage(int tab) override;
    bool ReleaseFrameData() override;
    // The graph colours (see LoadGraphColors).
    bool LoadPageSettings(const SettingsStore& settings) override;
    bool SavePageSettings(SettingsStore& settings) const override;

    const TextPageData& TextPage() const { return text_page_; }
    const HistogramData& HistogramAt(Histogram which) const { return charts_.At(which); }
    const ScanRecord& Record() const { return record_; }
    // Whether the page window is shown, and the part of the page area it fills
    // (text page, then the three histograms in their order).
    bool PageVisible(size_t page) const { return windows_.Visible(page); }
    PageSlot PageSlotAt(size_t page) const { return windows_.Slot(page); }

private:
    static constexpr size_t kTextPage = 0;
    static size_t PageOf(Histogram which) { return 1 + which; }

    // Whether the stereo chart and the block chart share the tab.
    bool ChartsSideBySide() const;
    // Gives a joint-stereo file's "Other Info" tab its two charts side by side.
    void PlaceHistograms();
    // Shows the pages of the shown tab that have something to show, hides the rest.
    void ShowTabPages();
    void RefreshAll();

    TextPageData text_page_;
    Mp3Charts charts_;
    ScanRecord record_;
    PageWindows windows_;  // text page, then the three charts in their order
    int shown_tab_ = -1;   // the tab of the last ShowPage
};

}  // namespace vandrel
