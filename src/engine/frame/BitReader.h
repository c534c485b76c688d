#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/io/ByteOrder.h"

namespace vandrel {

// Reads bits most significant first from the bytes it is given, and never
// from anywhere else: the bits after the last byte read as zero, and a read
// that takes any of them shows as Overrun(). Bits come out of a 64-bit cache
// that Refill() tops up to at least 56 bits (from one 8-byte load while 8
// bytes remain, byte by byte near the end), so a caller that refills once can
// take up to 56 bits in several peeks and skips without a bounds check.
class BitReader {
public:
    static constexpr int kRefilledBits = 56;

    explicit BitReader(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    // Bits taken since the first byte, those past the end included.
    size_t Position() const { return next_ * 8 - static_cast<size_t>(cached_); }
    // Whether bits past the last byte were taken.
    bool Overrun() const { return Position() > size_ * 8; }
    // Goes to bit `bit` from the first byte (refilled).
    void Seek(size_t bit) {
        next_ = bit / 8;
        cache_ = 0;
        cached_ = 0;
        Refill();
        Skip(static_cast<int>(bit % 8));
    }
    void Refill() {
        if (next_ < size_ && size_ - next_ >= 8) [[likely]] {
            // The cache's bits below the ones it holds are zero or already
            // the bytes that follow, so or-ing the next 8 bytes in is right
            // either way.
            cache_ |= LoadBe64({data_ + next_, 8}) >> cached_;
            next_ += static_cast<size_t>(63 - cached_) >> 3;
            cached_ |= kRefilledBits;
            return;
        }
        RefillNearEnd();
    }
    // How many of the stream's next bits the cache holds.
    int Cached() const { return cached_; }
    // The cached bits, the next one on top (as many as Refill left).
    uint64_t Window() const { return cache_; }
    // The next n bits (1 to 32, no more than the cache holds) without taking them.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(cache_ >> (64 - n)); }
    // Takes n bits (0 to the number cached).
    void Skip(int n) {
        cache_ <<= n;
        cached_ -= n;
    }
    // Takes n bits (0 to 32, no more than the cache holds) and gives them.
    uint32_t Take(int n) {
        if (n == 0) {
            return 0;
        }
        const uint32_t value = Peek(n);
        Skip(n);
        return value;
    }
    // Take with a refill first, for reads that are not in a hot loop (n at most 32).
    uint32_t Read(int n) {
        Refill();
        return Take(n);
    }

private:
    void RefillNearEnd() {
        while (cached_ < kRefilledBits) {
            const uint64_t byte = next_ < size_ ? data_[next_] : 0;
            cache_ |= byte << (kRefilledBits - cached_);
            ++next_;
            cached_ += 8;
        }
    }

    const uint8_t* data_;
    size_t size_;
    size_t next_ = 0;     // the next byte to load into the cache
    uint64_t cache_ = 0;  // the next bits, from the top
    int cached_ = 0;      // how many of the cache's bits are the stream's next ones
};

}  // namespace vandrel
