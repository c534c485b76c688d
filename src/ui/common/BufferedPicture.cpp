#include "ui/common/BufferedPicture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

namespace vandrel {

void CBufferedPicture::Redraw() {
    buffer_ = QPixmap();
    update();
}

void CBufferedPicture::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (buffer_.isNull() || buffer_.deviceIndependentSize() != QSizeF(size()) ||
        buffer_.devicePixelRatio() != ratio) {
        buffer_ = QPixmap::fromImage(Render(size(), ratio));
    }
    if (buffer_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, buffer_);
}

void CBufferedPicture::resizeEvent(QResizeEvent* event) {
    buffer_ = QPixmap();
    QWidget::resizeEvent(event);
}

void CBufferedPicture::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::FontChange) {
        Redraw();
    }
    QWidget::changeEvent(event);
}

}  // namespace vandrel
