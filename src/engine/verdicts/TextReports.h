#pragma once

#include <string>

#include "engine/core/ScanRecord.h"
#include "engine/core/TextPageData.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

// Fills the page from a record (the mono option off), as its layout has it:
// for MPEG audio the check boxes and the fourteen rows, for MPEG Plus the
// eleven rows (it has no check boxes).
void FillTextPage(TextPageData& page, const ScanRecord& record);

// Width of the "Bitrates:" block's rulers.
constexpr size_t kReportRulerWidth = 60;

// The "Copy Info" report: lines ended by CR LF.
std::string BuildInfoReport(const AttributeTexts& texts, const ScanRecord& record);

// The LAME section of the report.
std::string BuildLameHeaderText(const AttributeTexts& texts, const ScanRecord& record);

}  // namespace vandrel
