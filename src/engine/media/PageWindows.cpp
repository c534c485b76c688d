#include "engine/media/PageWindows.h"

namespace vandrel {

void PageWindows::Reset() {
    visible_.fill(false);
    slots_.fill(PageSlot::kWhole);
}

void PageWindows::Place(PageHost* host, std::span<const PageHost::PageHandle> pages, size_t page,
                        PageSlot slot) {
    slots_[page] = slot;
    if (host != nullptr && page < pages.size()) {
        host->MovePage(pages[page], area_, slot);
    }
}

void PageWindows::Show(PageHost* host, std::span<const PageHost::PageHandle> pages, size_t page,
                       bool visible) {
    if (visible_[page] == visible && host != nullptr) {
        return;
    }
    visible_[page] = visible;
    if (host != nullptr && page < pages.size()) {
        host->SetPageVisible(pages[page], visible);
    }
}

}  // namespace vandrel
