#include "ui/browser/BusyIndicator.h"

#include <cmath>

#include <QPainter>

namespace vandrel {

namespace {
constexpr int kFrames = 12;
constexpr int kFrameMs = 80;
}  // namespace

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    setFixedWidth(kWidth);
    setToolTip(tr("Scanning"));
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void BusyIndicator::SetRunning(bool running) {
    if (running == timer_.isActive()) {
        return;
    }
    if (running) {
        timer_.start();
    } else {
        timer_.stop();
        frame_ = 0;
        update();
    }
}

void BusyIndicator::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(123, 123, 123));
    const QPointF centre = QRectF(rect()).center();
    const double radius = std::min(width(), height()) * 0.32;
    // Twelve dots on a circle; the brightest one marks the frame.
    for (int i = 0; i < kFrames; ++i) {
        const double angle = 2 * M_PI * i / kFrames - M_PI / 2;
        const int age = (frame_ - i + kFrames) % kFrames;
        const int light = running() ? 255 - age * 14 : (i == 0 ? 255 : 170);
        painter.setBrush(QColor(light, light, light));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(centre + QPointF(std::cos(angle), std::sin(angle)) * radius, 2.2, 2.2);
    }
}

}  // namespace vandrel
