#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/ScanRecord.h"

namespace vandrel::test {

enum class Version { kMpeg1, kMpeg2, kMpeg25 };

// The fields of one frame header; the defaults make the everyday frame: MPEG-1
// Layer III, 128 kbit/s, 44100 Hz, joint stereo, no CRC.
struct HeaderFields {
    Version version = Version::kMpeg1;
    int layer = 3;
    int bitrate_index = 9;
    int rate_index = 0;
    bool padding = false;
    bool crc = false;  // protection bit 0: a 16-bit CRC follows the header
    int mode = 1;
    int mode_extension = 0;
    bool copyright = false;
    bool original = false;
    int emphasis = 0;
};

uint32_t HeaderWord(const HeaderFields& header);

// One granule-channel of Layer III side information.
struct GranuleFields {
    uint32_t big_values = 0;
    bool window_switching = false;
    int block_type = 0;
    bool mixed = false;
    bool scalefac_scale = false;
    // What the main data's decode reads.
    uint32_t part2_3_length = 0;
    uint32_t global_gain = 0;
    uint32_t scalefac_compress = 0;
    std::array<uint32_t, 3> table_select{};  // the third one only without window switching
    uint32_t region0_count = 0;              // without window switching
    uint32_t region1_count = 0;
    std::array<uint32_t, 3> subblock_gain{};  // with window switching
    bool preflag = false;                     // MPEG-1
    uint32_t count1table_select = 0;
};

struct SideInfoFields {
    uint32_t main_data_begin = 0;
    uint32_t scfsi = 0;  // the 4 scfsi bits of every channel (MPEG-1)
    std::array<std::array<GranuleFields, 2>, 2> granules{};  // [granule][channel]
    // The bytes after the side information (the rest of the frame is zeros).
    std::vector<uint8_t> main_data{};
};

// A whole frame of the header's length: header, CRC bytes when asked for,
// the side information, its main data and zero bytes after it.
std::vector<uint8_t> MakeFrame(const HeaderFields& header, const SideInfoFields& side = {});

// Appends bits most significant first, as the side information and the main
// data are read.
class BitWriter {
public:
    void Put(uint32_t value, int bits);
    // A big-value pair in table `table` (its code, linbits for values of 15
    // and more, the sign bits); throws for a pair the table cannot code.
    void PutPair(int table, int x, int y);
    // A count1 quad of values -1 to 1 in table 0 (A) or 1 (B), with its signs.
    void PutQuad(int table, int v, int w, int x, int y);
    size_t bit_count() const { return bit_count_; }
    // The bytes so far, the last one padded with zero bits.
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 8;  // bits used in the last byte
    size_t bit_count_ = 0;
};

// A Xing header with an optional LAME tag, as an encoder writes it into the
// first frame.
struct XingFields {
    uint32_t flags = 0xF;  // frames, bytes, table of contents, VBR scale (0)
    uint32_t frames = 0;
    uint32_t bytes = 0;
    bool lame = true;
    // The 36 bytes of the LAME tag, from its version string; the last two
    // (the tag CRC) are computed.
    std::array<uint8_t, 36> lame_bytes = {'L', 'A', 'M', 'E', '3', '.', '1', '0', '0'};
    // Where the tag goes in the frame; 0 for the usual place.
    size_t offset = 0;
};
std::vector<uint8_t> MakeXingFrame(const HeaderFields& header, const XingFields& xing);

// `count` identical frames.
std::vector<uint8_t> MakeFrames(const HeaderFields& header, int count,
                                const SideInfoFields& side = {});

// Appends `tail` to `bytes`.
void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& tail);

// A 128-byte ID3v1 tag with the given title (other fields empty, genre 255).
std::vector<uint8_t> MakeId3v1(const char* title);

// An APEv2 tag of one text item, with its footer and no header.
std::vector<uint8_t> MakeApeTag(const std::string& key, const std::string& value);

// An ID3v2.4 tag header announcing `size` bytes after it.
std::vector<uint8_t> Id3v2Header(uint32_t size, uint8_t flags = 0);

// The MPEG audio scan of the bytes as a file in memory, without the cache.
ScanRecord ScanMemory(std::vector<uint8_t> bytes);
// The whole-file scan of the file at `path`, without the cache.
ScanRecord ScanFile(const std::string& path);

}  // namespace vandrel::test
