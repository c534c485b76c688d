#pragma once

#include <QObject>

#include "ui/browser/Favourites.h"

class QAction;
class QMenu;
class QWidget;

namespace vandrel {

class CVandrelView;

// The Favourites menu of the main window: "Add Current", "Organize..." and
// an entry for each favourite, which goes to its folder. It holds the
// favourites that the settings keep.
class FavouritesMenu : public QObject {
    Q_OBJECT
public:
    // The menu and its dialogs are `window`'s; `add` and `organize` head the menu.
    FavouritesMenu(QWidget& window, CVandrelView& view, QAction* add, QAction* organize);

    Favourites& favourites() { return favourites_; }
    QMenu* menu() const { return menu_; }
    // The entries anew, after the favourites changed.
    void Rebuild();
    // Adds the tree's current folder to the favourites and says so.
    void AddCurrent();
    // The "Favourites" dialog for removing some.
    void Organize();

private:
    QWidget& window_;
    CVandrelView& view_;
    QAction* add_;
    QAction* organize_;
    Favourites favourites_;
    QMenu* menu_;  // the window's
};

}  // namespace vandrel
