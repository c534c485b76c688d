#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace vandrel {

// A widget that shows one picture, made by Render() at its size in device
// pixels and copied in one block on every paint. The picture is made again
// when the size, the device pixel ratio, the palette, the style or the font
// change, and after Redraw() (new data). GUI thread only.
class CBufferedPicture : public QWidget {
public:
    explicit CBufferedPicture(QWidget* parent = nullptr) : QWidget(parent) {
        // Every paint copies a whole picture: there is no background to erase first.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // What the widget shows at `size` logical pixels, at `device_pixel_ratio`
    // device pixels per logical pixel. A null image for an empty size.
    virtual QImage Render(QSize size, qreal device_pixel_ratio) const = 0;

protected:
    // The data changed: make the picture anew at the next paint.
    void Redraw();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap buffer_;  // null when it must be made again
};

}  // namespace vandrel
