#include "engine/media/PageWindows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandrel {
namespace {

// A host that notes each move and each show or hide it is told of.
class NotingHost : public PageHost {
public:
    PageHandle CreateTextPage(const TextPageData&) override { return 0; }
    void FillTextPage(TextPageData&, const ScanRecord&) override {}
    PageHandle CreateHistogram(const HistogramData&) override { return 0; }
    void AddTab(std::string_view) override {}
    void RefreshPage(PageHandle) override {}
    void DestroyPage(PageHandle) override {}
    void MovePage(PageHandle page, const PageRect& area, PageSlot) override {
        calls.push_back("move " + std::to_string(page) + " in " + std::to_string(area.right));
    }
    void SetPageVisible(PageHandle page, bool visible) override {
        calls.push_back((visible ? "show " : "hide ") + std::to_string(page));
    }
    std::vector<std::string> calls;
};

TEST(PageWindows, TellTheHostOfEveryPlacingAndOfChangesInWhatShows) {
    NotingHost host;
    const std::vector<PageHost::PageHandle> pages = {10, 11};
    PageWindows windows;
    windows.Reset();
    windows.SetArea({0, 0, 600, 400});
    windows.Place(&host, pages, 1, PageSlot::kLeftHalf);
    windows.Place(&host, pages, 1, PageSlot::kLeftHalf);
    windows.Show(&host, pages, 1, true);
    windows.Show(&host, pages, 1, true);
    windows.Show(&host, pages, 0, false);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"move 11 in 600", "move 11 in 600", "show 11"}))
        << "the host's calls";
    EXPECT_EQ(windows.Slot(1), PageSlot::kLeftHalf) << "slot of page 1";
    EXPECT_TRUE(windows.Visible(1)) << "page 1 shown";

    // Without a host, or for a page not made, only the state changes.
    windows.Show(nullptr, pages, 0, true);
    windows.Show(&host, pages, 3, true);
    EXPECT_EQ(host.calls.size(), 3u) << "calls for pages without a host or handle";
    EXPECT_TRUE(windows.Visible(0)) << "page 0 shown without a host";
    EXPECT_TRUE(windows.Visible(3)) << "page 3 shown without a handle";
    windows.Reset();
    EXPECT_FALSE(windows.Visible(1)) << "page 1 after Reset";
    EXPECT_EQ(windows.Slot(1), PageSlot::kWhole) << "slot of page 1 after Reset";
}

}  // namespace
}  // namespace vandrel
