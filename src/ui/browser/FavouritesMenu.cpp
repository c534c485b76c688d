#include "ui/browser/FavouritesMenu.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QVBoxLayout>

#include "ui/browser/VandrelTree.h"
#include "ui/browser/VandrelView.h"

namespace vandrel {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// Runs an action when its key is pressed in the watched widget.
class KeyFilter : public QObject {
public:
    KeyFilter(int key, std::function<void()> action) : key_(key), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int key_;
    std::function<void()> action_;
};

}  // namespace

FavouritesMenu::FavouritesMenu(QWidget& window, CVandrelView& view, QAction* add, QAction* organize)
    : window_(window), view_(view), add_(add), organize_(organize),
      menu_(new QMenu(tr("&Favourites"), &window)) {}

void FavouritesMenu::Rebuild() {
    menu_->clear();
    menu_->addAction(add_);
    menu_->addAction(organize_);
    menu_->addSeparator();
    const auto& entries = favourites_.entries();
    if (entries.empty()) {
        menu_->addAction(tr("Empty"))->setEnabled(false);
        return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        QAction* go = menu_->addAction(FromStd(entries[i].label));
        const int command = Favourites::kFirstCommand + static_cast<int>(i);
        go->setData(command);
        connect(go, &QAction::triggered, this, [this, command] {
            if (const Favourites::Entry* entry = favourites_.FromCommand(command)) {
                const Favourites::Entry copy = *entry;
                view_.GoToFavourite(copy.label, copy.encoded);
            }
        });
    }
}

void FavouritesMenu::AddCurrent() {
    const std::optional<FolderRef> folder = view_.tree().CurrentFolder();
    if (!folder) {
        return;
    }
    const QString label = FromStd(folder->path);
    if (favourites_.Add(*folder) == Favourites::AddResult::kAlreadyThere) {
        QMessageBox::information(&window_, tr("Info"),
                                 tr("Folder is already a favourite:\n\n%1").arg(label));
        return;
    }
    Rebuild();
    QMessageBox::information(&window_, tr("Info"), tr("Added favourite:\n\n%1").arg(label));
}

void FavouritesMenu::Organize() {
    std::vector<Favourites::Entry> working = favourites_.entries();
    QDialog dialog(&window_);
    dialog.setWindowTitle(tr("Favourites"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(
        tr("Select the favourites to be removed, then press the 'Delete' key"), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const auto& entry : working) {
        list->addItem(FromStd(entry.label));
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    KeyFilter remove(Qt::Key_Delete, [&] {
        // From the last row to the first, so the indexes stay valid.
        for (int row = list->count() - 1; row >= 0; --row) {
            if (list->item(row)->isSelected()) {
                delete list->takeItem(row);
                working.erase(working.begin() + static_cast<std::ptrdiff_t>(row));
            }
        }
    });
    list->installEventFilter(&remove);
    dialog.resize(480, 320);
    if (dialog.exec() == QDialog::Accepted) {
        favourites_.Replace(std::move(working));
        Rebuild();
    }
}

}  // namespace vandrel
