#pragma once

#include <vector>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include "engine/media/VandrelMp3File.h"
#include "ui/common/BufferedPicture.h"

class QPainter;
class QPalette;

namespace vandrel {

// Where one bar of a histogram goes, in logical pixels.
struct HistogramBar {
    // The pixels the bar covers, outline included. Neighbours share their
    // outline column; a bar of a zero count is the single row of the base line.
    QRect rect;
    // The bar's share of the total ("60%"); empty when nothing was counted or
    // the bar is too low to hold it.
    QString share;
    // The label and the box it is centred in: two bar widths centred on the
    // bar's left edge, below the base line. Empty for a bar without a label.
    QString label;
    QRect label_box;
};

// The geometry of a histogram drawn into a client rectangle, in logical pixels.
struct HistogramLayout {
    int x0 = 0;      // left end of the base line
    int x1 = 0;      // right end of the base line, excluded
    int base_y = 0;  // row of the base line
    int top_y = 0;   // the row the largest count reaches
    int bar_width = 0;
    // The chart's font height: three bar widths, at most kLargestFontPixels
    // and never below 1. Texts that would not fit their room get smaller.
    int font_pixels = 1;
    std::vector<HistogramBar> bars;  // empty when there are no values
};

HistogramLayout ComputeHistogramLayout(const QRect& client, const HistogramData& data);

// The share of `value` in `total` as the bars show it: whole percents for
// `decimals` 0, else one decimal, with a trailing "%".
QString HistogramShareText(float value, double total, int decimals);

// The bar colours of a kind of chart, used in turn from the first bar on.
std::vector<QColor> HistogramColours(HistogramKind kind);

// Paints the whole histogram into `client`: background, title, base line,
// bars, shares and labels, the texts in `font` or smaller.
void DrawHistogram(QPainter& painter, const QRect& client, const HistogramData& data,
                   const QPalette& palette, const QFont& font);

// A bar chart of a handful of counts with each bar's share of the total. The
// media file owns the data and keeps it up to date; the widget only draws it
// and must be told by Refresh() when it changed.
class CHistogram : public CBufferedPicture {
    Q_OBJECT
public:
    static constexpr int kLargestFontPixels = 80;

    // `histogram` must outlive the widget.
    explicit CHistogram(const HistogramData& histogram, QWidget* parent = nullptr);

    const HistogramData& Data() const { return *data_; }
    // The data changed: draw it anew.
    void Refresh();
    QImage Render(QSize size, qreal device_pixel_ratio) const override;

private:
    const HistogramData* data_;
};

}  // namespace vandrel
