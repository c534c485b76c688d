#include "ui/tools/RepairDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "UiTest.h"
#include "store/IniFile.h"
#include "support/TestFiles.h"
#include "ui/browser/ListFileActions.h"
#include "ui/browser/VandrelList.h"

namespace vandrel {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

class QuietListener : public ListListener {
public:
    void StatusText(int, const QString&) override {}
    void BusyState(ListBusy) override {}
    void OpenDetails(const std::string&) override {}
    void OpenSettings(int) override {}
};

// Runs `step` every few milliseconds from the event loop until it answers
// true: the way into a menu or a dialog that runs a loop of its own.
void Drive(std::function<bool()> step) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, step = std::move(step)] {
        if (step()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Opens the list's menu from the keyboard and answers whether its Repair
// entry is "enabled" or "disabled": with the Menu key, or with Shift+F10 to
// choose it.
QString RepairEntry(CVandrelList& list, bool choose) {
    QString entry = "no menu";
    Drive([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return false;
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == "Re&pair...") {
                entry = action->isEnabled() ? "enabled" : "disabled";
                if (choose) {
                    // As the user picks it: the menu answers with the entry.
                    menu->setActiveAction(action);
                    QTest::keyClick(menu, Qt::Key_Return);
                    return true;
                }
            }
        }
        menu->close();
        return true;
    });
    if (choose) {
        QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
    } else {
        // What the window makes of the Menu key.
        QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(&list, &menu_key);
    }
    return entry;
}

}  // namespace

class RepairDlgTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;
    QByteArray home_;
    QByteArray data_home_;

    // A VBR file with a Xing header, cut inside a frame.
    static Bytes CutFile() {
        Bytes bytes = test::ReadFile(test::FixturePath("lame_vbr_v2.mp3"));
        bytes.resize(bytes.size() * 2 / 3);
        return bytes;
    }
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_.File("music/" + name);
        test::WriteFile(path, bytes);
        return path;
    }
    static RepairRequest RequestFor(const std::string& path) {
        const FileStamp stamp = StampOf(path).value();
        return {path, stamp.size, stamp.mtime_ns / 1'000'000'000};
    }
    std::string Trash(const std::string& part) const { return dir_.File("data/Trash/" + part); }
    bool NoCopies() const {
        for (const auto& entry : fs::directory_iterator(dir_.File("music"))) {
            if (entry.path().filename().string().find(".repair-") != std::string::npos) {
                return false;
            }
        }
        return true;
    }
    static QString StatusOf(const CRepairDlg& dialog, int row) {
        return dialog.Files()->topLevelItem(row)->text(1);
    }

private slots:
    // The desktop's trash of this test is its own: home and data folder
    // (which does not exist yet) inside the test's folder.
    void init() {
        fs::remove_all(dir_.File("music"));
        fs::remove_all(dir_.File("data"));
        fs::create_directories(dir_.File("music"));
        home_ = qgetenv("HOME");
        data_home_ = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", QByteArray::fromStdString(dir_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_.File("data")));
    }
    void cleanup() {
        qputenv("HOME", home_);
        if (data_home_.isEmpty()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", data_home_);
        }
    }

    void TheListsMenuRepairsAndReadsTheRowsAgain() {
        Write("a_cut.mp3", CutFile());
        test::WriteFile(dir_.File("music/b_broken.mp3"), Bytes(5000, 0x33));
        QuietListener listener;
        CVandrelList list(listener);
        // The folder watch reads no changed file: the repair itself has the
        // row read again.
        CIniFile settings("unused.ini");
        settings.SetString("list_settings", "rescan", "0");
        list.LoadSettings(settings);
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.File("music"), ListReadDepth::kFrameLimit);
        QVERIFY2(done.wait(20000), "the list is read");
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const int cut_row = list.model_data().Row(0).name() == "a_cut.mp3" ? 0 : 1;
        const int frames_before = list.model_data().Row(cut_row).record.Unpack().frames;

        list.selectRow(1 - cut_row);
        QCOMPARE(RepairEntry(list, false), QString("disabled"));  // a file that is no audio
        list.selectRow(cut_row);
        // The dialog: OK once planned, Close once repaired.
        Drive([] {
            auto* dialog = qobject_cast<CRepairDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog->working() || !dialog->OkButton()->isEnabled()) {
                return false;
            }
            dialog->accept();
            return !dialog->isVisible();
        });
        QCOMPARE(RepairEntry(list, true), QString("enabled"));  // an MPEG audio file
        QVERIFY2(done.wait(20000), "the repaired row is read again");
        const ScanRecord record = list.model_data().Row(cut_row).record.Unpack();
        QVERIFY2(record.frames == frames_before - 1, "the cut frame is gone from the row");
        QVERIFY2(RecordFileSize(record) == fs::file_size(dir_.File("music/a_cut.mp3")),
                 "the row has the repaired file's size");
        QVERIFY2(fs::exists(Trash("files/a_cut.mp3")), "the original in the trash");
    }

    void PlansThenRepairsIntoTheTrash() {
        const std::string cut = Write("cut.mp3", CutFile());
        const std::string sound =
            Write("sound.mp3", test::ReadFile(test::FixturePath("lame_vbr_v2.mp3")));
        RepairRequest changed = RequestFor(Write("changed.mp3", CutFile()));
        changed.scanned_size -= 1;
        CRepairDlg dialog({RequestFor(cut), RequestFor(sound), changed});
        QVERIFY2(!dialog.OkButton()->isEnabled(), "no OK while planning");
        QTRY_VERIFY2_WITH_TIMEOUT(!dialog.working(), "planning ends", 10000);
        QCOMPARE(StatusOf(dialog, 0), QString("repairable"));
        QVERIFY2(dialog.Files()->topLevelItem(0)->childCount() == 2, "the cut file's two actions");
        QCOMPARE(StatusOf(dialog, 1), QString("nothing to repair"));
        QCOMPARE(StatusOf(dialog, 2),
                 QString("refused: changed since it was scanned: scan it again first"));
        QVERIFY2(dialog.OkButton()->isEnabled(), "OK with a repairable file");

        const uint64_t planned_bytes = dialog.Items().front().plan.result_bytes;
        dialog.accept();
        QTRY_VERIFY2_WITH_TIMEOUT(!dialog.working(), "the repair ends", 10000);
        QCOMPARE(StatusOf(dialog, 0), QString("repaired"));
        QVERIFY2(dialog.Files()->topLevelItem(0)->child(2)->text(1).startsWith("check passed: "),
                 "the checks follow the actions");
        QVERIFY2(test::ReadFile(Trash("files/cut.mp3")) == CutFile(), "the original in the trash");
        QVERIFY2(fs::exists(Trash("info/cut.mp3.trashinfo")), "its trash info");
        QCOMPARE(fs::file_size(cut), planned_bytes);
        QVERIFY2(NoCopies(), "no hidden copy left");
        QVERIFY2(dialog.RepairedPaths() == std::vector<std::string>{cut}, "the repaired paths");
        QVERIFY2(dialog.CancelButton()->isHidden(), "only Close is left");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void RefusesAFileInUseAndKeepsOkOff() {
        const std::string cut = Write("cut.mp3", CutFile());
        const int writer = ::open(cut.c_str(), O_WRONLY | O_APPEND);
        QVERIFY2(writer >= 0, "a writer of the file");
        CRepairDlg dialog({RequestFor(cut)});
        QTRY_VERIFY2_WITH_TIMEOUT(!dialog.working(), "planning ends", 10000);
        ::close(writer);
        QCOMPARE(StatusOf(dialog, 0), QString("refused: in use: another program has it open for "
                                              "writing"));
        QVERIFY2(!dialog.OkButton()->isEnabled(), "OK off with nothing repairable");
    }

    void PutsTheOriginalBackFromTheDesktopTrash() {
        const std::string original = Write("song.mp3", CutFile());
        const std::string temp = TempPathBeside(original);
        test::WriteText(temp, "repaired");
        ReplaceSteps steps = DesktopReplaceSteps();
        steps.place = [](const std::string&, const std::string&) {
            return std::make_error_code(std::errc::permission_denied);
        };
        const ReplaceResult result = ReplaceWithRepaired(original, temp, steps);
        QVERIFY2(!result.ok, "not replaced");
        QVERIFY2(result.error.find("the original was put back") != std::string::npos,
                 result.error.c_str());
        QVERIFY2(test::ReadFile(original) == CutFile(), "the original at its path");
        QVERIFY2(!fs::exists(temp), "temp removed");
        QVERIFY2(fs::is_directory(Trash("files")), "the trash was used");
        QVERIFY2(fs::is_empty(Trash("files")) && fs::is_empty(Trash("info")),
                 "the trash holds nothing of it");
    }

    void CancelStopsEitherStep() {
        std::vector<RepairRequest> requests;
        for (int i = 0; i < 4; ++i) {
            requests.push_back(RequestFor(Write("cut" + std::to_string(i) + ".mp3", CutFile())));
        }
        {
            CRepairDlg dialog(requests);
            dialog.reject();
            QVERIFY2(!dialog.working(), "Cancel waited for the planning");
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        CRepairDlg dialog(requests);
        QTRY_VERIFY2_WITH_TIMEOUT(!dialog.working(), "planning ends", 10000);
        dialog.accept();
        dialog.reject();
        QVERIFY2(!dialog.working(), "Cancel waited for the repair");
        QVERIFY2(dialog.CancelButton()->isHidden(), "the report shows after a cancelled repair");
        QVERIFY2(NoCopies(), "no hidden copy left");
        for (size_t i = 0; i < requests.size(); ++i) {
            const bool repaired = dialog.Items()[i].status == RepairStatus::kRepaired;
            QVERIFY2(fs::file_size(requests[i].path) ==
                         (repaired ? dialog.Items()[i].plan.result_bytes : CutFile().size()),
                     "each file whole: its original or its repair");
        }
    }
};

VANDREL_UI_TEST(RepairDlgTest);

}  // namespace vandrel

#include "RepairDlgTest.moc"
