#pragma once

#include <string>
#include <vector>

#include "engine/io/FileStream.h"
#include "engine/media/MediaFileInterface.h"

namespace vandrel {

// Base implementation: the file stream, path and size, and the page lists.
class CMediaFile : public CMediaFileInterface {
public:
    CMediaFile() = default;
    // A copy shares no stream and no page windows: it takes the path, the
    // size and the tab kinds.
    CMediaFile(const CMediaFile& other);
    CMediaFile& operator=(const CMediaFile&) = delete;
    ~CMediaFile() override;

    bool SetScanResult(const ScanRecord& record) override;
    bool UpdatePages(const ScanRecord& record, const FrameSeries* series) override;
    bool CreatePages(std::string_view font_face, PageHost& host, int option) override;
    bool StorePageState() override;
    bool MovePages(const PageRect& rect) override;
    bool ShowPage(int tab) override;
    bool ReleaseFrameData() override;

    bool Open(const std::string& path, std::string_view mode) override;
    int Close() override;
    uint64_t GetFileSize() const override { return file_size_; }
    bool DestroyPages() override;
    bool LoadPageSettings(const SettingsStore& settings) override;
    bool SavePageSettings(SettingsStore& settings) const override;

    // Serves bytes from memory as this file's content (tests and fuzzing);
    // `path` only names it.
    void OpenMemory(const std::string& path, std::vector<uint8_t> bytes);

    const std::string& Path() const { return path_; }
    // errno of the last failed Open.
    int LastOpenError() const { return stream_.LastError(); }

protected:
    FileStream& Stream() { return stream_; }
    // After a write that changed the file's length.
    void SetFileSize(uint64_t size) { file_size_ = size; }

    std::vector<PageHost::PageHandle> pages_;  // owned by the host, destroyed through it
    // The host of the pages; it must outlive them, and so this file while it has pages.
    PageHost* page_host_ = nullptr;
    std::vector<int> page_kinds_;  // the page kind of each tab this file adds

private:
    FileStream stream_;
    std::string path_;
    uint64_t file_size_ = 0;
};

}  // namespace vandrel
