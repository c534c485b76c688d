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

namespace {

// What the decision table reads of a record. The counts are compared as the
// signed 32-bit numbers they are stored as.
struct DecisionInputs {
    explicit DecisionInputs(const ScanRecord& r)
        : S(static_cast<int32_t>(r.short_blocks)), F(r.scfsi_used), K(r.scalefac_scale_count),
          P(r.padding_used), O(r.original), R(r.copyright), V(r.is_vbr), A(r.average_reservoir),
          stereo(r.mode == 0), js(r.mode == 1), dual(r.mode == 2),
          lr(static_cast<int32_t>(r.stereo_type_counts[0])),
          is(static_cast<int32_t>(r.stereo_type_counts[1])),
          isms(static_cast<int32_t>(r.stereo_type_counts[3])),
          // The bytes that end one byte before the end of the last whole frame.
          tail(std::accumulate(std::begin(r.tail_bytes), std::end(r.tail_bytes), 0)) {}

    int32_t S, F, K, P, O, R, V, A;
    bool stereo, js, dual;
    int32_t lr, is, isms;
    int tail;
};

// The rows of files without short blocks.
int RowWithoutShortBlocks(const DecisionInputs& d) {
    if (d.dual) {
        return d.F == 0 && d.K <= 0 ? 1 : 2;
    }
    if (d.is != 0 || d.isms != 0) {
        return 3;
    }
    if (d.F == 1) {
        return 4;
    }
    if (!d.js) {
        return d.stereo && d.K == 0 && d.O == 0 ? 5 : 6;
    }
    if (d.lr != 0) {
        if (d.P == 0) {
            return 7;
        }
        if (d.P == 1) {
            return d.O == 1 ? 8 : (d.O == 0 ? 9 : 11);
        }
        return 11;
    }
    return d.P == 1 && d.O == 0 && d.R == 0 ? 10 : 11;
}

// The rows of files with short blocks that use scalefac_scale and no scfsi.
int RowWithScalefacScale(const DecisionInputs& d) {
    if (d.P == 0) {
        return d.V == 1 ? 14 : (d.V == 0 ? 15 : 26);
    }
    if (d.P == 1 && d.O == 1) {
        switch (d.tail) {
        case 0:
            return 16;
        case 2550:
            return 17;
        case 160:
            return 18;
        default:
            return 19;
        }
    }
    if (d.P == 1 && d.O == 0) {
        return d.js && d.is >= 1 ? 20 : 21;
    }
    return 26;
}

}  // namespace

int EncoderDecisionRow(const ScanRecord& r) {
    const DecisionInputs d(r);
    if (d.S == 0) {
        return RowWithoutShortBlocks(d);
    }
    if (d.F == 1) {
        return d.K <= 0 ? 12 : 13;
    }
    if (d.F == 0 && d.K > 0) {
        return RowWithScalefacScale(d);
    }
    if (d.F == 0 && d.K <= 0) {
        if (d.js && d.P == 1 && d.O == 0 && d.R == 0) {
            return 22;
        }
        if (d.V == 1) {
            return 23;
        }
        if (!d.dual && d.A >= 40) {
            return 24;
        }
        if (d.P == 1) {
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