#include "engine/audio/SpectrogramImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/audio/BitmapFont.h"
#include "engine/audio/ColourMap.h"

namespace vandrel {

namespace {

using Colours = SpectrogramColours;

// The picture's sizes in units of the font's scale.
constexpr int kPad = 4;        // around the whole picture
constexpr int kTick = 3;       // a tick's length
constexpr int kTickGap = 2;    // between a tick and its label
constexpr int kPanelGap = 8;   // between the plot, the long-term spectrum and the legend
constexpr int kLegendBar = 5;  // the colour bar's width
constexpr int kMarkInset = 3;  // a mark's label from the plot's side
constexpr int kLabelPad = 2;   // around a mark's label, on its darkened box
constexpr int kDash = 4;       // a mark line's dashes and gaps
constexpr int kDashGap = 2;
// The long-term spectrum takes a sixth of the width, within these widths.
constexpr int kPanelMin = 40;
constexpr int kPanelMax = 130;
// One font scale per this many pixels of the picture's width and height.
constexpr int kScaleWidth = 600;
constexpr int kScaleHeight = 340;
constexpr int kLargestScale = 4;
// The highest brightest level a picture takes, and the lowest.
constexpr double kHighestTopDb = 20;
constexpr double kLowestTopDb = -60;
// The darkened box under a mark's label: this much of the background's colour.
constexpr int kLabelBoxAlpha = 170;
// The long-term spectrum's lines at the level ticks, under its curve.
constexpr Rgb kGridLine{40, 40, 48};

// Tick steps: the smallest that leaves the labels their room is taken.
constexpr std::array<double, 8> kFrequencySteps = {500,  1000,  2000,  4000,
                                                   5000, 10000, 20000, 50000};
constexpr std::array<double, 14> kTimeSteps = {1,   2,   5,   10,  15,   30,   60,
                                               120, 300, 600, 900, 1800, 3600, 7200};
constexpr std::array<double, 5> kLevelSteps = {10, 20, 30, 40, 60};

int Scaled(int units, int scale) {
    return units * scale;
}

// The smallest step that puts ticks at least `room` pixels apart on an axis of
// `pixels` for `span` units; the largest when none does.
double TickStep(std::span<const double> steps, double span, int pixels, int room) {
    for (const double step : steps) {
        if (span <= 0 || step / span * pixels >= room) {
            return step;
        }
    }
    return steps.back();
}

std::string FrequencyLabel(double hz) {
    char text[16];
    std::snprintf(text, sizeof(text), "%g", hz / 1000);
    return text;
}

std::string LevelLabel(double db) {
    return std::to_string(static_cast<int>(std::lround(db)));
}

// m:ss, or h:mm:ss from an hour on.
std::string TimeLabel(double seconds) {
    const auto whole = static_cast<long>(std::lround(seconds));
    char text[24];
    if (whole >= 3600) {
        std::snprintf(text, sizeof(text), "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof(text), "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

std::string MarkLabel(const char* what, double hz) {
    char text[48];
    std::snprintf(text, sizeof(text), "%s %.1f kHz", what, hz / 1000);
    return text;
}

double LoudestLevel(const Spectrogram& spectrogram) {
    double loudest = kSilenceDb;
    for (const float level : spectrogram.levels_db) {
        loudest = std::max<double>(loudest, level);
    }
    for (const float level : spectrogram.long_term_db) {
        loudest = std::max<double>(loudest, level);
    }
    return loudest;
}

// The bins each row of the plot shows, from the bottom row up: [first, end).
// A row that spans several bins shows the loudest of them, so that narrow
// tones and edges keep their level at any height.
std::vector<std::pair<int, int>> RowBins(int rows, int bins) {
    std::vector<std::pair<int, int>> ranges(static_cast<size_t>(std::max(0, rows)));
    const double per_row = rows > 0 ? double(bins - 1) / rows : 0.0;
    for (int r = 0; r < rows; ++r) {
        auto first = static_cast<int>(std::ceil(r * per_row - 1e-9));
        auto end = static_cast<int>(std::ceil((r + 1) * per_row - 1e-9));
        if (end <= first) {
            first = std::min(bins - 1, static_cast<int>(std::lround((r + 0.5) * per_row)));
            end = first + 1;
        }
        ranges[static_cast<size_t>(r)] = {first, std::min(end, bins)};
    }
    return ranges;
}

class Painter {
public:
    Painter(RgbImage& image, const Spectrogram& spectrogram, const SpectrogramLayout& layout)
        : image_(image), s_(spectrogram), layout_(layout), scale_(layout.scale),
          rows_(RowBins(layout.plot.height, spectrogram.bins)) {}

    void Plot();
    void LongTerm();
    void FrequencyAxis();
    void TimeAxis();
    void Legend();
    void Mark(double hz, const std::string& label, Rgb colour, bool label_right);

private:
    double Fraction(double db) const {
        return (db - layout_.bottom_db) / (layout_.top_db - layout_.bottom_db);
    }
    void Frame(const PixelRect& rect) {
        image_.Fill({rect.x - 1, rect.y - 1, rect.width + 2, 1}, Colours::kFrame);
        image_.Fill({rect.x - 1, rect.bottom(), rect.width + 2, 1}, Colours::kFrame);
        image_.Fill({rect.x - 1, rect.y, 1, rect.height}, Colours::kFrame);
        image_.Fill({rect.right(), rect.y, 1, rect.height}, Colours::kFrame);
    }
    void Text(int x, int y, const std::string& text, Rgb colour) {
        BitmapFont::Draw(image_, x, y, text, colour, scale_);
    }
    int Width(const std::string& text) const { return BitmapFont::TextWidth(text, scale_); }
    // The top of a line of text whose digits are centred on row `y`.
    int CentredTop(int y) const { return y - Scaled(BitmapFont::kCapHeight, scale_) / 2; }
    // The top of the titles' line: clear of the labels centred on the top row.
    int TitleTop() const {
        return CentredTop(layout_.plot.y) - Scaled(BitmapFont::kLineHeight, scale_);
    }

    RgbImage& image_;
    const Spectrogram& s_;
    const SpectrogramLayout& layout_;
    int scale_;
    std::vector<std::pair<int, int>> rows_;
    ColourMap colours_;
};

void Painter::Plot() {
    const PixelRect& plot = layout_.plot;
    Frame(plot);
    if (plot.empty() || s_.columns == 0) {
        return;
    }
    const double shown = std::max(s_.seconds, 1e-9);
    for (int x = 0; x < plot.width; ++x) {
        const double t = (x + 0.5) / plot.width * shown;
        const int column = std::clamp(static_cast<int>(t / s_.column_seconds), 0, s_.columns - 1);
        for (size_t r = 0; r < rows_.size(); ++r) {
            float level = kSilenceDb;
            for (int bin = rows_[r].first; bin < rows_[r].second; ++bin) {
                level = std::max(level, s_.Level(column, bin));
            }
            image_.Set(plot.x + x, plot.bottom() - 1 - static_cast<int>(r),
                       colours_.At(Fraction(level)));
        }
    }
}

void Painter::LongTerm() {
    const PixelRect& panel = layout_.spectrum;
    Frame(panel);
    if (panel.empty() || s_.long_term_db.empty()) {
        return;
    }
    const double step = TickStep(kLevelSteps, kPictureRangeDb, panel.width, Width("-100") * 3 / 2);
    for (double db = layout_.top_db; db >= layout_.bottom_db - 1e-9; db -= step) {
        const int x = panel.x + static_cast<int>(std::lround(Fraction(db) * (panel.width - 1)));
        image_.Fill({x, panel.y, 1, panel.height}, kGridLine);
        // Centred under its tick, but inside the panel's width.
        const std::string label = LevelLabel(db);
        const int left = std::clamp(x - Width(label) / 2, panel.x,
                                    std::max(panel.x, panel.right() - Width(label)));
        Text(left, panel.bottom() + 1 + Scaled(kTick + kTickGap, scale_), label, Colours::kText);
        image_.Fill({x, panel.bottom() + 1, 1, Scaled(kTick, scale_)}, Colours::kTick);
    }
    for (size_t r = 0; r < rows_.size(); ++r) {
        float level = kSilenceDb;
        for (int bin = rows_[r].first; bin < rows_[r].second; ++bin) {
            level = std::max(level, s_.long_term_db[static_cast<size_t>(bin)]);
        }
        const double f = std::clamp(Fraction(level), 0.0, 1.0);
        const int reach = static_cast<int>(std::lround(f * (panel.width - 1)));
        const int y = panel.bottom() - 1 - static_cast<int>(r);
        image_.Fill({panel.x, y, reach, 1}, colours_.At(f));
        image_.Fill({panel.x + reach, y, std::max(1, scale_ / 2 + 1), 1}, Colours::kCurve);
    }
}

void Painter::FrequencyAxis() {
    const PixelRect& plot = layout_.plot;
    if (plot.empty()) {
        return;
    }
    const double nyquist = s_.nyquist_hz();
    const int line = Scaled(BitmapFont::kLineHeight, scale_);
    const double step = TickStep(kFrequencySteps, nyquist, plot.height, 3 * line);
    for (double hz = 0; hz <= nyquist + 1e-6; hz += step) {
        const int y = FrequencyRow(layout_, hz, nyquist);
        const std::string label = FrequencyLabel(hz);
        const int tick_x = plot.x - 1 - Scaled(kTick, scale_);
        image_.Fill({tick_x, y, Scaled(kTick, scale_), 1}, Colours::kTick);
        image_.Fill({layout_.spectrum.x - 1 - Scaled(kTick, scale_), y, Scaled(kTick, scale_), 1},
                    Colours::kTick);
        Text(tick_x - Scaled(kTickGap, scale_) - Width(label), CentredTop(y), label,
             Colours::kText);
    }
    // The unit over the labels, the long-term spectrum's title over it.
    const int title_y = TitleTop();
    Text(std::max(0, plot.x - Width("kHz") - Scaled(kTickGap, scale_)), title_y, "kHz",
         Colours::kText);
    if (!layout_.spectrum.empty()) {
        const std::string title =
            Width("mean level") <= layout_.spectrum.width ? "mean level" : "mean";
        Text(layout_.spectrum.x, title_y, title, Colours::kText);
    }
}

void Painter::TimeAxis() {
    const PixelRect& plot = layout_.plot;
    if (plot.empty()) {
        return;
    }
    const int room = Width("00:00") + Scaled(2 * kPanelGap, scale_);
    const double step = TickStep(kTimeSteps, s_.seconds, plot.width, room);
    for (double t = 0; t <= s_.seconds + 1e-9; t += step) {
        const int x = plot.x + static_cast<int>(
                                   std::lround(t / std::max(s_.seconds, 1e-9) * (plot.width - 1)));
        image_.Fill({x, plot.bottom() + 1, 1, Scaled(kTick, scale_)}, Colours::kTick);
        const std::string label = TimeLabel(t);
        const int left =
            std::clamp(x - Width(label) / 2, 0, std::max(0, plot.right() - Width(label)));
        Text(left, plot.bottom() + 1 + Scaled(kTick + kTickGap, scale_), label, Colours::kText);
    }
}

void Painter::Legend() {
    const PixelRect& bar = layout_.legend;
    Frame(bar);
    if (bar.empty()) {
        return;
    }
    for (int r = 0; r < bar.height; ++r) {
        const double f = bar.height > 1 ? double(r) / (bar.height - 1) : 1.0;
        image_.Fill({bar.x, bar.bottom() - 1 - r, bar.width, 1}, colours_.At(f));
    }
    const int line = Scaled(BitmapFont::kLineHeight, scale_);
    const double step = TickStep(kLevelSteps, kPictureRangeDb, bar.height, 2 * line);
    for (double db = layout_.top_db; db >= layout_.bottom_db - 1e-9; db -= step) {
        const int y =
            bar.bottom() - 1 - static_cast<int>(std::lround(Fraction(db) * (bar.height - 1)));
        image_.Fill({bar.right() + 1, y, Scaled(kTick, scale_), 1}, Colours::kTick);
        Text(bar.right() + 1 + Scaled(kTick + kTickGap, scale_), CentredTop(y), LevelLabel(db),
             Colours::kText);
    }
    Text(bar.x, TitleTop(), "dB", Colours::kText);
}

void Painter::Mark(double hz, const std::string& label, Rgb colour, bool label_right) {
    const PixelRect& plot = layout_.plot;
    const double nyquist = s_.nyquist_hz();
    if (plot.empty() || !(hz > 0) || hz > nyquist) {
        return;
    }
    const int y = FrequencyRow(layout_, hz, nyquist);
    const int thickness = scale_ >= 2 ? 2 : 1;
    for (int i = 0; i < thickness; ++i) {
        const int dash = Scaled(kDash, scale_);
        const int gap = Scaled(kDashGap, scale_);
        image_.DashedRow(plot.x, plot.width, y - i, colour, dash, gap);
        image_.DashedRow(layout_.spectrum.x, layout_.spectrum.width, y - i, colour, dash, gap);
    }
    // Above the line, or under it where the top of the plot leaves no room.
    const int pad = Scaled(kLabelPad, scale_);
    const int height = Scaled(BitmapFont::kGlyphHeight, scale_);
    int top = y - thickness - pad - height - pad;
    if (top < plot.y) {
        top = y + 1 + pad;
    }
    const int inset = Scaled(kMarkInset, scale_);
    const int left = label_right ? plot.right() - inset - Width(label) : plot.x + inset;
    image_.Blend({left - pad, top - pad, Width(label) + 2 * pad, height + 2 * pad},
                 Colours::kBackground, kLabelBoxAlpha);
    Text(left, top, label, colour);
}

}  // namespace

SpectrogramLayout LayOutSpectrogram(const Spectrogram& spectrogram, int width, int height) {
    SpectrogramLayout layout;
    const int scale =
        std::clamp(std::min(width / kScaleWidth, height / kScaleHeight), 1, kLargestScale);
    layout.scale = scale;
    const int line = Scaled(BitmapFont::kLineHeight, scale);
    const int pad = Scaled(kPad, scale);
    const std::string widest_frequency = FrequencyLabel(spectrogram.nyquist_hz());
    const int left = pad +
                     std::max(BitmapFont::TextWidth(widest_frequency, scale),
                              BitmapFont::TextWidth("kHz", scale)) +
                     Scaled(kTickGap + kTick, scale) + 1;
    const int top = pad + 2 * line;
    const int bottom = 1 + Scaled(kTick + kTickGap, scale) + line + pad;
    const int legend_labels =
        Scaled(kTick + kTickGap, scale) + BitmapFont::TextWidth("-100", scale);
    const int panel = std::clamp(width / 6, Scaled(kPanelMin, scale), Scaled(kPanelMax, scale));
    const int right = Scaled(kPanelGap, scale) + panel + Scaled(kPanelGap, scale) +
                      Scaled(kLegendBar, scale) + legend_labels + pad;
    const int plot_height = std::max(0, height - top - bottom);
    layout.plot = {left, top, std::max(0, width - left - right), plot_height};
    layout.spectrum = {layout.plot.right() + Scaled(kPanelGap, scale), top, panel, plot_height};
    layout.legend = {layout.spectrum.right() + Scaled(kPanelGap, scale), top,
                     Scaled(kLegendBar, scale), plot_height};
    if (layout.plot.empty()) {
        layout.spectrum = layout.legend = {};
    }
    layout.top_db =
        std::clamp(std::ceil(LoudestLevel(spectrogram) / 10) * 10, kLowestTopDb, kHighestTopDb);
    layout.bottom_db = layout.top_db - kPictureRangeDb;
    return layout;
}

int FrequencyRow(const SpectrogramLayout& layout, double hz, double nyquist_hz) {
    const int rows = layout.plot.height;
    if (rows <= 0 || !(nyquist_hz > 0)) {
        return layout.plot.y;
    }
    // The row whose bins (RowBins) hold the frequency; Nyquist in the top row.
    const auto row = static_cast<int>(std::floor(hz / nyquist_hz * rows + 1e-9));
    return layout.plot.bottom() - 1 - std::clamp(row, 0, rows - 1);
}

RgbImage RenderSpectrogram(const Spectrogram& spectrogram, const SpectrumMarks& marks, int width,
                           int height) {
    RgbImage image(width, height, Colours::kBackground);
    if (image.width() == 0 || spectrogram.bins == 0) {
        return image;
    }
    const SpectrogramLayout layout = LayOutSpectrogram(spectrogram, width, height);
    Painter painter(image, spectrogram, layout);
    painter.Plot();
    painter.LongTerm();
    painter.FrequencyAxis();
    painter.TimeAxis();
    painter.Legend();
    if (marks.lowpass_hz) {
        painter.Mark(*marks.lowpass_hz, MarkLabel("encoder lowpass", *marks.lowpass_hz),
                     Colours::kLowpass, true);
    }
    if (marks.cutoff_hz) {
        painter.Mark(*marks.cutoff_hz, MarkLabel("cutoff", *marks.cutoff_hz), Colours::kCutoff,
                     false);
    }
    return image;
}

}  // namespace vandrel
