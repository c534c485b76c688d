#include "tools/Export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/media/FileTypes.h"
#include "engine/media/MediaFileRegistry.h"
#include "store/ProcessValues.h"
#include "support/Inbox.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "tools/TagEditing.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using Selection = std::vector<ExportSelectionEntry>;
using Paths = std::vector<std::string>;

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// Hears a run; says stop when `stop_when` says so.
struct Recorder : ExportSink {
    void Progress(int percent) override { progress.push_back(percent); }
    void Status(const std::string& text) override { statuses.push_back(text); }
    bool StopRequested() override { return stop_when && stop_when(*this); }
    void FileProblem(const std::string& path, const std::string&) override {
        problems.push_back(path);
    }
    std::function<bool(const Recorder&)> stop_when;
    std::vector<int> progress;
    Paths statuses;
    Paths problems;
};

class Export : public ::testing::Test {
protected:
    std::string Copy(const char* fixture, const std::string& as) {
        fs::create_directories(fs::path(dir_.File(as)).parent_path());
        fs::copy_file(test::FixturePath(fixture), dir_.File(as));
        return dir_.File(as);
    }
    // A job over the test folder that writes report.html through `template_text`.
    ExportJob Job(const Selection& selection, std::string_view template_text) {
        test::WriteText(dir_.File("template.html"), template_text);
        ExportJob job;
        job.start_paths = {dir_.File("music")};
        job.extensions = ExportExtensions(kDefaultFileTypes);
        job.template_path = dir_.File("template.html");
        job.report_path = dir_.File("report.html");
        job.columns = ExportColumns(selection);
        return job;
    }

    const MediaFileTypesScope media_types_;
    test::TempDir dir_;
};

TEST(ExportColumnsTest, FollowTheCatalogAndAlwaysExportTheName) {
    const auto columns = ExportColumns({{"ID3v1", "Title"}, {"General", "Bitrate"}});
    EXPECT_EQ(SelectionOf(columns),
              (Selection{{"General", "Name"}, {"General", "Bitrate"}, {"ID3v1", "Title"}}))
        << "catalog order, the name added";
    EXPECT_EQ(SelectionOf(ExportColumns({})), (Selection{{"General", "Name"}}))
        << "an empty selection";
    EXPECT_EQ(SelectionOf(ExportColumns({{"General", "Title"}})), (Selection{{"General", "Name"}}))
        << "a name under the wrong group is no attribute";
    EXPECT_FALSE(QuickScanIsEnough(ExportColumns({{"General", "Frames"}})))
        << "frames need the whole file";
    EXPECT_TRUE(QuickScanIsEnough(ExportColumns({{"ID3v1", "Title"}}))) << "a tag does not";
}

TEST_F(Export, ListsFilesBeforeSubFoldersInLowerCaseOrderAndTakesNamesByExtension) {
    for (const char* name : {"music/AB.mp3", "music/a_x.MP3", "music/cover.jpg", "music/mp3",
                             "music/x.mp3/inside.mp3", "music/sub/two.mp2", "music/Sub2/one.mpc"}) {
        fs::create_directories(fs::path(dir_.File(name)).parent_path());
        test::WriteText(dir_.File(name), "");
    }
    const std::string music = dir_.File("music");
    const auto never = [] { return false; };
    const auto extensions = ExportExtensions(kDefaultFileTypes);
    // Lower-cased, "_" (0x5F) sorts before "b"; a folder named x.mp3 is a
    // file and not entered; sub-folders after all files, their order
    // lower-cased too; the trailing "/" of the start folder is dropped.
    EXPECT_EQ(AssembleFileList(music + "/", Recursion::kWithSubFolders, extensions, never),
              (Paths{music + "/a_x.MP3", music + "/AB.mp3", music + "/x.mp3",
                     music + "/sub/two.mp2", music + "/Sub2/one.mpc"}));
    EXPECT_EQ(AssembleFileList(music, Recursion::kThisFolder, extensions, never),
              (Paths{music + "/a_x.MP3", music + "/AB.mp3", music + "/x.mp3"}))
        << "without sub-folders";
    // A stop heard at the second folder: that folder and the rest give nothing.
    int asked = 0;
    EXPECT_EQ(AssembleFileList(music, Recursion::kWithSubFolders, extensions,
                               [&] { return ++asked > 1; }),
              (Paths{music + "/a_x.MP3", music + "/AB.mp3", music + "/x.mp3"}));
    // A link back up is not followed round and round.
    fs::create_directory_symlink(music, dir_.File("music/sub/loop"));
    EXPECT_EQ(AssembleFileList(music, Recursion::kWithSubFolders, extensions, never).size(), 5u)
        << "files with a link to the start folder below it";
}

TEST_F(Export, WritesThePiecesOfOneFolderByteForByte) {
    const std::string folder = dir_.File("music");
    Copy("lame_tags_v1only.mp3", "music/lame_tags_v1only.mp3");
    Copy("lame_cbr64_mono.mp3", "music/lame_cbr64_mono.mp3");
    const ExportJob job = Job({{"General", "Bitrate"}, {"ID3v1", "Title"}},
                              "<!--INFO-->|<!--MAIN-->|<!--VERSION-->|<!--DATE-->.");
    Recorder sink;
    const ExportResult result = RunExport(job, sink);
    ASSERT_EQ(result.outcome, ExportOutcome::kWritten) << result.message;

    // 32,599 + 37,280 bytes; 4.08 s + 3.10 s, each cut to whole seconds.
    const std::string info =
        "<tr><td width = 10></td><td  class = \"info\" width = 100>Tracks</td>"
        "<td align = left>2</td></tr>\r\n"
        "<tr><td width = 10></td><td  class = \"info\" width = 100>Folders</td>"
        "<td align = left>1</td></tr>\r\n"
        "<tr><td width = 10></td><td  class = \"info\" width = 100>Size</td>"
        "<td align = left>0.07 MB</td></tr>\r\n"
        "<tr><td width = 10></td><td  class = \"info\" width = 100>Duration</td>"
        "<td align = left>7 seconds</td></tr>\r\n";
    const std::string main =
        "\t<tr><td class = \"col\" align = \"left\">Name</td>"
        "<td class = \"col\" width = \"50\" align = \"right\">Bitrate</td>"
        "<td class = \"col\" width = \"200\" align = \"left\">Title</td>\t</tr>"
        "\t<tr><td>\t</td></tr>\r\n"
        "\t<tr>\r\n<td class = \"dir\" align = \"left\">" +
        folder +
        "</td>"
        "\t\t<td align = \"right\"></td>\r\n\t\t<td align = \"left\"></td>\r\n\t</tr>\r\n"
        "\t<tr>\r\n\t\t<td align = \"left\">lame_cbr64_mono.mp3</td>\r\n"
        "\t\t<td align = \"right\">64</td>\r\n\t\t<td align = \"left\"></td>\r\n\t</tr>\r\n"
        "\t<tr>\r\n\t\t<td align = \"left\">lame_tags_v1only.mp3</td>\r\n"
        "\t\t<td align = \"right\">96</td>\r\n\t\t<td align = \"left\">Only Version One</td>\r\n"
        "\t</tr>\r\n";
    const std::string head = info + "<!--INFO-->|" + main + "<!--MAIN-->|" + VersionText() + " " +
                             BetaText() + "<!--VERSION-->|";
    const std::string report = Text(job.report_path);
    EXPECT_EQ(report.substr(0, head.size()), head) << "summary, table and version";
    EXPECT_TRUE(report.ends_with("<!--DATE-->.")) << "the date's marker stays";
    EXPECT_EQ(sink.statuses, (Paths{"Assembling file list", folder + "/lame_cbr64_mono.mp3",
                                    folder + "/lame_tags_v1only.mp3", "done"}));
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 50, 100})) << "percent before each file";
}

TEST_F(Export, StartsARowForEachNewFolderAndCountsFilesItCannotOpen) {
    Copy("lame_cbr64_mono.mp3", "music/a/one.mp3");
    test::WriteText(dir_.File("music/a/broken.mp3"), "no audio");
    Copy("lame_cbr64_mono.mp3", "music/b/two.mp3");
    ExportJob job = Job({}, "<!--MAIN-->");
    Recorder sink;
    const ExportResult result = RunExport(job, sink);
    ASSERT_EQ(result.outcome, ExportOutcome::kWritten) << result.message;
    EXPECT_EQ(result.totals.tracks, 3) << "tracks: the unreadable file counts";
    EXPECT_EQ(result.totals.folders, 2) << "folders";
    EXPECT_EQ(result.totals.bytes, 2 * 32'599) << "bytes of the files written";
    EXPECT_EQ(sink.problems, Paths{dir_.File("music/a/broken.mp3")}) << "the file left out";
    const std::string report = Text(job.report_path);
    EXPECT_EQ(report.find("broken.mp3"), std::string::npos) << "no row for it";
    EXPECT_NE(report.find("\">" + dir_.File("music/b") +
                          "</td>\t</tr>\r\n\t<tr>\r\n\t\t<td "
                          "align = \"left\">two.mp3</td>"),
              std::string::npos)
        << "a folder row (name only) right before its first file";
}

TEST_F(Export, ShowsTheChecksAndWhyAScanFailed) {
    std::vector<uint8_t> cut = test::ReadFile(test::FixturePath("lame_notag_cbr128.mp3"));
    cut.resize(cut.size() - 100);
    fs::create_directory(dir_.File("music"));
    test::WriteFile(dir_.File("music/cut.mp3"), cut);
    // Frames behind more zeros than the scan looks through: the file opens,
    // its scan fails.
    std::vector<uint8_t> late(1'100'000, 0);
    test::Append(late, test::MakeFrames({}, 8000));
    test::WriteFile(dir_.File("music/late.mp3"), late);
    const ExportJob job = Job({{"Checks", "Problems"}, {"Checks", "CRC Errors"}}, "<!--MAIN-->");
    Recorder sink;
    ASSERT_EQ(RunExport(job, sink).outcome, ExportOutcome::kWritten);
    const std::string report = Text(job.report_path);
    EXPECT_NE(report.find(">cut.mp3</td>\r\n\t\t<td align = \"left\">cut last frame</td>\r\n"
                          "\t\t<td align = \"right\"></td>"),
              std::string::npos)
        << "the cut file's row: " << report;
    EXPECT_NE(report.find(">late.mp3</td>\r\n\t\t<td align = \"left\">Cannot find valid mp3 "
                          "header, scanning failed</td>\r\n\t\t<td align = \"right\">--</td>"),
              std::string::npos)
        << "the failed file's row: " << report;
}

TEST(ExportTemplate, PutsEachTextBeforeTheFirstOfItsMarkers) {
    const ReportTexts texts{"I", "M", "V", "D"};
    EXPECT_EQ(FillTemplate("<p>no markers</p>", texts), "<p>no markers</p>") << "none";
    EXPECT_EQ(FillTemplate("<!--DATE--><!--MAIN-->x<!--MAIN--><!--INFO-->", texts),
              "D<!--DATE-->M<!--MAIN-->x<!--MAIN-->I<!--INFO-->")
        << "any order; a second marker takes nothing; VERSION missing";
    EXPECT_EQ(FillTemplate("<!--INFO--><!--MAIN--><!--VERSION--><!--DATE-->",
                           {"<!--MAIN-->", "M", "V", "D"}),
              "M<!--MAIN--><!--INFO--><!--MAIN-->V<!--VERSION-->D<!--DATE-->")
        << "later markers are looked for in the text as the earlier ones left it";
}

TEST(ExportTemplate, IsReadWholeUpToItsFirstZeroByte) {
    test::TempDir dir;
    const std::string big(300'000, 'x');
    test::WriteText(dir.File("big.html"), big + "<!--MAIN-->");
    EXPECT_EQ(ReadTemplate(dir.File("big.html")).size(), big.size() + 11) << "a large template";
    test::WriteFile(dir.File("zero.html"), {'a', 'b', 0, 'c'});
    EXPECT_EQ(ReadTemplate(dir.File("zero.html")), "ab") << "the text ends at a zero byte";
    EXPECT_EQ(ReadTemplate(dir.File("missing.html")), "") << "an unreadable template";
}

TEST(ExportTexts, SizeSwitchesToGigabytesAbove1024Megabytes) {
    EXPECT_EQ(SizeText(int64_t{1024} * 1'048'576), "1024.00 MB") << "exactly 1024 MB";
    EXPECT_EQ(SizeText(int64_t{1025} * 1'048'576), "1.00 GB") << "1025 MB";
    EXPECT_EQ(SizeText(int64_t{5} * 1'073'741'824 + 536'870'912), "5.50 GB");
}

TEST(ExportTexts, DurationNamesEachUnitItNeeds) {
    EXPECT_EQ(DurationText(60), "1 minute, 0 seconds") << "seconds always, zero too";
    EXPECT_EQ(DurationText(3725), "1 hour, 2 minutes, 5 seconds");
    EXPECT_EQ(DurationText(2 * 604'800 + 3 * 86'400 + 5), "2 weeks, 3 days, 5 seconds")
        << "no hours or minutes when there are none";
    EXPECT_EQ(DurationText(604'800 + 86'400 + 3'600 + 60 + 1),
              "1 week, 1 day, 1 hour, 1 minute, 1 second");
}

TEST(ExportTexts, DateHasShortNamesAndAnHourWithoutLeadingZero) {
    std::tm monday{};
    monday.tm_year = 2026 - 1900;
    monday.tm_mon = 11;
    monday.tm_mday = 7;
    monday.tm_wday = 1;
    monday.tm_hour = 9;
    monday.tm_min = 5;
    monday.tm_sec = 3;
    EXPECT_EQ(DateText(monday, "C"), "Mon, Dec 7 2026 9:05:03");
    EXPECT_EQ(DateText(monday, "no_such_locale"), "Mon, Dec 7 2026 9:05:03")
        << "a missing locale falls back to C";
}

TEST(ExportTexts, EscapeMarkupAndBytesThatAreNoUtf8) {
    EXPECT_EQ(EscapeHtml("<a href=\"x\">R&B</a>"), "&lt;a href=&quot;x&quot;&gt;R&amp;B&lt;/a&gt;");
    EXPECT_EQ(EscapeHtml("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xC3\xA9 \xE2\x82\xAC") << "UTF-8 kept";
    EXPECT_EQ(EscapeHtml("caf\xE9.mp3"), "caf\\xe9.mp3") << "a Latin-1 name";
    EXPECT_EQ(EscapeHtml("\xC0\xAF|\xED\xA0\x80|\xE2\x82"), "\\xc0\\xaf|\\xed\\xa0\\x80|\\xe2\\x82")
        << "overlong, surrogate, cut short at the end";
}

TEST_F(Export, EscapesFileNamesAndTagTexts) {
    const std::string path = Copy("lame_cbr64_mono.mp3", "music/<script>&.mp3");
    Id3v1Fields fields;
    fields.title = "<script>x</script> & co";
    ASSERT_TRUE(WriteId3v1File(path, fields).ok) << "tag written";
    const ExportJob job = Job({{"ID3v1", "Title"}}, "<!--MAIN-->");
    Recorder sink;
    ASSERT_EQ(RunExport(job, sink).outcome, ExportOutcome::kWritten);
    const std::string report = Text(job.report_path);
    EXPECT_EQ(report.find("<script>"), std::string::npos) << "no raw markup";
    EXPECT_NE(report.find(">&lt;script&gt;&amp;.mp3</td>"), std::string::npos) << "the name";
    EXPECT_NE(report.find(">&lt;script&gt;x&lt;/script&gt; &amp; co</td>"), std::string::npos)
        << "the title";
}

TEST_F(Export, ScansNothingForTheNameAlone) {
    Copy("lame_cbr64_mono.mp3", "music/one.mp3");
    const ExportJob job = Job({}, "<!--INFO-->");
    Recorder sink;
    const ExportResult result = RunExport(job, sink);
    ASSERT_EQ(result.outcome, ExportOutcome::kWritten);
    const std::string report = Text(job.report_path);
    EXPECT_EQ(report.find("Duration"), std::string::npos) << "no length without a scan";
    EXPECT_NE(report.find(">Size</td><td align = left>0.03 MB<"), std::string::npos) << report;
}

TEST_F(Export, WritesNoReportWhenStopped) {
    Copy("lame_cbr64_mono.mp3", "music/one.mp3");
    ExportJob job = Job({{"General", "Frames"}}, "<!--MAIN-->");
    Recorder assembling;
    assembling.stop_when = [](const Recorder&) { return true; };
    EXPECT_EQ(RunExport(job, assembling).outcome, ExportOutcome::kStopped) << "during assembly";
    EXPECT_TRUE(assembling.progress.empty()) << "no file was looked at";
    // Said once the file is being scanned: the scanner's progress hears it.
    Recorder scanning;
    scanning.stop_when = [](const Recorder& r) { return r.statuses.size() == 2; };
    EXPECT_EQ(RunExport(job, scanning).outcome, ExportOutcome::kStopped) << "during a scan";
    EXPECT_FALSE(fs::exists(job.report_path)) << "no report";
}

TEST_F(Export, ThreadPostsStatusProgressAndHowItEnded) {
    Copy("lame_cbr64_mono.mp3", "music/one.mp3");
    ExportJob job = Job({}, "<!--MAIN-->");
    job.report_path = dir_.File("missing/report.html");
    const auto inbox = std::make_shared<test::Inbox>();
    CExportThread thread;
    thread.Start(inbox, job);
    ASSERT_TRUE(thread.done_event.WaitFor(std::chrono::seconds(20))) << "the export ended";
    thread.Stop();
    const std::vector<Message> messages = inbox->Take();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages.front().id, kMsgStatusText) << "first the status";
    EXPECT_EQ(std::get<std::string>(messages.front().payload), "Assembling file list");
    const Message& notice = messages[messages.size() - 2];
    EXPECT_EQ(notice.id, kMsgNotice) << "the write failure before the end";
    EXPECT_EQ(std::get<std::string>(notice.payload),
              "Problem writing file '" + job.report_path + "'");
    EXPECT_EQ(messages.back().id, kMsgWorkDone) << "last the end";
    EXPECT_EQ(OutcomeOf(messages.back()), WorkOutcome::kFailed) << "how it ended";
}

TEST(ExportDefaultTemplate, IsFoundBesideTheProgramAndCopiedOnlyWhenMissing) {
    test::TempDir dir;
    fs::create_directories(dir.File("bin"));
    fs::create_directories(dir.File("share/vandrel"));
    EXPECT_FALSE(DefaultTemplatePath(dir.File("bin"))) << "none installed";
    test::WriteText(dir.File("share/vandrel/template.html"), "installed");
    const auto bundled = DefaultTemplatePath(dir.File("bin"));
    ASSERT_TRUE(bundled) << "under share";
    EXPECT_EQ(Text(*bundled), "installed");
    test::WriteText(dir.File("bin/template.html"), "beside");
    EXPECT_EQ(Text(*DefaultTemplatePath(dir.File("bin"))), "beside") << "beside wins";

    fs::create_directories(dir.File("home"));
    EXPECT_TRUE(EnsureDefaultTemplate(dir.File("home"), bundled)) << "copied";
    EXPECT_EQ(Text(dir.File("home/template.html")), "installed");
    test::WriteText(dir.File("home/template.html"), "mine");
    EXPECT_TRUE(EnsureDefaultTemplate(dir.File("home"), bundled)) << "one is there";
    EXPECT_EQ(Text(dir.File("home/template.html")), "mine") << "the user's own is kept";
    EXPECT_FALSE(EnsureDefaultTemplate(dir.File("elsewhere"), std::nullopt)) << "none to copy";
}

}  // namespace
}  // namespace vandrel
