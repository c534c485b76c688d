#include "work/ListThread.h"

#include <exception>

#include "engine/core/ScanError.h"
#include "store/Log.h"

namespace vandrel {

CListThread::CListThread(const ListWorkerSettings& settings)
    : CThread<CListThread>(kStopTimeout), settings_(settings) {}

uint64_t CListThread::BatchParam(int frames, uint8_t tag, bool headers_only) {
    // The frame count travels in 16 bits: 65536 reads as 0, all frames.
    return (static_cast<uint64_t>(frames) & 0xFFFF) | (uint64_t{tag} << 16) |
           (uint64_t{headers_only ? 1u : 0u} << 24);
}

void CListThread::PostStatus(std::string text) {
    PostToTarget(Message(kMsgStatusText, 0, std::move(text)));
}

bool CListThread::thread_helper::Progress(const ScanRecord& /*record*/) {
    owner_.WaitWhilePaused();
    return !owner_.interrupt_event.IsSet();
}

bool CListThread::OnProcessMulti(uint64_t wparam, ItemBatch items) {
    Log("CListThread::OnProcessMulti");
    const int frames = static_cast<int>(wparam & 0xFFFF);
    const uint64_t tag = (wparam >> 16) & 0xFF;
    const bool walk_frames = ((wparam >> 24) & 0xFF) == 0;
    for (size_t i = 0; i < items.size(); ++i) {
        WaitWhilePaused();
        const bool processed = OnProcess(frames, items[i], walk_frames);
        if (interrupt_event.IsSet()) {
            interrupt_event.Reset();
            break;  // nothing more of this batch is posted
        }
        if (processed) {
            Log("CListThread::OnProcessMulti posting message ");
            const uint64_t last = i + 1 == items.size() ? 1 : 0;
            PostToTarget(Message(kMsgItemDone, tag * 65536 + last, items[i]));
        }
    }
    return true;
}

bool CListThread::OnProcess(int frames, const ItemRef& ref, bool walk_frames) {
    _LVItemData& item = *ref;
    Log("CListThread::OnProcess");
    Log([&] { return "CListThread::OnProcess " + item.path; });
    item.record = ZeroRecord();
    item.texts[kSlotName] = item.display_name;
    PostStatus("Processing: " + item.display_name);
    bool processed = true;
    try {
        processed = DoProcess(item.path, item.record, item.texts, ref, frames, walk_frames);
        PostStatus({});
    } catch (const std::exception&) {
        Log("CListThread::OnProcess unspecified exception ");
        ApplyScanFailureTexts(item.texts, item.record);
        processed = true;
    }
    return processed;
}

bool CListThread::DoProcess(const std::string& path, ScanRecord& record, AttributeTexts& texts,
                            const ItemRef& item, int frames, bool walk_frames) {
    Log("CListThread::DoProcess");
    const int limit = frames == 0 ? -1 : frames;
    record.whole_file_scanned = 0;
    CVandrelMediaFileWrapper file;
    if (!file.Attach(path)) {
        Log([&] { return "WARNING::  CListThread::DoProcess Failed to open file : " + path; });
        PostToTarget(Message(kMsgBadFile, 0, item));
        return false;
    }
    thread_helper helper(*this);
    try {
        if (file.Scan(record,
                      {.walk_frames = walk_frames, .frame_limit = limit, .progress = &helper}) ==
            0) {
            return true;
        }
        record.quality_class = BuildAttributeTexts(texts, record, settings_.MonoQuality());
        if (record.whole_file_scanned == 0 && settings_.ReadAllUnknown() &&
            texts[kSlotEncoder] == "Unknown") {
            // The statistics of a part of the file named no encoder: all of
            // it may. The record starts afresh, as every scan's must.
            record = ZeroRecord();
            if (file.Scan(record, {.walk_frames = walk_frames, .progress = &helper}) == 0) {
                return true;
            }
        }
    } catch (const ScanError& e) {
        Log([&] {
            return std::string("WARNING::  CListThread::SetupItem exception in "
                               "CMp3File::ProcessFrames ") +
                   e.what();
        });
        throw;
    }
    file.Close();
    record.quality_class = BuildAttributeTexts(texts, record, settings_.MonoQuality());
    return true;
}

}  // namespace vandrel
