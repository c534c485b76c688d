#include "ui/browser/VandrelTree.h"

#include <algorithm>
#include <filesystem>

#include <QApplication>
#include <QCollator>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>

#include "engine/core/SettingsTable.h"
#include "store/DataPaths.h"
#include "store/Log.h"
#include "store/ProcessValues.h"
#include "ui/browser/FolderEntries.h"
#include "ui/browser/IdList.h"
#include "ui/browser/TreeRoute.h"
#include "ui/settings/OtherPages.h"

namespace vandrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsSection = "tree_settings";
constexpr auto kSettingKeys = std::to_array<SettingKey<TreeSettings>>({
    Key<&TreeSettings::start_folder>("initdir"),
    Key<&TreeSettings::start_id_list>("initdirenc"),
    Key<&TreeSettings::use_most_recent>("userecent"),
});

// One item's folder; it lives in its item and goes with it.
struct _TVItemData {
    std::string step;     // the name of the one item of its id list relative to the parent
    IdList absolute;      // its id list from "/"
    std::string name;     // display name
    std::string path;     // file-system path
    bool filled = false;  // sub-folders read (once, on the first expansion)
};

constexpr int kTreeItemType = QTreeWidgetItem::UserType + 1;

class TreeItem : public QTreeWidgetItem {
public:
    explicit TreeItem(_TVItemData folder)
        : QTreeWidgetItem(kTreeItemType), data_(std::move(folder)) {}
    _TVItemData& folder() { return data_; }

private:
    _TVItemData data_;
};

_TVItemData* DataOf(QTreeWidgetItem* item) {
    return item != nullptr && item->type() == kTreeItemType
               ? &static_cast<TreeItem*>(item)->folder()
               : nullptr;
}

const _TVItemData* DataOf(const QTreeWidgetItem* item) {
    return DataOf(const_cast<QTreeWidgetItem*>(item));
}

// Waits with the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// A command-line argument as an absolute path (arguments may be relative to
// the working folder).
std::string AbsoluteArgument(const std::string& argument) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(argument, ec);
    return ec ? argument : NormalPath(absolute.string());
}

// The extension of a path's file name ("" when it has none), lower-cased.
std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension;
}

// The folder shown at start when none is saved: the user's music folder;
// else the example files that come with the program, so that a first start
// shows the program at work; else the home folder, or "/".
StartFolderChoice DefaultStartFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty()) {
        const std::string path = QFile::encodeName(music).toStdString();
        if (IsDirectory(path)) {
            return {path, StartFolderKind::kUsers};
        }
    }
    if (std::string examples = ExamplesFolder(); !examples.empty()) {
        return {std::move(examples), StartFolderKind::kExamples};
    }
    const std::string home = GetMyDocumentsPath();
    return {home.empty() ? GetDesktopPath() : home, StartFolderKind::kUsers};
}

struct SubFolder {
    std::string name;
    QString display_name;
};

// The folders in `path`, hidden ones and links to folders included, in the
// order a file manager shows them: case-insensitive, numbers by value.
// Nothing when the folder cannot be read.
std::optional<std::vector<SubFolder>> ReadSubFolders(const std::string& path) {
    std::vector<SubFolder> folders;
    std::error_code ec;
    const bool opened = ForEachFolderEntry(
        path,
        [&](const fs::directory_entry& entry) {
            std::error_code type_ec;
            if (entry.is_directory(type_ec)) {
                std::string name = entry.path().filename().string();
                QString display_name = QString::fromUtf8(name);
                folders.push_back({std::move(name), std::move(display_name)});
            }
        },
        ec);
    if (!opened) {
        return std::nullopt;
    }
    if (ec) {
        Log([&] { return "CVandrelTree: reading " + path + " stopped: " + ec.message(); });
    }
    // The "C" locale collates code point by code point and knows no numbers;
    // file managers sort as in English then.
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(folders.begin(), folders.end(), [&](const SubFolder& a, const SubFolder& b) {
        const int order = collator.compare(a.display_name, b.display_name);
        // Names the collation takes as equal ("a" and "A") keep a fixed order.
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return folders;
}

}  // namespace

CVandrelTree::CVandrelTree(TreeListener& listener, QWidget* parent)
    : QTreeWidget(parent), listener_(listener) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    // Long names scroll sideways instead of being cut.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);

    const QFileIconProvider provider;
    icons_.folder = provider.icon(QFileIconProvider::Folder);
    // The selected folder shows as an open one.
    const QIcon open =
        QIcon::fromTheme("folder-open", style()->standardIcon(QStyle::SP_DirOpenIcon));
    for (const QSize& size : open.availableSizes()) {
        icons_.folder.addPixmap(open.pixmap(size), QIcon::Selected);
    }
    icons_.root = provider.icon(QFileIconProvider::Drive);
    icons_.home = QIcon::fromTheme("user-home", icons_.folder);

    connect(this, &QTreeWidget::itemExpanded, this, &CVandrelTree::OnItemExpanding);
    connect(
        this, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/) { OnSelChanged(current); });
}

CVandrelTree::~CVandrelTree() = default;

// --- settings ---------------------------------------------------------------

void CVandrelTree::LoadSettings(const SettingsStore& settings) {
    LoadSettingKeys(settings, kSettingsSection, kSettingKeys, settings_);
    start_kind_ = StartFolderKind::kUsers;
    if (settings_.start_folder.empty()) {
        StartFolderChoice start = DefaultStartFolder();
        settings_.start_folder = std::move(start.path);
        start_kind_ = start.kind;
    }
}

void CVandrelTree::AddSettingsPages(SettingsSheet& sheet) {
    sheet.AddPage(new CPropTree(page_data_));
}

void CVandrelTree::PagesToSettings() {
    if (page_data_.start_folder != settings_.start_folder) {
        // The id list named the old folder; the path alone names the new one.
        settings_.start_folder = page_data_.start_folder;
        settings_.start_id_list.clear();
        start_kind_ = StartFolderKind::kUsers;
    }
    settings_.use_most_recent = page_data_.use_most_recent;
}

void CVandrelTree::SaveSettings(SettingsStore& settings) {
    Log("CVandrelTree::OnDestroy");
    if (settings_.use_most_recent) {
        if (const std::optional<FolderRef> folder = CurrentFolder()) {
            settings_.start_folder = folder->path;
            settings_.start_id_list = folder->encoded;
            start_kind_ = StartFolderKind::kUsers;
        }
    }
    // The examples stand in for a folder of the user's own and are not
    // remembered: the next start looks again, and a music folder made
    // meanwhile opens then.
    TreeSettings saved = settings_;
    if (start_kind_ == StartFolderKind::kExamples) {
        saved.start_folder.clear();
        saved.start_id_list.clear();
    }
    SaveSettingKeys(settings, kSettingsSection, kSettingKeys, saved);
}

// --- items ------------------------------------------------------------------

QTreeWidgetItem* CVandrelTree::RootItem() const {
    return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
}

std::optional<FolderRef> CVandrelTree::FolderOf(const QTreeWidgetItem* item) {
    const _TVItemData* item_data = DataOf(item);
    if (item_data == nullptr) {
        return std::nullopt;
    }
    return FolderRef{item_data->path, EncodeIdList(item_data->absolute)};
}

QTreeWidgetItem* CVandrelTree::InsertItem(QTreeWidgetItem* parent, const std::string& step,
                                          const std::string& path, const QString& display_name) {
    Log("Add Item To Tree");
    const _TVItemData* parent_data = DataOf(parent);
    _TVItemData item_data;
    item_data.step = step;
    item_data.name = display_name.toStdString();
    item_data.path = path;
    if (parent_data == nullptr) {
        item_data.absolute = MakeIdList({}).value();
    } else {
        const std::optional<IdList> relative = MakeIdList({step});
        const std::optional<IdList> absolute =
            relative ? AppendIdList(parent_data->absolute, *relative) : std::nullopt;
        if (!absolute) {
            Log([&] { return "CVandrelTree: no id list for " + path; });
            return nullptr;
        }
        item_data.absolute = *absolute;
    }
    auto* item = new TreeItem(std::move(item_data));
    item->setText(0, display_name);
    item->setToolTip(0, FromStd(path));
    item->setIcon(0, parent == nullptr ? icons_.root : icons_.folder);
    // Whether a folder has sub-folders is known once it is opened; until
    // then it offers to open.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (parent == nullptr) {
        addTopLevelItem(item);
    } else {
        parent->addChild(item);
    }
    Log([&] { return "Successfully added folder" + item->folder().name + " to tree."; });
    return item;
}

void CVandrelTree::BuildRoot() {
    clear();
    docs_item_ = nullptr;
    QTreeWidgetItem* root = InsertItem(nullptr, {}, GetDesktopPath(), FromStd(GetDesktopPath()));
    // The home folder also heads the root's children, for a short way there.
    const std::string home = NormalPath(GetMyDocumentsPath());
    if (!home.empty() && home != "/" && IsDirectory(home)) {
        // Remembered as the item itself: a real folder "/~" is not it.
        docs_item_ = InsertItem(root, std::string(kHomeStep), home, tr("Home"));
        docs_item_->setIcon(0, icons_.home);
    }
    ExpandItem(root);
}

void CVandrelTree::OnItemExpanding(QTreeWidgetItem* item) {
    Log("CVandrelTree::OnItemExpanding");
    _TVItemData* item_data = DataOf(item);
    if (item_data == nullptr || item_data->filled) {
        return;
    }
    WaitCursor wait;
    item_data->filled = true;
    Log([&] { return "\nExpand Item : " + item_data->name; });
    const std::optional<std::vector<SubFolder>> folders = ReadSubFolders(item_data->path);
    if (!folders) {
        Log([&] { return "CVandrelTree::OnItemExpanding cannot read " + item_data->path; });
    }
    if (!folders || folders->empty()) {
        if (item->childCount() == 0) {
            item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        }
        return;
    }
    // `item_data` belongs to the item, which stays while its children are added.
    const std::string parent_path = item_data->path;
    for (const SubFolder& folder : *folders) {
        InsertItem(item, folder.name, JoinPath(parent_path, folder.name), folder.display_name);
    }
}

void CVandrelTree::ExpandItem(QTreeWidgetItem* item) {
    OnItemExpanding(item);
    item->setExpanded(true);
}

QTreeWidgetItem* CVandrelTree::Walk(QTreeWidgetItem* item, std::span<const uint8_t> id_list) {
    const std::optional<std::vector<std::string>> steps = SplitIdList(id_list);
    if (item == nullptr || !steps) {
        return nullptr;
    }
    if (const _TVItemData* item_data = DataOf(item); item_data != nullptr && !item_data->filled) {
        ExpandItem(item);
    }
    QTreeWidgetItem* at = item;
    for (const std::string& step : *steps) {
        QTreeWidgetItem* match = nullptr;
        // The first child with this step: "Home" comes before a folder that
        // is really called "~".
        for (int i = 0; i < at->childCount() && match == nullptr; ++i) {
            const _TVItemData* child_data = DataOf(at->child(i));
            if (child_data != nullptr && child_data->step == step) {
                match = at->child(i);
            }
        }
        if (match == nullptr) {
            return nullptr;
        }
        if (match->childCount() == 0) {
            ExpandItem(match);
        }
        at = match;
    }
    return at;
}

// --- selection ----------------------------------------------------------------

void CVandrelTree::OnSelChanged(QTreeWidgetItem* current) {
    // Emptying the tree leaves no selection; there is nothing to show then,
    // and a pending suppression waits for a real folder.
    if (current == nullptr) {
        return;
    }
    if (suppress_next_selection_) {
        suppress_next_selection_ = false;
        return;
    }
    Log("CVandrelTree::OnSelChanged\n\n");
    if (const std::optional<FolderRef> folder = FolderOf(current)) {
        listener_.FolderSelected(*folder);
    }
}

std::optional<FolderRef> CVandrelTree::CurrentFolder() const {
    std::optional<FolderRef> folder = FolderOf(currentItem());
    if (!folder) {
        Log("WARNING::   GetItemData failed in MakeDefaultDir");
    }
    return folder;
}

// --- navigation -----------------------------------------------------------------

void CVandrelTree::BeginExpand(const std::string& given_path, const std::string& encoded) {
    Log("CVandrelTree::BeginExpand");
    const std::string desktop = GetDesktopPath();
    const _TVItemData* docs_data = DataOf(docs_item_);
    const std::string docs = docs_data != nullptr ? docs_data->path : GetMyDocumentsPath();
    Log([&] { return "CVandrelTree::BeginExpand thinks My Documents is" + docs; });
    Log([&] { return "CVandrelTree::BeginExpand: root :" + desktop; });
    Log([&] { return "CVandrelTree::BeginExpand: docs :" + docs; });

    QTreeWidgetItem* root = RootItem();
    if (root == nullptr) {
        Log("CVandrelTree::BeginExpand failed to get desktop IShellFolder");
        return;
    }
    const TreeRoute route =
        RouteTo(given_path, desktop, docs_item_ != nullptr ? docs : std::string(), IsDirectory);
    QTreeWidgetItem* start = root;
    if (route.start == TreeRoute::Start::kHome) {
        start = docs_item_;
        ExpandItem(docs_item_);
    }
    QTreeWidgetItem* found = route.steps ? Walk(start, *route.steps) : nullptr;
    if (found != nullptr) {
        setCurrentItem(found);
    } else if (route.try_encoded && !encoded.empty()) {
        // The encoded id list counts from "/", whichever item the path
        // went through; when it leads nowhere, that item is shown.
        if (const std::optional<IdList> decoded = DecodeIdList(encoded)) {
            QTreeWidgetItem* item = Walk(root, *decoded);
            setCurrentItem(item != nullptr ? item : start);
        }
    }

    if (QTreeWidgetItem* current = currentItem()) {
        scrollToItem(current);
    }
    horizontalScrollBar()->setValue(0);
    Log("\nCVandrelTree::BeginExpand ENDING\n");
}

void CVandrelTree::StartUp(const std::vector<std::string>& arguments) {
    WaitCursor wait;
    BuildRoot();
    // The program gets its arguments already split; empty ones name nothing.
    std::vector<std::string> given;
    for (const std::string& argument : arguments) {
        if (!argument.empty()) {
            given.push_back(AbsoluteArgument(argument));
        }
    }
    if (given.empty()) {
        BeginExpand(settings_.start_folder, settings_.start_id_list);
    } else if (given.size() == 1) {
        if (IsDirectory(given.front())) {
            BeginExpand(given.front(), {});
        } else {
            // Also a name that does not exist: the list says what it finds.
            listener_.PostFilesGiven({given.front()});
        }
    } else {
        // The files replace the folder's list: the root's selection must not
        // fill the list over them.
        suppress_next_selection_ = true;
        BeginExpand(GetDesktopPath(), {});
        std::vector<std::string> files;
        for (std::string& path : given) {
            if (LowerExtension(path) == ".mp3") {
                files.push_back(std::move(path));
            }
        }
        listener_.PostFilesGiven(std::move(files));
    }
}

void CVandrelTree::Refresh() {
    std::string path = GetDesktopPath();
    std::string encoded;
    if (const std::optional<FolderRef> folder = FolderOf(currentItem())) {
        path = folder->path;
        encoded = folder->encoded;
    } else {
        Log("WARNING::   GetItemData failed in CVandrelTree::OnRefresh");
    }
    WaitCursor wait;
    BuildRoot();
    BeginExpand(path, encoded);
}

// --- context menu ---------------------------------------------------------------

void CVandrelTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    const std::optional<FolderRef> folder = FolderOf(item);
    if (!folder) {
        return;
    }
    const QPersistentModelIndex index(indexFromItem(item));
    QMenu menu(this);
    menu.setObjectName("tree view menu");
    QAction* scan = menu.addAction(tr("&Scan"));
    menu.setDefaultAction(scan);
    QAction* explore = menu.addAction(tr("&Explore"));
    connect(scan, &QAction::triggered, this, [this, index] {
        // Selecting fills the list.
        if (QTreeWidgetItem* target = itemFromIndex(index)) {
            setCurrentItem(target);
        }
    });
    connect(explore, &QAction::triggered, this, [path = folder->path] {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())))) {
            Log([&] { return "CVandrelTree: cannot open " + path; });
        }
    });
    menu.exec(event->globalPos());
}

}  // namespace vandrel
