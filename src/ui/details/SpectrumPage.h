#pragma once

#include <memory>

#include <QImage>
#include <QString>

#include "ui/common/BufferedPicture.h"
#include "work/Messages.h"

namespace vandrel {

// The "Spectrum" page of the Details dialog: the spectrogram of the decoded
// file as the engine draws it (RenderSpectrogram), labels and marks included,
// made anew at the page's size in device pixels so that the labels stay sharp.
// The picture brings its own dark background; until it comes, the page says
// how far the decode has got, and why there is none if it failed, in the
// palette's colours. The details worker computes everything; the page only
// draws. GUI thread only.
class CSpectrumPage : public CBufferedPicture {
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
    QImage Render(QSize size, qreal device_pixel_ratio) const override;

private:
    std::unique_ptr<DetailsSpectrum> spectrum_;
    QString status_;
};

}  // namespace vandrel
