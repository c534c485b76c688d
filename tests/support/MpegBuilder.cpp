#include "support/MpegBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "engine/frame/FrameHeader.h"
#include "engine/frame/Huffman.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/Crc16.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel::test {

void BitWriter::Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        if (used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        if (((value >> i) & 1u) != 0) {
            bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> used_));
        }
        ++used_;
        ++bit_count_;
    }
}

void BitWriter::PutPair(int table, int x, int y) {
    const int linbits = LinbitsOf(table);
    const auto coded = [linbits](int value) { return linbits != 0 ? std::min(value, 15) : value; };
    const int ax = std::abs(x);
    const int ay = std::abs(y);
    const std::optional<HuffmanCode> code = PairCodeOf(table, coded(ax), coded(ay));
    if (!code || (linbits != 0 && (ax - 15 >= (1 << linbits) || ay - 15 >= (1 << linbits)))) {
        throw std::invalid_argument("PutPair: the table cannot code the pair");
    }
    Put(code->bits, code->length);
    for (const int value : {x, y}) {
        const int magnitude = std::abs(value);
        if (linbits != 0 && magnitude >= 15) {
            Put(static_cast<uint32_t>(magnitude - 15), linbits);
        }
        if (magnitude != 0) {
            Put(value < 0 ? 1 : 0, 1);
        }
    }
}

void BitWriter::PutQuad(int table, int v, int w, int x, int y) {
    const int quad = (v != 0) << 3 | (w != 0) << 2 | (x != 0) << 1 | (y != 0);
    const std::optional<HuffmanCode> code = QuadCodeOf(table, quad);
    Put(code->bits, code->length);
    for (const int value : {v, w, x, y}) {
        if (value != 0) {
            Put(value < 0 ? 1 : 0, 1);
        }
    }
}

uint32_t HeaderWord(const HeaderFields& s) {
    uint32_t word = 0xFFE00000;
    if (s.version != Version::kMpeg25) {
        word |= 1u << 20;
    }
    if (s.version == Version::kMpeg1) {
        word |= 1u << 19;
    }
    word |= static_cast<uint32_t>(4 - s.layer) << 17;
    word |= (s.crc ? 0u : 1u) << 16;
    word |= static_cast<uint32_t>(s.bitrate_index) << 12;
    word |= static_cast<uint32_t>(s.rate_index) << 10;
    word |= (s.padding ? 1u : 0u) << 9;
    word |= static_cast<uint32_t>(s.mode) << 6;
    word |= static_cast<uint32_t>(s.mode_extension) << 4;
    word |= (s.copyright ? 1u : 0u) << 3;
    word |= (s.original ? 1u : 0u) << 2;
    word |= static_cast<uint32_t>(s.emphasis);
    return word;
}

std::vector<uint8_t> MakeFrame(const HeaderFields& header, const SideInfoFields& side) {
    const uint32_t word = HeaderWord(header);
    FrameHeader decoded;
    const int length = DecodeFrameHeader(word, decoded);
    if (length <= 0) {
        throw std::invalid_argument("MakeFrame: not a valid header");
    }
    const bool mpeg1 = header.version == Version::kMpeg1;
    const int channels = header.mode == 3 ? 1 : 2;
    BitWriter bits;
    bits.Put(word, 32);
    if (header.crc) {
        bits.Put(0, 16);
    }
    bits.Put(side.main_data_begin, mpeg1 ? 9 : 8);
    bits.Put(0, mpeg1 ? (channels == 1 ? 5 : 3) : (channels == 1 ? 1 : 2));
    if (mpeg1) {
        for (int ch = 0; ch < channels; ++ch) {
            bits.Put(side.scfsi, 4);
        }
    }
    for (int gr = 0; gr < (mpeg1 ? 2 : 1); ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            const GranuleFields& g =
                side.granules[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
            bits.Put(g.part2_3_length, 12);
            bits.Put(g.big_values, 9);
            bits.Put(g.global_gain, 8);
            bits.Put(g.scalefac_compress, mpeg1 ? 4 : 9);
            bits.Put(g.window_switching ? 1 : 0, 1);
            if (g.window_switching) {
                bits.Put(static_cast<uint32_t>(g.block_type), 2);
                bits.Put(g.mixed ? 1 : 0, 1);
                bits.Put(g.table_select[0], 5);
                bits.Put(g.table_select[1], 5);
                for (const uint32_t gain : g.subblock_gain) {
                    bits.Put(gain, 3);
                }
            } else {
                for (const uint32_t table : g.table_select) {
                    bits.Put(table, 5);
                }
                bits.Put(g.region0_count, 4);
                bits.Put(g.region1_count, 3);
            }
            if (mpeg1) {
                bits.Put(g.preflag ? 1 : 0, 1);
            }
            bits.Put(g.scalefac_scale ? 1 : 0, 1);
            bits.Put(g.count1table_select, 1);
        }
    }
    std::vector<uint8_t> frame = bits.bytes();
    frame.insert(frame.end(), side.main_data.begin(), side.main_data.end());
    if (frame.size() > static_cast<size_t>(length)) {
        throw std::invalid_argument(
            "MakeFrame: side information and main data longer than the frame");
    }
    frame.resize(static_cast<size_t>(length), 0);
    return frame;
}

std::vector<uint8_t> MakeXingFrame(const HeaderFields& header, const XingFields& xing) {
    std::vector<uint8_t> frame = MakeFrame(header);
    BitWriter fields;
    fields.Put(xing.flags, 32);
    if ((xing.flags & 0x1) != 0) {
        fields.Put(xing.frames, 32);
    }
    if ((xing.flags & 0x2) != 0) {
        fields.Put(xing.bytes, 32);
    }
    if ((xing.flags & 0x4) != 0) {
        for (int i = 0; i < 100; ++i) {
            fields.Put(static_cast<uint32_t>(i), 8);
        }
    }
    if ((xing.flags & 0x8) != 0) {
        fields.Put(0, 32);
    }
    const size_t at = xing.offset != 0 ? xing.offset : XingHeaderOffset(HeaderWord(header));
    const size_t lame_at = at + 4 + fields.bytes().size();
    const size_t end = lame_at + (xing.lame ? xing.lame_bytes.size() : 0);
    if (end > frame.size()) {
        throw std::invalid_argument("MakeXingFrame: frame too short for the header");
    }
    std::memcpy(frame.data() + at, "Xing", 4);
    std::copy(fields.bytes().begin(), fields.bytes().end(),
              frame.begin() + static_cast<std::ptrdiff_t>(at + 4));
    if (xing.lame) {
        std::copy(xing.lame_bytes.begin(), xing.lame_bytes.end(),
                  frame.begin() + static_cast<std::ptrdiff_t>(lame_at));
        const uint16_t crc = Crc16({frame.data(), lame_at + 34});
        frame[lame_at + 34] = static_cast<uint8_t>(crc >> 8);
        frame[lame_at + 35] = static_cast<uint8_t>(crc);
    }
    return frame;
}

std::vector<uint8_t> MakeFrames(const HeaderFields& header, int count, const SideInfoFields& side) {
    std::vector<uint8_t> out;
    const std::vector<uint8_t> frame = MakeFrame(header, side);
    for (int i = 0; i < count; ++i) {
        Append(out, frame);
    }
    return out;
}

void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
}

std::vector<uint8_t> MakeId3v1(const char* title) {
    std::vector<uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title, std::min<size_t>(std::strlen(title), 30));
    tag[127] = 255;
    return tag;
}

std::vector<uint8_t> MakeApeTag(const std::string& key, const std::string& value) {
    std::vector<uint8_t> tag(8, 0);  // the value's size, then the item flags (0: a text)
    StoreLe32(std::span(tag), static_cast<uint32_t>(value.size()));
    tag.insert(tag.end(), key.begin(), key.end());
    tag.push_back(0);
    tag.insert(tag.end(), value.begin(), value.end());
    std::vector<uint8_t> footer = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    footer.resize(32, 0);
    StoreLe32(std::span(footer).subspan(8), 2000);                                     // version
    StoreLe32(std::span(footer).subspan(12), static_cast<uint32_t>(tag.size() + 32));  // size
    StoreLe32(std::span(footer).subspan(16), 1);                                       // items
    Append(tag, footer);
    return tag;
}

std::vector<uint8_t> Id3v2Header(uint32_t size, uint8_t flags) {
    std::vector<uint8_t> h = {'I', 'D', '3', 4, 0, flags, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        h[static_cast<size_t>(9 - i)] = static_cast<uint8_t>((size >> (7 * i)) & 0x7F);
    }
    return h;
}

ScanRecord ScanMemory(std::vector<uint8_t> bytes) {
    CVandrelMp3File file;
    file.OpenMemory("memory.mp3", std::move(bytes));
    ScanRecord record = ZeroRecord();
    file.Scan(record, {.cache = CacheLookup::kSkip});
    return record;
}

ScanRecord ScanFile(const std::string& path) {
    CVandrelMp3File file;
    ScanRecord record = ZeroRecord();
    if (file.Open(path, "rb")) {
        file.Scan(record, {.cache = CacheLookup::kSkip});
    }
    return record;
}

}  // namespace vandrel::test
