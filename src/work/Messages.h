#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/FrameSeries.h"
#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

// Messages between the windows and their workers.
enum MessageId : uint32_t {
    kMsgCloseRequest = 16,    // details worker -> dialog: the scan failed, close
    kMsgProgress = 1025,      // 0x401: one-shot worker progress, or the frame series
    kMsgProcessBatch = 1026,  // 0x402: list -> worker: a batch of items
    kMsgRecordCopy = 1029,    // 0x405: details worker -> dialog: the record so far
    kMsgItemDone = 1030,      // 0x406: list worker -> list: one item finished
    kMsgBadFile = 1064,       // 0x428: list worker -> list: the file could not be opened
    kMsgStatusText = 1115,    // 0x45B: list worker -> list: a status text
    kMsgQuit = 1280,          // 0x500: to a worker: end the loop
    kMsgFlush = 1281,         // 0x501: to a worker: drop what is queued
};

// One row of the file list. The list and its worker share it: the worker
// fills the record and texts, and the list reads them only after the item's
// "finished" message arrived.
struct _LVItemData {
    std::string path;          // full path
    std::string display_name;  // the name shown
    int icon_index = -1;
    ScanRecord record = ZeroRecord();
    AttributeTexts texts;
    bool done = false;  // the worker's result has been taken in
};
using ItemRef = std::shared_ptr<_LVItemData>;
using ItemBatch = std::vector<ItemRef>;

// What travels with a message. Whatever it holds belongs to the receiver
// once the message is posted; a message that is dropped frees it.
using Payload = std::variant<std::monostate, std::string, ItemRef, ItemBatch,
                             std::unique_ptr<ScanRecord>, std::unique_ptr<FrameSeries>>;

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
