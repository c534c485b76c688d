#include "engine/media/MediaFile.h"

namespace vandrel {

// The page windows stay with the original, in the dialog that shows it.
CMediaFile::CMediaFile(const CMediaFile& other)
    : CMediaFileInterface(other), page_kinds_(other.page_kinds_), path_(other.path_),
      file_size_(other.file_size_) {}

CMediaFile::~CMediaFile() {
    // The page widgets draw this file's data: they go with it.
    CMediaFile::DestroyPages();
    stream_.Close();
}

bool CMediaFile::SetScanResult(const ScanRecord& /*record*/) {
    return true;
}

bool CMediaFile::UpdatePages(const ScanRecord& /*record*/, const FrameSeries* /*series*/) {
    return true;
}

bool CMediaFile::CreatePages(std::string_view /*font_face*/, PageHost& /*host*/, int /*option*/) {
    return true;
}

bool CMediaFile::StorePageState() {
    return true;
}

bool CMediaFile::MovePages(const PageRect& /*rect*/) {
    return true;
}

bool CMediaFile::ShowPage(int /*tab*/) {
    return true;
}

bool CMediaFile::ReleaseFrameData() {
    return true;
}

bool CMediaFile::Open(const std::string& path, std::string_view mode) {
    path_ = path;
    file_size_ = 0;
    if (!stream_.Open(path, mode)) {
        return false;
    }
    file_size_ = static_cast<uint64_t>(stream_.Size());
    stream_.Seek(0);
    return true;
}

void CMediaFile::OpenMemory(const std::string& path, std::vector<uint8_t> bytes) {
    path_ = path;
    stream_.OpenMemory(std::move(bytes));
    file_size_ = static_cast<uint64_t>(stream_.Size());
}

int CMediaFile::Close() {
    return stream_.Close();
}

bool CMediaFile::DestroyPages() {
    if (page_host_ != nullptr) {
        for (PageHost::PageHandle page : pages_) {
            page_host_->DestroyPage(page);
        }
    }
    pages_.clear();
    return true;
}

bool CMediaFile::LoadPageSettings(const SettingsStore& /*settings*/) {
    return true;
}

bool CMediaFile::SavePageSettings(SettingsStore& /*settings*/) const {
    return true;
}

}  // namespace vandrel
