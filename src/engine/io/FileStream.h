#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/FileHandle.h"
#include "engine/io/ReadBuffer.h"

namespace vandrel {

// A buffered, seekable byte stream over a regular file (or, for tests and
// fuzzing, over bytes in memory). Seeking inside the buffer costs nothing, so
// the frame walk's one seek per frame and its single-byte reads stay in memory.
// The buffer is refilled with one pread() when a read leaves it (see
// ReadBuffer for how far it reads ahead).
//
// Reads past the end return fewer bytes (GetByte returns -1); a file that
// shrinks while it is read simply ends earlier.
class FileStream {
public:
    // Peek serves at most this many bytes at once.
    static constexpr size_t kBufferCapacity = ReadBuffer::kCapacity;
    static constexpr size_t kMinReadAhead = ReadBuffer::kMinReadAhead;
    static constexpr size_t kMaxReadAhead = ReadBuffer::kMaxReadAhead;

    FileStream() = default;
    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Mode as for fopen: "rb" reads, "r+b" / "rb+" reads and writes. Only
    // regular files are opened; a directory or a FIFO fails without blocking.
    bool Open(const std::string& path, std::string_view mode);
    // Serves the given bytes as the file's content (read-only).
    void OpenMemory(std::vector<uint8_t> bytes);
    // 0 on success or when nothing was open, else the failing close()'s errno.
    int Close();

    bool IsOpen() const { return file_.IsOpen() || in_memory_; }
    // errno of the last failed Open (EISDIR for a directory, EINVAL for other
    // files that are not regular files).
    int LastError() const { return file_.LastError(); }
    // Size measured when the file was opened.
    int64_t Size() const {
        return in_memory_ ? static_cast<int64_t>(memory_.size()) : file_.Size();
    }

    int64_t Tell() const { return pos_; }
    // Positions before 0 are taken as 0; positions past the end are allowed.
    void Seek(int64_t pos) { pos_ = pos < 0 ? 0 : pos; }

    // The first position at or after `pos` that may hold bytes other than
    // zeros (see FileHandle::NextData).
    int64_t NextData(int64_t pos) const { return file_.NextData(pos); }

    size_t Read(std::span<uint8_t> out);
    // The next byte, or -1 at the end of the file.
    int GetByte() {
        const uint64_t offset = static_cast<uint64_t>(pos_ - buffer_.Start());
        if (offset < buffer_.Length()) {
            ++pos_;
            return buffer_.Data()[offset];
        }
        return GetByteSlow();
    }
    // Up to n (at most kBufferCapacity) bytes at the current position, without
    // moving it: all n unless the file ends sooner. Valid until the next read
    // or seek outside them.
    std::span<const uint8_t> Peek(size_t n) {
        const uint64_t offset = static_cast<uint64_t>(pos_ - buffer_.Start());
        if (offset < buffer_.Length() && buffer_.Length() - offset >= n) {
            return {buffer_.Data() + offset, n};
        }
        return PeekSlow(n);
    }
    // Writes all bytes at the current position in one call; false when the
    // stream is not writable or fewer bytes were written.
    bool Write(std::span<const uint8_t> bytes);
    // Cuts the file to `size` bytes (a write that failed half way is undone
    // so). False when the file is not open for writing or the cut fails.
    bool Truncate(int64_t size);

private:
    int GetByteSlow();
    std::span<const uint8_t> PeekSlow(size_t n);

    FileHandle file_;
    ReadBuffer buffer_;
    bool in_memory_ = false;
    std::vector<uint8_t> memory_;  // the content of a stream in memory, all in buffer_
    int64_t pos_ = 0;
};

}  // namespace vandrel
