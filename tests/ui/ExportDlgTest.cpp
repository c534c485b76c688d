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
#include "ui/tools/ExportRunner.h"

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

    void TheRunnerReportsItsCourseAndOpensOnlyAWrittenReport() {
        ExportJob job;
        job.start_paths = {dir_.File("music")};
        job.extensions = ExportExtensions("mp3");
        job.template_path = dir_.File("template.html");
        job.report_path = dir_.File("runner.html");
        job.columns = ExportColumns({{"General", "Name"}});
        QWidget parent;
        CExportRunner runner(&parent);
        QStringList opened;
        runner.SetReportOpener([&](const QString& path) { opened.push_back(path); });
        QSignalSpy percents(&runner, &CExportRunner::PercentChanged);
        QSignalSpy statuses(&runner, &CExportRunner::StatusChanged);
        QSignalSpy ended(&runner, &CExportRunner::Ended);

        // Written: the last percent is 100, and the report is opened.
        runner.Start(job);
        QVERIFY2(runner.working(), "working once started");
        QVERIFY2(ended.wait(10000), "a written report ends the run");
        QVERIFY2(!runner.working(), "not working once ended");
        QVERIFY2(percents.last().at(0).toInt() == 100, "the last percent");
        QVERIFY2(!statuses.isEmpty(), "status texts came");
        QVERIFY2(runner.report_path() == job.report_path, "where the report went");
        QVERIFY2(opened == QStringList{QString::fromStdString(job.report_path)}, "report opened");

        // Not written (no such folder): the notice shows, nothing is opened.
        test::MessageBoxWatch boxes;
        job.report_path = dir_.File("none/runner.html");
        runner.Start(job);
        QVERIFY2(ended.wait(10000), "a failed write ends the run");
        QVERIFY2(ended.count() == 2, "one end per run");
        QVERIFY2(runner.report_path().empty(), "no report path after a failed write");
        QVERIFY2(opened.size() == 1, "nothing more opened");
        QVERIFY2(QTest::qWaitFor([&] { return !boxes.shown.isEmpty(); }, 10000),
                 "the worker's notice shows");
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
