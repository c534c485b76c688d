#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "engine/core/PageHost.h"

namespace vandrel {

// Where a media file's Details pages sit and whether they show, as the file
// last told its host: each page fills a part of the page area (its slot) and
// is shown or hidden. Pages are numbered as the file made them, below kCount;
// `pages` holds the host's handles of those made so far. The host hears of
// every placing, and of a change in what shows only.
class PageWindows {
public:
    static constexpr size_t kCount = 4;

    // Pages just made: hidden, each filling the whole area.
    void Reset();
    // The page area, as MovePages got it.
    void SetArea(const PageRect& area) { area_ = area; }
    void Place(PageHost* host, std::span<const PageHost::PageHandle> pages, size_t page,
               PageSlot slot);
    void Show(PageHost* host, std::span<const PageHost::PageHandle> pages, size_t page,
              bool visible);

    bool Visible(size_t page) const { return visible_[page]; }
    PageSlot Slot(size_t page) const { return slots_[page]; }

private:
    PageRect area_{};
    std::array<PageSlot, kCount> slots_{};
    std::array<bool, kCount> visible_{};
};

}  // namespace vandrel
