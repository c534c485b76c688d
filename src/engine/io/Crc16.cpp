#include "engine/io/Crc16.h"

#include <array>

#include "engine/io/ByteOrder.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VANDREL_CRC16_CLMUL 1
#endif

namespace vandrel {

namespace {

// The generator polynomial without its x^16 term, highest degree first.
constexpr uint32_t kPolynomial = 0x8005;

// kTables[0][b] is the CRC of the byte b; kTables[k][b] the CRC of b followed
// by k zero bytes. Eight bytes then take one look-up each, all independent.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeTables() {
    std::array<std::array<uint16_t, 256>, 8> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        }
        tables[0][i] = static_cast<uint16_t>(crc);
    }
    for (size_t k = 1; k < tables.size(); ++k) {
        for (size_t i = 0; i < 256; ++i) {
            const uint16_t previous = tables[k - 1][i];
            tables[k][i] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFFu]);
        }
    }
    return tables;
}

constexpr std::array<std::array<uint16_t, 256>, 8> kTables = MakeTables();

#if VANDREL_CRC16_CLMUL

// x^n mod the polynomial, highest degree first.
constexpr uint32_t PowerOfXMod(int n) {
    uint32_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if ((r & 0x10000u) != 0) {
            r ^= 0x10000u | kPolynomial;
        }
    }
    return r;
}

// A polynomial of degree below 16 in the bit order of a reflected 64-bit lane:
// degree d at bit 63 - d.
constexpr uint64_t Reflected64(uint32_t polynomial) {
    uint64_t out = 0;
    for (int d = 0; d < 16; ++d) {
        if ((polynomial >> d) & 1u) {
            out |= uint64_t{1} << (63 - d);
        }
    }
    return out;
}

// Bytes loaded little-endian into 128 bits put the message's highest degree
// at bit 0 (the CRC is reflected). Moving 128 such bits by `distance` bits
// towards the message's end multiplies their high half by x^(distance + 64)
// and their low half by x^distance, each modulo the polynomial; a carry-less
// product of two reflected lanes comes out one degree short, hence the - 1.
struct FoldConstants {
    uint64_t high_half;  // multiplies the low 64 bits of the register
    uint64_t low_half;   // multiplies the high 64 bits
};

constexpr FoldConstants FoldBy(int distance) {
    return {Reflected64(PowerOfXMod(distance + 64 - 1)), Reflected64(PowerOfXMod(distance - 1))};
}

constexpr FoldConstants kFold512 = FoldBy(512);
constexpr FoldConstants kFold384 = FoldBy(384);
constexpr FoldConstants kFold256 = FoldBy(256);
constexpr FoldConstants kFold128 = FoldBy(128);

// Below this many bytes the tables are as fast.
constexpr size_t kClmulMinimum = 128;

__attribute__((target("pclmul"))) inline __m128i Load(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The register moved `distance` bits on: a value of at most 80 bits that is
// the same modulo the polynomial.
__attribute__((target("pclmul"))) inline __m128i Fold(__m128i x, FoldConstants k) {
    const __m128i constants =
        _mm_set_epi64x(static_cast<long long>(k.low_half), static_cast<long long>(k.high_half));
    return _mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00),
                         _mm_clmulepi64_si128(x, constants, 0x11));
}

// Folds 64 bytes per step in four independent registers, then folds them
// into one, and hands the 16 bytes that are left, which have the same CRC as
// everything folded, and the bytes after them to the tables. Needs at least
// 64 bytes.
__attribute__((target("pclmul"))) uint16_t Crc16Clmul(std::span<const uint8_t> bytes,
                                                      uint16_t crc) {
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    // A CRC carried in acts on the first 16 bits of the message.
    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(crc));
    __m128i x1 = Load(p + 16);
    __m128i x2 = Load(p + 32);
    __m128i x3 = Load(p + 48);
    p += 64;
    n -= 64;
    while (n >= 64) {
        x0 = _mm_xor_si128(Fold(x0, kFold512), Load(p));
        x1 = _mm_xor_si128(Fold(x1, kFold512), Load(p + 16));
        x2 = _mm_xor_si128(Fold(x2, kFold512), Load(p + 32));
        x3 = _mm_xor_si128(Fold(x3, kFold512), Load(p + 48));
        p += 64;
        n -= 64;
    }
    __m128i x = _mm_xor_si128(_mm_xor_si128(Fold(x0, kFold384), Fold(x1, kFold256)),
                              _mm_xor_si128(Fold(x2, kFold128), x3));
    while (n >= 16) {
        x = _mm_xor_si128(Fold(x, kFold128), Load(p));
        p += 16;
        n -= 16;
    }
    std::array<uint8_t, 16> folded;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded.data()), x);
    return Crc16Sliced({p, n}, Crc16Sliced(folded));
}

#endif

}  // namespace

uint16_t Crc16Bytewise(std::span<const uint8_t> bytes, uint16_t crc) {
    uint32_t c = crc;
    for (uint8_t b : bytes) {
        c = (c >> 8) ^ kTables[0][(c ^ b) & 0xFFu];
    }
    return static_cast<uint16_t>(c);
}

uint16_t Crc16Sliced(std::span<const uint8_t> bytes, uint16_t crc) {
    uint32_t c = crc;
    while (bytes.size() >= 8) {
        const uint64_t v = LoadLe64(bytes.first(8)) ^ c;
        c = kTables[7][v & 0xFF] ^ kTables[6][(v >> 8) & 0xFF] ^ kTables[5][(v >> 16) & 0xFF] ^
            kTables[4][(v >> 24) & 0xFF] ^ kTables[3][(v >> 32) & 0xFF] ^
            kTables[2][(v >> 40) & 0xFF] ^ kTables[1][(v >> 48) & 0xFF] ^ kTables[0][v >> 56];
        bytes = bytes.subspan(8);
    }
    return Crc16Bytewise(bytes, static_cast<uint16_t>(c));
}

uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t crc) {
#if VANDREL_CRC16_CLMUL
    static const bool has_clmul = __builtin_cpu_supports("pclmul") != 0;
    if (has_clmul && bytes.size() >= kClmulMinimum) {
        return Crc16Clmul(bytes, crc);
    }
#endif
    return Crc16Sliced(bytes, crc);
}

}  // namespace vandrel
