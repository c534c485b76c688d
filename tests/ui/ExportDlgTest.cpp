#include "ui/tools/ExportDlg.h"

#include <sys/stat.h>

#include <filesystem>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "UiTest.h"
#include "support/TestFiles.h"

namespace vandrel {

namespace fs = std::filesystem;

namespace {

QTreeWidgetItem* Group(CExportTree& tree, const QString& name) {
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        if (tree.topLevelItem(i)->text(0) == name) {
            return tree.topLevelItem(i);
        }
    }
    return nullptr;
}

}  // namespace

class ExportDlgTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    ListSettings SettingsWith(std::vector<std::pair<std::string, std::string>> selected) {
        ListSettings settings;
        settings.export_choices.selected = std::move(selected);
        settings.export_choices.template_path = dir_.File("template.html");
        return settings;
    }

private slots:
    void initTestCase() {
        fs::create_directories(dir_.File("music/sub"));
        fs::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), dir_.File("music/a.mp3"));
        fs::copy_file(test::FixturePath("lame_vbr_v2.mp3"), dir_.File("music/sub/b.mp3"));
        test::WriteText(dir_.File("template.html"), "<table><!--MAIN--></table>");
    }

    void GroupsTickAllNoneOrSome() {
        CExportDlg dialog(dir_.File("music"),
                          SettingsWith({{"General", "Name"}, {"General", "Size"}}));
        CExportTree& tree = *dialog.Tree();
        QTreeWidgetItem* general = Group(tree, QStringLiteral("General"));
        QVERIFY2(general != nullptr, "a group item for General");
        QVERIFY2(general->checkState(0) == Qt::PartiallyChecked, "one of its attributes ticked");
        // Qt turns a clicked partly ticked box into a ticked one: the group empties instead.
        general->setCheckState(0, Qt::Checked);
        QVERIFY2(general->checkState(0) == Qt::Unchecked, "a partly ticked group empties");
        QVERIFY2(general->child(0)->checkState(0) == Qt::Unchecked, "its attributes follow");
        general->setCheckState(0, Qt::Checked);
        QVERIFY2(general->checkState(0) == Qt::Checked, "an empty group ticks all");
        general->child(0)->setCheckState(0, Qt::Unchecked);
        QVERIFY2(general->checkState(0) == Qt::PartiallyChecked, "one attribute unticked");

        dialog.Tree()->Fill(ExportColumns({}));
        dialog.reject();
        QVERIFY2(dialog.choices().selected ==
                     (std::vector<std::pair<std::string, std::string>>{{"General", "Name"}}),
                 "Name alone is always kept, also after Cancel");
    }

    void WritesTheReportAndOpensIt() {
        CExportDlg dialog(dir_.File("music"), SettingsWith({{"General", "Name"}}));
        QString opened;
        dialog.SetReportOpener([&](const QString& path) { opened = path; });
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.accept();
        QVERIFY2(dialog.working(), "the export runs");
        QVERIFY2(!dialog.GoButton()->isEnabled(), "Go is disabled while it runs");
        QVERIFY2(finished.wait(10000), "the dialog closes when the report is written");
        QVERIFY2(!opened.isEmpty() && opened.toStdString() == dialog.report_path(),
                 "the written report is opened");
    }

    void AMissingTemplateIsSaidAndNothingStarts() {
        CExportDlg dialog(dir_.File("music"), SettingsWith({{"General", "Name"}}));
        dialog.TemplateEdit()->setText(QString::fromStdString(dir_.File("none.html")));
        test::MessageBoxWatch boxes;
        dialog.accept();
        QVERIFY2(boxes.shown.value(0) ==
                     QString::fromStdString("Cannot find template file: " + dir_.File("none.html")),
                 "the message names the template");
        QVERIFY2(!dialog.working(), "nothing started");

        // A FIFO is no template: the dialog does not wait for a writer.
        const std::string fifo = dir_.File("fifo.html");
        QVERIFY2(::mkfifo(fifo.c_str(), 0600) == 0, "a FIFO made");
        dialog.TemplateEdit()->setText(QString::fromStdString(fifo));
        dialog.accept();
        QVERIFY2(boxes.shown.value(1) ==
                     QString::fromStdString("Cannot find template file: " + fifo),
                 "the message names the FIFO");
        QVERIFY2(!dialog.working(), "nothing started for a FIFO");
    }
};

VANDREL_UI_TEST(ExportDlgTest);

}  // namespace vandrel

#include "ExportDlgTest.moc"
