#include "engine/io/FileStream.h"

#include <algorithm>
#include <cstring>

namespace vandrel {

FileStream::~FileStream() {
    Close();
}

bool FileStream::Open(const std::string& path, std::string_view mode) {
    Close();
    if (!file_.Open(path, mode.find('+') != std::string_view::npos)) {
        return false;
    }
    pos_ = 0;
    buffer_.Drop();
    return true;
}

void FileStream::OpenMemory(std::vector<uint8_t> bytes) {
    Close();
    memory_ = std::move(bytes);
    in_memory_ = true;
    pos_ = 0;
    buffer_.HoldAll(memory_);
}

int FileStream::Close() {
    const int result = file_.Close();
    in_memory_ = false;
    memory_.clear();
    pos_ = 0;
    buffer_.Release();
    return result;
}

int FileStream::GetByteSlow() {
    buffer_.Fill(file_, pos_, 1);
    if (buffer_.HeldAt(pos_) == 0) {
        return -1;
    }
    return buffer_.Data()[static_cast<size_t>(pos_++ - buffer_.Start())];
}

std::span<const uint8_t> FileStream::PeekSlow(size_t n) {
    buffer_.Fill(file_, pos_, n);
    const size_t available = buffer_.HeldAt(pos_);
    if (available == 0) {
        return {};
    }
    return {buffer_.Data() + static_cast<size_t>(pos_ - buffer_.Start()), std::min(n, available)};
}

size_t FileStream::Read(std::span<uint8_t> out) {
    // Small reads go through the buffer; a large one takes what the buffer
    // holds and reads the rest straight into `out`.
    if (buffer_.HeldAt(pos_) < out.size() && out.size() - buffer_.HeldAt(pos_) < kMaxReadAhead) {
        buffer_.Fill(file_, pos_, out.size());
    }
    size_t done = std::min(out.size(), buffer_.HeldAt(pos_));
    if (done > 0) {
        std::memcpy(out.data(), buffer_.Data() + static_cast<size_t>(pos_ - buffer_.Start()), done);
        pos_ += static_cast<int64_t>(done);
    }
    if (done < out.size()) {
        const size_t got = file_.ReadAt(pos_, out.data() + done, out.size() - done);
        done += got;
        pos_ += static_cast<int64_t>(got);
    }
    return done;
}

bool FileStream::Write(std::span<const uint8_t> bytes) {
    if (!file_.IsWritable()) {
        return false;
    }
    buffer_.Drop();
    const int64_t written = file_.WriteAt(pos_, bytes);
    if (written < 0) {
        return false;
    }
    pos_ += written;
    return static_cast<size_t>(written) == bytes.size();
}

bool FileStream::Truncate(int64_t size) {
    if (!file_.IsWritable() || size < 0) {
        return false;
    }
    buffer_.Drop();
    if (!file_.Truncate(size)) {
        return false;
    }
    pos_ = std::min(pos_, size);
    return true;
}

}  // namespace vandrel
