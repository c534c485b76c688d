#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// A buffered, seekable byte stream over a regular file (or, for tests and
// fuzzing, over bytes in memory). Seeking inside the buffer costs nothing, so
// the frame walk's one seek per frame and its single-byte reads stay in memory.
//
// The buffer is refilled with one pread() when a read leaves it. Reads that
// follow one another (a frame walk, a frame search that looks further) fetch
// twice as much each time, up to kMaxReadAhead; a jump elsewhere (the tail of
// the file, back to its start) starts again with kMinReadAhead, so the many
// small reads of a scan's first steps cost little and a walk over a long file
// takes few system calls. Bytes a refill still finds in the buffer are kept,
// not read again. Buffers come from a small per-thread pool: a scan opens a
// stream per probe and per file, and each would otherwise allocate its own.
//
// Reads past the end return fewer bytes (GetByte returns -1); a file that
// shrinks while it is read simply ends earlier.
class FileStream {
public:
    // Peek serves at most this many bytes at once.
    static constexpr size_t kBufferCapacity = size_t{1} << 20;
    static constexpr size_t kMinReadAhead = 16 * 1024;
    static constexpr size_t kMaxReadAhead = 256 * 1024;

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

    bool IsOpen() const { return fd_ >= 0 || in_memory_; }
    // errno of the last failed Open (EISDIR for a directory, EINVAL for other
    // files that are not regular files).
    int LastError() const { return last_error_; }
    // Size measured when the file was opened.
    int64_t Size() const { return size_; }

    int64_t Tell() const { return pos_; }
    // Positions before 0 are taken as 0; positions past the end are allowed.
    void Seek(int64_t pos) { pos_ = pos < 0 ? 0 : pos; }

    // The first position at or after `pos` that may hold bytes other than
    // zeros: `pos` itself unless the file system reports a hole there (a
    // sparse file), the end of the file when only a hole follows.
    int64_t NextData(int64_t pos) const;

    size_t Read(std::span<uint8_t> out);
    // The next byte, or -1 at the end of the file.
    int GetByte() {
        const uint64_t offset = static_cast<uint64_t>(pos_ - buffer_start_);
        if (offset < buffer_length_) {
            ++pos_;
            return buffer_[offset];
        }
        return GetByteSlow();
    }
    // Up to n (at most kBufferCapacity) bytes at the current position, without
    // moving it: all n unless the file ends sooner. Valid until the next read
    // or seek outside them.
    std::span<const uint8_t> Peek(size_t n) {
        const uint64_t offset = static_cast<uint64_t>(pos_ - buffer_start_);
        if (offset < buffer_length_ && buffer_length_ - offset >= n) {
            return {buffer_ + offset, n};
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
    // Buffers up to n bytes from the current position, keeping those already
    // buffered there.
    void Fill(size_t n);
    // Reads directly from the file at an absolute position.
    size_t ReadAt(int64_t pos, uint8_t* out, size_t n);
    void DropBuffer() { buffer_length_ = 0; }
    // Bytes buffered at the current position.
    size_t Buffered() const;

    int fd_ = -1;
    bool in_memory_ = false;
    bool writable_ = false;
    int last_error_ = 0;
    int64_t size_ = 0;
    int64_t pos_ = 0;
    std::vector<uint8_t> memory_;
    std::unique_ptr<uint8_t[]> storage_;  // the file's buffer, kBufferCapacity bytes
    const uint8_t* buffer_ = nullptr;     // storage_, or memory_ for a stream in memory
    int64_t buffer_start_ = 0;
    size_t buffer_length_ = 0;
    size_t read_ahead_ = kMinReadAhead;  // what the next refill reads at least
};

}  // namespace vandrel
