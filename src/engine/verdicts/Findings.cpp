#include "engine/verdicts/Findings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "engine/frame/FrameHeader.h"
#include "engine/tags/Id3Tag.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/Upscale.h"

namespace vandrel {

namespace {

constexpr int kMpegAudio = 1;

// A player's length counts as wrong when it is off by more than both of these.
constexpr double kLengthToleranceSeconds = 1.0;
constexpr double kLengthToleranceShare = 0.01;

// A frequency in Hz as kHz with one decimal: "16.7".
std::string KiloHertz(double hz) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", hz / 1000.0);
    return text;
}

std::string Count(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void Add(std::vector<Finding>& findings, Severity severity, std::string brief, std::string detail) {
    findings.push_back({severity, std::move(brief), std::move(detail)});
}

// "MPEG-1 Layer II", ... for an MpegKindCode.
std::string MpegKindName(uint16_t kind) {
    static constexpr const char* kVersions[] = {"MPEG-1", "MPEG-2", "MPEG-2.5"};
    static constexpr const char* kLayers[] = {"I", "II", "III"};
    const unsigned version = kind / 4u;
    const unsigned layer = kind % 4u;
    if (version > 2 || layer == 0) {
        return "another kind";
    }
    return std::string(kVersions[version]) + " Layer " + kLayers[layer - 1];
}

void AddSyncErrors(std::vector<Finding>& findings, const ScanRecord& record,
                   const FileChecks& checks) {
    const auto errors = static_cast<uint64_t>(record.sync_errors);
    std::string detail = "The frames lose their chain " + Count(errors, "time", "times");
    if (checks.other_layer_frames == 0) {
        detail += " (audio missing or corrupt there).";
    } else {
        // Frames of another layer were skipped, and lost with them: say what
        // they are, and whether something else broke the chain too.
        if (errors > checks.other_layer_runs) {
            detail += " (audio missing or corrupt there)";
        }
        detail += "; " + Count(checks.other_layer_frames, "frame", "frames") + " of " +
                  MpegKindName(checks.other_layer_kind) + " follow.";
    }
    Add(findings, Severity::kDamage, Count(errors, "sync error", "sync errors"), detail);
}

void AddMismatches(std::vector<Finding>& findings, const std::vector<std::string>& mismatches) {
    if (mismatches.empty()) {
        return;
    }
    std::string detail = "Header and audio disagree: ";
    for (size_t i = 0; i < mismatches.size(); ++i) {
        detail += (i == 0 ? "" : "; ") + mismatches[i];
    }
    Add(findings, Severity::kWarning, "header mismatch",
        detail + " (a joined, cut or padded file).");
}

// Without a walk of the whole file only the byte counts of the headers can be
// compared, with the audio's extent as the tags and the last-frame check give
// it; they tell only when they are far apart (see ByteCountFits).
void CompareByteCounts(std::vector<Finding>& findings, const ScanRecord& record,
                       const FileChecks& checks) {
    const uint64_t extent = RecordAudioBytes(record);
    const uint64_t audio = extent - std::min<uint64_t>(checks.unknown_after_audio, extent);
    std::vector<std::string> mismatches;
    if (record.has_xing != 0 && (record.xing.flags & kXingBytesFlag) != 0 &&
        !ByteCountFits(record.xing.bytes, audio)) {
        mismatches.push_back("the Xing header counts " + std::to_string(record.xing.bytes) +
                             " bytes, the audio holds " + std::to_string(audio));
    }
    if (record.has_vbri != 0 && record.vbri.bytes != 0 &&
        !ByteCountFits(record.vbri.bytes, audio)) {
        mismatches.push_back("the VBRI header counts " + std::to_string(record.vbri.bytes) +
                             " bytes, the audio holds " + std::to_string(audio));
    }
    AddMismatches(findings, mismatches);
}

// "2:05 more", "1:00:00 less": how far the shown length is off, between the
// whole seconds FormatLength shows of each, so that the sentence adds up.
std::string Difference(double shown, double real) {
    // Taken between the lengths as FormatLength writes them (tenths under
    // ten seconds, whole seconds above), so that the sentence adds up.
    const auto written = [](double seconds) {
        return seconds < 10 ? std::floor(seconds * 10) / 10 : std::floor(seconds);
    };
    const double difference = written(shown) - written(real);
    const double size = std::abs(difference);
    const char* const way = difference > 0 ? " more" : " less";
    char text[48];
    if (size < 10 && (shown < 10 || real < 10)) {
        std::snprintf(text, sizeof text, "%.1f s", size);
        return text + std::string(way);
    }
    const auto whole = std::llround(size);
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, (whole / 60) % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text + std::string(way);
}

// Why players show a wrong length: where they took it from, and what is wrong
// with that. The walk counts the header's own frame; the Xing count does not,
// and the VBRI count may or may not (as in CompareHeaders).
std::string WrongLengthCause(const ScanRecord& record) {
    const ShownLengthBasis basis = ShownLengthBasisOf(record);
    const auto walked = static_cast<int64_t>(record.frames);
    const auto counted = static_cast<int64_t>(basis.frames);
    const std::string holds = " frames, the audio holds " + std::to_string(walked);
    switch (basis.source) {
    case ShownLengthSource::kXingFrames:
        if (counted + 1 != walked) {
            return "its Xing header counts " + std::to_string(counted + 1) + holds;
        }
        break;
    case ShownLengthSource::kVbriFrames:
        if (counted != walked && counted + 1 != walked) {
            return "its VBRI header counts " + std::to_string(counted) + holds;
        }
        break;
    case ShownLengthSource::kBitrateGuess:
        return record.is_vbr != 0 ? "the VBR file has no Xing or VBRI header, so its length is "
                                    "guessed from the first frame's bitrate"
                                  : "the file has no Xing or VBRI frame count, so its length is "
                                    "guessed from its size at the first frame's bitrate";
    }
    return "its header counts the frames right, but they do not all last as long as the first";
}

// What the file's headers say against what the walk of the whole file found.
// The walk counts the header's own frame; the Xing count does not. The VBRI
// header's byte count is not compared: encoders fill it in different ways.
void CompareHeaders(std::vector<Finding>& findings, const ScanRecord& record,
                    const FileChecks& checks) {
    std::vector<std::string> mismatches;
    const auto walked_frames = static_cast<int64_t>(record.frames);
    const auto audio = static_cast<int64_t>(checks.audio_bytes);
    if (record.has_xing != 0) {
        const VbrHeaderBlock& x = record.xing;
        if ((x.flags & kXingFramesFlag) != 0 && int64_t{x.frames} + 1 != walked_frames) {
            mismatches.push_back("the Xing header counts " + std::to_string(int64_t{x.frames} + 1) +
                                 " frames, the audio holds " + std::to_string(walked_frames));
        }
        if ((x.flags & kXingBytesFlag) != 0 && audio > 0 && int64_t{x.bytes} != audio) {
            mismatches.push_back("the Xing header counts " + std::to_string(x.bytes) +
                                 " bytes, the audio holds " + std::to_string(audio));
        }
        if (x.has_lame_tag != 0 && x.music_length != 0 && audio > 0 &&
            int64_t{x.music_length} != audio) {
            mismatches.push_back("the LAME tag's music length is " +
                                 std::to_string(x.music_length) + " bytes, the audio holds " +
                                 std::to_string(audio));
        }
    }
    // Encoders differ on whether the VBRI count takes in the header's own
    // frame; either reading is taken.
    const int64_t vbri_frames = record.vbri.frames;
    if (record.has_vbri != 0 && vbri_frames != walked_frames && vbri_frames + 1 != walked_frames) {
        mismatches.push_back("the VBRI header counts " + std::to_string(vbri_frames) +
                             " frames, the audio holds " + std::to_string(walked_frames));
    }
    AddMismatches(findings, mismatches);

    const double real = record.length_seconds;
    const double shown = checks.player_seconds;
    if (shown > 0 && real > 0 &&
        std::abs(shown - real) > std::max(kLengthToleranceSeconds, kLengthToleranceShare * real)) {
        Add(findings, Severity::kWarning, "wrong length shown",
            "Players show " + FormatLength(static_cast<float>(shown)) +
                " before reading the file, " + Difference(shown, real) + " than the audio's " +
                FormatLength(static_cast<float>(real)) + ": " + WrongLengthCause(record) + ".");
    }
}

}  // namespace

std::vector<Finding> CollectFindings(const ScanRecord& record, const FileChecks& checks) {
    std::vector<Finding> findings;
    if (record.sync_errors > 0) {
        AddSyncErrors(findings, record, checks);
    }
    if (record.kind == kMpegAudio && record.last_frame_complete == 0) {
        Add(findings, Severity::kDamage, "cut last frame",
            "The last frame is cut short: the file ends inside it.");
    }
    if (checks.crc_errors > 0) {
        Add(findings, Severity::kDamage, Count(checks.crc_errors, "CRC error", "CRC errors"),
            Count(checks.crc_errors, "frame", "frames") + " of " +
                std::to_string(checks.crc_frames) + " with a CRC " +
                (checks.crc_errors == 1 ? "fails its" : "fail their") + " check.");
    }
    if (record.kind == kMpegAudio && record.xing.music_crc_computed != 0 &&
        record.xing.music_crc_ok == 0) {
        Add(findings, Severity::kDamage, "music CRC corrupt",
            "The audio does not match the LAME tag's music CRC.");
    }
    if (checks.walked != 0 && record.whole_file_scanned != 0) {
        CompareHeaders(findings, record, checks);
    } else if (record.kind == kMpegAudio) {
        CompareByteCounts(findings, record, checks);
    }
    const bool tag_past_end = record.kind == kMpegAudio && Id3v2SizeRunsPastEnd(record);
    if (tag_past_end) {
        Add(findings, Severity::kWarning, "ID3v2 tag size runs past the end of the file",
            "The ID3v2 tag's size field gives " + std::to_string(record.id3v2_size) +
                " bytes, more than the file's " + std::to_string(RecordFileSize(record)) +
                ": a player that trusts it finds no audio.");
    }
    if (const UpscaleJudgement upscale = JudgeUpscale(record, checks);
        upscale.answer == UpscaleAnswer::kProbably) {
        std::string detail = upscale.reason;
        detail[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(detail[0])));
        findings.push_back({Severity::kWarning, "probably upscaled", detail + ".",
                            std::vector<FindingFigure>{
                                {"cutoff_hz", std::lround(upscale.cutoff_hz)},
                                {"expected_lowpass_hz", std::lround(upscale.expected_lowpass_hz)},
                                {"edge_share_percent", std::lround(100.0 * checks.edge_share)},
                                {"edge_drop_db", std::lround(checks.edge_drop_db)},
                                {"loud_granules", checks.bandwidth_granules},
                                {"firm_edge_percent", std::lround(100.0 * checks.firm_edge_share)},
                            }});
    }
    // With a tag size past the end the frames are looked for from the tag's
    // start: the bytes before them are the tag's, not junk.
    if (checks.junk_before_audio > 0 && !tag_past_end) {
        Add(findings, Severity::kNotice, "junk before audio",
            Count(checks.junk_before_audio, "byte", "bytes") +
                " before the first frame are neither audio nor a tag.");
    }
    if (checks.unknown_after_audio > 0) {
        Add(findings, Severity::kNotice, "unknown data after audio",
            Count(checks.unknown_after_audio, "byte", "bytes") +
                " after the last frame are neither audio nor a known tag.");
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.severity > b.severity; });
    return findings;
}

std::string_view SeverityName(Severity severity) {
    switch (severity) {
    case Severity::kDamage:
        return "damage";
    case Severity::kWarning:
        return "warning";
    case Severity::kNotice:
        return "notice";
    case Severity::kNone:
        break;
    }
    return "none";
}

Severity WorstSeverity(const std::vector<Finding>& findings) {
    Severity worst = Severity::kNone;
    for (const Finding& f : findings) {
        worst = std::max(worst, f.severity);
    }
    return worst;
}

std::string ProblemsText(const std::vector<Finding>& findings) {
    if (findings.empty()) {
        return "none";
    }
    std::string text;
    for (const Finding& f : findings) {
        text += (text.empty() ? "" : ", ") + f.brief;
    }
    return text;
}

std::string AudioHashText(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

Finding RefusalFinding(std::string_view reason) {
    return {Severity::kDamage, std::string(reason), std::string(reason)};
}

Severity FillCheckTexts(AttributeTexts& texts, const ScanRecord& record, const FileChecks& checks) {
    return FillCheckTexts(texts, CollectFindings(record, checks), record, checks);
}

Severity FillCheckTexts(AttributeTexts& texts, const std::vector<Finding>& findings,
                        const ScanRecord& record, const FileChecks& checks) {
    texts[kSlotProblems] = ProblemsText(findings);
    const bool crc_seen = checks.crc_frames + checks.crc_unchecked > 0;
    texts[kSlotCrcErrors] = crc_seen ? std::to_string(checks.crc_errors) : std::string();
    texts[kSlotBandwidth] =
        checks.bandwidth_granules > 0 ? KiloHertz(checks.bandwidth_hz) : std::string();
    texts[kSlotUpscaled] = UpscaleAnswerText(JudgeUpscale(record, checks).answer);
    texts[kSlotShownLength] =
        checks.player_seconds > 0 ? FormatExactLength(checks.player_seconds) : std::string();
    texts[kSlotAudioHash] =
        checks.audio_hashed != 0 ? AudioHashText(checks.audio_hash) : std::string();
    // Without a LAME tag the record alone gives no gap: the walk may have
    // found one in an iTunSMPB comment.
    if (!LameEncoderGap(record) && checks.itunes_gap != 0) {
        const std::optional<EncoderGap> gap = EncoderGapOf(record, checks);
        texts[kSlotDelay] = std::to_string(gap->delay);
        texts[kSlotPadding] = std::to_string(gap->padding);
        const std::optional<double> seconds = ExactLengthSeconds(record, gap);
        texts[kSlotExactLength] = seconds ? FormatExactLength(*seconds) : std::string();
    }
    return WorstSeverity(findings);
}

Severity FillFailureCheckTexts(AttributeTexts& texts, std::string_view reason) {
    texts[kSlotProblems] = std::string(reason);
    texts[kSlotCrcErrors] = "--";
    texts[kSlotBandwidth] = "--";
    texts[kSlotUpscaled] = "--";
    texts[kSlotShownLength].clear();
    texts[kSlotAudioHash].clear();
    return Severity::kDamage;
}

std::string FindingsReport(const std::vector<Finding>& findings) {
    if (findings.empty()) {
        return "Problems: none\n";
    }
    std::string report = "Problems:\n";
    for (const Finding& f : findings) {
        report += "  " + std::string(SeverityName(f.severity)) + ": " + f.detail + "\n";
    }
    return report;
}

}  // namespace vandrel
