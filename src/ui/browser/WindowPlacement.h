#pragma once

#include <QRect>

namespace vandrel {

// The largest width or height a window can have (Qt's limit).
inline constexpr int kMaxWindowExtent = (1 << 24) - 1;

// The rectangle the settings give as left, top, right and bottom edges, the
// right and bottom ones just outside it. Invalid when the edges enclose
// nothing or more than a window can be: such values come only from a
// damaged file, and must not become a window of gigabytes.
QRect RectFromEdges(int left, int top, int right, int bottom);

// `rect` made to lie on `area` (a screen's work area): first shrunk to the
// area's size where it is larger, then moved the least distance that brings
// it inside.
QRect FitIntoArea(QRect rect, const QRect& area);

}  // namespace vandrel
