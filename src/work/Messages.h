#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/audio/Spectrogram.h"
#include "engine/audio/SpectrogramImage.h"
#include "engine/core/FrameSeries.h"
#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/Findings.h"

namespace vandrel {

// Messages between the windows and their workers.
enum MessageId : uint32_t {
    kMsgCloseRequest = 16,        // details worker -> dialog: the scan failed, close
    kMsgProgress = 1025,          // 0x401: tool worker progress (0 to 100), or the frame series
    kMsgProcessBatch = 1026,      // 0x402: list -> worker: a batch of files
    kMsgRecordCopy = 1029,        // 0x405: details worker -> dialog: the record so far
    kMsgItemDone = 1030,          // 0x406: list worker -> list: one file finished
    kMsgSpectrumProgress = 1031,  // 0x407: details worker -> dialog: the decode's percent
    kMsgSpectrum = 1032,    // 0x408: details worker -> dialog: the spectrogram (DetailsSpectrum)
    kMsgStatusText = 1115,  // 0x45B: list worker -> list: a status text
    kMsgNotice = 1116,      // 0x45C: tool worker -> dialog: a text for the user (NoticeKind)
    kMsgWorkDone = 1117,    // 0x45D: tool worker -> dialog: its run is over (WorkOutcome)
    kMsgQuit = 1280,        // 0x500: to a worker: end the loop
    kMsgFlush = 1281,       // 0x501: to a worker: drop what is queued
};

// The word of a notice (1116): how the box that shows its text looks.
enum class NoticeKind : uint64_t { kError = 0, kInformation = 1 };

// The word of a finished run (1117): how a tool's work ended. Its payload is
// what the run produced, when it produced something.
enum class WorkOutcome : uint64_t {
    kDone = 0,     // ran to its end
    kStopped = 1,  // cancelled: nothing was made
    kFailed = 2,   // could not be done; a notice has said why, where there is a why
};

// The word of a batch (1026):
//   bits 24-31: non-zero for headers only (no frame walk)
//   bits 16-23: the batch tag
//   bits  0-15: frames to read per file, 0 for all (larger counts wrap)
struct BatchParam {
    int frames = 0;
    uint8_t tag = 0;
    bool headers_only = false;

    uint64_t Encode() const {
        return (static_cast<uint64_t>(frames) & 0xFFFF) | (uint64_t{tag} << 16) |
               (uint64_t{headers_only ? 1u : 0u} << 24);
    }
    static BatchParam Decode(uint64_t word) {
        return {static_cast<int>(word & 0xFFFF), static_cast<uint8_t>((word >> 16) & 0xFF),
                ((word >> 24) & 0xFF) != 0};
    }
};

// The word of a finished file (1030):
//   bits 16-31: the tag of its batch
//   bits  0-15: 1 for the last file of the batch, else 0
struct ItemDoneParam {
    uint16_t tag = 0;
    bool last = false;

    uint64_t Encode() const { return (uint64_t{tag} << 16) | (last ? 1u : 0u); }
    static ItemDoneParam Decode(uint64_t word) {
        return {static_cast<uint16_t>((word >> 16) & 0xFFFF), (word & 0xFFFF) == 1};
    }
};

// A file the list hands its worker. The worker works on its own copy, so the
// list may rename or drop the row meanwhile.
struct ListJob {
    uint64_t key = 0;  // the list's name for the row; results carry it back
    std::string path;
    std::string display_name;
};
using ListJobBatch = std::vector<ListJob>;

// What the worker found for one file (1030); it belongs to the list once posted.
struct ListResult {
    uint64_t key = 0;
    ScanRecord record = ZeroRecord();
    AttributeTexts texts;
    int feature_mask = 0;  // what the file's kind offers (FeatureBit)
    FileChecks checks;
    Severity severity = Severity::kNone;  // the worst of the file's findings
    // Set when no media type opens the file: why. The row then shows this
    // under Problems and "--" elsewhere.
    std::string refusal;
};

// The spectrogram of a Details dialog's file (1032), with the lines it marks;
// or, when the file could not be decoded, why.
struct DetailsSpectrum {
    std::optional<Spectrogram> spectrogram;
    SpectrumMarks marks;
    std::string failure;
};

// What travels with a message. Whatever it holds belongs to the receiver
// once the message is posted; a message that is dropped frees it.
using Payload = std::variant<std::monostate, std::string, ListJobBatch, std::unique_ptr<ListResult>,
                             std::unique_ptr<ScanRecord>, std::unique_ptr<FrameSeries>,
                             std::unique_ptr<DetailsSpectrum>>;

// A numeric parameter and the payload: objects that other systems would pass
// as a pointer parameter travel as the payload.
struct Message {
    Message() = default;
    explicit Message(uint32_t message_id, uint64_t word = 0) : id(message_id), wparam(word) {}
    Message(uint32_t message_id, uint64_t word, Payload data)
        : id(message_id), wparam(word), payload(std::move(data)) {}

    uint32_t id = 0;
    uint64_t wparam = 0;
    Payload payload;
};

// A window that receives messages from workers. Post may be called from any
// thread and must not block for long; the message is handled later on the
// receiver's own thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void Post(Message message) = 0;
};

// Shows a message box for a worker or a thread owner. Implementations may be
// called from any thread and show the box on the user-interface thread.
class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

}  // namespace vandrel
