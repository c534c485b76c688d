#include "engine/media/VandrelMp3File.h"

#include <gtest/gtest.h>

#include <map>

namespace vandrel {
namespace {

// Records what the media file asks of the dialog's pages.
class FakeHost : public PageHost {
public:
    PageHandle CreateTextPage(const TextPageData&) override { return Create("text"); }
    PageHandle CreateHistogram(const HistogramData& data) override { return Create(data.title); }
    void AddTab(std::string_view title) override { tabs.emplace_back(title); }
    void RefreshPage(PageHandle) override {}
    void DestroyPage(PageHandle page) override { destroyed.push_back(page); }
    void MovePage(PageHandle page, const PageRect& rect) override { rects[page] = rect; }
    void SetPageVisible(PageHandle page, bool visible) override { shown[page] = visible; }

    // The titles of the pages now shown, in handle order.
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const auto& [page, visible] : shown) {
            if (visible) {
                out.push_back(names.at(page));
            }
        }
        return out;
    }

    std::map<PageHandle, std::string> names;
    std::vector<std::string> tabs;
    std::vector<PageHandle> destroyed;
    std::map<PageHandle, PageRect> rects;
    std::map<PageHandle, bool> shown;

private:
    PageHandle Create(std::string name) {
        const PageHandle page = next_++;
        names[page] = std::move(name);
        return page;
    }
    PageHandle next_ = 10;
};

ScanRecord Record(int mode, int is_mpeg1 = 1) {
    ScanRecord r = ZeroRecord();
    r.kind = 1;
    r.is_mpeg1 = is_mpeg1;
    r.not_mpeg25 = 1;
    r.layer = 3;
    r.mode = mode;
    r.frames = 3;
    r.bitrate_index_counts[9] = 2;
    r.long_blocks = 7;
    r.short_blocks = 1;
    r.stereo_type_counts[2] = 2;
    return r;
}

TEST(VandrelMp3File, AddsThreeTabsAndShowsThePagesOfEachKind) {
    FakeHost host;
    CVandrelMp3File file;
    ASSERT_TRUE(file.CreatePages("Sans", host, 0));
    EXPECT_EQ(host.tabs, (std::vector<std::string>{"Bit Histogram", "Other Info", "Text Info"}));
    EXPECT_EQ(file.HistogramAt(CVandrelMp3File::kBlockHistogram).font_face, "Sans");
    file.SetScanResult(Record(0));

    file.ShowPage(0);
    EXPECT_EQ(host.Shown(), std::vector<std::string>{"Bitrate Distribution"});
    file.ShowPage(1);
    EXPECT_EQ(host.Shown(), std::vector<std::string>{"Block Type"});  // not joint stereo
    file.ShowPage(2);
    EXPECT_EQ(host.Shown(), std::vector<std::string>{"text"});
    file.ShowPage(7);  // no such tab: nothing shows
    EXPECT_TRUE(host.Shown().empty());

    file.SetScanResult(Record(1));
    file.ShowPage(1);
    EXPECT_EQ(host.Shown(), (std::vector<std::string>{"Block Type", "Joint Stereo Type"}));

    file.DestroyPages();
    EXPECT_EQ(host.destroyed.size(), 4u);
}

TEST(VandrelMp3File, SplitsTheOtherInfoTabForJointStereo) {
    FakeHost host;
    CVandrelMp3File file;
    file.CreatePages("", host, 0);
    const PageRect whole{0, 0, 400, 300};
    // Placed before the result is known: every page fills the tab.
    file.MovePages(whole);
    EXPECT_EQ(file.PageRectAt(2), whole);
    file.ShowPage(1);
    EXPECT_FALSE(file.PageVisible(3));

    // The result says joint stereo: the second chart appears, side by side.
    file.SetScanResult(Record(1));
    EXPECT_TRUE(file.PageVisible(3));
    EXPECT_EQ(file.PageRectAt(3), (PageRect{0, 0, 195, 300}));    // "Joint Stereo Type"
    EXPECT_EQ(file.PageRectAt(2), (PageRect{205, 0, 400, 300}));  // "Block Type"
    EXPECT_EQ(host.rects[12], (PageRect{205, 0, 400, 300}));

    // Later moves keep the split.
    file.MovePages({0, 0, 200, 100});
    EXPECT_EQ(file.PageRectAt(3), (PageRect{0, 0, 95, 100}));
    EXPECT_EQ(file.PageRectAt(0), (PageRect{0, 0, 200, 100}));
}

TEST(VandrelMp3File, BuildsTheHistogramsFromTheRecord) {
    CVandrelMp3File file;
    file.SetScanResult(Record(1, 0));  // MPEG-2
    const HistogramData& bitrates = file.HistogramAt(CVandrelMp3File::kBitrateHistogram);
    ASSERT_EQ(bitrates.values.size(), 16u);
    EXPECT_EQ(bitrates.values[9], 2.0f);
    EXPECT_EQ(bitrates.labels.front(), "Free");
    EXPECT_EQ(bitrates.labels.back(), "160");  // the MPEG-2 row
    EXPECT_EQ(file.HistogramAt(CVandrelMp3File::kBlockHistogram).values,
              (std::vector<float>{7, 1, 0}));
    EXPECT_EQ(file.HistogramAt(CVandrelMp3File::kStereoHistogram).values,
              (std::vector<float>{0, 0, 2, 0}));
    EXPECT_EQ(file.HistogramAt(CVandrelMp3File::kStereoHistogram).labels,
              (std::vector<std::string>{"ss", "is", "ms", "mixed"}));  // in the order of the counts

    file.SetScanResult(Record(1, 1));
    EXPECT_EQ(file.HistogramAt(CVandrelMp3File::kBitrateHistogram).labels.back(), "320");

    // A clone keeps the data but not the dialog's windows.
    const auto copy = file.Clone();
    auto* clone = dynamic_cast<CVandrelMp3File*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->Record().frames, 3);
    EXPECT_EQ(clone->TextPage().rows.size(), 14u);

    file.ReleaseFrameData();
    EXPECT_TRUE(file.HistogramAt(CVandrelMp3File::kBitrateHistogram).values.empty());
}

}  // namespace
}  // namespace vandrel
