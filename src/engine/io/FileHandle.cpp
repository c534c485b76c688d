#include "engine/io/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vandrel {

FileHandle::~FileHandle() {
    Close();
}

bool FileHandle::Open(const std::string& path, bool writable) {
    Close();
    // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; it is
    // cleared again once the file is known to be a regular file.
    int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        last_error_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        last_error_ = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        last_error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    writable_ = writable;
    size_ = st.st_size;
    last_error_ = 0;
    return true;
}

int FileHandle::Close() {
    int result = 0;
    if (fd_ >= 0 && ::close(fd_) != 0) {
        result = errno;
    }
    fd_ = -1;
    writable_ = false;
    size_ = 0;
    return result;
}

size_t FileHandle::ReadAt(int64_t pos, uint8_t* out, size_t n) const {
    if (fd_ < 0) {
        return 0;
    }
    size_t done = 0;
    while (done < n) {
        ssize_t got =
            ::pread(fd_, out + done, n - done, static_cast<off_t>(pos) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // end of file, or an I/O error, which reads as the end
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

int64_t FileHandle::WriteAt(int64_t pos, std::span<const uint8_t> bytes) {
    if (!IsWritable()) {
        return -1;
    }
    ssize_t written;
    do {
        written = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(pos));
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        return -1;
    }
    size_ = std::max<int64_t>(size_, pos + written);
    return written;
}

bool FileHandle::Truncate(int64_t size) {
    if (!IsWritable() || size < 0) {
        return false;
    }
    int result;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        return false;
    }
    size_ = size;
    return true;
}

int64_t FileHandle::NextData(int64_t pos) const {
    if (fd_ < 0 || pos >= size_) {
        return pos;
    }
    const off_t data = ::lseek(fd_, static_cast<off_t>(pos), SEEK_DATA);
    if (data >= 0) {
        return std::max<int64_t>(pos, data);
    }
    // ENXIO: nothing but a hole up to the end. Other errors (a file system
    // without hole reporting) say nothing: the bytes are read as they are.
    return errno == ENXIO ? size_ : pos;
}

}  // namespace vandrel
