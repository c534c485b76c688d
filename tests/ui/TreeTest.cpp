#include <filesystem>
#include <memory>
#include <set>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "UiTest.h"
#include "store/IniFile.h"
#include "support/TestFiles.h"
#include "ui/browser/IdList.h"
#include "ui/browser/TreeRoute.h"
#include "ui/browser/VandrelTree.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

struct FakeListener : TreeListener {
    void FolderSelected(const FolderRef& folder) override { selected.push_back(folder.path); }
    void PostFilesGiven(std::vector<std::string> paths) override {
        files_given.push_back(std::move(paths));
    }

    std::vector<std::string> selected;
    std::vector<std::vector<std::string>> files_given;
};

// The folder names of an absolute path.
std::vector<std::string> Steps(const std::string& path) {
    const fs::path relative = fs::path(path).relative_path();
    return std::vector<std::string>(relative.begin(), relative.end());
}

IdList ListOf(const std::vector<std::string>& steps) {
    return MakeIdList(steps).value();
}

std::string Encoded(const std::vector<std::string>& steps) {
    return EncodeIdList(ListOf(steps));
}

std::string PathOf(const QTreeWidgetItem* item) {
    const std::optional<FolderRef> folder = CVandrelTree::FolderOf(item);
    return folder ? folder->path : "(none)";
}

QStringList ChildLabels(const QTreeWidgetItem* item) {
    QStringList labels;
    for (int i = 0; i < item->childCount(); ++i) {
        labels << item->child(i)->text(0);
    }
    return labels;
}

}  // namespace

// Each test gets a fresh folder tree in a temporary folder, with HOME
// pointing into it:
//   home/Music/{album 2/cd1, Album 9 (only a file), Album 10, .hidden}
//   other/{deep/er, Case, case, a.MP3}
class TreeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir_;
    std::string home_;
    std::string music_;
    std::string other_;
    // Put back after the last test: the other test classes share the process.
    const QByteArray saved_home_ = qgetenv("HOME");
    const QByteArray saved_config_ = qgetenv("XDG_CONFIG_HOME");
    const bool had_config_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray saved_data_ = qgetenv("VANDREL_DATA_DIR");
    const bool had_data_ = qEnvironmentVariableIsSet("VANDREL_DATA_DIR");
    const QString saved_cwd_ = QDir::currentPath();
    FakeListener listener_;
    std::unique_ptr<CVandrelTree> tree_;

    // A tree loaded from `settings` and started with `arguments`; the listener starts afresh.
    CVandrelTree& Start(const SettingsStore& settings, const std::vector<std::string>& arguments) {
        tree_ = std::make_unique<CVandrelTree>(listener_);
        listener_ = FakeListener();
        tree_->LoadSettings(settings);
        tree_->StartUp(arguments);
        return *tree_;
    }
    CVandrelTree& Start(const std::vector<std::string>& arguments = {}) {
        return Start(CIniFile(dir_->File("none.ini")), arguments);
    }
    std::string CurrentPath() const { return PathOf(tree_->currentItem()); }

private slots:
    void cleanupTestCase() {
        qputenv("HOME", saved_home_);
        if (had_config_) {
            qputenv("XDG_CONFIG_HOME", saved_config_);
        }
        if (had_data_) {
            qputenv("VANDREL_DATA_DIR", saved_data_);
        } else {
            qunsetenv("VANDREL_DATA_DIR");
        }
    }

    void init() {
        dir_ = std::make_unique<test::TempDir>();
        home_ = dir_->File("home");
        music_ = home_ + "/Music";
        other_ = dir_->File("other");
        for (const char* folder :
             {"home/Music/album 2/cd1", "home/Music/Album 9", "home/Music/Album 10",
              "home/Music/.hidden", "other/deep/er", "other/Case", "other/case"}) {
            fs::create_directories(dir_->File(folder));
        }
        test::WriteText(music_ + "/Album 9/track.mp3", "x");
        test::WriteText(other_ + "/a.MP3", "x");
        qputenv("HOME", QByteArray::fromStdString(home_));
        // The music folder is then the default "~/Music".
        qunsetenv("XDG_CONFIG_HOME");
        // The program's shipped files, without examples unless a test makes them.
        fs::create_directories(dir_->File("data"));
        qputenv("VANDREL_DATA_DIR", QByteArray::fromStdString(dir_->File("data")));
    }

    void cleanup() {
        tree_.reset();
        QDir::setCurrent(saved_cwd_);
        dir_.reset();
    }

    void idListBytesAndText() {
        // Two steps: sizes count their own two bytes; two zero bytes end it.
        const IdList list = ListOf({"mu", "~"});
        QCOMPARE(list, (IdList{4, 0, 'm', 'u', 3, 0, '~', 0, 0}));
        QCOMPARE(EncodeIdList(list), std::string("04006D7503007E0000"));
        QCOMPARE(DecodeIdList("04006D7503007E0000"), std::optional(list));
        QCOMPARE(SplitIdList(list), std::optional(std::vector<std::string>{"mu", "~"}));
        // "/" is the bare terminator.
        QCOMPARE(ListOf({}), (IdList{0, 0}));
        QCOMPARE(MakeIdList({""}), std::nullopt);
        // An odd last character is ignored; a pair that is not hexadecimal fails.
        QCOMPARE(DecodeIdList("0400F"), std::optional(IdList{4, 0}));
        QCOMPARE(DecodeIdList("040G"), std::nullopt);
        // Not id lists: an item shorter than its size field, an item past the end, no terminator.
        QCOMPARE(SplitIdList(IdList{1, 0, 0, 0}), std::nullopt);
        QCOMPARE(SplitIdList(IdList{9, 0, 'a', 0, 0}), std::nullopt);
        QCOMPARE(SplitIdList(IdList{3, 0, 'a'}), std::nullopt);
        QCOMPARE(SplitIdList(IdList{}), std::nullopt);
        // Appending drops the first list's terminator.
        QCOMPARE(AppendIdList(ListOf({"a"}), ListOf({"bc"})), std::optional(ListOf({"a", "bc"})));
    }

    void rootHomeDefaultStartFolderAndLazyExpansion() {
        CVandrelTree& tree = Start({""});  // an empty argument names nothing
        QTreeWidgetItem* root = tree.RootItem();
        QCOMPARE(PathOf(root), std::string("/"));
        // "Home" heads the root's children.
        QCOMPARE(tree.MyDocumentsItem(), root->child(0));

        // Without a saved folder the music folder opens, through "Home".
        QCOMPARE(CurrentPath(), music_);
        QCOMPARE(listener_.selected, std::vector<std::string>{music_});

        // Folders only, hidden ones too, in file-manager order.
        QStringList labels = ChildLabels(tree.currentItem());
        QVERIFY(labels.removeOne(".hidden"));
        QCOMPARE(labels, (QStringList{"album 2", "Album 9", "Album 10"}));

        // A folder with only files loses its button once opened; one with sub-folders keeps it.
        QTreeWidgetItem* album9 = tree.findItems("Album 9", Qt::MatchRecursive).value(0);
        QTreeWidgetItem* album2 = tree.findItems("album 2", Qt::MatchRecursive).value(0);
        QCOMPARE(album9->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        tree.expandItem(album9);
        tree.expandItem(album2);
        QCOMPARE(album9->childCount(), 0);
        QCOMPARE(album9->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
        QCOMPARE(ChildLabels(album2), QStringList{"cd1"});
        QCOMPARE(album2->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

        // Without the music folder (and without examples): the home folder, and
        // it is what is saved.
        fs::remove_all(music_);
        Start();
        QCOMPARE(tree_->currentItem(), tree_->MyDocumentsItem());
        CIniFile saved(dir_->File("saved.ini"));
        tree_->SaveSettings(saved);
        QCOMPARE(saved.GetString("tree_settings", "initdir", "?"), home_);
    }

    void examplesOpenWithoutASavedFolderOrAMusicFolderAndAreNotSaved() {
        const std::string examples = dir_->File("data/examples");
        fs::create_directories(examples);
        const auto saved_start = [&] {
            CIniFile saved(dir_->File("saved.ini"));
            tree_->SaveSettings(saved);
            return saved.GetString("tree_settings", "initdir", "?");
        };

        // A music folder comes before the examples, and is saved.
        Start();
        QCOMPARE(CurrentPath(), music_);
        QCOMPARE(saved_start(), music_);

        // Without one: the examples, and the list gets them.
        fs::remove_all(music_);
        Start();
        QCOMPARE(CurrentPath(), examples);
        QCOMPARE(listener_.selected, std::vector<std::string>{examples});
        QCOMPARE(tree_->settings().start_folder, examples);  // what the settings page shows
        // They are not saved as the start folder: the next start looks again.
        QCOMPARE(saved_start(), std::string());
        fs::create_directories(music_);
        Start();
        QCOMPARE(CurrentPath(), music_);

        // A saved folder comes before the examples, also without a music folder.
        fs::remove_all(music_);
        CIniFile settings(dir_->File("in.ini"));
        settings.SetString("tree_settings", "initdir", other_ + "/deep");
        Start(settings, {});
        QCOMPARE(CurrentPath(), other_ + "/deep");
        QCOMPARE(saved_start(), other_ + "/deep");

        // With "Use most recent", the examples as the current folder are saved.
        CIniFile recent(dir_->File("recent.ini"));
        recent.SetInt("tree_settings", "userecent", 1);
        Start(recent, {});
        QCOMPARE(CurrentPath(), examples);
        QCOMPARE(saved_start(), examples);

        // Another start folder set in their place (as the settings page
        // does) is the user's, and saved.
        Start();
        TreeSettings chosen = tree_->settings();
        tree_->set_settings(chosen);
        QCOMPARE(saved_start(), std::string());  // the same folder: still the examples
        chosen.start_folder = other_;
        tree_->set_settings(chosen);
        QCOMPARE(saved_start(), other_);
    }

    // The route to a path is found without the tree's widgets: from the root
    // or the "Home" item, by the steps below it.
    void routeToAFolderComesFromItsPathAlone() {
        const std::set<std::string> folders{"/", "/home/u", "/home/u/Music", "/srv", "/srv/a b"};
        const FolderTest is_folder = [&](const std::string& path) {
            return folders.count(path) > 0;
        };
        const auto route = [&](std::string_view path, const std::string& home = "/home/u") {
            return RouteTo(path, "/", home, is_folder);
        };
        using Start = TreeRoute::Start;
        // "/" is the root itself, and so is nothing else to try.
        QCOMPARE(route("/").start, Start::kRoot);
        QCOMPARE(route("/").steps, std::optional<IdList>(ListOf({})));
        QVERIFY2(!route("/").try_encoded, "no id list tried for the root");
        // The home folder itself: the "Home" item, no steps.
        QCOMPARE(route("/home/u").start, Start::kHome);
        QCOMPARE(route("/home/u").steps, std::optional<IdList>(ListOf({})));
        QVERIFY2(!route("/home/u").try_encoded, "no id list tried for the home item");
        // A home folder that is gone leads nowhere, and an empty path neither.
        QCOMPARE(route("/home/gone/Music", "/home/gone").start, Start::kHome);
        QCOMPARE(route("/home/gone/Music", "/home/gone").steps, std::nullopt);
        QVERIFY2(!route("/home/gone/Music", "/home/gone").try_encoded, "home gone: nothing tried");
        QCOMPARE(route("").steps, std::nullopt);
        QVERIFY2(!route("").try_encoded, "empty path: nothing tried");
        // A tree without "Home" goes from the root all the way.
        QCOMPARE(route("/home/u/Music", "").steps,
                 std::optional<IdList>(ListOf({"home", "u", "Music"})));
    }

    void beginExpandGoesByThePathElseByTheEncodedIdList() {
        CVandrelTree& tree = Start();
        listener_.selected.clear();
        // Inside the home folder: through "Home"; a trailing "/" is harmless.
        tree.BeginExpand(music_ + "/album 2/", "");
        QCOMPARE(CurrentPath(), music_ + "/album 2");
        QCOMPARE(tree.currentItem()->parent()->parent(), tree.MyDocumentsItem());
        QCOMPARE(tree.CurrentFolder()->encoded, Encoded({"~", "Music", "album 2"}));
        // Elsewhere: from the root, case kept ("Case" sits next to it).
        tree.BeginExpand(other_ + "/deep/../case", "");
        QCOMPARE(CurrentPath(), other_ + "/case");
        // One FolderSelected per change of selection.
        QCOMPARE(listener_.selected,
                 (std::vector<std::string>{music_ + "/album 2", other_ + "/case"}));
        tree.BeginExpand(other_ + "/case", "");
        QCOMPARE(listener_.selected.size(), size_t{2});

        // The path leads nowhere: the encoded id list does, from the root
        // even when the path lay in the home folder.
        tree.BeginExpand("/gone/elsewhere", Encoded(Steps(other_ + "/deep")));
        QCOMPARE(CurrentPath(), other_ + "/deep");
        // No encoded id list, or one that is not hexadecimal: nothing moves.
        tree.BeginExpand(other_ + "/gone", "");
        QCOMPARE(CurrentPath(), other_ + "/deep");
        tree.BeginExpand(other_ + "/gone", "XYZW");
        QCOMPARE(CurrentPath(), other_ + "/deep");
        tree.BeginExpand(home_ + "/gone", Encoded({"~", "Music", "Album 10"}));
        QCOMPARE(CurrentPath(), music_ + "/Album 10");
        // Neither leads anywhere: the item the path went through.
        tree.BeginExpand(home_ + "/gone", Encoded({"~", "gone"}));
        QCOMPARE(tree.currentItem(), tree.MyDocumentsItem());
        tree.BeginExpand(other_ + "/gone", "0100");
        QCOMPARE(tree.currentItem(), tree.RootItem());
    }

    void startUpFromCommandLine() {
        // One folder, relative to the working folder too.
        QVERIFY(QDir::setCurrent(QString::fromStdString(other_)));
        Start({"deep/er/"});
        QCOMPARE(CurrentPath(), other_ + "/deep/er");

        // One file, even a missing one: the list gets it, the tree selects nothing.
        Start({"missing.wav"});
        QCOMPARE(tree_->currentItem(), nullptr);
        QCOMPARE(listener_.files_given,
                 std::vector<std::vector<std::string>>{{other_ + "/missing.wav"}});
        QVERIFY(listener_.selected.empty());

        // Several: only the ".mp3" ones (any case) are listed, and the root's
        // selection does not fill the list over them; the next one does.
        Start({other_ + "/a.MP3", other_ + "/b.wav", other_ + "/deep"});
        QCOMPARE(listener_.files_given, std::vector<std::vector<std::string>>{{other_ + "/a.MP3"}});
        QCOMPARE(tree_->currentItem(), tree_->RootItem());
        QVERIFY(listener_.selected.empty());
        tree_->BeginExpand(other_ + "/deep", "");
        QCOMPARE(listener_.selected, std::vector<std::string>{other_ + "/deep"});
    }

    void startsInTheSavedFolderAndSavesTheCurrentOneWithUserecent() {
        const std::string er = other_ + "/deep/er";
        const auto saved_after = [&](int userecent, const std::vector<std::string>& arguments) {
            CIniFile settings(dir_->File("in.ini"));
            settings.SetString("tree_settings", "initdir", "/gone");
            settings.SetString("tree_settings", "initdirenc", Encoded(Steps(er)));
            settings.SetInt("tree_settings", "userecent", userecent);
            CVandrelTree& tree = Start(settings, arguments);
            CIniFile saved(dir_->File("out.ini"));
            tree.SaveSettings(saved);
            return saved;
        };
        // Off: the saved path leads nowhere but its id list does; the loaded values stay.
        const CIniFile off = saved_after(0, {});
        QCOMPARE(CurrentPath(), er);
        QCOMPARE(off.GetString("tree_settings", "initdir", "?"), std::string("/gone"));
        QCOMPARE(off.GetString("tree_settings", "initdirenc", "?"), Encoded(Steps(er)));
        // On: the current folder becomes the start folder...
        const std::string deep = other_ + "/deep";
        const CIniFile on = saved_after(1, {deep});
        QCOMPARE(on.GetString("tree_settings", "initdir", "?"), deep);
        QCOMPARE(on.GetString("tree_settings", "initdirenc", "?"), Encoded(Steps(deep)));
        // ...unless there is none (started with a file).
        const CIniFile idle = saved_after(1, {other_ + "/a.MP3"});
        QCOMPARE(idle.GetString("tree_settings", "initdir", "?"), std::string("/gone"));
        QCOMPARE(idle.GetString("tree_settings", "initdirenc", "?"), Encoded(Steps(er)));
    }

    void refreshRebuildsAndReturns() {
        CVandrelTree& tree = Start({other_ + "/deep"});
        fs::create_directories(other_ + "/deep/new");
        listener_.selected.clear();
        tree.Refresh();
        QCOMPARE(CurrentPath(), other_ + "/deep");
        QCOMPARE(listener_.selected, std::vector<std::string>{other_ + "/deep"});
        QCOMPARE(ChildLabels(tree.currentItem()), (QStringList{"er", "new"}));

        // Nothing selected: back to the root.
        Start({other_ + "/a.MP3"});
        tree_->Refresh();
        QCOMPARE(tree_->currentItem(), tree_->RootItem());
    }

    void contextMenuScansTheItemUnderTheCursor() {
        CVandrelTree& tree = Start();
        tree.resize(400, 600);
        tree.show();
        QTreeWidgetItem* home = tree.MyDocumentsItem();
        listener_.selected.clear();

        QStringList entries;
        QString default_entry;
        const auto answer = [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            for (const QAction* action : menu->actions()) {
                entries << action->text();
            }
            default_entry = menu->defaultAction()->text();
            menu->defaultAction()->trigger();
            menu->close();
        };
        const auto right_click = [&](const QPoint& at) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));
            QTimer::singleShot(0, this, answer);
            QApplication::sendEvent(tree.viewport(), &event);
        };

        right_click(tree.visualItemRect(home).center());
        QCOMPARE(default_entry, QString("&Scan"));  // Scan is the default entry
        QCOMPARE(tree.currentItem(), home);
        QCOMPARE(listener_.selected, std::vector<std::string>{home_});

        // Below the last item: no menu.
        tree.collapseItem(tree.RootItem());
        entries.clear();
        right_click(QPoint(10, tree.viewport()->height() - 2));
        QVERIFY(entries.isEmpty());
    }
};

VANDREL_UI_TEST(TreeTest);

}  // namespace vandrel

#include "TreeTest.moc"
