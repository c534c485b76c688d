#include "engine/verdicts/EncoderId.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace vandrel {

namespace {

// Position of the first occurrence of `what` in the block, or npos.
size_t Find(std::span<const uint8_t> block, std::string_view what) {
    const auto it = std::search(block.begin(), block.end(), what.begin(), what.end());
    return it == block.end() ? std::string_view::npos : static_cast<size_t>(it - block.begin());
}

// Up to n bytes from `at`, cut at the first zero byte and at the block's end.
std::string TakeVersion(std::span<const uint8_t> block, size_t at, size_t n) {
    std::string out;
    for (size_t i = at; i < at + n && i < block.size() && block[i] != 0; ++i) {
        out += static_cast<char>(block[i]);
    }
    return out;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

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

// Whether the bytes at `at` begin a version: a digit, a dot, a digit.
bool VersionAt(std::span<const uint8_t> block, size_t at) {
    return at + 2 < block.size() && IsDigit(block[at]) && block[at + 1] == '.' &&
           IsDigit(block[at + 2]);
}

// The first "LAME" followed by a version. lame also pads frames with its name,
// and a frame's end can cut it anywhere ("LAMEUUUL"): those do not count.
size_t FindLameSignature(std::span<const uint8_t> block) {
    for (size_t from = 0; from < block.size();) {
        const size_t p = Find(block.subspan(from), "LAME");
        if (p == std::string_view::npos) {
            break;
        }
        if (VersionAt(block, from + p + 4)) {
            return from + p;
        }
        from += p + 1;
    }
    return std::string_view::npos;
}

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

std::string SignatureFromBlock(std::span<const uint8_t> block) {
    if (const size_t p = FindLameSignature(block); p != std::string_view::npos) {
        // "LAME3.90 (alpha)" becomes "LAME3.90a"; without " (" the suffix is a blank.
        char suffix = ' ';
        if (p + 10 < block.size() && block[p + 8] == ' ' && block[p + 9] == '(') {
            suffix = static_cast<char>(block[p + 10]);
        }
        std::string text = "LAME" + TakeVersion(block, p + 4, 4);
        if (p + 8 < block.size() && IsDigit(block[p + 8]) && text.size() == 8) {
            // Three-digit minor versions ("LAME3.100") keep their last digit.
            text += static_cast<char>(block[p + 8]);
        }
        if (suffix != '\0') {
            text += suffix;
        }
        return text;
    }
    constexpr std::string_view kRca = "RCA mp3PRO Encoder";
    if (const size_t q = Find(block, kRca); q != std::string_view::npos) {
        return "RCA " + TakeVersion(block, q + kRca.size(), 5);
    }
    constexpr std::string_view kThomson = "THOMSON mp3PRO Encoder ";
    if (const size_t r = Find(block, kThomson); r != std::string_view::npos) {
        return "Thomson " + TakeVersion(block, r + kThomson.size(), 6);
    }
    for (std::string_view tag : {"VBRI", "MPGE", "GOGO"}) {
        if (Find(block, tag) != std::string_view::npos) {
            return std::string(tag);
        }
    }
    return {};
}

std::string NameFromText(std::string_view text) {
    if (Contains(text, "LAME")) {
        if (text.size() < 8) {
            return "Lame";
        }
        // The version is taken from positions 4..7 wherever "LAME" stands.
        std::string name = "Lame " + std::string(text.substr(4, 4));
        auto suffix = [&](char c) {
            if (c == 'a') {
                name += " (alpha)";
            } else if (c == 'b') {
                name += " (beta)";
            }
        };
        if (text.size() > 8) {
            if (text.starts_with("LAME") && IsDigit(static_cast<unsigned char>(text[8]))) {
                name += text[8];  // "LAME3.100" is version 3.100, not 3.10
            }
            suffix(text[8]);
        }
        if (text.size() > 10 && text[8] == ' ' && text[9] == '(') {
            suffix(text[10]);
        }
        return name;
    }
    if (Contains(text, "VBRI")) {
        return "FhG (fastenc)";
    }
    if (Contains(text, "MPGE")) {
        return "Gogo (before 3.0)";
    }
    if (Contains(text, "GOGO")) {
        return "Gogo (after 3.0)";
    }
    if (Contains(text, "RCA") || Contains(text, "Thomson")) {
        return std::string(text);
    }
    return {};
}

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
            switch (tail) {
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

std::string IdentifyEncoder(const ScanRecord& record) {
    const std::string_view text = EncoderText(record);
    if (!text.empty()) {
        // ffmpeg writes its LAME-style tag whatever MP3 encoder it ran: the
        // frames say whether that was lame or Shine.
        if (const std::string_view host = HostOfLameStyleTag(record);
            !host.empty() && HasShineTraits(record)) {
            return "Shine (" + std::string(host) + ")";
        }
        return std::string(text);
    }
    if (record.layer != 3) {
        return "Unknown";  // the decision table reads Layer III statistics only
    }
    return kDecisionNames[static_cast<size_t>(EncoderDecisionRow(record))];
}

}  // namespace vandrel
