#include "engine/media/VandrelMp3File.h"

#include <array>

#include "engine/frame/FrameHeader.h"

namespace vandrel {

CVandrelMp3File::CVandrelMp3File() : record_(ZeroRecord()) {}

CVandrelMp3File::CVandrelMp3File(const CVandrelMp3File& other)
    : CMp3File(other), text_page_(other.text_page_), charts_(other.charts_),
      record_(other.record_) {}

std::unique_ptr<CMediaFileInterface> CVandrelMp3File::Clone() const {
    return std::make_unique<CVandrelMp3File>(*this);
}

bool CVandrelMp3File::ChartsSideBySide() const {
    return record_.layer == 3 && record_.mode == kModeJointStereo;
}

bool CVandrelMp3File::SetScanResult(const ScanRecord& record) {
    if (page_host_ != nullptr) {
        page_host_->FillTextPage(text_page_, record);
    }
    record_ = record;
    charts_.Build(record_);
    PlaceHistograms();
    // A chart that had no data when its tab was chosen may have some now.
    ShowTabPages();
    RefreshAll();
    return true;
}

bool CVandrelMp3File::UpdatePages(const ScanRecord& record, const FrameSeries* series) {
    record_ = record;
    if (series != nullptr && (record_.layer == 1 || record_.layer == 2)) {
        charts_.CountBounds(*series);
        charts_.Build(record_);
        RefreshAll();
    }
    PlaceHistograms();
    ShowTabPages();
    return true;
}

// The pages take their font from the dialog they sit in, so the face name is
// not needed here.
bool CVandrelMp3File::CreatePages(std::string_view /*font_face*/, PageHost& host, int /*option*/) {
    DestroyPages();
    page_host_ = &host;
    charts_.Build(record_);
    text_page_.check_boxes.clear();
    RegisterTextPageCheckBoxes(text_page_);
    pages_ = {host.CreateTextPage(text_page_), host.CreateHistogram(charts_.At(kBitrateHistogram)),
              host.CreateHistogram(charts_.At(kBlockHistogram)),
              host.CreateHistogram(charts_.At(kStereoHistogram))};
    windows_.Reset();
    shown_tab_ = -1;
    host.AddTab("Bit Histogram");
    host.AddTab("Other Info");
    host.AddTab("Text Info");
    page_kinds_ = {kPageBitHistogram, kPageOtherInfo, kPageTextInfo};
    return true;
}

bool CVandrelMp3File::MovePages(const PageRect& rect) {
    windows_.SetArea(rect);
    for (size_t page = 0; page < PageWindows::kCount; ++page) {
        windows_.Place(page_host_, pages_, page, PageSlot::kWhole);
    }
    if (ChartsSideBySide()) {
        windows_.Place(page_host_, pages_, PageOf(kStereoHistogram), PageSlot::kLeftHalf);
        windows_.Place(page_host_, pages_, PageOf(kBlockHistogram), PageSlot::kRightHalf);
    }
    return true;
}

void CVandrelMp3File::PlaceHistograms() {
    if (!ChartsSideBySide() || !charts_.HasData(kStereoHistogram)) {
        return;
    }
    const size_t stereo = PageOf(kStereoHistogram);
    const size_t block = PageOf(kBlockHistogram);
    if (windows_.Slot(stereo) == windows_.Slot(block)) {
        // Both still fill the whole tab, as for a file without joint stereo.
        windows_.Place(page_host_, pages_, stereo, PageSlot::kLeftHalf);
        windows_.Place(page_host_, pages_, block, PageSlot::kRightHalf);
    }
}

void CVandrelMp3File::ShowTabPages() {
    std::array<bool, PageWindows::kCount> show{};
    const int kind = shown_tab_ >= 0 && static_cast<size_t>(shown_tab_) < page_kinds_.size()
                         ? page_kinds_[static_cast<size_t>(shown_tab_)]
                         : -1;
    switch (kind) {
    case kPageBitHistogram:
        show[PageOf(kBitrateHistogram)] = true;
        break;
    case kPageOtherInfo:
        // Histograms without data (Layer I and II have no blocks) stay
        // hidden; Layer I and II show their intensity-stereo chart whatever
        // the mode, so that the tab is never blank.
        show[PageOf(kBlockHistogram)] = charts_.HasData(kBlockHistogram);
        show[PageOf(kStereoHistogram)] = (record_.layer != 3 || record_.mode == kModeJointStereo) &&
                                         charts_.HasData(kStereoHistogram);
        break;
    case kPageTextInfo:
        show[kTextPage] = true;
        break;
    default:
        break;  // kinds 1, 3, 4 and above 5 show nothing
    }
    // Hidden first, so that two pages never overlap on the screen.
    for (size_t page = 0; page < PageWindows::kCount; ++page) {
        if (!show[page]) {
            windows_.Show(page_host_, pages_, page, false);
        }
    }
    for (size_t page = 0; page < PageWindows::kCount; ++page) {
        if (show[page]) {
            windows_.Show(page_host_, pages_, page, true);
        }
    }
}

bool CVandrelMp3File::ShowPage(int tab) {
    shown_tab_ = tab;
    ShowTabPages();
    return true;
}

bool CVandrelMp3File::ReleaseFrameData() {
    charts_.Clear();
    RefreshAll();
    return true;
}

void CVandrelMp3File::RefreshAll() {
    if (page_host_ == nullptr) {
        return;
    }
    for (PageHost::PageHandle page : pages_) {
        page_host_->RefreshPage(page);
    }
}

bool CVandrelMp3File::LoadPageSettings(const SettingsStore& settings) {
    LoadGraphColors(settings);
    return true;
}

bool CVandrelMp3File::SavePageSettings(SettingsStore& settings) const {
    SaveGraphColors(settings);
    return true;
}

}  // namespace vandrel
