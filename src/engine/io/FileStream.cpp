#include "engine/io/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vandrel {

namespace {

// Buffers that closed streams leave for the next stream on the same thread.
class BufferPool {
public:
    std::unique_ptr<uint8_t[]> Take() {
        if (spare_.empty()) {
            // Not zero-filled: only the bytes read into it are ever looked at,
            // and pages never written are never touched.
            return std::make_unique_for_overwrite<uint8_t[]>(FileStream::kBufferCapacity);
        }
        std::unique_ptr<uint8_t[]> buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }
    void Give(std::unique_ptr<uint8_t[]> buffer) {
        if (spare_.size() < kKept) {
            spare_.push_back(std::move(buffer));
        }
    }

private:
    // A probe's stream and the scanned file's stream are open one after the
    // other; the cache file or a tag writer may need one more.
    static constexpr size_t kKept = 2;
    std::vector<std::unique_ptr<uint8_t[]>> spare_;
};

thread_local BufferPool t_buffers;

}  // namespace

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
    // All of it is the buffer.
    buffer_ = memory_.data();
    buffer_start_ = 0;
    buffer_length_ = memory_.size();
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
    if (storage_) {
        t_buffers.Give(std::move(storage_));
    }
    buffer_ = nullptr;
    buffer_start_ = 0;
    buffer_length_ = 0;
    read_ahead_ = kMinReadAhead;
    return result;
}

size_t FileStream::ReadAt(int64_t pos, uint8_t* out, size_t n) {
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

size_t FileStream::Buffered() const {
    const uint64_t offset = static_cast<uint64_t>(pos_ - buffer_start_);
    return offset < buffer_length_ ? static_cast<size_t>(buffer_length_ - offset) : 0;
}

void FileStream::Fill(size_t n) {
    if (fd_ < 0) {
        return;  // nothing more to read; a stream in memory holds it all
    }
    if (!storage_) {
        storage_ = t_buffers.Take();
        buffer_ = storage_.get();
    }
    n = std::min(n, kBufferCapacity);
    const int64_t end = buffer_start_ + static_cast<int64_t>(buffer_length_);
    bool follows;  // whether this read goes on where the last one ended
    if (buffer_length_ > 0 && pos_ >= buffer_start_ && pos_ <= end) {
        follows = true;
    } else {
        follows = buffer_length_ > 0 && pos_ > end &&
                  static_cast<uint64_t>(pos_ - end) <= static_cast<uint64_t>(read_ahead_);
        buffer_start_ = pos_;
        buffer_length_ = 0;
    }
    read_ahead_ = follows ? std::min(read_ahead_ * 2, kMaxReadAhead) : kMinReadAhead;

    size_t offset = static_cast<size_t>(pos_ - buffer_start_);
    const size_t have = buffer_length_ - offset;
    size_t want = std::max(n > have ? n - have : 0, read_ahead_);
    if (offset > 0 && (have <= kMinReadAhead || offset + have + want > kBufferCapacity)) {
        // What is left moves to the front, so that the read has room after it
        // and a walk keeps refilling the same, cached, part of the buffer.
        std::memmove(storage_.get(), storage_.get() + offset, have);
        buffer_start_ = pos_;
        buffer_length_ = have;
        offset = 0;
    }
    want = std::min(want, kBufferCapacity - buffer_length_);
    buffer_length_ += ReadAt(buffer_start_ + static_cast<int64_t>(buffer_length_),
                             storage_.get() + buffer_length_, want);
}

int FileStream::GetByteSlow() {
    Fill(1);
    if (Buffered() == 0) {
        return -1;
    }
    return buffer_[static_cast<size_t>(pos_++ - buffer_start_)];
}

std::span<const uint8_t> FileStream::PeekSlow(size_t n) {
    Fill(n);
    const size_t available = Buffered();
    if (available == 0) {
        return {};
    }
    return {buffer_ + static_cast<size_t>(pos_ - buffer_start_), std::min(n, available)};
}

int64_t FileStream::NextData(int64_t pos) const {
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

size_t FileStream::Read(std::span<uint8_t> out) {
    // Small reads go through the buffer; a large one takes what the buffer
    // holds and reads the rest straight into `out`.
    if (Buffered() < out.size() && out.size() - Buffered() < kMaxReadAhead) {
        Fill(out.size());
    }
    size_t done = std::min(out.size(), Buffered());
    if (done > 0) {
        std::memcpy(out.data(), buffer_ + static_cast<size_t>(pos_ - buffer_start_), done);
        pos_ += static_cast<int64_t>(done);
    }
    if (done < out.size()) {
        const size_t got = ReadAt(pos_, out.data() + done, out.size() - done);
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

bool FileStream::Truncate(int64_t size) {
    if (fd_ < 0 || !writable_ || size < 0) {
        return false;
    }
    DropBuffer();
    int result;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        return false;
    }
    size_ = size;
    pos_ = std::min(pos_, size_);
    return true;
}

}  // namespace vandrel
