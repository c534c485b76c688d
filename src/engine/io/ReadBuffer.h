#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/io/FileHandle.h"

namespace vandrel {

// The bytes of a file that a FileStream holds: Length() bytes from Start() on,
// at Data().
//
// A refill follows on from the bytes held (a frame walk, a frame search that
// looks further) and reads twice as much as the one before, up to
// kMaxReadAhead; a jump elsewhere (the tail of the file, back to its start)
// starts again with kMinReadAhead, so the many small reads of a scan's first
// steps cost little and a walk over a long file takes few system calls. Bytes
// a refill still finds held are kept, not read again. The storage comes from a
// small per-thread pool: a scan opens a stream per probe and per file, and
// each would otherwise allocate its own.
class ReadBuffer {
public:
    // The most bytes held at once.
    static constexpr size_t kCapacity = size_t{1} << 20;
    static constexpr size_t kMinReadAhead = 16 * 1024;
    static constexpr size_t kMaxReadAhead = 256 * 1024;

    ReadBuffer() = default;
    ~ReadBuffer();
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    const uint8_t* Data() const { return data_; }
    int64_t Start() const { return start_; }
    size_t Length() const { return length_; }
    // The bytes held from `pos` on.
    size_t HeldAt(int64_t pos) const {
        const uint64_t offset = static_cast<uint64_t>(pos - start_);
        return offset < length_ ? static_cast<size_t>(length_ - offset) : 0;
    }

    // Holds up to n (at most kCapacity) bytes of `file` from `pos` on, keeping
    // those already held there. Nothing happens when the file is not open:
    // bytes in memory are held whole.
    void Fill(const FileHandle& file, int64_t pos, size_t n);
    void Drop() { length_ = 0; }
    // Holds `bytes`, which must stay where they are, as the whole file.
    void HoldAll(std::span<const uint8_t> bytes);
    // Gives the storage back to the pool and forgets what was held.
    void Release();

private:
    std::unique_ptr<uint8_t[]> storage_;  // kCapacity bytes, once a file was read
    const uint8_t* data_ = nullptr;       // storage_, or the bytes held whole
    int64_t start_ = 0;
    size_t length_ = 0;
    size_t read_ahead_ = kMinReadAhead;  // what the next refill reads at least
};

}  // namespace vandrel
