#include "engine/media/MediaFileWrapper.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "engine/io/FileStream.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/Mp3File.h"

namespace vandrel {

CMediaFileWrapper::~CMediaFileWrapper() {
    Drop();
}

void CMediaFileWrapper::Drop() {
    if (file_) {
        file_->Close();
        file_.reset();
    }
}

int CMediaFileWrapper::ReleaseFrameData() {
    return file_ ? file_->ReleaseFrameData() : 0;
}

int CMediaFileWrapper::ShowPage(int tab) {
    return file_ ? file_->ShowPage(tab) : 0;
}

int CMediaFileWrapper::Scan(ScanRecord& record, const ScanOptions& options) {
    return file_ ? file_->Scan(record, options) : 0;
}

void CMediaFileWrapper::Close() {
    if (file_) {
        file_->Close();
    }
}

uint64_t CMediaFileWrapper::GetFileSize() const {
    return file_ ? file_->GetFileSize() : 0;
}

int CMediaFileWrapper::DestroyPages() {
    return file_ ? file_->DestroyPages() : 0;
}

int CMediaFileWrapper::GetFeatureMask() const {
    return file_ ? file_->GetFeatureMask() : 0;
}

bool CMediaFileWrapper::Attach(const std::string& path) {
    Drop();
    for (const auto& prototype : RegisteredMediaFileTypes()) {
        if (prototype->IsSupportedFile(path)) {
            file_ = prototype->Clone();
            return file_->Open(path, "rb");
        }
    }
    return false;
}

std::string DescribeAttachFailure(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::generic_category().message(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return std::generic_category().message(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return "Not a regular file";
    }
    FileStream probe;
    if (!probe.Open(path, "rb")) {
        return std::generic_category().message(probe.LastError());
    }
    if (probe.Size() == 0) {
        return "Empty file";
    }
    if (std::string reason = CMp3File::RefusalReason(path); !reason.empty()) {
        return reason;
    }
    return "Not an MPEG audio, MPEG Plus or WAVE file";
}

}  // namespace vandrel
