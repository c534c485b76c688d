#include "engine/media/VandrelMp3File.h"

#include <algorithm>
#include <utility>

#include "engine/core/SettingsTable.h"
#include "engine/frame/FrameHeader.h"

namespace vandrel {

namespace {

constexpr const char* kColorSection = "mp3_colors";

// Each colour's key, in the order the keys are written.
constexpr auto kColorKeys = std::to_array<SettingKey<Mp3GraphColors>>({
    Key<&Mp3GraphColors::big_base>("big_base"),
    Key<&Mp3GraphColors::res_base>("res_base"),
    Key<&Mp3GraphColors::bit_base>("bit_base"),
    Key<&Mp3GraphColors::big_high>("big_high"),
    Key<&Mp3GraphColors::res_high>("res_high"),
    Key<&Mp3GraphColors::bit_high>("bit_high"),
});

// Changed only at start-up, before any file is shown.
Mp3GraphColors g_graph_colors;

}  // namespace

CVandrelMp3File::CVandrelMp3File() : record_(ZeroRecord()) {
    histograms_[kBitrateHistogram].kind = HistogramKind::kBitrateCounts;
    histograms_[kBitrateHistogram].title = "Bitrate Distribution";
    histograms_[kBitrateHistogram].decimals = 0;
    histograms_[kBlockHistogram].kind = HistogramKind::kBlockTypes;
    histograms_[kBlockHistogram].title = "Block Type";
    histograms_[kBlockHistogram].decimals = 1;
    histograms_[kBlockHistogram].labels = {"long", "short", "mixed"};
    histograms_[kStereoHistogram].kind = HistogramKind::kStereoTypes;
    histograms_[kStereoHistogram].title = "Joint Stereo Type";
    histograms_[kStereoHistogram].decimals = 1;
    histograms_[kStereoHistogram].labels = {"ss", "is", "ms", "mixed"};
}

CVandrelMp3File::CVandrelMp3File(const CVandrelMp3File& other)
    : CMp3File(other), flag_(other.flag_), text_page_(other.text_page_),
      histograms_(other.histograms_), record_(other.record_), bound_counts_(other.bound_counts_) {}

std::unique_ptr<CMediaFileInterface> CVandrelMp3File::Clone() const {
    return std::make_unique<CVandrelMp3File>(*this);
}

void CVandrelMp3File::BuildHistograms() {
    HistogramData& bitrates = histograms_[kBitrateHistogram];
    bitrates.values.assign(std::begin(record_.bitrate_index_counts),
                           std::end(record_.bitrate_index_counts));
    bitrates.labels = {"Free"};
    for (int i = 1; i <= 14; ++i) {
        bitrates.labels.push_back(std::to_string(BitrateKbps(record_.is_mpeg1, record_.layer, i)));
    }
    histograms_[kBlockHistogram].values = {static_cast<float>(record_.long_blocks),
                                           static_cast<float>(record_.short_blocks),
                                           static_cast<float>(record_.mixed_blocks)};
    HistogramData& stereo = histograms_[kStereoHistogram];
    if (record_.layer == 1 || record_.layer == 2) {
        BuildBoundHistogram();
        return;
    }
    stereo.title = "Joint Stereo Type";
    stereo.labels = {"ss", "is", "ms", "mixed"};
    stereo.values.assign(std::begin(record_.stereo_type_counts),
                         std::end(record_.stereo_type_counts));
}

void CVandrelMp3File::BuildBoundHistogram() {
    // The mode extension of a Layer I or II joint-stereo frame is the first
    // subband coded in intensity stereo: 4, 8, 12 or 16, up to the last, 31.
    HistogramData& stereo = histograms_[kStereoHistogram];
    stereo.title = "Intensity Stereo Subbands";
    stereo.labels = {"none", "4-31", "8-31", "12-31", "16-31"};
    if (record_.mode != kModeJointStereo) {
        // None of the file's frames codes any subband in intensity stereo.
        stereo.values = {static_cast<float>(std::max(record_.frames, 0)), 0, 0, 0, 0};
    } else if (bound_counts_.empty()) {
        stereo.values.clear();  // known once the walk has ended
    } else {
        stereo.values = {0};
        stereo.values.insert(stereo.values.end(), bound_counts_.begin(), bound_counts_.end());
    }
}

bool CVandrelMp3File::ChartsSideBySide() const {
    return record_.layer == 3 && record_.mode == kModeJointStereo;
}

bool CVandrelMp3File::SetScanResult(const ScanRecord& record) {
    if (page_host_ != nullptr) {
        page_host_->FillTextPage(text_page_, record);
    }
    record_ = record;
    BuildHistograms();
    PlaceHistograms();
    // A chart that had no data when its tab was chosen may have some now.
    ShowTabPages();
    RefreshAll();
    return true;
}

bool CVandrelMp3File::UpdatePages(const ScanRecord& record, const FrameSeries* series) {
    record_ = record;
    if (series != nullptr && (record_.layer == 1 || record_.layer == 2)) {
        bound_counts_.assign(4, 0.0f);
        for (uint32_t extension : (*series)[FrameSeries::kModeExtension]) {
            bound_counts_[extension & 3] += 1;
        }
        BuildHistograms();
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
    BuildHistograms();
    text_page_.check_boxes.clear();
    RegisterTextPageCheckBoxes(text_page_);
    pages_ = {host.CreateTextPage(text_page_), host.CreateHistogram(histograms_[0]),
              host.CreateHistogram(histograms_[1]), host.CreateHistogram(histograms_[2])};
    visible_.fill(false);
    slots_.fill(PageSlot::kWhole);
    shown_tab_ = -1;
    host.AddTab("Bit Histogram");
    host.AddTab("Other Info");
    host.AddTab("Text Info");
    page_kinds_ = {kPageBitHistogram, kPageOtherInfo, kPageTextInfo};
    return true;
}

void CVandrelMp3File::PlacePage(size_t page, PageSlot slot) {
    slots_[page] = slot;
    if (page_host_ != nullptr && page < pages_.size()) {
        page_host_->MovePage(pages_[page], area_, slot);
    }
}

void CVandrelMp3File::ShowPageWindow(size_t page, bool visible) {
    if (visible_[page] == visible && page_host_ != nullptr) {
        return;
    }
    visible_[page] = visible;
    if (page_host_ != nullptr && page < pages_.size()) {
        page_host_->SetPageVisible(pages_[page], visible);
    }
}

bool CVandrelMp3File::MovePages(const PageRect& rect) {
    area_ = rect;
    for (size_t page = 0; page < kPageCount; ++page) {
        PlacePage(page, PageSlot::kWhole);
    }
    if (ChartsSideBySide()) {
        PlacePage(PageOf(kStereoHistogram), PageSlot::kLeftHalf);
        PlacePage(PageOf(kBlockHistogram), PageSlot::kRightHalf);
    }
    return true;
}

bool CVandrelMp3File::HasData(Histogram which) const {
    const std::vector<float>& values = histograms_[which].values;
    return std::any_of(values.begin(), values.end(), [](float value) { return value > 0; });
}

void CVandrelMp3File::PlaceHistograms() {
    if (!ChartsSideBySide() || !HasData(kStereoHistogram)) {
        return;
    }
    const size_t stereo = PageOf(kStereoHistogram);
    const size_t block = PageOf(kBlockHistogram);
    if (slots_[stereo] == slots_[block]) {
        // Both still fill the whole tab, as for a file without joint stereo.
        PlacePage(stereo, PageSlot::kLeftHalf);
        PlacePage(block, PageSlot::kRightHalf);
    }
}

void CVandrelMp3File::ShowTabPages() {
    std::array<bool, kPageCount> show{};
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
        show[PageOf(kBlockHistogram)] = HasData(kBlockHistogram);
        show[PageOf(kStereoHistogram)] =
            (record_.layer != 3 || record_.mode == kModeJointStereo) && HasData(kStereoHistogram);
        break;
    case kPageTextInfo:
        show[kTextPage] = true;
        break;
    default:
        break;  // kinds 1, 3, 4 and above 5 show nothing
    }
    // Hidden first, so that two pages never overlap on the screen.
    for (size_t page = 0; page < kPageCount; ++page) {
        if (!show[page]) {
            ShowPageWindow(page, false);
        }
    }
    for (size_t page = 0; page < kPageCount; ++page) {
        if (show[page]) {
            ShowPageWindow(page, true);
        }
    }
}

bool CVandrelMp3File::ShowPage(int tab) {
    shown_tab_ = tab;
    ShowTabPages();
    return true;
}

bool CVandrelMp3File::ReleaseFrameData() {
    for (HistogramData& histogram : histograms_) {
        histogram.values.clear();
    }
    bound_counts_.clear();
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
    LoadSettingKeys(settings, kColorSection, kColorKeys, g_graph_colors);
    return true;
}

bool CVandrelMp3File::SavePageSettings(SettingsStore& settings) const {
    SaveSettingKeys(settings, kColorSection, kColorKeys, g_graph_colors);
    return true;
}

const Mp3GraphColors& CVandrelMp3File::GraphColors() {
    return g_graph_colors;
}

}  // namespace vandrel
