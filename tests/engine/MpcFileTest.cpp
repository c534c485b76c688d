#include "engine/media/MpcFile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

std::vector<uint8_t> Sv7File(uint8_t version_byte, uint32_t frames, uint32_t w2,
                             size_t size = 4000) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), "MP+", 3);
    bytes[3] = version_byte;
    StoreLe32(std::span(bytes).subspan(4), frames);
    StoreLe32(std::span(bytes).subspan(8), w2);
    return bytes;
}

ScanRecord Scan(const std::vector<uint8_t>& bytes) {
    test::TempDir dir;
    test::WriteFile(dir.File("a.mpc"), bytes);
    CVandrelMediaFileWrapper file;
    ScanRecord r = ZeroRecord();
    EXPECT_TRUE(file.Attach(dir.File("a.mpc")));
    EXPECT_EQ(file.File()->GetFileTypeCode(), 4);
    EXPECT_EQ(file.Scan(r, {}), 1);
    return r;
}

class MpcFile : public ::testing::Test {
protected:
    const MediaFileTypesScope media_types_;
};

TEST_F(MpcFile, MeasuresAStreamVersion7File) {
    // Bit 30 (mid/side) and bit 23 (profile present) set, profile 2.
    const ScanRecord r = Scan(Sv7File(7, 1000, 0x40A00000, 300'000));
    EXPECT_EQ(r.mpc_stream_version, 7);
    EXPECT_EQ(r.mpc_profile, 2);
    EXPECT_STREQ(MpcProfileName(r.mpc_profile), "Standard");
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.frames, 1000);
    // 1,152,000 samples at 44.1 kHz: 26122 ms, whole seconds kept.
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0f);
    EXPECT_EQ(r.average_bitrate, 91);  // 2,400,000 bits in 26,122 ms
    EXPECT_EQ(r.file_size, 300'000u);
}

TEST_F(MpcFile, KeepsTheWholeVersionByteAndAnUnknownProfile) {
    ScanRecord r = Scan(Sv7File(0x17, 10, 0x00200000));  // bit 23 clear
    EXPECT_EQ(r.mpc_stream_version, 23);
    EXPECT_EQ(r.mpc_profile, 6);
    EXPECT_STREQ(MpcProfileName(r.mpc_profile), "Unknown");
    EXPECT_EQ(r.mode, 0);

    // A stream without frames has no duration and no bitrate.
    r = Scan(Sv7File(7, 0, 0));
    EXPECT_EQ(r.average_bitrate, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.0f);
}

TEST_F(MpcFile, LeavesOtherFilesToTheNextKind) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = Sv7File(7, 10, 0);
    bytes[2] = '-';
    test::WriteFile(dir.File("not.mpc"), bytes);
    const CMpcFile probe;
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("not.mpc")));
    test::WriteFile(dir.File("short.mpc"), {'M', 'P', '+', 7});
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("short.mpc")));
}

}  // namespace
}  // namespace vandrel
