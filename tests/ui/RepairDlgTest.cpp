#include "ui/tools/RepairDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "support/TestFiles.h"

namespace vandrel {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

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
