#include "ui/details/SpectrumPage.h"

#include <QPalette>
#include <QTest>

#include "UiTest.h"

namespace vandrel {

namespace {

// How many pixels of the image have the colour.
int Count(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// A second of a tone's spectrogram, as the worker sends it.
std::unique_ptr<DetailsSpectrum> ToneSpectrum() {
    SpectrogramBuilder builder(8000, {.fft_size = 256, .max_columns = 100});
    std::vector<float> samples(8000);
    for (size_t n = 0; n < samples.size(); ++n) {
        samples[n] = (n / 4) % 2 == 0 ? 0.5f : -0.5f;  // 1 kHz
    }
    builder.Add(samples);
    auto spectrum = std::make_unique<DetailsSpectrum>();
    spectrum->spectrogram = builder.Finish();
    spectrum->marks.cutoff_hz = 3000;
    return spectrum;
}

}  // namespace

class SpectrumPageTest : public QObject {
    Q_OBJECT

private slots:
    void SaysHowFarTheDecodeIsInThePalettesColours() {
        for (const bool dark : {false, true}) {
            CSpectrumPage page;
            QPalette palette = page.palette();
            palette.setColor(QPalette::Window, dark ? QColor(30, 30, 30) : QColor(240, 240, 240));
            palette.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
            page.setPalette(palette);
            page.ShowProgress(42);
            QCOMPARE(page.Status(), QString("Decoding the audio for its spectrum... 42%"));
            const QImage image = page.Render(QSize(400, 200), 1.0);
            QCOMPARE(image.pixelColor(0, 0), palette.color(QPalette::Window));  // background
            QVERIFY2(Count(image, palette.color(QPalette::WindowText)) > 20,
                     "the status in the text colour");
            QVERIFY2(!page.HasPicture(), "no picture yet");
        }
    }

    void ShowsTheWorkersPictureOrWhyThereIsNone() {
        CSpectrumPage page;
        page.ShowSpectrum(ToneSpectrum());
        QVERIFY2(page.HasPicture(), "a picture");
        const QImage image = page.Render(QSize(500, 300), 1.0);
        QCOMPARE(image.size(), QSize(500, 300));
        QCOMPARE(image.pixelColor(0, 0), QColor(18, 18, 22));  // its own background
        QVERIFY2(Count(image, QColor(64, 224, 255)) > 100, "the cutoff's line and label");
        QVERIFY2(page.Render(QSize(0, 300), 1.0).isNull(), "nothing at an empty size");

        auto failed = std::make_unique<DetailsSpectrum>();
        failed->failure = "No MPEG audio frame in the file could be decoded\n";
        page.ShowSpectrum(std::move(failed));
        QVERIFY2(!page.HasPicture(), "no picture for a failure");
        QCOMPARE(page.Status(),
                 QString("No spectrum: No MPEG audio frame in the file could be decoded"));
    }
};

VANDREL_UI_TEST(SpectrumPageTest);

}  // namespace vandrel

#include "SpectrumPageTest.moc"
