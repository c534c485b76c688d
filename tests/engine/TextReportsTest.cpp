#include "engine/verdicts/TextReports.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

ScanRecord CbrRecord(int frames, int index = 9) {
    ScanRecord r = ZeroRecord();
    r.kind = 1;
    r.is_mpeg1 = 1;
    r.not_mpeg25 = 1;
    r.layer = 3;
    r.mode = 1;
    r.channels = 2;
    r.frames = frames;
    r.whole_file_scanned = 1;
    r.bitrate_index_counts[index] = static_cast<uint32_t>(frames);
    return r;
}

std::string Report(const ScanRecord& r, const std::string& name = "/music/a.mp3") {
    AttributeTexts texts;
    BuildAttributeTexts(texts, r, false);
    texts[kSlotName] = name;
    return BuildInfoReport(texts, r);
}

// The lines of the "Bitrates:" block between its two rulers.
std::vector<std::string> BitrateRows(const std::string& report) {
    const std::string ruler = std::string(60, '-') + "\r\n";
    const size_t first = report.find(ruler) + ruler.size();
    const size_t second = report.find(ruler, first);
    std::vector<std::string> rows;
    for (size_t at = first; at < second;) {
        const size_t end = report.find("\r\n", at);
        rows.push_back(report.substr(at, end - at));
        at = end + 2;
    }
    return rows;
}

TEST(InfoReport, DrawsOneBarPerBitrateUsed) {
    EXPECT_EQ(BitrateRows(Report(CbrRecord(1000))),
              std::vector<std::string>{"128     " + std::string(40, '|') + "      100.0%"});

    ScanRecord vbr = CbrRecord(1000);
    vbr.bitrate_index_counts[9] = 600;
    vbr.bitrate_index_counts[1] = 150;
    vbr.bitrate_index_counts[14] = 250;
    const std::vector<std::string> rows = BitrateRows(Report(vbr));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], " 32     " + std::string(10, '|') + std::string(35, ' ') + "  15.0%");
    EXPECT_EQ(rows[1], "128     " + std::string(40, '|') + std::string(5, ' ') + "  60.0%");
    EXPECT_EQ(rows[2], "320     " + std::string(16, '|') + std::string(29, ' ') + "  25.0%");

    // No frames: no rows.
    EXPECT_TRUE(BitrateRows(Report(CbrRecord(0))).empty());
}

TEST(InfoReport, BeginsWithTheFileNameAndEndsWithTheLameSection) {
    const std::string report = Report(CbrRecord(10), "/music/Süß.mp3");
    EXPECT_EQ(report.substr(0, report.find("\r\n\r\n") + 4),
              "Süß.mp3\r\n-------\r\n\r\n");  // as many dashes as characters
    EXPECT_NE(report.find("Frequency           : 0 Hz\r\n"), std::string::npos);
    // Without a LAME tag: one line, then the empty line that ends the report.
    const std::string ending = "Lame Header         : No\r\n\r\n";
    EXPECT_EQ(report.substr(report.size() - ending.size()), ending);
}

TEST(TextPage, ChecksItsBoxesAndListsFourteenRows) {
    TextPageData page;
    RegisterTextPageCheckBoxes(page);
    ASSERT_EQ(page.check_boxes.size(), 8u);
    ScanRecord r = CbrRecord(100);
    r.scalefac_scale_count = 57;
    r.padding_used = 1;
    r.last_frame_complete = 0;
    r.sample_rate = 48000;
    FillTextPage(page, r);
    std::vector<std::string> checked;
    for (const auto& box : page.check_boxes) {
        if (box.checked) {
            checked.push_back(box.label);
        }
    }
    EXPECT_EQ(checked, (std::vector<std::string>{"Padding", "Scalefac_scale", "Bad Last Frame"}));
    ASSERT_EQ(page.rows.size(), 14u);
    EXPECT_EQ(page.rows[3].first, "Frequency");
    EXPECT_EQ(page.rows[3].second, "48000Hz");
}

}  // namespace
}  // namespace vandrel
