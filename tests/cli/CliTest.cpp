#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/FileCollector.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/ScanCommand.h"
#include "engine/io/TextEncoding.h"
#include "engine/media/MediaFileRegistry.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

using test::TempDir;

Options Parse(const std::vector<std::string>& args) {
    auto parsed = ParseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<Options>(parsed)) << std::get<UsageError>(parsed).message;
    return std::holds_alternative<Options>(parsed) ? std::get<Options>(parsed) : Options{};
}

std::string UsageMessage(const std::vector<std::string>& args) {
    auto parsed = ParseCommandLine(args);
    return std::holds_alternative<UsageError>(parsed) ? std::get<UsageError>(parsed).message
                                                      : "(accepted)";
}

TEST(Options, AcceptsShortLongGroupedAndAttachedFormsOverTheDefaults) {
    Options o = Parse({"music"});
    EXPECT_EQ(o.paths, std::vector<std::string>{"music"});
    EXPECT_FALSE(o.recursive);
    EXPECT_EQ(o.frames, 0);
    EXPECT_EQ(o.format, OutputFormat::kTable);
    EXPECT_EQ(o.filetypes, ".mp3;.mp2;.mp1;.mpc;.mp+;");

    o = Parse({"-rq", "-f1000", "--format=json", "a", "--", "-b"});
    EXPECT_TRUE(o.recursive);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.frames, 1000);
    EXPECT_EQ(o.format, OutputFormat::kJson);
    EXPECT_EQ(o.paths, (std::vector<std::string>{"a", "-b"}));

    o = Parse({"--frames", "5", "--format", "csv", "-o", "out.csv", "--headers-only", "x"});
    EXPECT_EQ(o.frames, 5);
    EXPECT_EQ(o.format, OutputFormat::kCsv);
    EXPECT_EQ(o.output, "out.csv");
    EXPECT_TRUE(o.headers_only);

    o = Parse({"--cache", "c.dat", "--cache-max-kb=20", "a"});
    EXPECT_EQ(o.cache_file, "c.dat");
    EXPECT_EQ(o.cache_max_kb, 20);
}

TEST(Options, ExplainsWhatIsWrong) {
    EXPECT_EQ(UsageMessage({"--bogus", "a"}), "unknown option '--bogus'");
    EXPECT_EQ(UsageMessage({"-f", "-3", "a"}),
              "--frames needs a whole number of 0 or more, not '-3'");
    EXPECT_EQ(UsageMessage({"a", "--format"}), "option '--format' needs a value");
    EXPECT_EQ(UsageMessage({"--format=xml", "a"}),
              "unknown --format 'xml' (table, tsv, csv or json)");
    EXPECT_EQ(UsageMessage({"-rx", "a"}), "unknown option '-rx'");
    EXPECT_EQ(UsageMessage({"--quiet=1", "a"}), "option '--quiet' takes no value");
    EXPECT_EQ(UsageMessage({}), "no file or folder given");
    EXPECT_EQ(UsageMessage({"--cache-max-kb", "x", "a"}),
              "--cache-max-kb needs a whole number of 0 or more, not 'x'");
}

TEST(FileCollector, ListsMatchingFilesInNameOrderThenSubFolders) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("sub"));
    std::filesystem::create_directories(dir.File("Sub2/deeper"));
    for (const char* name : {"b.MP3", "A.mp2", "c.mp3.bak", "noext", "d.MPC", "sub/x.mp1",
                             "Sub2/y.mp3", "Sub2/deeper/z.mp3", "sub.mp3"}) {
        test::WriteText(dir.File(name), "x");
    }
    const auto collected = [&](const std::vector<std::string>& paths, bool recursive,
                               const char* types) {
        std::vector<std::string> got;
        for (const InputFile& f : CollectInputFiles(paths, recursive, types)) {
            got.push_back(f.path.substr(dir.path().size() + 1));
        }
        return got;
    };
    EXPECT_EQ(collected({dir.path()}, true, ".mp3;.mp2;.mp1;.mpc"),
              (std::vector<std::string>{"A.mp2", "b.MP3", "d.MPC", "sub.mp3", "sub/x.mp1",
                                        "Sub2/y.mp3", "Sub2/deeper/z.mp3"}));
    // A file named on the command line stands for itself whatever its name.
    EXPECT_EQ(collected({dir.File("noext"), dir.path()}, false, ".mp3;"),
              (std::vector<std::string>{"noext", "b.MP3", "sub.mp3"}));
}

TEST(Formats, QuoteCsvAndJsonTexts) {
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");

    std::string json;
    AppendJsonString(json, "q\"b\\\r\n\t\x01 \xC3\xA9 \xFF");
    EXPECT_EQ(json, "\"q\\\"b\\\\\\r\\n\\t\\u0001 \xC3\xA9 \xEF\xBF\xBD\"");
    EXPECT_EQ(Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
    const uint8_t bytes[] = {0x00, 0xAB, 0x10};
    EXPECT_EQ(HexBytes(bytes, 3), "00ab10");
}

class ScanCommand : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        out_.str("");
        err_.str("");
        return RunScanCommand(args, out_, err_);
    }
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(ScanCommand, WritesJsonWithTheRecordItsImageAndTheErrorOfEachFile) {
    const std::string good = test::FixturePath("lame_cbr128_joint.mp3");
    EXPECT_EQ(Run({"--format", "json", "-q", good, "/no/such/file.mp3"}), 1);
    const std::string json = out_.str();
    EXPECT_EQ(json.front(), '[');
    EXPECT_NE(json.find("\"name\": \"lame_cbr128_joint.mp3\""), std::string::npos);
    EXPECT_NE(json.find("\"frames\": 117"), std::string::npos);
    EXPECT_NE(json.find("\"error\": \"No such file or directory\""), std::string::npos);
    EXPECT_LT(json.find("lame_cbr128_joint"), json.find("/no/such/file.mp3"));  // input order
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(Run({"--format=json", "--record-hex", test::FixturePath("lame_cbr64_mono.mp3")}), 0);
    EXPECT_NE(out_.str().find("\"record_hex\": \"01000000"), std::string::npos);
}

TEST_F(ScanCommand, PrintsAlignedTablesAndDelimitedText) {
    const std::string file = test::FixturePath("twolame_mp2_192_48k.mp2");
    ASSERT_EQ(Run({"--format", "tsv", file}), 0);
    EXPECT_EQ(
        out_.str(),
        "Name\tEncoder\tBitrate\tFrames\tLength\tSize\tBad Last Frame\tQuality\n"
        "twolame_mp2_192_48k.mp2\tGogo (after 3.0)\t192\t125\t00:00:03.0\t72,000\tno\tgood\n");
    ASSERT_EQ(Run({"--format", "csv", "--columns", "Size,freq. (hz),204", file}), 0);
    EXPECT_EQ(out_.str(), "Size,Freq. (Hz),Track\r\n\"72,000\",48000,\r\n");
    ASSERT_EQ(Run({file}), 0);
    std::istringstream lines(out_.str());
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, row);
    // Right-aligned: the count ends where its header ends.
    EXPECT_EQ(header.find("Frames") + 6, row.find("125") + 3);
}

TEST_F(ScanCommand, OffersEveryAttributeAndTheReport) {
    const std::string file = test::FixturePath("lame_tags_v1v2.mp3");
    ASSERT_EQ(Run({"--format", "tsv", "--all-columns", file}), 0);
    std::istringstream lines(out_.str());
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, row);
    EXPECT_EQ(std::count(header.begin(), header.end(), '\t'), 40);  // 41 columns
    EXPECT_EQ(header.substr(0, 13), "Name\tEncoder\t");
    EXPECT_EQ(header.substr(header.size() - 13), "Comment\tGenre");
    EXPECT_EQ(row.substr(row.size() - 26), "made by make_fixtures\tJazz");

    ASSERT_EQ(Run({"--format=json", file}), 0);
    EXPECT_NE(out_.str().find("\"Title\": \"Plucked Strings\""), std::string::npos);
    EXPECT_NE(out_.str().find("\"Quality\": \"bad\""), std::string::npos);
    EXPECT_NE(out_.str().find("\"quality_class\": 0"), std::string::npos);

    // The mono option lifts a mono file's quality.
    const std::string mono = test::FixturePath("lame_cbr64_mono.mp3");
    ASSERT_EQ(Run({"--format=tsv", "--columns=Quality", mono}), 0);
    EXPECT_EQ(out_.str(), "Quality\nbad\n");
    ASSERT_EQ(Run({"--format=tsv", "--columns=Quality", "--mono-quality", mono}), 0);
    EXPECT_EQ(out_.str(), "Quality\nok\n");

    ASSERT_EQ(Run({"--report", file, "/no/such.mp3"}), 1);
    const std::vector<uint8_t> expected =
        test::ReadFile(test::DataPath("reports/lame_tags_v1v2.txt"));
    EXPECT_EQ(out_.str(), std::string(expected.begin(), expected.end()));
    EXPECT_NE(err_.str().find("/no/such.mp3: No such file or directory"), std::string::npos);

    EXPECT_EQ(Run({"--columns", "Name,Colour", file}), 2);
    EXPECT_NE(err_.str().find("unknown column 'Colour'"), std::string::npos);
}

TEST_F(ScanCommand, ReportsTagsHeadersAndTheMusicCrc) {
    const std::string tagged = test::FixturePath("lame_tags_v1v2.mp3");
    ASSERT_EQ(Run({"--format=json", "--music-crc", tagged}), 0);
    const std::string json = out_.str();
    for (const char* expected :
         {"\"title\": \"Plucked Strings\"", "\"genre_name\": \"Jazz\"", "\"track\": 7",
          "\"id3v2_present\": 1", "\"id3v2_size\": 314", "\"lame_version\": \"LAME3.100\"",
          "\"music_crc_ok\": 1", "\"music_crc_computed\": 1", "\"has_vbri\": 0"}) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected;
    }

    // One audio byte changed: the check fails; files without a LAME tag are
    // not checked.
    TempDir dir;
    std::vector<uint8_t> bytes = test::ReadFile(tagged);
    bytes[bytes.size() / 2] ^= 1;
    test::WriteFile(dir.File("changed.mp3"), bytes);
    ASSERT_EQ(Run({"--format=tsv", "--music-crc", dir.File("changed.mp3"), tagged,
                   test::FixturePath("lame_notag_cbr128.mp3")}),
              0);
    std::istringstream lines(out_.str());
    std::string line;
    std::vector<std::string> crc_column;
    while (std::getline(lines, line)) {
        crc_column.push_back(line.substr(line.rfind('\t') + 1));
    }
    EXPECT_EQ(crc_column, (std::vector<std::string>{"Music CRC", "corrupt", "OK", ""}));
}

TEST_F(ScanCommand, GivesTheSameOutputInInputOrderWhateverTheJobs) {
    // Every fixture three times, so that the threads overtake each other.
    std::vector<std::string> args = {"--format=json", "--record-hex", "-q"};
    for (int round = 0; round < 3; ++round) {
        for (const auto& entry : std::filesystem::directory_iterator(test::DataPath("audio"))) {
            args.push_back(entry.path().string());
        }
    }
    args.push_back("/no/such/file.mp3");
    std::vector<std::string> outputs;
    for (const char* jobs : {"1", "2", "5"}) {
        std::vector<std::string> with_jobs = args;
        with_jobs.insert(with_jobs.begin(), {"-j", jobs});
        EXPECT_EQ(Run(with_jobs), 1);
        outputs.push_back(out_.str());
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(outputs[0], outputs[2]);
    EXPECT_EQ(Run({"-j", "0", "x"}), 2);
}

TEST_F(ScanCommand, WritesTheOutputFileWhole) {
    TempDir dir;
    const std::string target = dir.File("report.json");
    EXPECT_EQ(Run({"-q", "--format=json", "-o", target, test::FixturePath("lame_vbr_v2.mp3")}), 0);
    EXPECT_EQ(out_.str(), "");
    const std::vector<uint8_t> written = test::ReadFile(target);
    const std::string text(written.begin(), written.end());
    EXPECT_EQ(text.substr(text.size() - 3), "\n]\n");

    EXPECT_EQ(Run({"-o", dir.File("missing/out.txt"), test::FixturePath("lame_vbr_v2.mp3")}), 1);
    EXPECT_NE(err_.str().find("Cannot create a file in"), std::string::npos);
}

TEST_F(ScanCommand, AnswersUsageErrorsHelpAndVersion) {
    EXPECT_EQ(Run({"--frames", "many", "x"}), 2);
    EXPECT_NE(err_.str().find("Try 'vandrel-scan --help'"), std::string::npos);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.str().find("Usage: vandrel-scan"), std::string::npos);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out_.str(), "vandrel-scan 0.1.0\n");
}

TEST_F(ScanCommand, AnswersASecondRunFromTheCacheWithoutReadingTheFiles) {
    TempDir dir;
    const std::string song = dir.File("song.mp3");
    std::filesystem::copy_file(test::FixturePath("lame_cbr128_joint.mp3"), song);
    const std::string cache = dir.File("cache.dat");
    ASSERT_EQ(Run({"-q", "--format=tsv", "--cache", cache, song}), 0);
    const std::string first = out_.str();
    EXPECT_EQ(test::ReadFile(cache).size(), 12u + 2056u);
    // Zeros of the same size and time: only the cache still knows the figures.
    const auto time = std::filesystem::last_write_time(song);
    test::WriteFile(song, std::vector<uint8_t>(std::filesystem::file_size(song), 0));
    std::filesystem::last_write_time(song, time);
    ASSERT_EQ(Run({"-q", "--format=tsv", "--cache", cache, song}), 0);
    EXPECT_EQ(out_.str(), first);
    EXPECT_EQ(Run({"-q", song}), 1);

    // A file that is not a cache is never replaced by one; a cache that
    // cannot be written is reported.
    EXPECT_EQ(Run({"-q", "--cache", song, song}), 2);
    EXPECT_EQ(test::ReadFile(song), std::vector<uint8_t>(std::filesystem::file_size(song), 0));
    EXPECT_EQ(
        Run({"-q", "--cache", dir.File("no/such/c.dat"), test::FixturePath("lame_vbr_v2.mp3")}), 1);
    EXPECT_NE(err_.str().find("the cache was not saved"), std::string::npos);
}

}  // namespace
}  // namespace vandrel::cli
