#include "ui/details/SpectrumPage.h"

#include <cmath>

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include "engine/audio/SpectrogramImage.h"
#include "ui/common/UiThread.h"

namespace vandrel {

namespace {

// The device pixels of `size` logical pixels.
QSize DeviceSize(QSize size, qreal ratio) {
    return {static_cast<int>(std::ceil(size.width() * ratio)),
            static_cast<int>(std::ceil(size.height() * ratio))};
}

QImage PictureOf(const DetailsSpectrum& spectrum, QSize pixels) {
    const RgbImage picture =
        RenderSpectrogram(*spectrum.spectrogram, spectrum.marks, pixels.width(), pixels.height());
    if (picture.width() == 0) {
        return {};
    }
    // The engine's rows are what RGB888 takes; the copy owns its pixels.
    return QImage(picture.pixels().data(), picture.width(), picture.height(),
                  static_cast<qsizetype>(picture.stride()), QImage::Format_RGB888)
        .copy();
}

}  // namespace

CSpectrumPage::CSpectrumPage(QWidget* parent) : CBufferedPicture(parent) {
    ShowProgress(0);
}

void CSpectrumPage::ShowProgress(int percent) {
    AssertUiThread();
    status_ = tr("Decoding the audio for its spectrum... %1%").arg(percent);
    Redraw();
}

void CSpectrumPage::ShowSpectrum(std::unique_ptr<DetailsSpectrum> spectrum) {
    AssertUiThread();
    spectrum_ = std::move(spectrum);
    if (spectrum_ && !spectrum_->spectrogram) {
        status_ = tr("No spectrum: %1").arg(QString::fromStdString(spectrum_->failure).trimmed());
    }
    Redraw();
}

QImage CSpectrumPage::Render(QSize size, qreal device_pixel_ratio) const {
    if (size.isEmpty()) {
        return {};
    }
    const QSize pixels = DeviceSize(size, device_pixel_ratio);
    QImage image = HasPicture() ? PictureOf(*spectrum_, pixels) : QImage();
    if (image.isNull()) {
        // The status on the window's own background, in its text colour, so
        // that it reads under any palette.
        image = QImage(pixels, QImage::Format_RGB32);
        image.setDevicePixelRatio(device_pixel_ratio);
        image.fill(palette().color(QPalette::Window));
        QPainter painter(&image);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextWordWrap, status_);
        return image;
    }
    image.setDevicePixelRatio(device_pixel_ratio);
    return image;
}

}  // namespace vandrel
