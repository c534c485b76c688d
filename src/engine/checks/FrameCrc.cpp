#include "engine/checks/FrameCrc.h"

#include <algorithm>
#include <array>
#include <bit>
#include <initializer_list>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// The generator polynomial without its x^16 term, highest degree first.
constexpr uint32_t kPolynomial = 0x8005;

// The register after one bit: the bit enters at the top.
constexpr uint32_t StepBit(uint32_t crc, uint32_t bit) {
    crc ^= bit << 15;
    return ((crc & 0x8000u) != 0 ? (crc << 1) ^ kPolynomial : crc << 1) & 0xFFFFu;
}

// kTables[0][b] is the CRC of the byte b from a zero register; kTables[k][b]
// the CRC of b followed by k zero bytes. Eight bytes then take one look-up
// each, all independent of one another.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeTables() {
    std::array<std::array<uint16_t, 256>, 8> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = 0;
        for (int bit = 7; bit >= 0; --bit) {
            crc = StepBit(crc, (i >> bit) & 1u);
        }
        tables[0][i] = static_cast<uint16_t>(crc);
    }
    for (size_t k = 1; k < tables.size(); ++k) {
        for (size_t i = 0; i < 256; ++i) {
            const uint32_t previous = tables[k - 1][i];
            tables[k][i] = static_cast<uint16_t>((previous << 8) ^ tables[0][previous >> 8]);
        }
    }
    return tables;
}

constexpr std::array<std::array<uint16_t, 256>, 8> kTables = MakeTables();

// Subbands of the polyphase filter bank; Layer I codes all of them.
constexpr int kSubbands = 32;

// Subbands in a row whose allocation fields have the same width (nbal bits).
struct Run {
    int subbands = 0;
    int nbal = 0;
};

// A Layer II allocation table as far as the CRC needs it: how many subbands
// carry an allocation (sblimit) and how wide each one's field is.
struct AllocationTable {
    std::array<Run, 3> runs{};  // lowest subbands first; unused runs are empty
    int sblimit = 0;
    // Allocation bits of one channel below each subband: bits_below[sblimit]
    // is the whole allocation of one channel.
    std::array<uint16_t, kSubbands + 1> bits_below{};
};

constexpr AllocationTable MakeAllocationTable(std::initializer_list<Run> runs) {
    AllocationTable table;
    size_t r = 0;
    for (const Run& run : runs) {
        table.runs[r++] = run;
        for (int i = 0; i < run.subbands; ++i) {
            const auto sb = static_cast<size_t>(table.sblimit++);
            table.bits_below[sb + 1] = static_cast<uint16_t>(table.bits_below[sb] + run.nbal);
        }
    }
    return table;
}

// MPEG-1, by sampling rate and bitrate per channel: A and B for the higher
// bitrates (B only at 44.1 and 32 kHz, where it codes three more subbands), C
// and D for the lowest (D at 32 kHz).
constexpr AllocationTable kTableA = MakeAllocationTable({{11, 4}, {12, 3}, {4, 2}});
constexpr AllocationTable kTableB = MakeAllocationTable({{11, 4}, {12, 3}, {7, 2}});
constexpr AllocationTable kTableC = MakeAllocationTable({{2, 4}, {6, 3}});
constexpr AllocationTable kTableD = MakeAllocationTable({{2, 4}, {10, 3}});
// MPEG-2 at the low sampling rates has one table for every bitrate.
constexpr AllocationTable kLowRateTable = MakeAllocationTable({{4, 4}, {7, 3}, {19, 2}});

static_assert(kTableA.sblimit == 27 && kTableB.sblimit == 30 && kTableC.sblimit == 8 &&
              kTableD.sblimit == 12 && kLowRateTable.sblimit == 30);

// The most allocation bits of a frame: table B, both channels in every subband.
constexpr size_t kMostAllocationBytes = (2 * kTableB.bits_below[30] + 7) / 8;
static_assert(kMostAllocationBytes == 24);

// The table a Layer II frame's allocation is coded with; nothing for free
// format (an encoder picks the table by the bitrate it really uses, which the
// header does not give) and for the bitrate and mode pairs no table is made
// for: MPEG-1 stereo below 64 kbit/s and at 80, mono above 192.
const AllocationTable* SelectAllocationTable(const FrameHeader& header) {
    if (header.is_mpeg1 == 0) {
        return &kLowRateTable;
    }
    if (header.bitrate_index == 0) {
        return nullptr;
    }
    const int per_channel = BitrateKbps(1, 2, header.bitrate_index) / header.channels;
    if (per_channel < 32 || per_channel == 40 || per_channel > 192) {
        return nullptr;
    }
    if (per_channel <= 48) {
        return header.sample_rate == 32000 ? &kTableD : &kTableC;
    }
    if (per_channel <= 80 || header.sample_rate == 48000) {
        return &kTableA;
    }
    return &kTableB;
}

// The first subband whose channels share one allocation: in joint stereo the
// mode extension sets it at 4, 8, 12 or 16, never above `limit`; otherwise
// every coded subband has one per channel.
int SharedAllocationBound(const FrameHeader& header, int limit) {
    if (header.mode != kModeJointStereo) {
        return limit;
    }
    return std::min(4 * (header.mode_extension + 1), limit);
}

// The first bit of every field of width 2, 3 and 4 in a 64-bit word whose
// first field starts at its top bit.
constexpr std::array<uint64_t, 5> kFieldTops = {0, 0, 0xAAAAAAAAAAAAAAAA, 0x9249249249249249,
                                                0x8888888888888888};

// How many of `count` fields of `width` bits (2 to 4) from bit `position` of
// `padded` are not zero. `padded` holds 8 bytes past the last field's byte.
// Whether a subband is allocated is as good as random, so instead of one
// branch per field, the fields one 64-bit load holds (56 bits, whatever the
// bit offset) are looked at together: each field's bits are folded onto its
// first bit and the first bits counted.
size_t CountNonZeroFields(std::span<const uint8_t> padded, size_t position, int count, int width) {
    const int per_load = 56 / width;
    size_t non_zero = 0;
    while (count > 0) {
        const int n = std::min(count, per_load);
        uint64_t bits = LoadBe64(padded.subspan(position / 8)) << (position % 8);
        bits &= ~uint64_t{0} << (64 - n * width);
        uint64_t folded = bits;
        for (int k = 1; k < width; ++k) {
            folded |= bits << k;
        }
        non_zero +=
            static_cast<size_t>(std::popcount(folded & kFieldTops[static_cast<size_t>(width)]));
        position += static_cast<size_t>(n * width);
        count -= n;
    }
    return non_zero;
}

size_t Layer1ProtectedBits(const FrameHeader& header) {
    const int bound = SharedAllocationBound(header, kSubbands);
    return static_cast<size_t>(4 * (bound * header.channels + kSubbands - bound));
}

// The bit allocation, then two bits of scale factor selection for every
// channel of every subband with a non-zero allocation. Above the bound the
// channels share one allocation but each has its own selection.
std::optional<size_t> Layer2ProtectedBits(std::span<const uint8_t> frame,
                                          const FrameHeader& header) {
    const AllocationTable* table = SelectAllocationTable(header);
    if (table == nullptr) {
        return std::nullopt;
    }
    const int channels = header.channels;
    const int bound = SharedAllocationBound(header, table->sblimit);
    const size_t below_bound = table->bits_below[static_cast<size_t>(bound)];
    const size_t allocation_bits = below_bound * static_cast<size_t>(channels) +
                                   table->bits_below[static_cast<size_t>(table->sblimit)] -
                                   below_bound;
    const size_t allocation_bytes = (allocation_bits + 7) / 8;
    if (frame.size() < kProtectedBitsOffset + allocation_bytes) {
        return std::nullopt;
    }
    // A zero-padded copy, so that every 64-bit load stays inside it.
    std::array<uint8_t, kMostAllocationBytes + 8> padded{};
    std::copy_n(frame.begin() + kProtectedBitsOffset, allocation_bytes, padded.begin());
    size_t position = 0;
    size_t own = 0;     // fields of one channel each, below the bound
    size_t shared = 0;  // fields of both channels, from the bound on
    int sb = 0;
    for (const Run& run : table->runs) {
        if (run.subbands == 0) {
            break;
        }
        const int below = std::clamp(bound - sb, 0, run.subbands);
        own += CountNonZeroFields(padded, position, below * channels, run.nbal);
        position += static_cast<size_t>(below * channels * run.nbal);
        shared += CountNonZeroFields(padded, position, run.subbands - below, run.nbal);
        position += static_cast<size_t>((run.subbands - below) * run.nbal);
        sb += run.subbands;
    }
    return allocation_bits + 2 * (own + shared * static_cast<size_t>(channels));
}

// Layer III side information: MPEG-1 17 bytes mono, 32 otherwise; MPEG-2
// and 2.5, with one granule per frame, 9 and 17.
size_t Layer3ProtectedBits(const FrameHeader& header) {
    const size_t bytes =
        header.is_mpeg1 != 0 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    return 8 * bytes;
}

}  // namespace

uint16_t MpegCrc16(std::span<const uint8_t> bytes, size_t bit_count, uint16_t crc) {
    bit_count = std::min(bit_count, bytes.size() * 8);
    std::span<const uint8_t> whole = bytes.first(bit_count / 8);
    uint32_t c = crc;
    while (whole.size() >= 8) {
        const uint64_t v = LoadBe64(whole.first(8)) ^ (uint64_t{c} << 48);
        c = kTables[7][v >> 56] ^ kTables[6][(v >> 48) & 0xFF] ^ kTables[5][(v >> 40) & 0xFF] ^
            kTables[4][(v >> 32) & 0xFF] ^ kTables[3][(v >> 24) & 0xFF] ^
            kTables[2][(v >> 16) & 0xFF] ^ kTables[1][(v >> 8) & 0xFF] ^ kTables[0][v & 0xFF];
        whole = whole.subspan(8);
    }
    // The rest in steps of four and two bytes, then one: each step's look-ups
    // are independent of one another.
    if (whole.size() >= 4) {
        const uint32_t v = LoadBe32(whole.first(4)) ^ (c << 16);
        c = kTables[3][v >> 24] ^ kTables[2][(v >> 16) & 0xFF] ^ kTables[1][(v >> 8) & 0xFF] ^
            kTables[0][v & 0xFF];
        whole = whole.subspan(4);
    }
    if (whole.size() >= 2) {
        const uint32_t v = LoadBe16(whole.first(2)) ^ c;
        c = kTables[1][v >> 8] ^ kTables[0][v & 0xFF];
        whole = whole.subspan(2);
    }
    if (!whole.empty()) {
        c = ((c << 8) ^ kTables[0][(c >> 8) ^ whole[0]]) & 0xFFFFu;
    }
    // The first r bits of a last byte: the register's top r bits leave it
    // together with them, and kTables[0] of any value below 256 is that value
    // times x^16 modulo the polynomial, however many bits it has.
    const auto tail_bits = static_cast<uint32_t>(bit_count % 8);
    if (tail_bits != 0) {
        const uint32_t leading = uint32_t{bytes[bit_count / 8]} >> (8 - tail_bits);
        c = ((c << tail_bits) & 0xFFFFu) ^ kTables[0][(c >> (16 - tail_bits)) ^ leading];
    }
    return static_cast<uint16_t>(c);
}

std::optional<size_t> CrcProtectedBits(std::span<const uint8_t> frame, const FrameHeader& header) {
    // The reserved version (bit 20 clear with the ID bit set) has no layout.
    if (header.is_mpeg1 != 0 && header.not_mpeg25 == 0) {
        return std::nullopt;
    }
    switch (header.layer) {
    case 1:
        return Layer1ProtectedBits(header);
    case 2:
        return Layer2ProtectedBits(frame, header);
    case 3:
        return Layer3ProtectedBits(header);
    default:
        return std::nullopt;
    }
}

FrameCrcResult CheckFrameCrc(std::span<const uint8_t> frame, const FrameHeader& header) {
    if (header.protection != 0) {
        return FrameCrcResult::kUnprotected;
    }
    const std::optional<size_t> bits = CrcProtectedBits(frame, header);
    if (!bits) {
        return FrameCrcResult::kNotCheckable;
    }
    const size_t end = kProtectedBitsOffset + (*bits + 7) / 8;
    if (end > frame.size()) {
        return FrameCrcResult::kNotCheckable;
    }
    // A free-format frame's length is not in its header; otherwise a frame too
    // short for its own protected bits cannot be checked (Layer I stereo at
    // 32 kbit/s and 48 kHz: 32 bytes for 38).
    FrameHeader decoded;
    const auto length = static_cast<size_t>(DecodeFrameHeader(LoadBe32(frame.first(4)), decoded));
    if (header.bitrate_index != 0 && end > length) {
        return FrameCrcResult::kNotCheckable;
    }
    const uint16_t covered_header = MpegCrc16(
        frame.subspan(kCoveredHeaderOffset, kCoveredHeaderBytes), 8 * kCoveredHeaderBytes);
    const uint16_t crc = MpegCrc16(frame.subspan(kProtectedBitsOffset), *bits, covered_header);
    return crc == LoadBe16(frame.subspan(kFrameCrcOffset, 2)) ? FrameCrcResult::kOk
                                                              : FrameCrcResult::kMismatch;
}

}  // namespace vandrel
