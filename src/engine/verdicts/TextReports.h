#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

// The "Text Info" page as data: an attribute/value list and a row of check
// boxes. The Details dialog draws it.
struct TextPageData {
    static constexpr size_t kMaxCheckBoxes = 16;
    struct CheckBox {
        std::string key;
        std::string label;
        bool checked = false;
    };
    std::vector<CheckBox> check_boxes;  // the n-th registered box is the page's n-th
    std::vector<std::pair<std::string, std::string>> rows;
    bool info_button_visible = false;

    void RegisterCheckBox(std::string key, std::string label);
    void SetChecked(std::string_view key, bool checked);
};

// Registers the page's eight check boxes in their order on the page.
void RegisterTextPageCheckBoxes(TextPageData& page);

// Fills the check boxes and the fourteen rows from a record (the mono option off).
void FillTextPage(TextPageData& page, const ScanRecord& record);

// Fills the rows of an MPEG Plus file's page from its record; it has no check boxes.
void FillMpegPlusTextPage(TextPageData& page, const ScanRecord& record);

// Width of the "Bitrates:" block's rulers.
constexpr size_t kReportRulerWidth = 60;

// The "Copy Info" report: lines ended by CR LF.
std::string BuildInfoReport(const AttributeTexts& texts, const ScanRecord& record);

// The LAME section of the report.
std::string BuildLameHeaderText(const AttributeTexts& texts, const ScanRecord& record);

}  // namespace vandrel
