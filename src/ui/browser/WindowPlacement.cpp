#include "ui/browser/WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace vandrel {

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

}  // namespace vandrel
