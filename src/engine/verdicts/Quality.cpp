#include "engine/verdicts/Quality.h"

#include <algorithm>
#include <initializer_list>

#include "engine/frame/FrameHeader.h"
#include "engine/media/MpcFile.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel {

namespace {

bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) {
        if (text.find(part) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

constexpr std::string_view kMpcEncoder = "mppenc";

// LAME 3.100 and later (a minor version of three digits, or a major above 3),
// and LAME as a library named by its host ("Lame (Lavc58.18)"): as good as
// the 3.9x releases they follow.
bool IsCurrentLame(std::string_view encoder) {
    constexpr std::string_view kLame = "Lame ";
    if (!encoder.starts_with(kLame)) {
        return false;
    }
    encoder.remove_prefix(kLame.size());
    if (encoder.starts_with("(")) {
        return true;
    }
    const size_t dot = encoder.find('.');
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dot == std::string_view::npos || !digits(encoder.substr(0, dot))) {
        return false;
    }
    const std::string_view minor = encoder.substr(dot + 1, encoder.find(' ', dot) - dot - 1);
    return digits(minor) && (encoder.substr(0, dot) != "3" || minor.size() >= 3);
}

bool IsLameVbrMethod(int method) {
    return method == kVbrMethodOld || method == kVbrMethodMtrh || method == kVbrMethodMt;
}

}  // namespace

int LameSettingQuality(const ScanRecord& record) {
    const int preset = LamePreset(record);
    if (IsLameVbrMethod(record.xing.vbr_method)) {
        if (preset >= kLamePresetV2 && preset <= kLamePresetV0) {
            return kQualityGood;
        }
        if (preset >= kLamePresetV4 && preset < kLamePresetV2) {
            return kQualityOk;
        }
    }
    switch (preset) {
    case kLamePresetStandard:
    case kLamePresetExtreme:
    case kLamePresetInsane:
    case kLamePresetStandardFast:
    case kLamePresetExtremeFast:
        return kQualityGood;
    case kLamePresetMedium:
    case kLamePresetMediumFast:
        return kQualityOk;
    default:
        return -1;
    }
}

int EncoderClass(std::string_view encoder) {
    if (ContainsAny(encoder, {"FhG", "Lame 3.8", "Lame 3.9", "Gogo (after 3.0)"}) ||
        IsCurrentLame(encoder)) {
        return 1;
    }
    if (ContainsAny(encoder, {"Blade", "dist", "QDesign (fast mode)", "Shine", "Xing"})) {
        return -1;
    }
    if (ContainsAny(encoder, {"RCA", "Thomson"})) {
        return 3;
    }
    if (ContainsAny(encoder, {kMpcEncoder})) {
        return 2;
    }
    return 0;
}

int EstimateQuality(std::string_view encoder, std::string_view mode_text, const ScanRecord& record,
                    bool mono_quality) {
    const int c = EncoderClass(encoder);
    // MPEG Plus is judged against MPEG-1 Layer III bitrates.
    const bool mpc = encoder.find(kMpcEncoder) != std::string_view::npos;
    const int row = mpc ? BitrateRow(1, 3) : BitrateRow(record.is_mpeg1 != 0 ? 1 : 0, record.layer);
    if (row < 0 || row >= static_cast<int>(kBitrates.size())) {
        return kQualityBad;  // no version and layer to judge by
    }
    const auto& rates = kBitrates[static_cast<size_t>(row)];

    double q = record.average_bitrate;
    if (mode_text == "mono" && mono_quality) {
        q *= 1.85;
    }
    if (mode_text == "stereo") {
        q *= 0.9;  // plain stereo spends bits that joint stereo saves
    }
    if (record.is_vbr == 1) {
        q *= 1.2;
    }
    int quality = kQualityBad;
    if (q > rates[static_cast<size_t>(10 - c)]) {
        quality = kQualityGood;
    } else if (q > rates[static_cast<size_t>(8 - c)]) {
        quality = kQualityOk;
    }
    return std::max(quality, LameSettingQuality(record));
}

std::string_view QualityText(int quality_class) {
    switch (quality_class) {
    case kQualityGood:
        return "good";
    case kQualityOk:
        return "ok";
    default:
        return "bad";
    }
}

std::string_view GeneralTypeText(const ScanRecord& record) {
    switch (record.kind) {
    case 1:
        return "MPEG Audio";
    case 4:
        return "MPEG Plus";
    default:
        return "Unknown";
    }
}

RecordVerdict JudgeMpegPlus(const ScanRecord& record, bool mono_quality) {
    // A version 8 stream may name its encoder and version ("mpcenc 1.30.1");
    // the estimate judges every MPEG Plus stream as the family's.
    const std::string_view named_encoder = EncoderText(record);
    RecordVerdict verdict{std::string(named_encoder.empty() ? kMpcEncoder : named_encoder), true,
                          kQualityNone};
    verdict.quality_class =
        EstimateQuality(kMpcEncoder, ChannelModeName(record.mode), record, mono_quality);
    return verdict;
}

void FillMpegPlusTexts(const ScanRecord& record, const RecordVerdict& verdict,
                       AttributeTexts& texts) {
    texts[kSlotMpcStream] = "SV" + std::to_string(record.mpc_stream_version);
    texts[kSlotMpcProfile] = MpcRecordProfileName(record.mpc_stream_version, record.mpc_profile);
    texts[kSlotEncoder] = verdict.encoder;
    texts[kSlotType] = "mpeg plus";
    texts[kSlotQuality] = QualityText(verdict.quality_class);
    texts[kSlotVbr] = record.is_vbr != 0 ? "yes" : "no";
    for (int slot : {kSlotSyncErrors, kSlotLameTag, kSlotScalefac, kSlotMaxReservoir,
                     kSlotBadLastFrame, kSlotAvReservoir, kSlotCueSheet}) {
        texts[slot] = "--";
    }
}

}  // namespace vandrel
