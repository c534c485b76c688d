#include "engine/checks/FrameCrc.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/io/ByteOrder.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::HeaderFields;
using test::Version;

// The CRC from its definition: a 16-bit shift register, each message bit
// compared with the bit shifted out, the polynomial added when they differ.
uint16_t BitwiseCrc(std::span<const uint8_t> bytes, size_t bit_count, uint16_t crc = 0xFFFF) {
    for (size_t i = 0; i < bit_count; ++i) {
        const bool bit = ((bytes[i / 8] >> (7 - i % 8)) & 1) != 0;
        const bool top = (crc & 0x8000) != 0;
        crc = static_cast<uint16_t>(crc << 1);
        if (bit != top) {
            crc ^= 0x8005;
        }
    }
    return crc;
}

// A frame of its header's length with the protection bit 0, random after the
// header, with the CRC over header bytes 2 and 3 and the first
// `protected_bits` bits after the CRC word.
std::vector<uint8_t> ProtectedFrame(HeaderFields fields, size_t protected_bits) {
    fields.crc = true;
    FrameHeader header;
    std::vector<uint8_t> frame(static_cast<size_t>(DecodeFrameHeader(HeaderWord(fields), header)));
    std::mt19937 random(7);
    for (uint8_t& b : frame) {
        b = static_cast<uint8_t>(random());
    }
    StoreBe32(frame, HeaderWord(fields));
    const uint16_t crc = BitwiseCrc(std::span(frame).subspan(6), protected_bits,
                                    BitwiseCrc(std::span(frame).subspan(2), 16));
    StoreBe16(std::span(frame).subspan(4), crc);
    return frame;
}

FrameCrcResult Check(const std::vector<uint8_t>& frame) {
    FrameHeader header{};
    DecodeFrameHeader(LoadBe32(frame), header);
    return CheckFrameCrc(frame, header);
}

TEST(FrameCrc, MpegCrc16IsTheBitwiseDefinition) {
    const std::vector<uint8_t> digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(MpegCrc16(digits, 72), 0xAEE7) << "the check value over \"123456789\"";
    std::mt19937 random(2025);
    std::vector<uint8_t> bytes(120);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    // Every bit count across the eight-byte steps and the bit tail, from random registers.
    for (size_t bits = 0; bits <= bytes.size() * 8; ++bits) {
        const auto start = static_cast<uint16_t>(random());
        ASSERT_EQ(MpegCrc16(bytes, bits, start), BitwiseCrc(bytes, bits, start))
            << "CRC over " << bits << " bits";
    }
    EXPECT_EQ(MpegCrc16(std::span(bytes).first(3), 100), BitwiseCrc(bytes, 24))
        << "a bit count past the bytes stops at their end";
}

TEST(FrameCrc, HandMadeLayerIFramesCheck) {
    // Protected bits of each mode as the definition counts them: 4 per subband and channel
    // below the bound, 4 per subband from there to 32.
    const std::pair<HeaderFields, size_t> cases[] = {
        {{.layer = 1, .bitrate_index = 12, .mode = 0}, 256},
        {{.layer = 1, .bitrate_index = 12, .mode = 3}, 128},
        {{.layer = 1, .bitrate_index = 12, .mode = 1, .mode_extension = 1}, 160},
        {{.layer = 1, .bitrate_index = 12, .mode = 1, .mode_extension = 2}, 176},
        {{.version = Version::kMpeg2, .layer = 1, .bitrate_index = 12, .mode = 2}, 256},
    };
    for (const auto& [fields, bits] : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << fields.mode << " extension " << fields.mode_extension);
        std::vector<uint8_t> frame = ProtectedFrame(fields, bits);
        EXPECT_EQ(Check(frame), FrameCrcResult::kOk) << "the CRC of the definition";
        frame[6 + bits / 8] ^= 0x80;  // the first bit after the protected ones
        EXPECT_EQ(Check(frame), FrameCrcResult::kOk) << "a bit after the protected ones";
        frame[6 + (bits - 1) / 8] ^= static_cast<uint8_t>(1 << (7 - (bits - 1) % 8));
        EXPECT_EQ(Check(frame), FrameCrcResult::kMismatch) << "the last protected bit changed";
        frame[3] ^= 0x04;  // the original bit; the last protected bit flipped back
        frame[6 + (bits - 1) / 8] ^= static_cast<uint8_t>(1 << (7 - (bits - 1) % 8));
        EXPECT_EQ(Check(frame), FrameCrcResult::kMismatch) << "a header bit changed";
    }
}

TEST(FrameCrc, ShortOrUnprotectedFramesAreNotChecked) {
    std::vector<uint8_t> frame = ProtectedFrame({.layer = 1, .bitrate_index = 12}, 144);
    EXPECT_EQ(Check(std::vector<uint8_t>(frame.begin(), frame.begin() + 23)),
              FrameCrcResult::kNotCheckable)
        << "the bytes given end inside the protected bits";
    // 32 bytes of Layer I stereo at 32 kbit/s and 48 kHz cannot hold 38.
    frame = ProtectedFrame({.layer = 1, .bitrate_index = 1, .rate_index = 1, .mode = 0}, 0);
    frame.resize(kFrameCrcBytes);
    EXPECT_EQ(Check(frame), FrameCrcResult::kNotCheckable) << "protected bits past the frame";
    EXPECT_EQ(Check(test::MakeFrame({})), FrameCrcResult::kUnprotected) << "protection bit 1";
}

// The frames of a fixture, from the scan's first frame to the last whole one.
std::vector<std::vector<uint8_t>> FixtureFrames(const char* name) {
    const std::vector<uint8_t> bytes = test::ReadFile(test::FixturePath(name));
    std::vector<std::vector<uint8_t>> frames;
    FrameHeader header;
    size_t at = static_cast<size_t>(test::ScanFile(test::FixturePath(name)).first_frame_offset);
    while (at + 4 <= bytes.size()) {
        const auto length =
            static_cast<size_t>(DecodeFrameHeader(LoadBe32({&bytes[at], 4}), header));
        if (length == 0 || at + length > bytes.size()) {
            break;
        }
        frames.emplace_back(bytes.begin() + static_cast<long>(at),
                            bytes.begin() + static_cast<long>(at + length));
        at += length;
    }
    return frames;
}

TEST(FrameCrc, EveryFrameOfProtectedFixturesChecks) {
    const std::pair<const char*, size_t> fixtures[] = {
        {"lame_crc_cbr128.mp3", 117},                // side information of 32 bytes, Info frame
        {"lame_crc_cbr64_mono_48k.mp3", 127},        // 17 bytes
        {"lame_crc_mpeg2_22k_cbr64.mp3", 118},       // 17 bytes, one granule
        {"lame_crc_mpeg2_16k_cbr32_mono.mp3", 114},  // 9 bytes
        {"twolame_crc_192_joint.mp2", 77},           // table B, joint stereo
        {"twolame_crc_64_48k_mono.mp2", 125},        // table A
        {"twolame_crc_48_mono.mp2", 154},            // table C
        {"twolame_crc_96_32k_joint.mp2", 84},        // table D, joint stereo
        {"twolame_crc_64_22k.mp2", 58},              // MPEG-2
    };
    for (const auto& [name, count] : fixtures) {
        const std::vector<std::vector<uint8_t>> frames = FixtureFrames(name);
        ASSERT_EQ(frames.size(), count) << name << ": frames";
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(Check(frames[i]), FrameCrcResult::kOk) << name << ": frame " << i;
        }
        // The first protected byte (Layer III side information, Layer II bit allocation) is
        // covered; the frame's last byte (main data, samples) is not.
        std::vector<uint8_t> changed = frames[10];
        changed[kProtectedBitsOffset] ^= 0x10;
        EXPECT_EQ(Check(changed), FrameCrcResult::kMismatch) << name << ": first protected byte";
        changed[kProtectedBitsOffset] ^= 0x10;
        changed.back() ^= 0xFF;
        EXPECT_EQ(Check(changed), FrameCrcResult::kOk) << name << ": last byte";
    }
    EXPECT_EQ(Check(FixtureFrames("lame_cbr128_joint.mp3")[5]), FrameCrcResult::kUnprotected)
        << "a frame of lame without -p";
}

}  // namespace
}  // namespace vandrel
