#include "engine/verdicts/EncoderId.h"

#include <array>
#include <numeric>

namespace vandrel {

namespace {

// The decision table's names, by row.
constexpr std::array<const char*, 27> kDecisionNames = {
    "",
    "Shine",
    "Unknown",
    "Xing (very old)",
    "Xing (new)",
    "Plugger",
    "Xing (old)",
    "FhG (ACM or producer pro)",
    "FhG (l3enc)",
    "FhG (fastenc or mp3enc)",
    "QDesign (fast mode)",
    "Unknown",
    "Lame (old) or m3e",
    "Gogo (after 3.0)",
    "FhG (fastenc)",
    "FhG (ACM or producer pro)",
    "FhG (fastenc, low quality mode)",
    "FhG (l3enc)",
    "FhG (fastenc, medium or high quality mode)",
    "FhG (l3enc or fastenc)",
    "Thomson mp3PRO Encoder",
    "FhG (fastenc or mp3enc)",
    "QDesign",
    "Lame (old)",
    "Gogo (before 3.0)",
    "Blade",
    "dist10 encoder or other encoder",
};

// The two rows of statistics that fit no encoder the table knows ("Unknown").
constexpr int kNoEncoderRow = 2;
constexpr int kNoPatternRow = 11;

// Frames a walk must have read before a lack of short blocks and of
// reservoir use counts as Shine's.
constexpr int kShineEvidenceFrames = 10;

// The program named by a LAME-style tag that another program wrote with its
// own version in it ("Lavc59.37"), when the encoder text was made from that
// tag ("Lame (Lavc59.37)"); empty otherwise.
std::string_view HostOfLameStyleTag(const ScanRecord& r) {
    const std::string_view version = LameVersion(r);
    const std::string_view text = EncoderText(r);
    constexpr std::string_view kOpen = "Lame (";
    if (r.xing.has_lame_tag == 0 || version.empty() || version.starts_with("LAME") ||
        text.size() != kOpen.size() + version.size() + 1 || !text.starts_with(kOpen) ||
        text.substr(kOpen.size(), version.size()) != version || !text.ends_with(')')) {
        return {};
    }
    return version;
}

// Shine's frames: long blocks only, and every frame's data in the frame
// itself (it never borrows from the bit reservoir). lame switches to short
// blocks at the first attack and borrows from its second frame on.
bool HasShineTraits(const ScanRecord& r) {
    return r.layer == 3 && r.frames >= kShineEvidenceFrames && r.short_blocks == 0 &&
           r.mixed_blocks == 0 && r.max_reservoir == 0;
}

}  // namespace

int EncoderDecisionRow(const ScanRecord& r) {
    // The counts are compared as the signed 32-bit numbers they are stored as.
    const auto S = static_cast<int32_t>(r.short_blocks);
    const int32_t F = r.scfsi_used;
    const int32_t K = r.scalefac_scale_count;
    const int32_t P = r.padding_used;
    const int32_t O = r.original;
    const int32_t R = r.copyright;
    const int32_t V = r.is_vbr;
    const int32_t A = r.average_reservoir;
    const bool js = r.mode == 1;
    const bool dual = r.mode == 2;
    const auto lr = static_cast<int32_t>(r.stereo_type_counts[0]);
    const auto is = static_cast<int32_t>(r.stereo_type_counts[1]);
    const auto isms = static_cast<int32_t>(r.stereo_type_counts[3]);
    // The bytes that end one byte before the end of the last whole frame.
    const int tail = std::accumulate(std::begin(r.tail_bytes), std::end(r.tail_bytes), 0);

    if (S == 0) {
        if (dual) {
            return F == 0 && K <= 0 ? 1 : 2;
        }
        if (is != 0 || isms != 0) {
            return 3;
        }
        if (F == 1) {
            return 4;
        }
        if (!js) {
            return r.mode == 0 && K == 0 && O == 0 ? 5 : 6;
        }
        if (lr != 0) {
            if (P == 0) {
                return 7;
            }
            if (P == 1) {
                return O == 1 ? 8 : (O == 0 ? 9 : 11);
            }
            return 11;
        }
        return P == 1 && O == 0 && R == 0 ? 10 : 11;
    }
    if (F == 1) {
        return K <= 0 ? 12 : 13;
    }
    if (F == 0 && K > 0) {
        if (P == 0) {
            return V == 1 ? 14 : (V == 0 ? 15 : 26);
        }
        if (P == 1 && O == 1) {
            return tail == 0 ? 16 : tail == 2550 ? 17 : tail == 160 ? 18 : 19;
        }
        if (P == 1 && O == 0) {
            return js && is >= 1 ? 20 : 21;
        }
    }
    if (F == 0 && K <= 0) {
        if (js && P == 1 && O == 0 && R == 0) {
            return 22;
        }
        if (V == 1) {
            return 23;
        }
        if (!dual && A >= 40) {
            return 24;
        }
        if (P == 1) {
            return 25;
        }
    }
    return 26;
}

EncoderName NameEncoder(const ScanRecord& record) {
    const std::string_view text = EncoderText(record);
    if (!text.empty()) {
        // ffmpeg writes its LAME-style tag whatever MP3 encoder it ran: the
        // frames say whether that was lame or Shine.
        if (const std::string_view host = HostOfLameStyleTag(record);
            !host.empty() && HasShineTraits(record)) {
            return {"Shine (" + std::string(host) + ")", true};
        }
        return {std::string(text), true};
    }
    if (record.layer != 3) {
        // The decision table reads Layer III statistics only.
        return {kDecisionNames[static_cast<size_t>(kNoEncoderRow)], false};
    }
    const int row = EncoderDecisionRow(record);
    return {kDecisionNames[static_cast<size_t>(row)], row != kNoEncoderRow && row != kNoPatternRow};
}

std::string IdentifyEncoder(const ScanRecord& record) {
    return NameEncoder(record).name;
}

}  // namespace vandrel