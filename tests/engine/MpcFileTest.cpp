#include "engine/media/MpcFile.h"

#include <gtest/gtest.h>

#include "engine/verdicts/AttributeTexts.h"
#include "support/MpcBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::Sv7File;

ScanRecord ScanMpc(std::vector<uint8_t> bytes) {
    CMpcFile file;
    file.OpenMemory("a.mpc", std::move(bytes));
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(file.Scan(r, {}), 1);
    return r;
}

TEST(MpcFile, MeasuresAStreamVersion7File) {
    // Bit 30 (mid/side) and bit 23 (profile present) set, profile 2.
    ScanRecord r = ScanMpc(Sv7File(7, 1000, 0x40A00000, 300'000));
    EXPECT_EQ(r.mpc_stream_version, 7);
    EXPECT_EQ(r.mpc_profile, 2);
    EXPECT_STREQ(MpcProfileName(r.mpc_profile), "Standard");
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.frames, 1000);
    // 1,152,000 samples at 44.1 kHz: 26122 ms, whole seconds kept.
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0f);
    EXPECT_EQ(r.average_bitrate, 91);  // 2,400,000 bits in 26,122 ms
    EXPECT_EQ(r.file_size, 300'000u);

    // The whole version byte is kept; with bit 23 clear the profile is unknown.
    r = ScanMpc(Sv7File(0x17, 10, 0x00200000));
    EXPECT_EQ(r.mpc_stream_version, 23);
    EXPECT_EQ(r.mpc_profile, 6);
    EXPECT_STREQ(MpcProfileName(r.mpc_profile), "Unknown");
    EXPECT_EQ(r.mode, 0);

    // A stream without frames has no duration and no bitrate.
    r = ScanMpc(Sv7File(7, 0, 0));
    EXPECT_EQ(r.average_bitrate, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.0f);
}

TEST(MpcFile, LeavesOtherFilesToTheNextKind) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = Sv7File(7, 10, 0);
    bytes[2] = '-';
    test::WriteFile(dir.File("not.mpc"), bytes);
    const CMpcFile probe;
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("not.mpc")));
    test::WriteFile(dir.File("short.mpc"), {'M', 'P', '+', 7});
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("short.mpc")));
}

TEST(AttributeTexts, FillsMpegPlusFilesTheirOwnWay) {
    ScanRecord r = ZeroRecord();
    r.kind = 4;
    r.mpc_stream_version = 7;
    r.mpc_profile = 4;
    r.mode = 1;
    r.average_bitrate = 94;  // VBR: x 1.2 = 112.8, just above the good mark of 112
    r.is_vbr = 1;
    AttributeTexts t;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityGood);
    EXPECT_EQ(t[kSlotGeneralType], "MPEG Plus");
    EXPECT_EQ(t[kSlotMpcStream], "SV7");
    EXPECT_EQ(t[kSlotMpcProfile], "Insane");
    EXPECT_EQ(t[kSlotEncoder], "mppenc");
    EXPECT_EQ(t[kSlotType], "mpeg plus");
    EXPECT_EQ(t[kSlotVbr], "yes");
    // "--" in the slots MPEG Plus lacks; nothing of the MPEG audio texts.
    EXPECT_EQ(t[kSlotLameTag], "--");
    EXPECT_EQ(t[kSlotTitle], "");
}

}  // namespace
}  // namespace vandrel
