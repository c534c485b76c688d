#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vandrel {

// The rows a text page lists, by the kind of file it describes.
enum class TextPageLayout {
    kMpegAudio,  // fourteen rows under eight check boxes
    kMpegPlus,   // eleven rows, no check boxes
};

// The "Text Info" page as data: an attribute/value list and a row of check
// boxes. The Details dialog draws it; the media file owns it, and its page
// host fills it from a record (PageHost::FillTextPage).
struct TextPageData {
    static constexpr size_t kMaxCheckBoxes = 16;
    struct CheckBox {
        std::string key;
        std::string label;
        bool checked = false;
    };
    TextPageLayout layout = TextPageLayout::kMpegAudio;
    std::vector<CheckBox> check_boxes;  // the n-th registered box is the page's n-th
    std::vector<std::pair<std::string, std::string>> rows;
    bool info_button_visible = false;

    void RegisterCheckBox(std::string key, std::string label);
    void SetChecked(std::string_view key, bool checked);
};

// Registers the eight check boxes of an MPEG audio file's page in their order
// on the page.
void RegisterTextPageCheckBoxes(TextPageData& page);

}  // namespace vandrel
