#pragma once

#include <memory>

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "work/Messages.h"

namespace vandrel {

// The "Spectrum" page of the Details dialog: the spectrogram of the decoded
// file as the engine draws it (RenderSpectrogram), labels and marks included,
// made anew at the page's size in device pixels so that the labels stay sharp.
// The picture brings its own dark background; until it comes, the page says
// how far the decode has got, and why there is none if it failed, in the
// palette's colours. The details worker computes everything; the page only
// draws. GUI thread only.
class CSpectrumPage : public QWidget {
    Q_OBJECT
public:
    explicit CSpectrumPage(QWidget* parent = nullptr);

    // The decode has reached `percent`.
    void ShowProgress(int percent);
    // The worker's result: the spectrogram, or why there is none.
    void ShowSpectrum(std::unique_ptr<DetailsSpectrum> spectrum);

    bool HasPicture() const { return spectrum_ && spectrum_->spectrogram.has_value(); }
    // What the page says while it has no picture.
    const QString& Status() const { return status_; }
    const DetailsSpectrum* Spectrum() const { return spectrum_.get(); }
    // What the page shows at `size` logical pixels, at `device_pixel_ratio`
    // device pixels per logical pixel. A null image for an empty size.
    QImage Render(QSize size, qreal device_pixel_ratio) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Redraw();

    std::unique_ptr<DetailsSpectrum> spectrum_;
    QString status_;
    // The picture copied in one block on every paint; null when it must be
    // made again (new data, size or palette).
    QPixmap buffer_;
};

}  // namespace vandrel
