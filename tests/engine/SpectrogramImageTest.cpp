#include "engine/audio/SpectrogramImage.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>

#include "engine/audio/BitmapFont.h"
#include "engine/audio/ColourMap.h"
#include "engine/audio/PngFile.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using Colours = SpectrogramColours;

// A spectrogram of 44.1 kHz audio, 10 columns over 10 s, silent but for a
// tone at 5 kHz (bin 232) at -20 dB in every column.
Spectrogram ToneSpectrogram() {
    Spectrogram s;
    s.sample_rate = 44100;
    s.fft_size = 2048;
    s.bins = 1025;
    s.columns = 10;
    s.column_seconds = 1;
    s.seconds = 10;
    s.levels_db.assign(10 * 1025, kSilenceDb);
    s.long_term_db.assign(1025, kSilenceDb);
    for (int c = 0; c < 10; ++c) {
        s.levels_db[static_cast<size_t>(c) * 1025 + 232] = -20;
    }
    s.long_term_db[232] = -20;
    return s;
}

// How many pixels of the row, from x to the rectangle's right edge, have the colour.
int CountInRow(const RgbImage& image, const PixelRect& rect, int y, Rgb colour) {
    int count = 0;
    for (int x = rect.x; x < rect.right(); ++x) {
        count += image.At(x, y) == colour ? 1 : 0;
    }
    return count;
}

int CountInRect(const RgbImage& image, const PixelRect& rect, Rgb colour) {
    int count = 0;
    for (int y = rect.y; y < rect.bottom(); ++y) {
        count += CountInRow(image, rect, y, colour);
    }
    return count;
}

int Lightness(Rgb c) {
    return 299 * c.r + 587 * c.g + 114 * c.b;
}

TEST(SpectrogramImage, DrawsTheLevelsInTheColourMapOnTheirFrequencyRows) {
    const Spectrogram s = ToneSpectrogram();
    const RgbImage image = RenderSpectrogram(s, {}, 1000, 600);
    ASSERT_EQ(image.width(), 1000) << "width";
    ASSERT_EQ(image.height(), 600) << "height";
    const SpectrogramLayout layout = LayOutSpectrogram(s, 1000, 600);
    EXPECT_EQ(layout.top_db, -20) << "brightest level: the loudest, rounded up to 10 dB";
    EXPECT_EQ(layout.bottom_db, -140) << "darkest level";
    const ColourMap map;
    const int tone_row = FrequencyRow(layout, 232 * s.bin_hz(), s.nyquist_hz());
    EXPECT_EQ(CountInRow(image, layout.plot, tone_row, map.At(1.0)), layout.plot.width)
        << "the tone's row, across the whole plot, in the brightest colour";
    EXPECT_EQ(CountInRow(image, layout.plot, tone_row - 20, map.At(0.0)), layout.plot.width)
        << "a silent row in the darkest colour";
    // The long-term spectrum reaches across its panel on the tone's row only.
    EXPECT_EQ(image.At(layout.spectrum.right() - 2, tone_row), map.At(1.0))
        << "the tone's long-term level";
    EXPECT_EQ(image.At(layout.spectrum.x + layout.spectrum.width / 2, tone_row - 20),
              Colours::kBackground)
        << "a silent long-term level leaves the panel dark";
    // The legend runs from the darkest colour at its bottom to the brightest.
    EXPECT_EQ(image.At(layout.legend.x, layout.legend.bottom() - 1), map.At(0.0))
        << "legend's bottom";
    EXPECT_EQ(image.At(layout.legend.x, layout.legend.y), map.At(1.0)) << "legend's top";
}

TEST(SpectrogramImage, DrawsEachMarkAcrossThePlotAndTheSpectrumWithItsLabel) {
    const Spectrogram s = ToneSpectrogram();
    const SpectrumMarks marks{.cutoff_hz = 16000, .lowpass_hz = 20500};
    const RgbImage image = RenderSpectrogram(s, marks, 1280, 720);
    const SpectrogramLayout layout = LayOutSpectrogram(s, 1280, 720);
    EXPECT_EQ(layout.scale, 2) << "font scale at 1280 x 720";
    const int cutoff_row = FrequencyRow(layout, 16000, s.nyquist_hz());
    const int lowpass_row = FrequencyRow(layout, 20500, s.nyquist_hz());
    // Dashes of 4 scaled pixels with gaps of 2: two thirds of the row.
    EXPECT_NEAR(CountInRow(image, layout.plot, cutoff_row, Colours::kCutoff),
                layout.plot.width * 2 / 3, 8)
        << "the cutoff's dashes across the plot";
    EXPECT_GT(CountInRow(image, layout.spectrum, cutoff_row, Colours::kCutoff),
              layout.spectrum.width / 2)
        << "the cutoff's dashes across the long-term spectrum";
    EXPECT_NEAR(CountInRow(image, layout.plot, lowpass_row, Colours::kLowpass),
                layout.plot.width * 2 / 3, 8)
        << "the lowpass's dashes";
    // "cutoff 16.0 kHz" above its line at the plot's left, the lowpass's at
    // its right: the rows above the line's two, clear of its dashes.
    const int text_height = BitmapFont::kGlyphHeight * 2;
    const auto above = [&](int row, int x, int width) { return PixelRect{x, row - 30, width, 28}; };
    EXPECT_GT(CountInRect(image, above(cutoff_row, layout.plot.x, 200), Colours::kCutoff), 100)
        << "the cutoff's label";
    EXPECT_GT(
        CountInRect(image, above(lowpass_row, layout.plot.right() - 300, 300), Colours::kLowpass),
        100)
        << "the lowpass' label";
    EXPECT_EQ(CountInRect(image, above(lowpass_row, layout.plot.x, 300), Colours::kLowpass), 0)
        << "no lowpass label at the left";
    EXPECT_GE(cutoff_row - lowpass_row, text_height) << "the rows the labels need";

    // A mark above the Nyquist frequency, or of no frequency, draws nothing.
    const RgbImage unmarked =
        RenderSpectrogram(s, {.cutoff_hz = 0.0, .lowpass_hz = 30000.0}, 1280, 720);
    EXPECT_EQ(CountInRect(unmarked, {0, 0, 1280, 720}, Colours::kCutoff), 0) << "a cutoff of 0 Hz";
    EXPECT_EQ(CountInRect(unmarked, {0, 0, 1280, 720}, Colours::kLowpass), 0)
        << "a lowpass above 22.05 kHz";
}

TEST(SpectrogramImage, LaysOutItsPartsInsideThePictureAtAnySize) {
    const Spectrogram s = ToneSpectrogram();
    for (const auto& [width, height] :
         {std::pair{320, 200}, std::pair{641, 361}, std::pair{1920, 1080}, std::pair{8192, 300}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const SpectrogramLayout l = LayOutSpectrogram(s, width, height);
        EXPECT_FALSE(l.plot.empty()) << "the plot has room";
        EXPECT_GE(l.plot.x, 10) << "room for the frequency labels";
        EXPECT_LE(l.plot.right(), l.spectrum.x) << "the plot before the spectrum";
        EXPECT_LE(l.spectrum.right(), l.legend.x) << "the spectrum before the legend";
        EXPECT_LT(l.legend.right(), width) << "the legend inside the picture";
        EXPECT_LT(l.plot.bottom(), height) << "room under the plot";
        EXPECT_EQ(l.spectrum.y, l.plot.y) << "the spectrum on the plot's rows";
        EXPECT_EQ(l.spectrum.height, l.plot.height) << "the spectrum as high as the plot";
    }
    EXPECT_EQ(LayOutSpectrogram(s, 1920, 1080).scale, 3) << "font scale at 1920 x 1080";
    // Sizes with no room for the plot draw what fits, and nothing outside.
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{60, 400}, std::pair{500, 20}}) {
        const RgbImage tiny =
            RenderSpectrogram(s, {.cutoff_hz = 16000.0, .lowpass_hz = {}}, width, height);
        EXPECT_EQ(tiny.width(), width) << "width of a tiny picture";
        EXPECT_EQ(tiny.height(), height) << "height of a tiny picture";
    }
    EXPECT_EQ(RenderSpectrogram(s, {}, 0, 100).width(), 0) << "no width, no picture";
}

TEST(BitmapFont, DrawsItsGlyphsAndAQuestionMarkForOthers) {
    EXPECT_EQ(BitmapFont::TextWidth("abc", 2), 34) << "three cells less the last gap, doubled";
    EXPECT_EQ(BitmapFont::TextWidth("", 2), 0) << "width of nothing";
    RgbImage image(20, 10, {});
    const Rgb ink{255, 255, 255};
    BitmapFont::Draw(image, 0, 0, "1", ink, 1);
    // The stroke of "1" runs down the middle column, its foot across the bottom.
    for (int y = 0; y < 7; ++y) {
        EXPECT_EQ(image.At(2, y), ink) << "the stroke, row " << y;
    }
    EXPECT_EQ(image.At(0, 0), Rgb{}) << "left of the flag";
    EXPECT_EQ(image.At(1, 6), ink) << "the foot";
    EXPECT_EQ(image.At(2, 7), Rgb{}) << "no descender";
    RgbImage unknown(20, 10, {});
    RgbImage question(20, 10, {});
    BitmapFont::Draw(unknown, 3, 1, "\xc3\xa9", ink, 1);  // an e with an accent, in UTF-8
    BitmapFont::Draw(question, 3, 1, "??", ink, 1);
    EXPECT_TRUE(
        std::equal(unknown.pixels().begin(), unknown.pixels().end(), question.pixels().begin()))
        << "each byte the font lacks is a question mark";
}

TEST(ColourMap, RunsFromBlackToPaleYellowGettingLighterAllTheWay) {
    const ColourMap map;
    EXPECT_EQ(map.At(0.0), (Rgb{0x00, 0x00, 0x04})) << "darkest";
    EXPECT_EQ(map.At(1.0), (Rgb{0xFC, 0xFF, 0xA4})) << "brightest";
    EXPECT_EQ(map.At(-3.0), map.At(0.0)) << "below the range";
    EXPECT_EQ(map.At(7.0), map.At(1.0)) << "above the range";
    for (int step = 1; step < ColourMap::kSteps; ++step) {
        EXPECT_GT(Lightness(map.At(step / 255.0)), Lightness(map.At((step - 1) / 255.0)))
            << "step " << step;
    }
}

// The PNG's header and pixels as libpng reads them back.
struct ReadBack {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    png_uint_32 format = 0;
    std::vector<uint8_t> pixels;
};

ReadBack ReadPng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ReadBack back;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        return back;
    }
    back.width = image.width;
    back.height = image.height;
    back.format = image.format;
    back.pixels.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, back.pixels.data(), 0, nullptr) == 0) {
        back.pixels.clear();
    }
    return back;
}

TEST(PngFile, WritesEightBitRgbThatLibpngReadsBackPixelForPixel) {
    RgbImage image(37, 23, {10, 20, 30});
    image.Set(0, 0, {255, 0, 0});
    image.Fill({30, 20, 7, 3}, {0, 200, 100});
    const std::optional<std::string> png = EncodePng(image);
    ASSERT_TRUE(png.has_value()) << "encoded";
    EXPECT_EQ(png->substr(0, 8), "\x89PNG\r\n\x1a\n") << "the PNG signature";
    const ReadBack back = ReadPng(*png);
    EXPECT_EQ(back.width, 37u) << "width";
    EXPECT_EQ(back.height, 23u) << "height";
    EXPECT_EQ(back.format, static_cast<png_uint_32>(PNG_FORMAT_RGB)) << "colour type RGB, no alpha";
    EXPECT_TRUE(std::equal(back.pixels.begin(), back.pixels.end(), image.pixels().begin(),
                           image.pixels().end()))
        << "pixels";

    test::TempDir dir;
    std::string error;
    EXPECT_TRUE(WritePngFile(dir.File("a.png"), image, &error)) << error;
    const std::vector<uint8_t> written = test::ReadFile(dir.File("a.png"));
    EXPECT_EQ(std::string(written.begin(), written.end()), *png) << "the file's bytes";
    EXPECT_FALSE(WritePngFile(dir.File("no/such/folder/a.png"), image, &error))
        << "a folder that is not there";
    EXPECT_FALSE(error.empty()) << "the reason";
    EXPECT_FALSE(EncodePng(RgbImage(), &error).has_value()) << "an empty picture";
    EXPECT_EQ(error, "the picture is empty") << "why an empty picture makes no file";
}

}  // namespace
}  // namespace vandrel
