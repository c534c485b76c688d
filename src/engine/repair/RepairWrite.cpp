// The repaired copy: written whole through AtomicFile, scanned afresh and
// compared with the original before it is kept.
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <span>

#include "engine/io/AtomicFile.h"
#include "engine/repair/Repair.h"
#include "engine/repair/RepairTexts.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/FileAnalysis.h"

namespace vandrel {

namespace {

constexpr size_t kCopyChunk = 1 << 20;

// The hash of `length` bytes of a file from `offset`; nothing when the file
// holds fewer.
std::optional<uint64_t> HashRange(std::ifstream& in, uint64_t offset, uint64_t length) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<char> buffer(kCopyChunk);
    // XXH3, as the audio hash: libxxhash's streaming state over the chunks.
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                         &XXH3_freeState);
    if (state == nullptr || XXH3_64bits_reset(state.get()) != XXH_OK) {
        return std::nullopt;
    }
    for (uint64_t done = 0; done < length;) {
        const auto n = static_cast<std::streamsize>(std::min<uint64_t>(kCopyChunk, length - done));
        if (!in.read(buffer.data(), n)) {
            return std::nullopt;
        }
        XXH3_64bits_update(state.get(), buffer.data(), static_cast<size_t>(n));
        done += static_cast<uint64_t>(n);
    }
    return XXH3_64bits_digest(state.get());
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

// Writes the plan's pieces; the reason when that fails.
std::optional<std::string> WriteCopy(const RepairPlan& plan, const std::string& source_path,
                                     const std::string& dest_path,
                                     const std::atomic<bool>* cancel) {
    std::ifstream in(source_path, std::ios::binary);
    if (!in) {
        return "cannot read " + source_path;
    }
    AtomicFile out(dest_path);
    if (!out.Open()) {
        return out.Error();
    }
    std::vector<char> buffer(kCopyChunk);
    for (const RepairPiece& piece : plan.pieces) {
        if (piece.inserted) {
            const auto* header = reinterpret_cast<const char*>(plan.header_frame.data());
            out.Write({header, plan.header_frame.size()});
            continue;
        }
        in.seekg(static_cast<std::streamoff>(piece.source.offset));
        for (uint64_t done = 0; done < piece.source.length;) {
            const auto n = static_cast<std::streamsize>(
                std::min<uint64_t>(kCopyChunk, piece.source.length - done));
            if (Cancelled(cancel)) {
                return "stopped";
            }
            if (!in.read(buffer.data(), n)) {
                return "the original ended early";
            }
            if (!out.Write({buffer.data(), static_cast<size_t>(n)})) {
                return out.Error().empty() ? "the write failed" : out.Error();
            }
            done += static_cast<uint64_t>(n);
        }
    }
    // Never over a file, one made meanwhile too.
    if (!out.CommitNew()) {
        return out.Error().empty() ? "the write failed" : out.Error();
    }
    return std::nullopt;
}

// Where a range of the original lies in the repaired file: in the piece
// that holds it. Nothing when no piece holds it whole.
std::optional<uint64_t> PlaceInCopy(const RepairPlan& plan, ByteRange range) {
    uint64_t at = 0;
    for (const RepairPiece& piece : plan.pieces) {
        const uint64_t length = piece.inserted ? plan.header_frame.size() : piece.source.length;
        if (!piece.inserted && range.offset >= piece.source.offset &&
            range.offset + range.length <= piece.source.offset + piece.source.length) {
            return at + (range.offset - piece.source.offset);
        }
        at += length;
    }
    return std::nullopt;
}

// Whether every range is byte for byte the same in both files.
RepairCheck SameBytes(std::string name, const RepairPlan& plan,
                      const std::vector<ByteRange>& ranges, const std::string& source_path,
                      const std::string& dest_path) {
    std::ifstream original(source_path, std::ios::binary);
    std::ifstream copy(dest_path, std::ios::binary);
    uint64_t bytes = 0;
    for (const ByteRange& range : ranges) {
        const std::optional<uint64_t> at = PlaceInCopy(plan, range);
        const std::optional<uint64_t> before = HashRange(original, range.offset, range.length);
        const std::optional<uint64_t> after =
            at ? HashRange(copy, *at, range.length) : std::nullopt;
        if (!before || !after || *before != *after) {
            return {std::move(name), false,
                    "bytes " + Grouped(range.offset) + " on (" + Grouped(range.length) +
                        ") differ in the copy"};
        }
        bytes += range.length;
    }
    return {std::move(name), true,
            Grouped(ranges.size()) + (ranges.size() == 1 ? " run, " : " runs, ") + Grouped(bytes) +
                " bytes identical"};
}

// None of the findings the plan repairs is left in the copy's.
RepairCheck FindingsGone(const RepairPlan& plan, const FileAnalysis& analysis) {
    std::string left;
    for (const Finding& finding : analysis.findings) {
        const std::optional<RepairKind> kind = RepairingKind(finding.brief);
        const bool repaired =
            kind && std::any_of(plan.actions.begin(), plan.actions.end(),
                                [&kind](const RepairAction& action) {
                                    return action.kind == *kind ||
                                           (*kind == RepairKind::kRebuildHeader &&
                                            action.kind == RepairKind::kAddHeader);
                                });
        if (repaired) {
            left += (left.empty() ? "" : ", ") + finding.brief;
        }
    }
    return {"findings", left.empty(), left.empty() ? "none of the repaired findings left" : left};
}

// A new header frame with a LAME tag: the copy's scan finds the tag with
// its CRC right, and the audio matches its music CRC.
std::optional<RepairCheck> LameTagCheck(const RepairPlan& plan, const FileAnalysis& analysis) {
    ScanRecord made = ZeroRecord();
    if (plan.header_frame.empty() || ParseXingHeader(made, plan.header_frame, 0) == 0 ||
        made.xing.has_lame_tag == 0) {
        return std::nullopt;
    }
    const VbrHeaderBlock& x = analysis.record.xing;
    if (x.has_lame_tag == 0) {
        return RepairCheck{"LAME tag", false, "the copy's LAME tag fails its tag CRC"};
    }
    const bool music = x.music_crc_computed == kMusicCrcOverMusicLength && x.music_crc_ok != 0;
    return RepairCheck{"LAME tag", music,
                       music ? "tag CRC and music CRC right"
                             : "the audio does not match the music CRC over the music length"};
}

// The checks of the copy, from a fresh scan of it.
std::vector<RepairCheck> CheckCopy(const RepairPlan& plan, const std::string& source_path,
                                   const std::string& dest_path) {
    std::vector<RepairCheck> checks;
    const FileAnalysis analysis = Analyse(
        dest_path,
        {.depth = ReadDepth::kFrames, .music_crc = true, .reason_layout = ReasonLayout::kOneLine});
    const bool scanned =
        analysis.outcome == AnalysisOutcome::kAnalysed && analysis.record.whole_file_scanned != 0;
    checks.push_back({"scan", scanned,
                      scanned ? "a walk of the whole copy"
                              : analysis.failure.value_or("the copy's walk did not end")});
    checks.push_back(FindingsGone(plan, analysis));
    checks.push_back(SameBytes("audio frames", plan, plan.kept_audio, source_path, dest_path));
    checks.push_back(SameBytes("tags", plan, plan.kept_tags, source_path, dest_path));
    if (std::optional<RepairCheck> lame = LameTagCheck(plan, analysis)) {
        checks.push_back(std::move(*lame));
    }
    const int64_t frames = analysis.record.frames;
    checks.push_back({"frame count", frames == plan.result_frames,
                      Grouped(static_cast<uint64_t>(std::max<int64_t>(frames, 0))) + " frames, " +
                          Grouped(static_cast<uint64_t>(plan.result_frames)) + " planned"});
    checks.push_back(
        {"length", analysis.file_bytes == plan.result_bytes,
         Grouped(analysis.file_bytes) + " bytes, " + Grouped(plan.result_bytes) + " planned"});
    return checks;
}

// The ranges of the original that no piece keeps.
std::vector<ByteRange> RemovedRanges(const RepairPlan& plan) {
    std::vector<ByteRange> kept;
    for (const RepairPiece& piece : plan.pieces) {
        if (!piece.inserted && piece.source.length > 0) {
            kept.push_back(piece.source);
        }
    }
    std::sort(kept.begin(), kept.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
    std::vector<ByteRange> removed;
    uint64_t at = 0;
    for (const ByteRange& range : kept) {
        if (range.offset > at) {
            removed.push_back({at, range.offset - at});
        }
        at = std::max(at, range.offset + range.length);
    }
    if (plan.source_bytes > at) {
        removed.push_back({at, plan.source_bytes - at});
    }
    return removed;
}

}  // namespace

RepairResult RepairFile(const RepairPlan& plan, const std::string& source_path,
                        const std::string& dest_path, const std::atomic<bool>* cancel) {
    RepairResult result;
    if (plan.status == PlanStatus::kRefused) {
        return {RepairStatus::kRefused, plan.reason, {}, {}, {}};
    }
    if (plan.status == PlanStatus::kNothingToRepair) {
        return {RepairStatus::kNothingToRepair, {}, {}, {}, {}};
    }
    if (Exists(dest_path)) {
        return {RepairStatus::kFailed, dest_path + " exists: it is not written over", {}, {}, {}};
    }
    if (dest_path == source_path || SameFile(dest_path, source_path)) {
        return {RepairStatus::kFailed, "the copy would be the original", {}, {}, {}};
    }
    if (std::optional<std::string> failure = WriteCopy(plan, source_path, dest_path, cancel)) {
        return {RepairStatus::kFailed, *failure, {}, {}, {}};
    }
    // Until its checks pass, the copy goes when the program is ended.
    const RemovedOnSignal unchecked(dest_path);
    result.checks = CheckCopy(plan, source_path, dest_path);
    result.removed = RemovedRanges(plan);
    const auto failed = std::find_if(result.checks.begin(), result.checks.end(),
                                     [](const RepairCheck& check) { return !check.passed; });
    if (failed != result.checks.end() || Cancelled(cancel)) {
        unlink(dest_path.c_str());
        result.status = RepairStatus::kFailed;
        result.reason = failed != result.checks.end()
                            ? "the copy failed its check of " + failed->name + ": " + failed->detail
                            : "stopped";
        return result;
    }
    result.status = RepairStatus::kRepaired;
    result.output = dest_path;
    return result;
}

}  // namespace vandrel
