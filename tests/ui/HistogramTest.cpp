#include "ui/details/Histogram.h"

#include <numeric>

#include <QDebug>
#include <QImage>
#include <QTest>

#include "UiTest.h"

namespace vandrel {

namespace {

template <typename T> QByteArray Mismatch(const char* what, const T& actual, const T& expected) {
    QString text;
    QDebug(&text).nospace() << what << ": got " << actual << ", expected " << expected;
    return text.toUtf8();
}

// Compares two values of one type and names what was compared when they differ.
#define CHECK_SAME(actual, expected, what)                                                         \
    QVERIFY2((actual) == (expected),                                                               \
             Mismatch<decltype(expected)>(what, actual, expected).constData())

HistogramData Chart(std::vector<float> values, std::vector<std::string> labels = {},
                    int decimals = 0, std::string title = {}) {
    HistogramData data;
    data.title = std::move(title);
    data.decimals = decimals;
    data.values = std::move(values);
    data.labels = std::move(labels);
    return data;
}

std::vector<std::string> BitrateLabels(size_t count) {
    const std::vector<std::string> all = {"Free", "32",  "40",  "48",  "56",  "64",  "80",  "96",
                                          "112",  "128", "160", "192", "224", "256", "320", "bad"};
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count)};
}

// The first row, from the top, whose pixel in column `x` is not the
// background; -1 when the whole column is background. Device pixels.
int FirstInkRow(const QImage& image, int x, QColor background) {
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixelColor(x, y) != background) {
            return y;
        }
    }
    return -1;
}

// Counts the pixels of `region` (logical pixels) for which `matches` holds.
template <typename Matches>
int CountPixels(const QImage& image, const QRect& region, Matches matches) {
    const qreal ratio = image.devicePixelRatio();
    const QRect device(
        QPoint(static_cast<int>(region.left() * ratio), static_cast<int>(region.top() * ratio)),
        region.size() * ratio);
    int count = 0;
    for (int y = device.top(); y <= device.bottom(); ++y) {
        for (int x = device.left(); x <= device.right(); ++x) {
            if (image.rect().contains(x, y) && matches(image.pixelColor(x, y))) {
                ++count;
            }
        }
    }
    return count;
}

bool NearWhite(QColor colour) {
    return colour.red() > 230 && colour.green() > 230 && colour.blue() > 230;
}

}  // namespace

class HistogramTest : public QObject {
    Q_OBJECT

private slots:
    void FormatsShares() {
        CHECK_SAME(HistogramShareText(2, 3, 0), QString("67%"), "whole percents round");
        // Any other decimals value than 0 also means one decimal.
        CHECK_SAME(HistogramShareText(1, 3, 2), QString("33.3%"), "decimals 2 gives one decimal");
        // The count's hundredths are cut to a whole number before dividing.
        CHECK_SAME(HistogramShareText(0.129f, 1, 0), QString("12%"), "hundredths truncated");
    }

    void EqualCountsAreDrawnUnscaled() {
        const QRect client(0, 0, 330, 200);
        // All zero: every bar is the base line's row, and nothing has a share.
        HistogramLayout layout = ComputeHistogramLayout(client, Chart({0, 0, 0}));
        for (size_t i = 0; i < layout.bars.size(); ++i) {
            CHECK_SAME(layout.bars[i].rect.top(), 175, "zero bar's top row");
            CHECK_SAME(layout.bars[i].rect.height(), 1, "zero bar's height");
            QVERIFY2(layout.bars[i].share.isEmpty(), "no share when nothing was counted");
        }
    }

    void ShowsSharesOnlyOnBarsTallerThanTenPixels() {
        // With 145 rows between base line and top, a count is its height - 1.
        const HistogramData data = Chart({145, 10, 9});
        const HistogramLayout layout = ComputeHistogramLayout(QRect(0, 0, 330, 200), data);
        CHECK_SAME(layout.bars[1].rect.height(), 11, "bar 1's height");
        CHECK_SAME(layout.bars[2].rect.height(), 10, "bar 2's height");
        CHECK_SAME(layout.bars[1].share, QString("6%"), "share of the 11-pixel bar");
        QVERIFY2(layout.bars[2].share.isEmpty(), "no share on the 10-pixel bar");

        // The bar colours are not near white; only share text is.
        const CHistogram widget(data);
        const QImage image = widget.Render({330, 200}, 1);
        QVERIFY2(CountPixels(image, layout.bars[1].rect, NearWhite) > 0,
                 "share text drawn in the 11-pixel bar");
        CHECK_SAME(CountPixels(image, layout.bars[2].rect, NearWhite), 0,
                   "white pixels in the 10-pixel bar");
    }

    void LabelsOnlyBarsThatHaveOne() {
        const QRect client(0, 0, 600, 300);
        std::vector<float> counts(16);
        std::iota(counts.begin(), counts.end(), 1.0f);
        const HistogramData fifteen = Chart(counts, BitrateLabels(15));
        const HistogramLayout layout = ComputeHistogramLayout(client, fifteen);
        CHECK_SAME(layout.bars[14].label, QString("320"), "label of bar 15");
        QVERIFY2(layout.bars[15].label.isEmpty() && layout.bars[15].label_box.isNull(),
                 "bar 16 has no label");

        // Right of the fifteenth label (centred on x0 + 14 w and at most w
        // wide) nothing is written below the base line unless bar 16 has a
        // label too.
        const int w = layout.bar_width;
        const QRect beyond(QPoint(layout.x0 + 15 * w - w / 2 + 1, layout.base_y + 5),
                           QPoint(client.right(), client.bottom()));
        const CHistogram without_label(fifteen);
        const QColor background = without_label.palette().color(QPalette::Base);
        const auto ink = [&](QColor colour) { return colour != background; };
        CHECK_SAME(CountPixels(without_label.Render(client.size(), 1), beyond, ink), 0,
                   "pixels written where bar 16's label would go");
        const HistogramData sixteen = Chart(counts, BitrateLabels(16));
        const CHistogram with_label(sixteen);
        QVERIFY2(CountPixels(with_label.Render(client.size(), 1), beyond, ink) > 0,
                 "bar 16's label drawn when it has one");
    }

    void RendersTheLayout() {
        // No values: the background alone, without title or base line.
        const HistogramData empty = Chart({}, {"a"}, 0, "Bitrate Distribution");
        const CHistogram blank(empty);
        const QImage nothing = blank.Render({330, 200}, 1);
        const QColor background = blank.palette().color(QPalette::Base);
        CHECK_SAME(CountPixels(nothing, nothing.rect(), [&](QColor c) { return c != background; }),
                   0, "pixels other than the background without values");

        // Each bar's outline starts at its top row and it is filled with the
        // colours in turn, at both pixel ratios.
        const HistogramData data = Chart({600, 150, 250});
        const CHistogram widget(data);
        const QColor fills[] = {QColor(52, 114, 212), QColor(81, 150, 247), QColor(52, 114, 212)};
        const int tops[] = {30, 139, 115};
        const int lefts[] = {10, 113, 216};
        for (const int ratio : {1, 2}) {
            const QImage image = widget.Render({330, 200}, ratio);
            CHECK_SAME(image.size(), QSize(330 * ratio, 200 * ratio), "device size of the image");
            for (int i = 0; i < 3; ++i) {
                // Near the bar's left edge, clear of the share text.
                const int x = (lefts[i] + 3) * ratio;
                CHECK_SAME(
                    FirstInkRow(image, x, background), tops[i] * ratio,
                    qPrintable(QString("top device row of bar %1 at ratio %2").arg(i).arg(ratio)));
                CHECK_SAME(image.pixelColor(x, 170 * ratio), fills[i],
                           qPrintable(QString("fill of bar %1 at ratio %2").arg(i).arg(ratio)));
            }
        }
    }

    void WidgetRedrawsAfterRefresh() {
        HistogramData data = Chart({600, 150, 250});
        CHistogram widget(data);
        widget.resize(330, 200);
        // Shown, so that only a resize or Refresh() makes it draw anew.
        widget.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&widget), "histogram shown");
        const QColor background = widget.palette().color(QPalette::Base);
        CHECK_SAME(FirstInkRow(widget.grab().toImage(), 180, background), 139,
                   "bar 1's top row on screen");
        data.values = {150, 600, 250};
        widget.Refresh();
        CHECK_SAME(FirstInkRow(widget.grab().toImage(), 180, background), 30,
                   "bar 1's top row after the counts changed");
        widget.resize(330, 100);
        CHECK_SAME(FirstInkRow(widget.grab().toImage(), 180, background), 30,
                   "bar 1's top row after the widget got lower");
        CHECK_SAME(widget.grab().toImage().pixelColor(180, 75),
                   widget.palette().color(QPalette::Text),
                   "bar 1's bottom row on the moved base line");
    }

    void SurvivesTinySizes() {
        const HistogramData data = Chart(std::vector<float>(16, 5), BitrateLabels(15), 0, "T");
        const CHistogram widget(data);
        for (const QSize size : {QSize(1, 1), QSize(15, 40), QSize(19, 59), QSize(20, 60),
                                 QSize(40, 300), QSize(300, 20)}) {
            const HistogramLayout layout = ComputeHistogramLayout(QRect(QPoint(0, 0), size), data);
            QVERIFY2(layout.bar_width >= 0 && layout.font_pixels >= 1,
                     qPrintable(QString("bar width and font of a %1x%2 chart")
                                    .arg(size.width())
                                    .arg(size.height())));
            for (const qreal ratio : {1.0, 2.0}) {
                CHECK_SAME(widget.Render(size, ratio).size(), size * ratio,
                           "image size of a tiny chart");
            }
        }
        QVERIFY2(widget.Render({0, 0}, 1).isNull(), "an empty size gives a null image");
    }
};

VANDREL_UI_TEST(HistogramTest);

}  // namespace vandrel

#include "HistogramTest.moc"
