#include "engine/core/ScanRecord.h"

#include <gtest/gtest.h>

#include "engine/io/ByteOrder.h"

namespace vandrel {
namespace {

// The offsets are fixed by the header; what the image adds is the byte order
// of every width of number, whatever the host's, and the way back.
TEST(ScanRecord, ImageHoldsLittleEndianNumbersAndReadsBack) {
    ScanRecord record = ZeroRecord();
    record.frames = 0x01020304;
    record.reservoir_sum = 0x1122334455667788;
    record.sync_error_times_ms[19] = 5000;
    record.xing.music_crc = 0xBEEF;
    record.vbri.table[510] = 0x0A0B;
    record.length_seconds = 1.5f;
    CopyTextField(record.path, "/music/a.mp3");

    const ScanRecordImage image = ToImage(record);
    const std::span<const uint8_t> b(image);
    EXPECT_EQ(image[276], 0x04);
    EXPECT_EQ(image[279], 0x01);
    EXPECT_EQ(LoadLe64(b.subspan(320)), 0x1122334455667788u);
    EXPECT_EQ(LoadLe64(b.subspan(336 + 19 * 8)), 5000u);
    EXPECT_EQ(LoadLe16(b.subspan(684)), 0xBEEF);
    EXPECT_EQ(LoadLe16(b.subspan(724 + 510 * 2)), 0x0A0B);
    EXPECT_EQ(LoadLe32(b.subspan(280)), 0x3FC00000u);  // 1.5f

    const ScanRecord back = FromImage(image);
    EXPECT_EQ(ToImage(back), image);
    EXPECT_EQ(RecordPath(back), "/music/a.mp3");
}

TEST(ScanRecord, TextFieldsAreCutToTheirCapacityAndTerminated) {
    ScanRecord record = ZeroRecord();
    CopyTextField(record.path, std::string(400, 'x'));
    EXPECT_EQ(RecordPath(record).size(), 259u);
    EXPECT_EQ(record.path[259], '\0');

    CopyTextField(record.encoder_text, "LAME3.100");
    CopyTextField(record.encoder_text, "Lame");
    EXPECT_EQ(EncoderText(record), "Lame");  // the rest of the field is cleared
    EXPECT_EQ(record.encoder_text[5], '\0');
}

}  // namespace
}  // namespace vandrel
