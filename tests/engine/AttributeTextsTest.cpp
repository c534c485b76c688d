#include "engine/verdicts/AttributeTexts.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vandrel {
namespace {

ScanRecord Mpeg1(int mode = 1) {
    ScanRecord r = ZeroRecord();
    r.kind = 1;
    r.is_mpeg1 = 1;
    r.not_mpeg25 = 1;
    r.layer = 3;
    r.mode = mode;
    r.channels = mode == 3 ? 1 : 2;
    r.sample_rate = 44100;
    r.frames = 1000;
    r.whole_file_scanned = 1;
    r.last_frame_complete = 1;
    r.average_bitrate = 128;
    r.id3v1.image[127] = 255;
    return r;
}

AttributeTexts Build(const ScanRecord& r, bool mono = false) {
    AttributeTexts texts;
    BuildAttributeTexts(texts, r, mono);
    return texts;
}

TEST(AttributeTexts, FormatsSizesAndLengths) {
    EXPECT_EQ(FormatFileSize(999), "999");
    EXPECT_EQ(FormatFileSize(1000), "1,000");
    EXPECT_EQ(FormatFileSize(2'500'000), "2,500,000");
    EXPECT_EQ(FormatFileSize(1'234'567'890), "1234,567,890");
    EXPECT_EQ(FormatFileSize(kRecordSizeLimit), "4294,967,295+");  // 4 GiB and more

    // Tenths only under ten seconds, cut, not rounded.
    EXPECT_EQ(FormatLength(3725.9f), "01:02:05");
    EXPECT_EQ(FormatLength(9.95f), "00:00:09.9");
    EXPECT_EQ(FormatLength(10.0f), "00:00:10");
    EXPECT_EQ(FormatLength(-3.0f), "00:00:00.0");  // a damaged record
}

TEST(AttributeTexts, MarksAFrameCountCutByTheLimit) {
    ScanRecord r = Mpeg1();
    r.frames = 5000;
    EXPECT_EQ(Build(r)[kSlotFrames], "5000");
    r.whole_file_scanned = 0;
    EXPECT_EQ(Build(r)[kSlotFrames], "5000+");
    r.frames = 0;
    EXPECT_EQ(Build(r)[kSlotFrames], " ");
}

TEST(AttributeTexts, NamesTypesModesAndEmphasis) {
    // The everyday MPEG-1 Layer III texts are those of the report in
    // tests/data/reports.
    ScanRecord r = Mpeg1();
    AttributeTexts t = Build(r);
    EXPECT_EQ(t[kSlotGeneralType], "MPEG Audio");
    EXPECT_EQ(t[kSlotMpcStream], "--");

    r.is_mpeg1 = 0;
    r.not_mpeg25 = 0;
    r.layer = 2;
    r.emphasis = 3;  // reserved
    r.mode = 2;
    r.last_frame_complete = 0;
    t = Build(r);
    EXPECT_EQ(t[kSlotType], "mpeg 2.5 layer II");
    EXPECT_EQ(t[kSlotStereoMode], "dual channel");
    EXPECT_EQ(t[kSlotEmphasis], "CCITT");
    EXPECT_EQ(t[kSlotBadLastFrame], "yes");
    r.mode = 7;  // a damaged record
    EXPECT_EQ(Build(r)[kSlotStereoMode], "");
    r.kind = 3;
    EXPECT_EQ(Build(r)[kSlotGeneralType], "Unknown");

    // An mp3PRO encoder marks the type.
    r = Mpeg1();
    std::strcpy(r.encoder_text, "Thomson mp3PRO Encoder");
    t = Build(r);
    EXPECT_EQ(t[kSlotType], "mpeg 1 layer III (mp3pro)");
    EXPECT_EQ(t[kSlotEncoder], "Thomson mp3PRO Encoder");
}

TEST(AttributeTexts, GivesTheScalefacShareOfAllGranuleChannels) {
    ScanRecord r = Mpeg1();
    EXPECT_EQ(Build(r)[kSlotScalefac], "not used");
    r.scalefac_scale_count = 1000;  // of 1000 frames x 2 channels x 2 granules
    EXPECT_EQ(Build(r)[kSlotScalefac], "25.0%");
    r = Mpeg1(3);
    r.is_mpeg1 = 0;
    r.scalefac_scale_count = 1000;  // mono MPEG-2: one granule-channel per frame
    EXPECT_EQ(Build(r)[kSlotScalefac], "100.0%");
    r.channels = 0;  // counts as two
    EXPECT_EQ(Build(r)[kSlotScalefac], "50.0%");
}

TEST(AttributeTexts, ShowsTheId3v1TagOnlyWhereThereIsOne) {
    ScanRecord r = Mpeg1();
    std::memcpy(r.id3v1.image, "TAGSong", 7);
    std::memset(r.id3v1.image + 7, ' ', 26);
    std::memcpy(r.id3v1.image + 93, "1999", 4);
    // No tag: the texts of the image, but the genre and track keep what they had.
    AttributeTexts t = Build(r);
    EXPECT_EQ(t[kSlotTitle], "Song");
    EXPECT_EQ(t[kSlotYear], "1999");
    EXPECT_EQ(t[kSlotArtist], "");
    EXPECT_EQ(t[kSlotGenre], "");
    EXPECT_EQ(t[kSlotTrack], "");

    r.id3v1_present = 1;
    r.id3v1.track = 12;
    r.id3v1.image[127] = 200;
    t = Build(r);
    EXPECT_EQ(t[kSlotGenre], "Unknown");
    EXPECT_EQ(t[kSlotTrack], "12");
    r.id3v1.image[127] = 0;
    EXPECT_EQ(Build(r)[kSlotGenre], "Blues");
}

TEST(AttributeTexts, JudgesQualityByTheModeShown) {
    ScanRecord r = Mpeg1();
    std::strcpy(r.encoder_text, "Lame 3.90");
    AttributeTexts t;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityOk);
    EXPECT_EQ(t[kSlotQuality], "ok");
    r.average_bitrate = 140;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityGood);
    r.mode = 0;  // plain stereo counts for less: 140 x 0.9 is not above 128
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityOk);
    r.mode = 3;
    r.average_bitrate = 80;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityBad);
    EXPECT_EQ(BuildAttributeTexts(t, r, true), kQualityGood);  // mono counts double
}

TEST(AttributeTexts, FillsMpegPlusFilesTheirOwnWay) {
    ScanRecord r = ZeroRecord();
    r.kind = 4;
    r.mpc_stream_version = 7;
    r.mpc_profile = 4;
    r.mode = 1;
    r.average_bitrate = 94;  // VBR: x 1.2 = 112.8, above the good mark of 112
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
    r.average_bitrate = 93;  // 111.6
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityOk);
}

TEST(AttributeTexts, ShowsPlaceholdersForAFailedScan) {
    ScanRecord r = Mpeg1();
    r.length_seconds = 100;
    AttributeTexts t;
    t[kSlotName] = "bad.mp3";
    ApplyScanFailureTexts(t, r);
    EXPECT_EQ(r.length_seconds, 0.0f);
    EXPECT_EQ(t[kSlotEncoder], "--");
    EXPECT_EQ(t[kSlotBitrate], "--");
    EXPECT_EQ(t[kSlotSize], "--");
    EXPECT_EQ(t[kSlotStereoMode], "--");
    EXPECT_EQ(t[kSlotQuality], "Unknown");
    EXPECT_EQ(t[kSlotName], "bad.mp3");
}

// The replay gain texts follow the LAME texts in consecutive slots (whose
// order the report in tests/data/reports shows): the first, one in between
// and the last show that none is shifted.
TEST(AttributeTexts, CarriesTheReplayGainTextsAfterTheLameTexts) {
    ScanRecord r = Mpeg1();
    r.has_xing = 1;
    r.xing.has_lame_tag = 1;
    r.xing.radio_gain_adjustment = -53;
    const AttributeTexts t = Build(r);
    EXPECT_EQ(t[kSlotLameTag], "yes");
    EXPECT_EQ(t[kSlotPeak], "not set");
    EXPECT_EQ(t[kSlotRadioAdjustment], "-5.3");
    EXPECT_EQ(t[kSlotAudiophileAdjustment], "0");
}

}  // namespace
}  // namespace vandrel
