#include "ui/browser/WindowPlacement.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "engine/core/SettingsTable.h"

namespace vandrel {

namespace {

// The window's place as the settings keep it ("mainframe"): the last normal
// rectangle, its right and bottom edges outside it, and whether it was
// maximised. The first start opens 1180 x 680: the tree's 200 pixels and the
// default columns' 925 with the scroll bar and the frames, on a screen of
// 1366 x 768 with its panels (a smaller screen fits it to itself).
struct PlacementKeys {
    int bottom = 730;
    int top = 50;
    int left = 10;
    int right = 1190;
    bool maximize = false;
};
constexpr auto kPlacementKeys = std::to_array<SettingKey<PlacementKeys>>({
    Key<&PlacementKeys::bottom>("bottom"),
    Key<&PlacementKeys::top>("top"),
    Key<&PlacementKeys::left>("left"),
    Key<&PlacementKeys::right>("right"),
    Key<&PlacementKeys::maximize>("maximize"),
});

}  // namespace

QRect RectFromEdges(int left, int top, int right, int bottom) {
    // In 64 bits: the difference of two ints need not fit one.
    const int64_t width = int64_t{right} - left;
    const int64_t height = int64_t{bottom} - top;
    if (width <= 0 || height <= 0 || width > kMaxWindowExtent || height > kMaxWindowExtent) {
        return {};
    }
    return {left, top, static_cast<int>(width), static_cast<int>(height)};
}

QRect FitIntoArea(QRect rect, const QRect& area) {
    if (!rect.isValid() || !area.isValid()) {
        return rect;
    }
    rect.setSize(rect.size().boundedTo(area.size()));
    // Both clamps keep within the area: the size now fits it.
    const int64_t left =
        std::clamp<int64_t>(rect.left(), area.left(), int64_t{area.right()} + 1 - rect.width());
    const int64_t top =
        std::clamp<int64_t>(rect.top(), area.top(), int64_t{area.bottom()} + 1 - rect.height());
    rect.moveTo(static_cast<int>(left), static_cast<int>(top));
    return rect;
}

FramePlacement::FramePlacement(QWidget& window) : window_(window) {
    window.installEventFilter(this);
}

void FramePlacement::Load(const SettingsStore& settings) {
    PlacementKeys placement;
    LoadSettingKeys(settings, "mainframe", kPlacementKeys, placement);
    normal_rect_ = RectFromEdges(placement.left, placement.top, placement.right, placement.bottom);
    if (!normal_rect_.isValid()) {
        const PlacementKeys defaults;
        normal_rect_ = RectFromEdges(defaults.left, defaults.top, defaults.right, defaults.bottom);
    }
    maximized_ = placement.maximize;
}

void FramePlacement::Save(SettingsStore& settings) {
    const bool maximized = window_.isMaximized();
    const QRect rect =
        maximized || window_.isMinimized() ? window_.normalGeometry() : window_.geometry();
    if (rect.isValid()) {
        normal_rect_ = rect;
    }
    const PlacementKeys placement{normal_rect_.bottom() + 1, normal_rect_.top(),
                                  normal_rect_.left(), normal_rect_.right() + 1, maximized};
    SaveSettingKeys(settings, "mainframe", kPlacementKeys, placement);
}

void FramePlacement::Show() {
    const QScreen* screen = QGuiApplication::screenAt(normal_rect_.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        normal_rect_ = FitIntoArea(normal_rect_, screen->availableGeometry());
    }
    window_.setGeometry(normal_rect_);
    if (maximized_) {
        window_.showMaximized();
    } else {
        window_.show();
    }
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (!window_.isMaximized() && !window_.isMinimized()) {
                normal_rect_ = window_.geometry();
            }
            break;
        case QEvent::WindowStateChange:
            maximized_ = window_.isMaximized();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vandrel
