#pragma once

#include <string>

#include "engine/core/Sink.h"
#include "engine/media/MediaFileWrapper.h"
#include "work/ThreadBase.h"

namespace vandrel {

// Settings of the file list that its worker reads at the moment it uses them.
class ListWorkerSettings {
public:
    virtual ~ListWorkerSettings() = default;
    // Read all frames of a file whose encoder comes out "Unknown".
    virtual bool ReadAllUnknown() const = 0;
    // Double the quality per bitrate of mono files.
    virtual bool MonoQuality() const = 0;
};

// The file list's worker: analyses batches of items and posts each back.
class CListThread : public CThread<CListThread> {
public:
    static constexpr std::chrono::milliseconds kStopTimeout{1000};

    explicit CListThread(const ListWorkerSettings& settings);

    // wparam: bits 0-15 frames to read (0 = all), bits 16-23 the batch tag,
    // bits 24-31 non-zero for headers only.
    bool OnProcessMulti(uint64_t wparam, ItemBatch items);
    // One item; false when its file could not be opened.
    bool OnProcess(int frames, const ItemRef& item, bool walk_frames);
    bool DoProcess(const std::string& path, ScanRecord& record, AttributeTexts& texts,
                   const ItemRef& item, int frames, bool walk_frames);

    // The scan's progress sink: holds while the worker is paused, and stops
    // the scan once the worker is interrupted.
    class thread_helper : public sink {
    public:
        explicit thread_helper(CListThread& owner) : owner_(owner) {}
        bool Progress(const ScanRecord& record) override;

    private:
        CListThread& owner_;
    };

    // Encodes a batch's wparam.
    static uint64_t BatchParam(int frames, uint8_t tag, bool headers_only);

private:
    void PostStatus(std::string text);

    const ListWorkerSettings& settings_;
};

}  // namespace vandrel
