#include "ui/details/Histogram.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QThread>

namespace vandrel {

namespace {

// Margins of the plot inside the client rectangle, in logical pixels: room for
// the title above and for the labels below the base line.
constexpr int kSideMargin = 10;
constexpr int kTopMargin = 30;
constexpr int kBottomMargin = 25;
constexpr int kTitleOffset = 2;  // the title's top-left corner
constexpr int kLabelTop = 5;     // label box rows below the base line
constexpr int kLabelBottom = 25;
// A bar must be taller than this to carry its share.
constexpr int kShareMinHeight = 10;
// Smaller text is specks rather than letters; it is left out.
constexpr int kSmallestTextPixels = 6;
// Counts far beyond any screen are drawn as if they were this many pixels;
// it keeps the conversion to int defined.
constexpr double kFarOffPixels = 1e6;
// A room's height where only its width matters.
constexpr int kUnlimitedPixels = 1 << 20;

int ToPixels(double offset) {
    if (std::isnan(offset)) {
        return 0;
    }
    return static_cast<int>(std::clamp(offset, -kFarOffPixels, kFarOffPixels));
}

QFont WithPixelSize(QFont font, int pixels) {
    font.setPixelSize(std::max(1, pixels));
    return font;
}

// A text and the room it must fit, in logical pixels.
struct TextRoom {
    QString text;
    QSize room;
};

// The largest pixel size, at most `largest`, at which every text fits its room
// on one line; 0 when none from kSmallestTextPixels up does.
int FittingPixels(const QFont& font, const QPaintDevice* device, int largest,
                  const std::vector<TextRoom>& texts) {
    const auto fits = [&](int pixels) {
        const QFontMetrics metrics(WithPixelSize(font, pixels), device);
        return std::all_of(texts.begin(), texts.end(), [&](const TextRoom& text) {
            return metrics.height() <= text.room.height() &&
                   metrics.horizontalAdvance(text.text) <= text.room.width();
        });
    };
    if (largest < kSmallestTextPixels || !fits(kSmallestTextPixels)) {
        return 0;
    }
    // Metrics grow with the size, so the largest fitting size is found by halving.
    int low = kSmallestTextPixels;
    int high = largest;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (fits(middle)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

}  // namespace

QString HistogramShareText(float value, double total, int decimals) {
    // Whole hundredths of the count, as the counts are whole numbers anyway.
    const double share = std::trunc(static_cast<double>(value) * 100.0) / total;
    return QString::asprintf(decimals == 0 ? "%.0f%%" : "%.1f%%", share);
}

HistogramLayout ComputeHistogramLayout(const QRect& client, const HistogramData& data) {
    HistogramLayout layout;
    const int n = static_cast<int>(data.values.size());
    if (n == 0) {
        return layout;
    }
    // The client rectangle's right and bottom edges lie just outside it.
    const int right = client.left() + client.width();
    const int bottom = client.top() + client.height();
    layout.x0 = client.left() + kSideMargin;
    layout.x1 = right - kSideMargin;
    layout.base_y = bottom - kBottomMargin;
    layout.top_y = client.top() + kTopMargin;
    // A client narrower than the margins leaves no width at all.
    const int w = std::max(0, (layout.x1 - layout.x0) / n);
    layout.bar_width = w;
    layout.font_pixels = std::clamp(3 * w, 1, CHistogram::kLargestFontPixels);

    const auto [min_it, max_it] = std::minmax_element(data.values.begin(), data.values.end());
    const double max = *max_it;
    const double min = *min_it;
    const double total = std::accumulate(data.values.begin(), data.values.end(), 0.0);
    // The largest count reaches the top row. Counts that are all equal (all
    // zero, say) have no scale and are drawn one pixel per unit from the base
    // line down. A client too low to have a top row above the base line
    // leaves the bars flat instead of turning them upside down.
    const bool scaled = max != min && max > 0;
    const double span = std::min(0, layout.top_y - layout.base_y);

    layout.bars.resize(data.values.size());
    for (int i = 0; i < n; ++i) {
        const double value = data.values[static_cast<size_t>(i)];
        // span * value / max rather than (span / max) * value: the largest
        // count then lands exactly on the top row.
        const int offset = ToPixels(scaled ? span * value / max : value);
        const int top = layout.base_y + offset;
        const int below = layout.base_y + 1;  // first row under the bar
        HistogramBar& bar = layout.bars[static_cast<size_t>(i)];
        bar.rect = QRect(QPoint(layout.x0 + i * w, std::min(top, below)),
                         QPoint(layout.x0 + (i + 1) * w, std::max(top, below) - 1));
        // A bar hanging below the base line has a negative height here.
        if (total > 0 && below - top > kShareMinHeight) {
            bar.share =
                HistogramShareText(data.values[static_cast<size_t>(i)], total, data.decimals);
        }
        if (static_cast<size_t>(i) < data.labels.size()) {
            bar.label = QString::fromStdString(data.labels[static_cast<size_t>(i)]);
            bar.label_box =
                QRect(QPoint(layout.x0 + (i - 1) * w, layout.base_y + kLabelTop),
                      QPoint(layout.x0 + (i + 1) * w, layout.base_y + kLabelBottom - 1));
        }
    }
    return layout;
}

std::vector<QColor> HistogramColours(HistogramKind kind) {
    switch (kind) {
    case HistogramKind::kBlockTypes:
        return {QColor(100, 202, 42), QColor(130, 227, 61)};
    case HistogramKind::kStereoTypes:
        return {QColor(202, 100, 42), QColor(227, 130, 61)};
    case HistogramKind::kBitrateCounts:
        break;
    }
    return {QColor(52, 114, 212), QColor(81, 150, 247)};
}

namespace {

// The title keeps to the band above the tallest bar.
void DrawTitle(QPainter& painter, const QRect& client, const QString& title, const QFont& font,
               int largest_pixels, const QColor& ink) {
    const QRect room(client.left() + kTitleOffset, client.top() + kTitleOffset,
                     client.width() - 2 * kTitleOffset, kTopMargin - kTitleOffset);
    const int pixels =
        FittingPixels(font, painter.device(), largest_pixels, {{title, room.size()}});
    if (pixels > 0 && !title.isEmpty()) {
        painter.setFont(WithPixelSize(font, pixels));
        painter.setPen(ink);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    }
}

void DrawBars(QPainter& painter, const HistogramLayout& layout, const QFont& font,
              const std::vector<QColor>& colours, const QColor& ink) {
    // Shares are drawn in one size, at which the widest keeps a pixel clear of
    // the outline on either side; only a bar too low for it gets smaller text.
    const int share_width = layout.bar_width - 1 - 2;
    std::vector<TextRoom> shares;
    for (const HistogramBar& bar : layout.bars) {
        if (!bar.share.isEmpty()) {
            shares.push_back({bar.share, QSize(share_width, kUnlimitedPixels)});
        }
    }
    const int share_pixels = FittingPixels(font, painter.device(), layout.font_pixels, shares);
    for (size_t i = 0; i < layout.bars.size(); ++i) {
        const HistogramBar& bar = layout.bars[i];
        if (bar.rect.isEmpty()) {
            continue;
        }
        // A one-pixel outline in the text colour around the fill; filling the
        // inner rectangle keeps the outline one logical pixel at any ratio.
        painter.fillRect(bar.rect, ink);
        const QRect inner = bar.rect.adjusted(1, 1, -1, -1);
        if (!inner.isEmpty()) {
            painter.fillRect(inner, colours[i % colours.size()]);
        }
        if (bar.share.isEmpty()) {
            continue;
        }
        // Digits and "%" leave the line's descent blank, so the text may use
        // the outline rows as well.
        const int pixels = FittingPixels(font, painter.device(), share_pixels,
                                         {{bar.share, QSize(share_width, bar.rect.height())}});
        if (pixels > 0) {
            painter.setFont(WithPixelSize(font, pixels));
            painter.setPen(Qt::white);
            painter.drawText(bar.rect, Qt::AlignCenter | Qt::TextSingleLine, bar.share);
        }
    }
}

void DrawLabels(QPainter& painter, const QRect& client, const HistogramLayout& layout,
                const QFont& font, const QColor& ink) {
    // Each label gets the width between the midpoints to its neighbours, less a
    // pixel on either side, as far as it lies inside the client; all labels are
    // drawn in the size at which every one fits.
    const int w = layout.bar_width;
    std::vector<TextRoom> labels;
    std::vector<QRect> label_rooms;
    for (const HistogramBar& bar : layout.bars) {
        if (bar.label.isEmpty()) {
            continue;
        }
        const int centre = bar.label_box.left() + w;
        const int left = std::max(client.left(), centre - w / 2 + 1);
        const int right = std::min(client.right(), centre + w / 2 - 1);
        label_rooms.emplace_back(QPoint(left, bar.label_box.top()),
                                 QPoint(right, bar.label_box.bottom()));
        labels.push_back({bar.label, label_rooms.back().size()});
    }
    const int label_pixels = FittingPixels(font, painter.device(), layout.font_pixels, labels);
    if (label_pixels == 0) {
        return;
    }
    painter.setFont(WithPixelSize(font, label_pixels));
    painter.setPen(ink);
    for (size_t i = 0; i < labels.size(); ++i) {
        painter.drawText(label_rooms[i], Qt::AlignCenter | Qt::TextSingleLine, labels[i].text);
    }
}

}  // namespace

void DrawHistogram(QPainter& painter, const QRect& client, const HistogramData& data,
                   const QPalette& palette, const QFont& font) {
    // The chart sits on the background of a view's contents, with the text
    // colour that goes with it, so that it stays legible under any theme.
    painter.fillRect(client, palette.color(QPalette::Base));
    if (data.values.empty()) {
        return;
    }
    const HistogramLayout layout = ComputeHistogramLayout(client, data);
    const QColor ink = palette.color(QPalette::Text);
    // Every text is drawn in the chart's font, made smaller where it would
    // not fit its room.
    DrawTitle(painter, client, QString::fromStdString(data.title), font, layout.font_pixels, ink);
    if (layout.x1 > layout.x0) {
        // The base line ends just before x1.
        painter.fillRect(QRect(layout.x0, layout.base_y, layout.x1 - layout.x0, 1), ink);
    }
    DrawBars(painter, layout, font, HistogramColours(data.kind), ink);
    DrawLabels(painter, client, layout, font, ink);
}

CHistogram::CHistogram(const HistogramData& histogram, QWidget* parent)
    : CBufferedPicture(parent), data_(&histogram) {}

void CHistogram::Refresh() {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    Redraw();
}

QImage CHistogram::Render(QSize size, qreal device_pixel_ratio) const {
    if (size.isEmpty()) {
        return {};
    }
    QImage image(QSize(static_cast<int>(std::ceil(size.width() * device_pixel_ratio)),
                       static_cast<int>(std::ceil(size.height() * device_pixel_ratio))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(device_pixel_ratio);
    QPainter painter(&image);
    DrawHistogram(painter, QRect(QPoint(0, 0), size), *data_, palette(), font());
    return image;
}

}  // namespace vandrel
