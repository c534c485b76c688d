#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vandrel {

// An open regular file, read and written at the positions given, one system
// call at a time. Only regular files are opened: a directory or a FIFO fails
// without blocking. The size is the one measured at opening, as writes and
// cuts through this handle have changed it since.
class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Closes what was open first. With `writable`, for reading and writing.
    bool Open(const std::string& path, bool writable);
    // 0 on success or when nothing was open, else the failing close()'s errno.
    int Close();

    bool IsOpen() const { return fd_ >= 0; }
    bool IsWritable() const { return fd_ >= 0 && writable_; }
    // errno of the last failed Open (EISDIR for a directory, EINVAL for other
    // files that are not regular files).
    int LastError() const { return last_error_; }
    int64_t Size() const { return size_; }

    // Up to n bytes from `pos`; fewer at the end of the file, and where an
    // I/O error stops the read.
    size_t ReadAt(int64_t pos, uint8_t* out, size_t n) const;
    // Writes the bytes at `pos` in one call. The bytes written, -1 when the
    // file is not open for writing or the write fails.
    int64_t WriteAt(int64_t pos, std::span<const uint8_t> bytes);
    // Cuts the file to `size` bytes. False when the file is not open for
    // writing or the cut fails.
    bool Truncate(int64_t size);
    // The first position at or after `pos` that may hold bytes other than
    // zeros: `pos` itself unless the file system reports a hole there (a
    // sparse file), the end of the file when only a hole follows.
    int64_t NextData(int64_t pos) const;

private:
    int fd_ = -1;
    bool writable_ = false;
    int last_error_ = 0;
    int64_t size_ = 0;
};

}  // namespace vandrel
