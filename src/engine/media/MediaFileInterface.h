#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/FrameSeries.h"
#include "engine/core/PageHost.h"
#include "engine/core/ScanOptions.h"
#include "engine/core/ScanRecord.h"
#include "engine/core/SettingsStore.h"
#include "engine/core/Sink.h"

namespace vandrel {

// What a Details tab shows, as a media file lists the tabs it adds.
enum PageKind : int {
    kPageBitHistogram = 0,
    kPageOtherInfo = 2,
    kPageTextInfo = 5,
};

// The side of a media file that the Details dialog sees: its pages.
class CAudioPropertyPageInterface {
public:
    virtual ~CAudioPropertyPageInterface() = default;
    // Hands a finished record to the file.
    virtual bool SetScanResult(const ScanRecord& record) = 0;
    // Hands a finished record and its per-frame series to the file.
    virtual bool UpdatePages(const ScanRecord& record, const FrameSeries* series) = 0;
    // Creates the file's pages in the host and adds their tabs.
    virtual bool CreatePages(std::string_view font_face, PageHost& host, int option) = 0;
    // Called when a Details dialog closes.
    virtual bool StorePageState() = 0;
    virtual bool MovePages(const PageRect& rect) = 0;
    // Hides every page, then shows those of the tab's page kind.
    virtual bool ShowPage(int tab) = 0;
    // Frees the collected per-frame data.
    virtual bool ReleaseFrameData() = 0;
};

// What a kind of media file offers, as the bits of GetFeatureMask. An MPEG
// audio file offers everything; bit 1 tells nothing.
enum FeatureBit : int {
    kFeatureDetails = 2,      // the Details dialog
    kFeatureSyncErrors = 4,   // the sync error list
    kFeatureAppend = 8,       // joining files
    kFeatureTagEditing = 16,  // ID3v1 editing
};

// One audio file: probe, open, scan and close, plus its page settings.
class CMediaFileInterface : public CAudioPropertyPageInterface {
public:
    // Whether this kind of media file takes the file at `path`. Safe to call on
    // a shared prototype from several threads: it works on a scratch object.
    virtual bool IsSupportedFile(const std::string& path) const = 0;
    virtual std::unique_ptr<CMediaFileInterface> Clone() const = 0;
    // Analyses the open file into `record` (see CMp3File::Scan for the rules).
    // Returns 0 for an empty file, else 1; throws ScanError when the file
    // cannot be scanned.
    virtual int Scan(ScanRecord& record, const ScanOptions& options) = 0;
    virtual int GetFileTypeCode() const = 0;
    virtual int GetFeatureMask() const = 0;
    virtual bool Open(const std::string& path, std::string_view mode) = 0;
    virtual int Close() = 0;
    virtual uint64_t GetFileSize() const = 0;
    virtual bool DestroyPages() = 0;
    virtual bool LoadPageSettings(const SettingsStore& settings) = 0;
    virtual bool SavePageSettings(SettingsStore& settings) const = 0;
};

}  // namespace vandrel
