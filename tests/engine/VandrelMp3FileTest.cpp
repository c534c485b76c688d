#include "engine/media/VandrelMp3File.h"

#include <gtest/gtest.h>

#include "engine/verdicts/TextReports.h"

namespace vandrel {
namespace {

// A dialog that hands out page handles, fills text pages and draws nothing.
class NullHost : public PageHost {
public:
    PageHandle CreateTextPage(const TextPageData&) override { return 0; }
    void FillTextPage(TextPageData& data, const ScanRecord& record) override {
        vandrel::FillTextPage(data, record);
    }
    PageHandle CreateHistogram(const HistogramData&) override { return 0; }
    void AddTab(std::string_view) override {}
    void RefreshPage(PageHandle) override {}
    void DestroyPage(PageHandle) override {}
    void MovePage(PageHandle, const PageRect&, PageSlot) override {}
    void SetPageVisible(PageHandle, bool) override {}
};

TEST(VandrelMp3File, BuildsTheTextPageAndTheHistogramsFromTheRecord) {
    NullHost host;
    CVandrelMp3File file;
    ASSERT_TRUE(file.CreatePages("Sans", host, 0));
    ScanRecord r = ZeroRecord();  // MPEG-2
    r.layer = 3;
    r.padding_used = 1;
    r.bitrate_index_counts[9] = 2;
    r.long_blocks = 7;
    r.short_blocks = 1;
    r.stereo_type_counts[2] = 2;
    file.SetScanResult(r);

    const TextPageData& page = file.TextPage();
    ASSERT_EQ(page.check_boxes.size(), 8u);
    EXPECT_TRUE(page.check_boxes[0].checked);  // "Padding"
    EXPECT_TRUE(page.check_boxes[6].checked);  // "Bad Last Frame"
    // The charts' contents: Mp3Charts' tests.
    EXPECT_EQ(file.HistogramAt(CVandrelMp3File::kBitrateHistogram).values.at(9), 2.0f)
        << "bitrate chart made from the record";

    // "Other Info" (tab 1) shows the histograms that have data: a Layer II
    // file in joint stereo has no blocks and no stereo coding to show.
    r.layer = 2;
    r.mode = 1;
    r.long_blocks = 0;
    r.short_blocks = 0;
    r.stereo_type_counts[2] = 0;
    file.SetScanResult(r);
    file.ShowPage(1);
    EXPECT_FALSE(file.PageVisible(1 + CVandrelMp3File::kBlockHistogram));
    EXPECT_FALSE(file.PageVisible(1 + CVandrelMp3File::kStereoHistogram));
}

TEST(VandrelMp3File, OtherInfoOfLayerOneAndTwoShowsTheIntensityStereoBound) {
    NullHost host;
    CVandrelMp3File file;
    ASSERT_TRUE(file.CreatePages("Sans", host, 0));
    file.ShowPage(1);  // "Other Info"
    const size_t page = 1 + CVandrelMp3File::kStereoHistogram;
    const HistogramData& chart = file.HistogramAt(CVandrelMp3File::kStereoHistogram);
    // A stereo Layer II file codes no subband in intensity stereo.
    ScanRecord r = ZeroRecord();
    r.layer = 2;
    r.frames = 100;
    file.SetScanResult(r);
    EXPECT_TRUE(file.PageVisible(page)) << "stereo file's chart shown";
    // A joint-stereo one counts its frames by mode extension once the walk ended.
    r.mode = 1;
    FrameSeries series;
    series[FrameSeries::kModeExtension] = {1, 1, 3};
    file.UpdatePages(r, &series);
    EXPECT_TRUE(file.PageVisible(page)) << "joint-stereo file's chart shown";
    EXPECT_EQ(chart.values, (std::vector<float>{0, 0, 2, 0, 1})) << "joint-stereo file's counts";
}

TEST(VandrelMp3File, ShowsAChartOfTheShownTabOnceItsDataArrives) {
    NullHost host;
    CVandrelMp3File file;
    ASSERT_TRUE(file.CreatePages("Sans", host, 0));
    file.MovePages({0, 0, 600, 400});
    file.ShowPage(1);  // "Other Info" before the first record
    EXPECT_FALSE(file.PageVisible(1 + CVandrelMp3File::kBlockHistogram)) << "no data yet";

    ScanRecord r = ZeroRecord();
    r.is_mpeg1 = 1;
    r.layer = 3;
    r.mode = 1;  // joint stereo
    r.long_blocks = 4;
    r.stereo_type_counts[2] = 2;
    file.SetScanResult(r);
    EXPECT_TRUE(file.PageVisible(1 + CVandrelMp3File::kBlockHistogram)) << "block chart shown";
    EXPECT_TRUE(file.PageVisible(1 + CVandrelMp3File::kStereoHistogram)) << "stereo chart shown";
    EXPECT_FALSE(file.PageVisible(1 + CVandrelMp3File::kBitrateHistogram))
        << "other tabs' pages stay hidden";
}

}  // namespace
}  // namespace vandrel
