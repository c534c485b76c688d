#include "engine/io/ReadBuffer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vandrel {

namespace {

// Storage that released buffers leave for the next buffer on the same thread.
class BufferPool {
public:
    std::unique_ptr<uint8_t[]> Take() {
        if (spare_.empty()) {
            // Not zero-filled: only the bytes read into it are ever looked at,
            // and pages never written are never touched.
            return std::make_unique_for_overwrite<uint8_t[]>(ReadBuffer::kCapacity);
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

ReadBuffer::~ReadBuffer() {
    Release();
}

void ReadBuffer::Fill(const FileHandle& file, int64_t pos, size_t n) {
    if (!file.IsOpen()) {
        return;  // nothing more to read; bytes in memory are held whole
    }
    if (!storage_) {
        storage_ = t_buffers.Take();
        data_ = storage_.get();
    }
    n = std::min(n, kCapacity);
    const int64_t end = start_ + static_cast<int64_t>(length_);
    bool follows;  // whether this read goes on where the last one ended
    if (length_ > 0 && pos >= start_ && pos <= end) {
        follows = true;
    } else {
        follows = length_ > 0 && pos > end &&
                  static_cast<uint64_t>(pos - end) <= static_cast<uint64_t>(read_ahead_);
        start_ = pos;
        length_ = 0;
    }
    read_ahead_ = follows ? std::min(read_ahead_ * 2, kMaxReadAhead) : kMinReadAhead;

    size_t offset = static_cast<size_t>(pos - start_);
    const size_t have = length_ - offset;
    size_t want = std::max(n > have ? n - have : 0, read_ahead_);
    if (offset > 0 && (have <= kMinReadAhead || offset + have + want > kCapacity)) {
        // What is left moves to the front, so that the read has room after it
        // and a walk keeps refilling the same, cached, part of the buffer.
        std::memmove(storage_.get(), storage_.get() + offset, have);
        start_ = pos;
        length_ = have;
        offset = 0;
    }
    want = std::min(want, kCapacity - length_);
    length_ += file.ReadAt(start_ + static_cast<int64_t>(length_), storage_.get() + length_, want);
}

void ReadBuffer::HoldAll(std::span<const uint8_t> bytes) {
    data_ = bytes.data();
    start_ = 0;
    length_ = bytes.size();
}

void ReadBuffer::Release() {
    if (storage_) {
        t_buffers.Give(std::move(storage_));
    }
    data_ = nullptr;
    start_ = 0;
    length_ = 0;
    read_ahead_ = kMinReadAhead;
}

}  // namespace vandrel
