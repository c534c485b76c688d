#pragma once

#include <string_view>

#include "engine/core/ScanRecord.h"

namespace vandrel {

struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PageRect&) const = default;
};

// The part of the page area a page fills. Where exactly, in pixels, is the
// host's decision.
enum class PageSlot : int {
    kWhole,
    kLeftHalf,
    kRightHalf,
};

struct TextPageData;
struct HistogramData;

// The Details dialog's side of a media file's pages. The dialog owns the
// widgets, which draw the data the media file keeps up to date; the media file
// decides which pages exist, which part of the page area each fills and which
// one shows, and refers to each page by the handle the host gave out.
class PageHost {
public:
    using PageHandle = int;
    virtual ~PageHost() = default;
    // Pages are created hidden; the data outlives them.
    virtual PageHandle CreateTextPage(const TextPageData& data) = 0;
    // Fills a text page's check boxes and rows from a record, as the page's
    // layout has them: the attribute texts are the dialog's to make.
    virtual void FillTextPage(TextPageData& data, const ScanRecord& record) = 0;
    virtual PageHandle CreateHistogram(const HistogramData& data) = 0;
    virtual void AddTab(std::string_view title) = 0;
    // The page's data changed: redraw it.
    virtual void RefreshPage(PageHandle page) = 0;
    virtual void DestroyPage(PageHandle page) = 0;
    // Places the page in its slot of `area`, the page area as MovePages got it.
    virtual void MovePage(PageHandle page, const PageRect& area, PageSlot slot) = 0;
    virtual void SetPageVisible(PageHandle page, bool visible) = 0;
};

}  // namespace vandrel
