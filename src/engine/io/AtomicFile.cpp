#include "engine/io/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

namespace vandrel {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t CurrentUmask() {
    // There is no way to read the umask without setting it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Fail(const std::string& what, int error_number) {
    if (!failed_) {
        error_ = what + ": " + std::generic_category().message(error_number);
    }
    failed_ = true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_path_.empty()) {
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

bool AtomicFile::Open() {
    Discard();
    failed_ = false;
    error_.clear();
    std::string pattern = target_ + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail("Cannot create a file in " + FolderOf(target_), errno);
        return false;
    }
    temp_path_ = name.data();
    // Keep the mode of the file being replaced; a new file gets the usual one.
    struct stat st {};
    const mode_t mode =
        ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    ::fchmod(fd_, mode);
    return true;
}

bool AtomicFile::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail("Cannot write " + target_, errno);
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0 || failed_) {
        if (!failed_) {
            error_ = "Nothing to write to " + target_;
        }
        Discard();
        return false;
    }
    if (::fsync(fd_) != 0) {
        Fail("Cannot write " + target_, errno);
    }
    if (::close(fd_) != 0) {
        Fail("Cannot write " + target_, errno);
    }
    fd_ = -1;
    if (!failed_ && std::rename(temp_path_.c_str(), target_.c_str()) != 0) {
        Fail("Cannot replace " + target_, errno);
    }
    if (failed_) {
        Discard();
        return false;
    }
    temp_path_.clear();
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.Open() && file.Write(bytes) && file.Commit();
    if (!ok && error != nullptr) {
        *error = file.Error();
    }
    return ok;
}

}  // namespace vandrel
