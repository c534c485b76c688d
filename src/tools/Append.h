#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/ScanRecord.h"
#include "engine/core/Sink.h"
#include "work/Messages.h"
#include "work/OneShotWorker.h"

namespace vandrel {

class AtomicFile;
class CVandrelMp3File;
class FileStream;

// The copier's chunk: progress is told after each.
inline constexpr int64_t kCopyChunk = 512000;

// Which ID3v1 tag the joined file ends with, and how its start looks.
struct AppendChoice {
    bool copy_first_tag = true;
    bool copy_second_tag = false;  // wins when both are set
    // A fresh Xing/Info frame at the start that describes the joined audio
    // (Layer III only); the inputs' own information frames are left out.
    bool new_vbr_header = true;
};

// Hears a join: the byte progress of each copy (answering false stops it)
// and what the user should know.
class AppendSink : public sink_mini {
public:
    // The inputs' average bitrates differ: the joined file is VBR.
    virtual void DifferentBitrates() {}
};

enum class AppendOutcome { kDone, kFailed, kStopped };

struct AppendResult {
    AppendOutcome outcome = AppendOutcome::kFailed;
    std::string reason;  // why it failed, for the user; may be empty
};

// Copies `count` bytes (-1: to the end) of `source` from `start` into
// `destination` in chunks of kCopyChunk, telling `sink` after each one but
// the last. The source's position is kept. False when the sink said stop or
// a write failed.
bool CopyRange(AtomicFile& destination, FileStream& source, int64_t start, int64_t count,
               sink_mini* sink);

// Why the frames of two files cannot follow one another in one stream: they
// differ in MPEG version, layer, sample rate, or one is mono and the other
// not. A decoder takes those from the first frame and loses the sync where
// they change. The text names each difference with both values ("The files
// differ in sample rate (44100 Hz and 48000 Hz)."); empty when the files can
// be joined, or when either record names no layer (nothing to compare).
std::string JoinRefusal(const ScanRecord& first, const ScanRecord& second);

// Joins all frames of input 1 (open in `input1`, scanned into `record1`) and
// all frames of the file at `input2` into the file at `output`, at frame
// boundaries, with the chosen ID3v1 tag at the end; refused (failed, with
// JoinRefusal's text) for files whose frames differ in their format. The
// output is written to a temporary file and renamed into place only when all
// went well: a failed or stopped join leaves no output and an earlier file
// there as it was.
AppendResult AppendFiles(CVandrelMp3File& input1, const ScanRecord& record1,
                         const std::string& input2, const std::string& output,
                         const AppendChoice& choice, AppendSink* sink);

// Whether two paths name one file (links, other spellings and hard links
// followed); false when either does not exist.
bool SameFile(const std::string& a, const std::string& b);
// Whether writing `output` would overwrite an input: the same text or the same file.
bool OutputIsAnInput(const std::string& input1, const std::string& input2,
                     const std::string& output);

// The join on a one-shot worker. Posts to `target`:
//   kMsgProgress (wparam: the current copy's percent, 0 to 100);
//   kMsgNotice (wparam: NoticeKind, payload: the text) for a failure or the
//   different-bitrates note;
//   kMsgWorkDone last: kDone, kStopped, or kFailed after the failure's notice.
// The destructor stops the join and waits for the thread.
class CAppendThread : public COneShotWorker {
public:
    // Cancel stops the join after the chunk it is copying.
    void Start(std::shared_ptr<MessageTarget> target, const ScanRecord& record1, std::string input1,
               std::string input2, std::string output, AppendChoice choice);
};

}  // namespace vandrel
