#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/TextPageData.h"
#include "engine/media/Mp3File.h"

namespace vandrel {

// The colours of the Details dialog's histograms as 0x00BBGGRR values: the
// base and highlight shade of the big-values, reservoir and bitrate graphs.
struct Mp3GraphColors {
    int big_base = 0xA56D39;
    int res_base = 0xA56D39;
    int bit_base = 0xA56D39;
    int big_high = 0xC3884F;
    int res_high = 0xC3884F;
    int bit_high = 0xC3884F;
};

// Which of the Details dialog's charts a histogram is; the dialog gives each its colours.
enum class HistogramKind : int {
    kBitrateCounts,
    kBlockTypes,
    kStereoTypes,
};

// One bar chart of the Details dialog, as data.
struct HistogramData {
    HistogramKind kind = HistogramKind::kBitrateCounts;
    std::string title;
    int decimals = 0;  // 0: shares shown without decimals, else with one
    std::vector<float> values;
    std::vector<std::string> labels;
};

// The analysing MPEG audio file: the scanner of CMp3File plus the statistics
// and pages the Details dialog shows.
class CVandrelMp3File : public CMp3File {
public:
    enum Histogram : size_t { kBitrateHistogram = 0, kBlockHistogram = 1, kStereoHistogram = 2 };

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
    // The graph colours, section "mp3_colors". They are one process-wide
    // value shared by every file, read at start-up and written back at exit.
    bool LoadPageSettings(const SettingsStore& settings) override;
    bool SavePageSettings(SettingsStore& settings) const override;
    static const Mp3GraphColors& GraphColors();

    const TextPageData& TextPage() const { return text_page_; }
    const HistogramData& HistogramAt(Histogram which) const { return histograms_[which]; }
    const ScanRecord& Record() const { return record_; }
    // Whether the page window is shown, and the part of the page area it fills
    // (text page, then the three histograms in their order).
    bool PageVisible(size_t page) const { return visible_[page]; }
    PageSlot PageSlotAt(size_t page) const { return slots_[page]; }

private:
    static constexpr size_t kPageCount = 4;
    static constexpr size_t kTextPage = 0;
    static size_t PageOf(Histogram which) { return 1 + which; }

    void BuildHistograms();
    // Layer I and II have no granules and no stereo coding per frame: their
    // stereo chart shows the intensity-stereo bound of the mode extension.
    void BuildBoundHistogram();
    // Whether the stereo chart and the block chart share the tab.
    bool ChartsSideBySide() const;
    void PlacePage(size_t page, PageSlot slot);
    void ShowPageWindow(size_t page, bool visible);
    // Gives a joint-stereo file's "Other Info" tab its two charts side by side.
    void PlaceHistograms();
    // Shows the pages of the shown tab that have something to show, hides the rest.
    void ShowTabPages();
    bool HasData(Histogram which) const;
    void RefreshAll();

    uint8_t flag_ = 0;
    TextPageData text_page_;
    std::array<HistogramData, 3> histograms_;
    ScanRecord record_;
    // Layer I and II joint-stereo frames by mode extension, from the frame
    // series of a whole walk; empty until one came.
    std::vector<float> bound_counts_;
    PageRect area_{};  // the page area of the last MovePages
    std::array<PageSlot, kPageCount> slots_{};
    std::array<bool, kPageCount> visible_{};
    int shown_tab_ = -1;  // the tab of the last ShowPage
};

}  // namespace vandrel
