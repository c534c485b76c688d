#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "cli/ScanCommand.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

class HtmlReport : public ::testing::Test {
protected:
    HtmlReport() {
        test::WriteText(template_, "<table><!--INFO--></table><table><!--MAIN--></table>");
        fs::create_directories(dir_.File("music/sub"));
        fs::copy_file(test::FixturePath("lame_tags_v1only.mp3"), dir_.File("music/b.mp3"));
        fs::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), dir_.File("music/sub/a.mp3"));
    }
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), "-q");
        return RunScanCommand(args, out_, err_);
    }

    TempDir dir_;
    const std::string template_ = dir_.File("template.html");
    const std::string report_ = dir_.File("report.html");
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(HtmlReport, WritesOneReportOfAllPathsInTheirOrder) {
    const std::string music = dir_.File("music");
    const std::string file = test::FixturePath("lame_cbr64_mono.mp3");
    ASSERT_EQ(
        Run({"--html", template_, "-o", report_, "--columns", "Name,Title", "-r", music, file}), 0)
        << err_.str();
    const std::string report = Text(report_);
    EXPECT_NE(report.find(">Tracks</td><td align = left>3</td>"), std::string::npos) << report;
    EXPECT_NE(report.find(">Folders</td><td align = left>3</td>"), std::string::npos) << report;
    const size_t b = report.find(">b.mp3</td>");
    const size_t a = report.find(">a.mp3</td>");
    const size_t listed = report.find(">lame_cbr64_mono.mp3</td>");
    EXPECT_TRUE(b < a && a < listed && listed != std::string::npos)
        << "the folder's file, its sub-folder's, then the file named";
    EXPECT_NE(report.find(">Only Version One</td>"), std::string::npos) << "the title column";
    EXPECT_EQ(Count(report, "<td class = \"col\""), 2u) << "Name and Title only";
}

TEST_F(HtmlReport, NeedsAReadableTemplateAndReplacesNoInput) {
    const std::string music = dir_.File("music");
    EXPECT_EQ(Run({"--html", template_, "--format", "json", "-o", report_, music}), 2)
        << "with another output format";
    EXPECT_EQ(Run({"--html", dir_.File("none.html"), "-o", report_, music}), 2)
        << "a template that is not there";
    EXPECT_NE(err_.str().find("cannot read the template"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"--html", template_, "-o", template_, music}), 2) << "-o names the template";
    EXPECT_EQ(Text(template_), "<table><!--INFO--></table><table><!--MAIN--></table>")
        << "the template is left as it is";
    test::WriteText(dir_.File("music/notes.mp3"), "text");
    EXPECT_EQ(Run({"--html", template_, "-o", dir_.File("music/notes.mp3"), music}), 2)
        << "-o names a listed file";
    EXPECT_FALSE(fs::exists(report_)) << "nothing written";
}

TEST_F(HtmlReport, RefusesWhatIsNoTemplate) {
    const std::string music = dir_.File("music");
    // A UTF-16 template: every other byte is zero.
    const std::string utf16 = dir_.File("utf16.html");
    std::string wide;
    for (const char c : std::string("<!--MAIN-->")) {
        wide += {c, '\0'};
    }
    test::WriteText(utf16, wide);
    EXPECT_EQ(Run({"--html", utf16, "-o", report_, music}), 2) << "exit status, UTF-16";
    EXPECT_EQ(err_.str(), "vandrel-scan: the template " + utf16 +
                              " is not text: it holds a zero byte (save it as UTF-8)\n")
        << "message for a UTF-16 template";
    // No place for the table.
    test::WriteText(template_, "<p><!--INFO--> <!--DATE--></p>");
    EXPECT_EQ(Run({"--html", template_, "-o", report_, music}), 2) << "exit status, no MAIN";
    EXPECT_EQ(err_.str(), "vandrel-scan: the template " + template_ +
                              " has no <!--MAIN--> marker, where the table goes\n")
        << "message for a template without <!--MAIN-->";
    // Larger than a template is, and no regular file: neither is read.
    const std::string huge = dir_.File("huge.html");
    test::WriteText(huge, "<!--MAIN-->");
    fs::resize_file(huge, 17 * 1024 * 1024);  // a hole: no disk space taken
    EXPECT_EQ(Run({"--html", huge, "-o", report_, music}), 2) << "exit status, 17 MB";
    EXPECT_NE(err_.str().find("huge.html: larger than 16 MB"), std::string::npos)
        << "message for a 17 MB template: " << err_.str();
    const std::string fifo = dir_.File("fifo.html");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Run({"--html", fifo, "-o", report_, music}), 2) << "exit status, FIFO";
    EXPECT_NE(err_.str().find("fifo.html: not a regular file"), std::string::npos)
        << "message for a FIFO as template: " << err_.str();
    EXPECT_FALSE(fs::exists(report_)) << "no report written";
}

TEST_F(HtmlReport, FailsWithOneForAnUnreadableFileOrAReportNotWritten) {
    test::WriteText(dir_.File("music/broken.mp3"), "no audio");
    EXPECT_EQ(Run({"--html", template_, "-o", report_, dir_.File("music")}), 1)
        << "a file not opened";
    EXPECT_NE(err_.str().find("broken.mp3: "), std::string::npos) << err_.str();
    EXPECT_NE(Text(report_).find(">b.mp3</td>"), std::string::npos) << "the report is written";
    const std::string nowhere = dir_.File("missing/report.html");
    EXPECT_EQ(Run({"--html", template_, "-o", nowhere, dir_.File("music/sub")}), 1)
        << "the report not written";
    EXPECT_NE(err_.str().find("Problem writing file '" + nowhere + "'"), std::string::npos)
        << err_.str();
}

}  // namespace
}  // namespace vandrel::cli
