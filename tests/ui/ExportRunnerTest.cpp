#include "ui/tools/ExportRunner.h"

#include <filesystem>

#include <QSignalSpy>
#include <QTest>

#include "UiTest.h"
#include "support/TestFiles.h"

namespace vandrel {

class ExportRunnerTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

private slots:
    void initTestCase() {
        std::filesystem::create_directories(dir_.File("music"));
        std::filesystem::copy_file(test::FixturePath("lame_cbr64_mono.mp3"),
                                   dir_.File("music/a.mp3"));
        test::WriteText(dir_.File("template.html"), "<table><!--MAIN--></table>");
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
};

VANDREL_UI_TEST(ExportRunnerTest);

}  // namespace vandrel

#include "ExportRunnerTest.moc"
