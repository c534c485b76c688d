// The encoder delay and padding of an "iTunSMPB" comment: its text, the
// ID3v2 versions and layouts it is found in, and what a scan makes of it.
#include "engine/tags/ItunesGap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/media/MediaFileRegistry.h"
#include "engine/verdicts/FileAnalysis.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

constexpr const char* kSmpb = " 00000000 00000210 000003C4 0000000000020F58 00000000 00000000";

void Append(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> SizeBytes(uint32_t size, bool syncsafe, int width = 4) {
    std::vector<uint8_t> out;
    for (int i = width - 1; i >= 0; --i) {
        out.push_back(
            static_cast<uint8_t>(syncsafe ? (size >> (7 * i)) & 0x7F : (size >> (8 * i)) & 0xFF));
    }
    return out;
}

// A comment body in Latin-1 (encoding 0) or UTF-16 with a BOM (encoding 1).
std::vector<uint8_t> Comment(std::string_view description, std::string_view text,
                             uint8_t encoding = 0) {
    std::vector<uint8_t> body{encoding};
    Append(body, "eng");
    const auto put = [&](std::string_view s) {
        if (encoding == 1) {
            body.insert(body.end(), {0xFF, 0xFE});
            for (const char c : s) {
                body.insert(body.end(), {static_cast<uint8_t>(c), 0});
            }
            body.insert(body.end(), {0, 0});
        } else {
            Append(body, s);
            body.push_back(0);
        }
    };
    put(description);
    put(text);
    return body;
}

// A tag of `version` (2, 3 or 4) holding the frames given as id and body.
std::vector<uint8_t> Tag(int version,
                         const std::vector<std::pair<std::string, std::vector<uint8_t>>>& frames,
                         uint8_t flags = 0) {
    std::vector<uint8_t> body;
    for (const auto& [id, data] : frames) {
        Append(body, id);
        const auto size = static_cast<uint32_t>(data.size());
        const std::vector<uint8_t> sz = SizeBytes(size, version == 4, version == 2 ? 3 : 4);
        body.insert(body.end(), sz.begin(), sz.end());
        if (version != 2) {
            body.insert(body.end(), {0, 0});
        }
        body.insert(body.end(), data.begin(), data.end());
    }
    body.resize(body.size() + 64);  // padding
    std::vector<uint8_t> tag;
    Append(tag, "ID3");
    tag.insert(tag.end(), {static_cast<uint8_t>(version), 0, flags});
    const std::vector<uint8_t> size = SizeBytes(static_cast<uint32_t>(body.size()), true);
    tag.insert(tag.end(), size.begin(), size.end());
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

TEST(ItunesGap, TheTextGivesTheDelayAndPaddingWords) {
    const std::optional<EncoderGap> gap = ParseItunSmpb(kSmpb);
    ASSERT_TRUE(gap) << "a gap from iTunes' text";
    EXPECT_EQ(gap->delay, 0x210) << "delay";
    EXPECT_EQ(gap->padding, 0x3C4) << "padding";
    EXPECT_FALSE(ParseItunSmpb(" 00000000 00000210")) << "a text without the padding";
    EXPECT_FALSE(ParseItunSmpb(" 00000000 0000021G 000003C4")) << "a word that is no hex";
    EXPECT_FALSE(ParseItunSmpb(" 00000000 7FFFFFFF 000003C4")) << "a delay no file holds";
    EXPECT_FALSE(ParseItunSmpb("")) << "an empty text";
}

TEST(ItunesGap, IsFoundInEveryTagVersionPastLargeFrames) {
    // 200,000 bytes of cover art first: a size whose bytes in version 2.4
    // are syncsafe, read as plain words they would be far off.
    const std::vector<uint8_t> art(200'000, 0xFF);
    for (const int version : {3, 4}) {
        SCOPED_TRACE(version);
        const std::vector<uint8_t> tag = Tag(version, {{"APIC", art},
                                                       {"COMM", Comment("", "a plain comment")},
                                                       {"COMM", Comment("iTunSMPB", kSmpb, 1)}});
        const std::optional<EncoderGap> gap = FindItunesGap(tag);
        ASSERT_TRUE(gap) << "gap after the cover art";
        EXPECT_EQ(gap->delay, 528) << "delay";
        EXPECT_EQ(gap->padding, 964) << "padding";
    }
    const std::optional<EncoderGap> v22 =
        FindItunesGap(Tag(2, {{"COM", Comment("iTunSMPB", kSmpb)}}));
    ASSERT_TRUE(v22) << "gap in a version 2.2 tag";
    EXPECT_EQ(v22->padding, 964) << "padding of version 2.2";

    EXPECT_FALSE(FindItunesGap(Tag(3, {{"COMM", Comment("iTunNORM", kSmpb)}})))
        << "a comment of another description";
    EXPECT_FALSE(FindItunesGap(Tag(3, {{"TXXX", Comment("iTunSMPB", kSmpb)}})))
        << "another frame with the same bytes";
}

TEST(ItunesGap, DamagedAndUnsynchronisedTags) {
    // Version 2.3 unsynchronised as a whole: every 0xFF is followed by 0x00,
    // frame headers too.
    std::vector<uint8_t> plain =
        Tag(3, {{"PRIV", std::vector<uint8_t>(300, 0xFF)}, {"COMM", Comment("iTunSMPB", kSmpb)}});
    std::vector<uint8_t> unsynced(plain.begin(), plain.begin() + 10);
    for (size_t i = 10; i < plain.size(); ++i) {
        unsynced.push_back(plain[i]);
        if (plain[i] == 0xFF) {
            unsynced.push_back(0);
        }
    }
    unsynced[5] = 0x80;
    const std::vector<uint8_t> size = SizeBytes(static_cast<uint32_t>(unsynced.size() - 10), true);
    std::copy(size.begin(), size.end(), unsynced.begin() + 6);
    const std::optional<EncoderGap> gap = FindItunesGap(unsynced);
    ASSERT_TRUE(gap) << "gap in an unsynchronised tag";
    EXPECT_EQ(gap->delay, 528) << "delay of an unsynchronised tag";

    // A frame whose size runs past the tag ends the list, whatever follows.
    std::vector<uint8_t> broken =
        Tag(3, {{"TIT2", {0, 'x'}}, {"COMM", Comment("iTunSMPB", kSmpb)}});
    broken[10 + 7] = 0x7F;  // TIT2's size: far past the end
    EXPECT_FALSE(FindItunesGap(broken)) << "a frame that runs past the tag";
    // A compressed comment is not read.
    std::vector<uint8_t> compressed = Tag(3, {{"COMM", Comment("iTunSMPB", kSmpb)}});
    compressed[10 + 9] = 0x80;
    EXPECT_FALSE(FindItunesGap(compressed)) << "a compressed comment";
    // A tag cut short inside the comment.
    const std::vector<uint8_t> whole = Tag(4, {{"COMM", Comment("iTunSMPB", kSmpb)}});
    EXPECT_FALSE(FindItunesGap(std::span(whole).first(40))) << "a tag cut inside its frame";
}

// A 3-second file of lame without a LAME tag, tagged as iTunes tags it: the
// gap comes from the comment, and the exact length leaves it out.
TEST(ItunesGap, AScanShowsTheGapOfTheComment) {
    const MediaFileTypesScope media_types;
    test::TempDir dir;
    std::vector<uint8_t> bytes = Tag(3, {{"COMM", Comment("iTunSMPB", kSmpb, 1)}});
    const std::vector<uint8_t> audio = test::ReadFile(test::FixturePath("lame_notag_cbr128.mp3"));
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const std::string path = dir.File("itunes.mp3");
    test::WriteFile(path, bytes);

    const FileAnalysis plain = Analyse(test::FixturePath("lame_notag_cbr128.mp3"), {});
    const FileAnalysis tagged = Analyse(path, {});
    EXPECT_EQ(plain.texts[kSlotDelay], "") << "Delay without the comment";
    EXPECT_EQ(tagged.texts[kSlotDelay], "528") << "Delay";
    EXPECT_EQ(tagged.texts[kSlotPadding], "964") << "Padding";
    const auto seconds = [](const FileAnalysis& a) { return ExactLengthSeconds(a.record); };
    ASSERT_TRUE(seconds(plain)) << "the plain file's whole frames";
    const std::optional<double> exact = ExactLengthSeconds(tagged.record, EncoderGap{528, 964});
    ASSERT_TRUE(exact) << "the tagged file's exact length";
    EXPECT_EQ(tagged.texts[kSlotExactLength], FormatExactLength(*exact)) << "Exact Length";
    EXPECT_NEAR(*seconds(plain) - *exact, (528 + 964) / 44100.0, 1e-9) << "the gap left out";
    EXPECT_EQ(tagged.checks.itunes_gap, 1u) << "kept with the checks";
}

}  // namespace
}  // namespace vandrel
