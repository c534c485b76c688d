#include "ui/tools/ID3v1Dlg.h"

#include <filesystem>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "UiTest.h"
#include "store/IniFile.h"
#include "support/TestFiles.h"
#include "ui/browser/ListFileActions.h"
#include "ui/browser/VandrelList.h"

namespace vandrel {

namespace {

namespace fs = std::filesystem;

class QuietListener : public ListListener {
public:
    void StatusText(int, const QString&) override {}
    void BusyState(ListBusy) override {}
    void OpenDetails(const std::string&) override {}
    void OpenSettings(int) override {}
};

// Sets a field of the editor that is open and presses a button of it.
void Answer(QWidget* modal, Id3v1Part part, const QString& text, bool update) {
    auto* dialog = qobject_cast<CID3v1Dlg*>(modal);
    QVERIFY2(dialog != nullptr, "the ID3v1 editor is the modal window");
    dialog->Field(part)->setText(text);
    update ? dialog->UpdateButton()->click() : dialog->reject();
}

}  // namespace

class ID3v1DlgTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    // A list of three tagged files a.mp3, b.mp3, c.mp3 with their own
    // titles and tracks and the same artist, all selected.
    void FillThree(CVandrelList& list) {
        for (const char* name : {"a", "b", "c"}) {
            const std::string path = dir_.File(std::string(name) + ".mp3");
            fs::copy_file(test::FixturePath("lame_tags_v1only.mp3"), path,
                          fs::copy_options::overwrite_existing);
            Id3v1Fields fields;
            fields.title = std::string("Song ") + name;
            fields.artist = "Band";
            fields.track = name[0] - 'a' + 1;
            fields.genre = 0;
            QVERIFY2(WriteId3v1File(path, fields).ok, "fixture tag written");
        }
        list.LoadSettings(CIniFile("none.ini"));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.path(), ListReadDepth::kFrameLimit);
        QVERIFY2(done.wait(20000), "the list is filled");
        list.selectAll();
    }
    QString RowText(CVandrelList& list, const char* name, int slot) {
        for (int row = 0; row < list.model_data().rowCount(); ++row) {
            const _LVItemData& entry = list.model_data().Row(row);
            if (entry.name() == name) {
                return QString::fromStdString(std::string(entry.texts[slot]));
            }
        }
        return QStringLiteral("(no row)");
    }

private slots:
    void FieldsFollowTheTagRules() {
        CID3v1Dlg dialog;
        Id3v1Fields values;
        values.title = "Title";
        values.genre = 0;
        dialog.SetValues(values, QStringLiteral("/music/a.mp3"));
        QVERIFY2(dialog.Values().genre == 0, "genre 0 kept when saved unchanged");
        QVERIFY2(dialog.Field(Id3v1Part::kYear)->text().isEmpty(), "year -1 shows empty");
        QVERIFY2(dialog.Values().year == -1, "empty year saves -1");
        dialog.Genre()->setCurrentIndex(0);
        QVERIFY2(dialog.Values().genre == kNoGenre, "the empty genre entry saves 255");

        dialog.Field(Id3v1Part::kYear)->setFocus();
        QTest::keyClicks(dialog.Field(Id3v1Part::kYear), QStringLiteral("12345x"));
        QVERIFY2(dialog.Field(Id3v1Part::kYear)->text() == QStringLiteral("1234"),
                 "the year takes four digits only");

        // Too long or outside the character set: said while typing, Update waits.
        dialog.Field(Id3v1Part::kComment)->setText(QString(29, QLatin1Char('c')));
        QVERIFY2(dialog.UpdateButton()->isEnabled(), "29 comment characters fit without a track");
        dialog.Field(Id3v1Part::kTrack)->setText(QStringLiteral("5"));
        QVERIFY2(!dialog.UpdateButton()->isEnabled(), "29 comment characters with a track do not");
        QVERIFY2(dialog.Hint().contains(QStringLiteral("track")), "the hint names the track");
    }

    void MultipleEditChangesOnlyWhatWasEdited() {
        QuietListener listener;
        CVandrelList list(listener);
        FillThree(list);
        // The three files have the same audio, so the same findings.
        const QString problems = RowText(list, "a.mp3", kSlotProblems);
        QVERIFY2(!problems.isEmpty(), "the scan filled the Problems text");

        QString title_shown;
        test::OnNextModal([&](QWidget* modal) {
            title_shown = qobject_cast<CID3v1Dlg*>(modal)->Field(Id3v1Part::kTitle)->text();
            Answer(modal, Id3v1Part::kAlbum, QStringLiteral("New Album"), true);
        });
        list.actions().EditTags(TagEditMode::kAllAtOnce);
        QVERIFY2(title_shown.isEmpty(), "titles differ: shown empty");
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
            QVERIFY2(RowText(list, name, kSlotAlbum) == QStringLiteral("New Album"),
                     "the row shows the new album at once");
            QVERIFY2(RowText(list, name, kSlotTitle).startsWith(QStringLiteral("Song")),
                     "each file keeps its own title");
            QVERIFY2(RowText(list, name, kSlotProblems) == problems,
                     "the checks' texts stay as the scan found them");
        }
    }

    void CancelEndsASequence() {
        QuietListener listener;
        CVandrelList list(listener);
        FillThree(list);
        const std::vector<uint8_t> c_before = test::ReadFile(dir_.File("c.mp3"));

        QStringList captions;
        test::OnNextModal([&](QWidget* first) {
            captions << first->windowTitle();
            Answer(first, Id3v1Part::kTitle, QStringLiteral("Renamed"), true);
            test::OnNextModal([&](QWidget* second) {
                captions << second->windowTitle();
                Answer(second, Id3v1Part::kTitle, QStringLiteral("Not this"), false);
            });
        });
        list.actions().EditTags(TagEditMode::kOneByOne);
        QVERIFY2(captions.size() == 2, "two dialogs: the run ends at Cancel");
        QVERIFY2(RowText(list, "a.mp3", kSlotTitle) == QStringLiteral("Renamed"), "first written");
        QVERIFY2(RowText(list, "b.mp3", kSlotTitle) == QStringLiteral("Song b"), "cancelled kept");
        QVERIFY2(test::ReadFile(dir_.File("c.mp3")) == c_before, "the rest untouched");
    }
};

VANDREL_UI_TEST(ID3v1DlgTest);

}  // namespace vandrel

#include "ID3v1DlgTest.moc"
