#include "engine/media/MpcFile.h"

#include <gtest/gtest.h>

#include "engine/core/ScanError.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/TextReports.h"
#include "support/MpcBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::Sv7File;
using test::Sv8File;
using test::Sv8HeaderPayload;
using test::Sv8Packet;

ScanRecord ScanMpc(std::vector<uint8_t> bytes) {
    CMpcFile file;
    file.OpenMemory("a.mpc", std::move(bytes));
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(file.Scan(r, {}), 1);
    return r;
}

// The scan's error text; empty when it succeeds.
std::string ScanErrorOf(std::vector<uint8_t> bytes) {
    try {
        ScanMpc(std::move(bytes));
    } catch (const ScanError& e) {
        return e.what();
    }
    return {};
}

// A dialog that fills text pages as the Details dialog does and draws nothing.
class FillingHost : public PageHost {
public:
    PageHandle CreateTextPage(const TextPageData&) override { return 0; }
    void FillTextPage(TextPageData& data, const ScanRecord& record) override {
        vandrel::FillTextPage(data, record);
    }
    PageHandle CreateHistogram(const HistogramData&) override { return 0; }
    void AddTab(std::string_view) override {}
    void RefreshPage(PageHandle) override { ++refreshed; }
    void DestroyPage(PageHandle) override {}
    void MovePage(PageHandle, const PageRect&, PageSlot) override {}
    void SetPageVisible(PageHandle, bool) override {}
    int refreshed = 0;
};

TEST(MpcFile, HasItsPageHostFillItsTextPage) {
    FillingHost host;
    CMpcFile file;
    ASSERT_TRUE(file.CreatePages("Sans", host, 0));
    file.SetScanResult(ScanMpc(Sv7File(7, 1000, 0x40A00000, 300'000)));
    const TextPageData& page = file.TextPage();
    ASSERT_EQ(page.rows.size(), 11u) << "rows of the MPEG Plus layout";
    EXPECT_EQ(page.rows[1].first, "Stream Version") << "second row's label";
    EXPECT_EQ(page.rows[1].second, "SV7") << "second row's text";
    EXPECT_TRUE(page.check_boxes.empty()) << "check boxes";
    EXPECT_EQ(host.refreshed, 1) << "page redrawn";
}

TEST(MpcFile, MeasuresAStreamVersion7File) {
    // Bit 30 (mid/side) and bit 23 (profile present) set, profile 2.
    ScanRecord r = ScanMpc(Sv7File(7, 1000, 0x40A00000, 300'000));
    EXPECT_EQ(r.mpc_profile, 2);
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.frames, 1000);
    // 1,152,000 samples at 44.1 kHz: 26122 ms, whole seconds kept.
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0f);
    EXPECT_EQ(r.average_bitrate, 91);  // 2,400,000 bits (the file's size) in 26,122 ms

    // The whole version byte is kept; with bit 23 clear the profile is unknown.
    r = ScanMpc(Sv7File(0x17, 10, 0x00200000));
    EXPECT_EQ(r.mpc_stream_version, 23);
    EXPECT_EQ(r.mpc_profile, 6);
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
    // "MPCK" is taken without a stream header: the scan then says what is wrong.
    test::WriteFile(dir.File("sv8.mpc"), Sv8File({}));
    EXPECT_TRUE(probe.IsSupportedFile(dir.File("sv8.mpc")));
}

// mpcenc 1.30.1 files; mpcdec decodes 132,300 and 144,000 samples from them.
TEST(MpcFile, MeasuresRealStreamVersion8Files) {
    const MediaFileTypesScope media_types;
    struct Expected {
        const char* name;
        int sample_rate, channels, mode, bitrate;
        const char *profile, *quality;
    };
    const Expected files[] = {
        {"mpcenc_q5_stereo.mpc", 44100, 2, 1, 168, "Standard", "good"},
        // --quality 3, mono at 48 kHz (mpcenc sets the mid/side flag here too).
        {"mpcenc_q3_mono_48k.mpc", 48000, 1, 3, 54, "Thumb", "bad"},
    };
    for (const Expected& e : files) {
        SCOPED_TRACE(e.name);
        CVandrelMediaFileWrapper file;  // no longer refused, nor taken for MPEG audio
        ASSERT_TRUE(file.Attach(test::FixturePath(e.name)));
        ScanRecord r = ZeroRecord();
        EXPECT_EQ(file.Scan(r, {}), 1);
        EXPECT_EQ(r.sample_rate, e.sample_rate);
        EXPECT_EQ(r.channels, e.channels);
        EXPECT_EQ(r.mode, e.mode);
        EXPECT_NEAR(r.length_seconds, 3.000f, 0.0005f);
        EXPECT_EQ(r.average_bitrate, e.bitrate);
        AttributeTexts t;
        BuildAttributeTexts(t, r, false);
        EXPECT_EQ(t[kSlotMpcProfile], e.profile);
        EXPECT_EQ(t[kSlotEncoder], "mpcenc 1.30.1");
        EXPECT_EQ(t[kSlotQuality], e.quality);
    }
}

// A sample count of 0 means "not known": no length, and no bitrate divided by it.
TEST(MpcFile, GivesNoLengthOrBitrateForAnUnknownSampleCount) {
    const ScanRecord r = ScanMpc(Sv8File({Sv8Packet("SH", Sv8HeaderPayload({.samples = 0}))}));
    EXPECT_EQ(r.length_seconds, 0.0f);
    EXPECT_EQ(r.average_bitrate, 0);
}

TEST(MpcFile, IgnoresACutEncoderInfoPacketAndTakesAudioThatRunsPastTheEnd) {
    const std::vector<uint8_t> cut_audio = {'A', 'P', 0x8F, 0xFF, 0x7F, 0x00};
    // An encoder information packet cut short is ignored: no profile, no version.
    const ScanRecord r = ScanMpc(
        Sv8File({Sv8Packet("SH", Sv8HeaderPayload({})), Sv8Packet("EI", {0xA0, 1}), cut_audio}));
    EXPECT_EQ(r.first_frame_offset, 4 + 14 + 5);
    AttributeTexts t;
    BuildAttributeTexts(t, r, false);
    EXPECT_EQ(t[kSlotEncoder], "mppenc");
    EXPECT_EQ(t[kSlotMpcProfile], "Unknown");
}

TEST(MpcFile, RefusesStreamVersion8FilesWithoutAUsableStreamHeader) {
    const std::vector<uint8_t> header = Sv8Packet("SH", Sv8HeaderPayload({}));
    std::vector<uint8_t> cut_payload = Sv8HeaderPayload({});
    cut_payload.resize(7);  // CRC, version, two bytes of the sample count
    // Every field there, but the packet's one-byte size says 5 bytes more than the file holds.
    std::vector<uint8_t> truncated = header;
    truncated[2] += 5;
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"the magic alone", Sv8File({})},
        {"audio before any header", Sv8File({Sv8Packet("RG", {1}), Sv8Packet("AP", {}), header})},
        {"a header cut inside its counts", Sv8File({Sv8Packet("SH", cut_payload)})},
        {"a header that runs past the end of the file", Sv8File({truncated})},
        {"a packet of size 0, which would never move on", Sv8File({{'R', 'G', 0x00}, header})},
        {"a key that is not two capital letters", Sv8File({{'S', 0xC8, 0x03}, header})},
        {"stream version 9", Sv8File({Sv8Packet("SH", Sv8HeaderPayload({.version = 9}))})},
        {"rate index 4", Sv8File({Sv8Packet("SH", Sv8HeaderPayload({.rate_index = 4}))})},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ScanErrorOf(bytes), kNoMpcStreamHeaderMessage);
    }
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
    EXPECT_EQ(t[kSlotMpcProfile], "Insane");  // SV7's table, not SV8's
    // "--" in the slots MPEG Plus lacks; nothing of the MPEG audio texts.
    EXPECT_EQ(t[kSlotLameTag], "--");
    EXPECT_EQ(t[kSlotTitle], "");
}

}  // namespace
}  // namespace vandrel
