#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

// How bad a finding is; a file is as bad as its worst finding.
enum class Severity : int {
    kNone = 0,
    kNotice = 1,   // bytes that are neither audio nor a known tag
    kWarning = 2,  // headers that disagree with the audio, a probable upscale
    kDamage = 3,   // audio lost or corrupt: sync errors, a cut frame, CRC failures
};

// "damage", "warning", "notice" or "none", as reports and JSON name them.
std::string_view SeverityName(Severity severity);

// A measured figure behind a finding, for machine output: "cutoff_hz", 16000.
struct FindingFigure {
    std::string_view key;
    int64_t value = 0;

    bool operator==(const FindingFigure&) const = default;
};

struct Finding {
    Severity severity = Severity::kNone;
    std::string brief;   // a few words for the Problems cell: "3 sync errors"
    std::string detail;  // one sentence with the figures, for the reports
    // The figures of the detail as numbers; most findings have none.
    std::vector<FindingFigure> figures = {};
};

// Every finding of a scanned file, worst first (in a fixed order within one
// severity). Header comparisons need a walk of the whole file; the other
// findings hold for the part walked.
std::vector<Finding> CollectFindings(const ScanRecord& record, const FileChecks& checks);

Severity WorstSeverity(const std::vector<Finding>& findings);

// The Problems text: the briefs joined by ", ", or "none".
std::string ProblemsText(const std::vector<Finding>& findings);

// An audio hash as 16 hexadecimal digits, lowercase: "0123456789abcdef".
std::string AudioHashText(uint64_t hash);

// The finding of a file that no media type opens (empty, not audio, free
// format, too short): `reason` says why.
Finding RefusalFinding(std::string_view reason);

// The slots of the texts that come from a scan's checks, not from its
// record alone: the "Checks" texts, Shown Length, Audio Hash, and Delay, Padding and
// Exact Length (from an iTunSMPB comment the walk found, when the record has
// no LAME tag).
inline constexpr std::array<int, 9> kCheckSlots = {kSlotProblems, kSlotCrcErrors,   kSlotBandwidth,
                                                   kSlotUpscaled, kSlotShownLength, kSlotDelay,
                                                   kSlotPadding,  kSlotExactLength, kSlotAudioHash};

// The texts of a scan's checks: Problems, CRC Errors (empty when no frame
// carries a CRC), Bandwidth in kHz (empty without Layer III granules),
// Upscaled? ("probably", "no", "unknown", or empty when not judged:
// JudgeUpscale), Shown Length (FormatExactLength of the length players show,
// empty when there is none). Returns the worst severity.
Severity FillCheckTexts(AttributeTexts& texts, const ScanRecord& record, const FileChecks& checks);
// The same from the file's findings, when the caller keeps them too.
Severity FillCheckTexts(AttributeTexts& texts, const std::vector<Finding>& findings,
                        const ScanRecord& record, const FileChecks& checks);

// The "Checks" texts of a file whose scan failed or that nothing opens: the
// reason under Problems and "--" in the others; no Shown Length. Returns
// kDamage.
Severity FillFailureCheckTexts(AttributeTexts& texts, std::string_view reason);

// The findings as lines for a text report: "Problems: none", or a heading
// and one line per finding with its severity.
std::string FindingsReport(const std::vector<Finding>& findings);

}  // namespace vandrel
