#pragma once

#include <QTimer>
#include <QWidget>

namespace vandrel {

// The small animation that turns while files are scanned; it rests on its
// first frame when the list is idle.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 40;
    explicit BusyIndicator(QWidget* parent = nullptr);

    void SetRunning(bool running);
    bool running() const { return timer_.isActive(); }
    QSize sizeHint() const override { return {kWidth, kWidth - 8}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace vandrel
