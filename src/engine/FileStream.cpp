#include "FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vandrel {

FileStream::~FileStream() {
    Close();
}

bool FileStream::Open(const std::string& path, std::string_view mode) {
    Close();
    const bool write = mode.find('+') != std::string_view::npos;
    // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; it is
    // cleared again once the file is known to be a regular file.
    int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
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
    writable_ = write;
    size_ = st.st_size;
    pos_ = 0;
    last_error_ = 0;
    DropBuffer();
    return true;
}

void FileStream::OpenMemory(std::vector<uint8_t> bytes) {
    Close();
    memory_ = std::move(bytes);
    in_memory_ = true;
    writable_ = false;
    size_ = static_cast<int64_t>(memory_.size());
    pos_ = 0;
    DropBuffer();
}

int FileStream::Close() {
    int result = 0;
    if (fd_ >= 0 && ::close(fd_) != 0) {
        result = errno;
    }
    fd_ = -1;
    in_memory_ = false;
    memory_.clear();
    writable_ = false;
    size_ = 0;
    pos_ = 0;
    DropBuffer();
    return result;
}

size_t FileStream::ReadAt(int64_t pos, uint8_t* out, size_t n) {
    if (in_memory_) {
        if (pos >= size_) {
            return 0;
        }
        size_t available = static_cast<size_t>(size_ - pos);
        size_t count = std::min(n, available);
        std::memcpy(out, memory_.data() + pos, count);
        return count;
    }
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

void FileStream::Fill() {
    if (buffer_.empty()) {
        buffer_.resize(kBufferSize);
    }
    buffer_start_ = pos_;
    buffer_length_ = ReadAt(pos_, buffer_.data(), buffer_.size());
}

int FileStream::GetByteSlow() {
    Fill();
    if (buffer_length_ == 0) {
        return -1;
    }
    return buffer_[static_cast<size_t>(pos_++ - buffer_start_)];
}

std::span<const uint8_t> FileStream::PeekSlow(size_t n) {
    Fill();
    return {buffer_.data(), std::min(n, buffer_length_)};
}

size_t FileStream::Read(std::span<uint8_t> out) {
    size_t done = 0;
    // First whatever the buffer already holds at the position.
    const uint64_t offset = static_cast<uint64_t>(pos_ - buffer_start_);
    if (offset < buffer_length_) {
        size_t count = std::min(out.size(), static_cast<size_t>(buffer_length_ - offset));
        std::memcpy(out.data(), buffer_.data() + offset, count);
        done = count;
        pos_ += static_cast<int64_t>(count);
    }
    if (done < out.size()) {
        size_t got = ReadAt(pos_, out.data() + done, out.size() - done);
        done += got;
        pos_ += static_cast<int64_t>(got);
    }
    return done;
}

bool FileStream::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0 || !writable_) {
        return false;
    }
    DropBuffer();
    ssize_t written;
    do {
        written = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(pos_));
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        return false;
    }
    pos_ += written;
    size_ = std::max(size_, pos_);
    return static_cast<size_t>(written) == bytes.size();
}

}  // namespace vandrel
