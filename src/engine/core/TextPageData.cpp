#include "engine/core/TextPageData.h"

namespace vandrel {

void TextPageData::RegisterCheckBox(std::string key, std::string label) {
    if (check_boxes.size() < kMaxCheckBoxes) {
        check_boxes.push_back({std::move(key), std::move(label), false});
    }
}

void TextPageData::SetChecked(std::string_view key, bool checked) {
    for (CheckBox& box : check_boxes) {
        if (box.key == key) {
            box.checked = checked;
        }
    }
}

void RegisterTextPageCheckBoxes(TextPageData& page) {
    for (const char* label : {"Padding", "Xing Header", "Scalefac_scale", "VBR", "Scfsi",
                              "Original", "Bad Last Frame", "Copyright"}) {
        page.RegisterCheckBox(label, label);
    }
}

}  // namespace vandrel
