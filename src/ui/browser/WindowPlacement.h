#pragma once

#include <QObject>
#include <QRect>

#include "engine/core/SettingsStore.h"

class QWidget;

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

// Where the main window is, as "mainframe" keeps it: its last normal
// rectangle, followed through moves and resizes but not while the window is
// maximised or minimised, and whether it was maximised.
class FramePlacement : public QObject {
    Q_OBJECT
public:
    // Follows the moves, resizes and state changes of `window`.
    explicit FramePlacement(QWidget& window);

    // A rectangle the settings give that cannot be a window's is the default.
    void Load(const SettingsStore& settings);
    void Save(SettingsStore& settings);
    // Shows the window where it was, maximised when it was. A place saved on
    // a screen that is gone, or larger than this one, is brought onto the screen.
    void Show();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    QRect normal_rect_{10, 50, 1180, 680};
    bool maximized_ = false;
};

}  // namespace vandrel
