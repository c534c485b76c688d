#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/media/MediaFileInterface.h"

namespace vandrel {

// Owns at most one open media file for its user (list worker, Details dialog,
// export). Forwarding calls answer 0 while it holds none.
class CMediaFileWrapper {
public:
    CMediaFileWrapper() = default;
    CMediaFileWrapper(const CMediaFileWrapper&) = delete;
    CMediaFileWrapper& operator=(const CMediaFileWrapper&) = delete;
    // Closes and destroys the held file.
    virtual ~CMediaFileWrapper();

    virtual int ReleaseFrameData();
    virtual int ShowPage(int tab);

    int Scan(ScanRecord& record, const ScanOptions& options);
    void Close();
    uint64_t GetFileSize() const;
    int DestroyPages();
    int GetFeatureMask() const;

    // Drops a held file, then opens the path with the first registered
    // prototype that accepts it. False when none does or opening fails.
    bool Attach(const std::string& path);

    CMediaFileInterface* File() { return file_.get(); }
    const CMediaFileInterface* File() const { return file_.get(); }

    // Closes and destroys the held file, if any.
    void Drop();

private:
    std::unique_ptr<CMediaFileInterface> file_;
};

class CVandrelMediaFileWrapper : public CMediaFileWrapper {};

// Why Attach refused a path, as a short text for the user: the system's
// reason when the file cannot be opened, "Empty file", or that no file kind
// recognises it.
std::string DescribeAttachFailure(const std::string& path);

}  // namespace vandrel
