#include "engine/verdicts/TextReports.h"

#include <algorithm>
#include <cstdio>

#include "engine/frame/FrameHeader.h"

namespace vandrel {

namespace {

constexpr const char* kCrLf = "\r\n";

// Characters, not bytes: names are UTF-8.
size_t TextWidth(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// "label<blanks up to width>: value" and a line end.
std::string LabelLine(std::string_view label, size_t width, std::string_view value) {
    std::string line(label);
    if (line.size() < width) {
        line.append(width - line.size(), ' ');
    }
    line += ": ";
    line += value;
    line += kCrLf;
    return line;
}

std::string Ruler() {
    return std::string(kReportRulerWidth, '-') + kCrLf;
}

std::string BitrateRows(const ScanRecord& record) {
    uint32_t most = 0;
    for (int i = 0; i < 15; ++i) {
        most = std::max(most, record.bitrate_index_counts[i]);
    }
    if (most == 0) {
        most = 1;
    }
    std::string rows;
    for (int i = 0; i < 15; ++i) {
        const uint32_t count = record.bitrate_index_counts[i];
        if (count == 0) {
            continue;
        }
        const auto bar = static_cast<size_t>(uint64_t{count} * 40 / most);
        char percent[32];
        std::snprintf(percent, sizeof percent, "%.1f%%",
                      count * 100.0 / std::max(record.frames, 1));
        char line[160];
        std::snprintf(line, sizeof line, "%3d     %s%s%7s\r\n",
                      BitrateKbps(record.is_mpeg1, record.layer, i), std::string(bar, '|').c_str(),
                      std::string(45 - bar, ' ').c_str(), percent);
        rows += line;
    }
    return rows;
}

}  // namespace

namespace {

void FillMpegPlusTextPage(TextPageData& page, const ScanRecord& record) {
    AttributeTexts texts;
    BuildAttributeTexts(texts, record, false);
    page.rows = {
        {"Type", texts[kSlotType]},
        {"Stream Version", texts[kSlotMpcStream]},
        {"Profile", texts[kSlotMpcProfile]},
        {"Average Bitrate", texts[kSlotBitrate]},
        {"Mode", texts[kSlotStereoMode]},
        {"Frequency", texts[kSlotFrequency] + "Hz"},
        {"Number of Frames", texts[kSlotFrames]},
        {"Length", texts[kSlotLength]},
        {"Size", texts[kSlotSize]},
        {"Encoder (guess)", texts[kSlotEncoder]},
        {"Quality", texts[kSlotQuality]},
    };
}

}  // namespace

void FillTextPage(TextPageData& page, const ScanRecord& record) {
    if (page.layout == TextPageLayout::kMpegPlus) {
        FillMpegPlusTextPage(page, record);
        return;
    }
    AttributeTexts texts;
    BuildAttributeTexts(texts, record, false);

    page.SetChecked("Padding", record.padding_used != 0);
    page.SetChecked("Scalefac_scale", record.scalefac_scale_count != 0);
    page.SetChecked("Scfsi", record.scfsi_used != 0);
    page.SetChecked("Copyright", record.copyright != 0);
    page.SetChecked("Original", record.original != 0);
    page.SetChecked("Xing Header", record.has_xing != 0);
    page.SetChecked("VBR", record.is_vbr != 0);
    page.SetChecked("Bad Last Frame", record.last_frame_complete == 0);

    page.rows = {
        {"Type", texts[kSlotType]},
        {"Average Bitrate", texts[kSlotBitrate]},
        {"Mode", texts[kSlotStereoMode]},
        {"Frequency", texts[kSlotFrequency] + "Hz"},
        {"Number of Frames", texts[kSlotFrames]},
        {"First Frame Position", texts[kSlotFirstFrame]},
        {"ID3v2 Tag Size", texts[kSlotId3v2Size]},
        {"Length", texts[kSlotLength]},
        {"Max. Reservoir", texts[kSlotMaxReservoir]},
        {"Av. Reservoir", texts[kSlotAvReservoir]},
        {"Sync Errors", texts[kSlotSyncErrors]},
        {"Emphasis", texts[kSlotEmphasis]},
        {"Scalefac", texts[kSlotScalefac]},
        {"Encoder (guess)", texts[kSlotEncoder]},
    };
}

std::string BuildLameHeaderText(const AttributeTexts& texts, const ScanRecord& record) {
    constexpr size_t kShortWidth = 20;
    if (record.has_xing == 0 || record.xing.has_lame_tag == 0) {
        return LabelLine("Lame Header", kShortWidth, "No");
    }
    const std::pair<const char*, int> lines[] = {
        {"Quality", kSlotLameQuality},
        {"Version String", kSlotEncoder},
        {"Tag Revision", kSlotLameRevision},
        {"VBR Method", kSlotLameVbrMethod},
        {"Lowpass Filter", kSlotLameLowpass},
        {"Psycho-acoustic Model", kSlotLamePsychoModel},
        {"Safe Joint Stereo", kSlotLameSafeJoint},
        {"nogap (continued)", kSlotLameNogapContinued},
        {"nogap (continuation)", kSlotLameNogapContinuation},
        {"ATH Type", kSlotLameAthType},
        {"ABR Bitrate", kSlotLameAbrBitrate},
        {"Noise Shaping", kSlotLameNoiseShaping},
        {"Stereo Mode", kSlotLameStereoMode},
        {"Unwise Settings Used", kSlotLameUnwise},
        {"Input Frequency", kSlotLameInputFrequency},
    };
    size_t width = 0;
    for (const auto& [label, slot] : lines) {
        width = std::max(width, std::string_view(label).size());
    }
    width += 2;
    std::string text = "\r\nLame Header:\r\n\r\n";
    for (const auto& [label, slot] : lines) {
        text += LabelLine(label, width, texts[slot]);
    }
    return text;
}

std::string BuildInfoReport(const AttributeTexts& texts, const ScanRecord& record) {
    constexpr size_t kLabelWidth = 20;
    const std::string& name_slot = texts[kSlotName];
    const size_t slash = name_slot.find_last_of('/');
    const std::string name = slash == std::string::npos ? name_slot : name_slot.substr(slash + 1);

    std::string report = name + kCrLf;
    report += std::string(TextWidth(name), '-') + kCrLf + kCrLf;
    report += std::string("Bitrates:") + kCrLf + Ruler();
    report += BitrateRows(record);
    report += Ruler() + kCrLf;

    const std::pair<const char*, std::string> lines[] = {
        {"Type", texts[kSlotType]},
        {"Bitrate", texts[kSlotBitrate]},
        {"Mode", texts[kSlotStereoMode]},
        {"Frequency", texts[kSlotFrequency] + " Hz"},
        {"Frames", texts[kSlotFrames]},
        {"ID3v2 Size", texts[kSlotId3v2Size]},
        {"First Frame Pos", texts[kSlotFirstFrame]},
        {"Length", texts[kSlotLength]},
        {"Max. Reservoir", texts[kSlotMaxReservoir]},
        {"Av. Reservoir", texts[kSlotAvReservoir]},
        {"Emphasis", texts[kSlotEmphasis]},
        {"Scalefac", texts[kSlotScalefac]},
        {"Bad Last Frame", texts[kSlotBadLastFrame]},
        {"Encoder", texts[kSlotEncoder]},
    };
    for (const auto& [label, value] : lines) {
        report += LabelLine(label, kLabelWidth, value);
    }
    report += BuildLameHeaderText(texts, record);
    report += kCrLf;
    return report;
}

}  // namespace vandrel
