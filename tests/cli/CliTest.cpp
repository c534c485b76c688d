#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "cli/FileCollector.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/ParallelScan.h"
#include "cli/ScanCommand.h"
#include "engine/io/TextEncoding.h"
#include "store/DataCache.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

using test::TempDir;

std::string UsageMessage(const std::vector<std::string>& args) {
    auto parsed = ParseCommandLine(args);
    return std::holds_alternative<UsageError>(parsed) ? std::get<UsageError>(parsed).message
                                                      : "(accepted)";
}

TEST(Options, AcceptGroupedAttachedAndLongFormsAndTakeAllAfterADoubleDashAsPaths) {
    const auto parsed = ParseCommandLine({"-rq", "-f1000", "--format=json", "a", "--", "-b"});
    ASSERT_TRUE(std::holds_alternative<Options>(parsed)) << std::get<UsageError>(parsed).message;
    const Options& o = std::get<Options>(parsed);
    EXPECT_TRUE(o.recursive) << "-r of -rq";
    EXPECT_EQ(o.frames, 1000);
    EXPECT_EQ(o.paths, (std::vector<std::string>{"a", "-b"}));
}

// The options of a command line that must be accepted.
Options Accepted(const std::vector<std::string>& args) {
    auto parsed = ParseCommandLine(args);
    if (const auto* usage = std::get_if<UsageError>(&parsed)) {
        ADD_FAILURE() << "refused: " << usage->message;
        return {};
    }
    return std::get<Options>(parsed);
}

TEST(Options, GiveTheValueToTheLastOfGroupedShortOptions) {
    const Options attached = Accepted({"-qf100", "a"});
    EXPECT_TRUE(attached.quiet) << "-q of -qf100";
    EXPECT_EQ(attached.frames, 100) << "-f of -qf100";
    const Options next = Accepted({"-rj", "4", "a"});
    EXPECT_TRUE(next.recursive) << "-r of -rj 4";
    EXPECT_EQ(next.jobs, 4u) << "-j of -rj 4";
    EXPECT_EQ(next.paths, std::vector<std::string>{"a"}) << "the value is no path";
    EXPECT_EQ(UsageMessage({"a", "-qf"}), "option '-f' needs a value");
}

TEST(Options, AddTheMissingDotOfFileTypesAndRefuseAnEmptyList) {
    EXPECT_EQ(Accepted({"--filetypes", "mp3;mp2", "a"}).filetypes, ".mp3;.mp2;");
    EXPECT_EQ(Accepted({"--filetypes=.MP3;;wav", "a"}).filetypes, ".MP3;.wav;")
        << "dots and case kept, empty pieces left out";
    EXPECT_EQ(UsageMessage({"--filetypes", ";;", "a"}),
              "--filetypes needs at least one extension, not ';;'");
}

TEST(Options, ExplainsWhatIsWrong) {
    EXPECT_EQ(UsageMessage({"-f", "-3", "a"}),
              "--frames needs a whole number of 0 or more, not '-3'");
    EXPECT_EQ(UsageMessage({"--cache-max-kb", "1000000000000", "a"}),
              "--cache-max-kb needs a whole number from 0 to 2147483647, not '1000000000000'")
        << "a number past the largest taken";
    EXPECT_EQ(UsageMessage({"-rx", "a"}), "unknown option '-rx'");
    EXPECT_EQ(UsageMessage({"--quiet=1", "a"}), "option '--quiet' takes no value");
}

TEST(Options, TakeEveryOptionTheHelpNames) {
    // The "-x, --name" or "--name" that starts a line of the options' list.
    const std::regex option_line(R"(^  (?:(-[a-z]), |    )(--[a-z-]+))");
    std::istringstream help(HelpText());
    size_t options_named = 0;
    for (std::string line; std::getline(help, line);) {
        std::smatch names;
        if (!std::regex_search(line, names, option_line)) {
            continue;
        }
        for (size_t group = 1; group <= 2; ++group) {
            if (names[group].matched) {
                ++options_named;
                const std::string message = UsageMessage({names[group].str(), "1", "a"});
                EXPECT_FALSE(message.starts_with("unknown option"))
                    << "the table's entry for " << names[group].str() << ": " << message;
            }
        }
    }
    EXPECT_EQ(options_named, 31u) << "options named by the help";
}

TEST(FileCollector, ListsMatchingFilesInNameOrderWithoutRegardToCaseThenSubFolders) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("sub/deeper"));
    for (const char* name :
         {"b.MP3", "A.mp2", "c.mp3.bak", "sub.mp3", "sub/deeper/z.mp3", "sub/y.mp1"}) {
        test::WriteText(dir.File(name), "x");
    }
    // A link to a folder is neither a file nor entered; a dangling one is a file.
    std::filesystem::create_directory_symlink("sub", dir.File("link.mp3"));
    std::filesystem::create_symlink("nowhere", dir.File("broken.mp3"));
    std::string collected;  // the paths below the folder, in the order collected
    for (const InputFile& file : CollectInputFiles({dir.path()}, true, ".mp3;.mp2;.mp1")) {
        collected += file.path.substr(dir.path().size() + 1) + " ";
    }
    EXPECT_EQ(collected, "A.mp2 b.MP3 broken.mp3 sub.mp3 sub/y.mp1 sub/deeper/z.mp3 ");
}

TEST(FileCollector, ListsAFolderOnlyWhenTheWalkReachesIt) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("b"));
    test::WriteText(dir.File("a.mp3"), "x");
    InputWalker walker({dir.path()}, true, ".mp3");
    EXPECT_EQ(walker.Next().value_or(InputFile{}).path, dir.File("a.mp3")) << "the first file";
    test::WriteText(dir.File("b/late.mp3"), "x");  // after the walk began
    EXPECT_EQ(walker.Next().value_or(InputFile{}).path, dir.File("b/late.mp3"))
        << "a file of a sub-folder made once the first file was given";
    EXPECT_EQ(walker.Next(), std::nullopt) << "the end";
}

// A chain of `levels` folders named "d" below `top`, ending in "bottom.mp3",
// made and removed through relative names: its paths are longer than the
// system's path limit.
class FolderChain {
public:
    FolderChain(const std::string& top, int levels)
        : levels_(levels), at_(::open(top.c_str(), O_RDONLY | O_DIRECTORY)) {
        for (int i = 0; i < levels; ++i) {
            ::mkdirat(at_, "d", 0700);
            MoveTo("d");
        }
        ::close(::openat(at_, "bottom.mp3", O_CREAT | O_WRONLY, 0600));
    }
    ~FolderChain() {
        ::unlinkat(at_, "bottom.mp3", 0);
        for (int i = 0; i < levels_; ++i) {
            MoveTo("..");
            ::unlinkat(at_, "d", AT_REMOVEDIR);
        }
        ::close(at_);
    }

private:
    void MoveTo(const char* name) {
        const int next = ::openat(at_, name, O_RDONLY | O_DIRECTORY);
        ::close(at_);
        at_ = next;
    }
    int levels_;
    int at_;  // the folder at hand
};

TEST(FileCollector, WalksFoldersDeeperThanThePathLimitWithFewHandles) {
    TempDir dir;
    test::WriteText(dir.File("top.mp3"), "x");
    std::filesystem::create_directory(dir.File("e"));
    test::WriteText(dir.File("e/last.mp3"), "x");
    constexpr int kLevels = 3000;
    const FolderChain chain(dir.path(), kLevels);
    // Far fewer handles than levels for the walk.
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 64);
    ::setrlimit(RLIMIT_NOFILE, &low);
    const std::vector<InputFile> files = CollectInputFiles({dir.path()}, true, ".mp3");
    ::setrlimit(RLIMIT_NOFILE, &saved);

    std::string bottom = dir.path();
    for (int i = 0; i < kLevels; ++i) {
        bottom += "/d";
    }
    bottom += "/bottom.mp3";
    ASSERT_EQ(files.size(), 3u) << files.back().path << ": " << files.back().error.value_or("");
    EXPECT_EQ(files[0].path, dir.File("top.mp3")) << "the folder's own file first";
    EXPECT_EQ(files[1].path, bottom) << "then down to the bottom";
    EXPECT_EQ(files[1].error, std::nullopt) << "the bottom file is listed as found";
    EXPECT_EQ(files[2].path, dir.File("e/last.mp3")) << "then back up to the next folder";
}

TEST(Formats, QuoteCsvAndJsonTexts) {
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");

    std::string json;
    AppendJsonString(json, "q\"b\\\r\n\t\x01 \xC3\xA9 \xFF");
    EXPECT_EQ(json, "\"q\\\"b\\\\\\r\\n\\t\\u0001 \xC3\xA9 \xEF\xBF\xBD\"");
    EXPECT_EQ(Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
    const uint8_t bytes[] = {0x00, 0xAB, 0x10};
    EXPECT_EQ(HexBytes(bytes, 3), "00ab10");
}

TEST(Formats, EscapeControlsAndBytesThatAreNoUtf8AndOnlyAmbiguousBackslashes) {
    EXPECT_EQ(EscapeText("caf\xC3\xA9 \xE6\x97\xA5.mp3"), "caf\xC3\xA9 \xE6\x97\xA5.mp3")
        << "UTF-8 stays as it is";
    EXPECT_EQ(EscapeText("a\tb\nc\rd"), "a\\tb\\nc\\rd") << "tab, line feed, carriage return";
    EXPECT_EQ(EscapeText("\x1B[31m\x7F"), "\\x1b[31m\\x7f") << "terminal escape and DEL";
    EXPECT_EQ(EscapeText("\xC2\x9B"
                         "1m \xC2\xA0"),
              "\\xc2\\x9b1m \xC2\xA0")
        << "the C1 control CSI goes, the no-break space stays";
    EXPECT_EQ(EscapeText("bad \xFF\xC3"), "bad \\xff\\xc3") << "bytes that are no UTF-8";
    EXPECT_EQ(EscapeText("C:\\Music\\"), "C:\\Music\\") << "backslashes that start nothing";
    EXPECT_EQ(EscapeText("C:\\temp \\x41 \\\\"), "C:\\\\temp \\\\x41 \\\\\\")
        << "backslashes before escape letters and before a backslash";
    EXPECT_EQ(EscapeText("a\\\n"), "a\\\\\\n") << "a backslash before an escaped character";
}

// Runs vandrel-scan with -q, so that no progress line shows even on a terminal.
class ScanCommand : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), "-q");
        return RunScanCommand(args, out_, err_);
    }
    std::ostringstream out_;
    std::ostringstream err_;
    TempDir dir_;
};

TEST_F(ScanCommand, WritesJsonWithTheAttributesTheRecordItsImageAndTheErrorOfEachFile) {
    const std::string tagged = test::FixturePath("lame_tags_v1v2.mp3");
    EXPECT_EQ(Run({"--format=json", "--record-hex", "--music-crc", tagged, "/no/such.mp3"}), 1);
    EXPECT_EQ(err_.str(), "");  // the error is the file's, in the output
    const std::string json = out_.str();
    const size_t missing = json.find("\"path\": \"/no/such.mp3\"");
    ASSERT_NE(missing, std::string::npos);
    const std::string first = json.substr(0, missing);  // in input order
    EXPECT_EQ(first.substr(0, 2), "[\n");
    for (const char* expected :
         {"\"name\": \"lame_tags_v1v2.mp3\"", "\"error\": null", "\"Title\": \"Plucked Strings\"",
          "\"Quality\": \"bad\"", "\"frames\": 86", "\"genre_name\": \"Jazz\"",
          "\"id3v2_size\": 314", "\"lame_version\": \"LAME3.100\"", "\"music_crc_ok\": 1",
          "\"record_hex\": \"01000000"}) {
        EXPECT_NE(first.find(expected), std::string::npos) << expected;
    }
    EXPECT_NE(json.find("\"error\": \"No such file or directory\"", missing), std::string::npos);
}

TEST_F(ScanCommand, StreamsJsonLinesOfTheFilesOfAList) {
    const std::string a = test::FixturePath("lame_cbr64_mono.mp3");
    const std::string b = test::FixturePath("lame_vbr_v2.mp3");
    const std::string lines = dir_.File("lines.txt");
    test::WriteText(lines, a + "\r\n\n" + b + "\n");
    EXPECT_EQ(Run({"--format", "jsonl", "--files-from", lines, "/no/such.mp3"}), 1)
        << "the missing file fails the run";
    std::istringstream output(out_.str());
    std::vector<std::string> objects;
    for (std::string line; std::getline(output, line);) {
        objects.push_back(line);
    }
    ASSERT_EQ(objects.size(), 3u) << "one line per file: the named one, then the listed ones";
    for (const std::string& object : objects) {
        EXPECT_TRUE(object.front() == '{' && object.back() == '}') << "a whole object: " << object;
    }
    EXPECT_NE(objects[0].find("\"path\": \"/no/such.mp3\""), std::string::npos) << "first line";
    EXPECT_NE(objects[2].find("\"name\": \"lame_vbr_v2.mp3\""), std::string::npos)
        << "the list's second path, its CR dropped";

    const std::string nul = dir_.File("nul.list");
    test::WriteText(nul, a + std::string(1, '\0') + "with\nnewline.mp3" + std::string(1, '\0'));
    EXPECT_EQ(Run({"--format", "tsv", "--columns", "Name", "--files-from", nul}), 1);
    EXPECT_NE(err_.str().find("with\\nnewline.mp3"), std::string::npos)
        << "a NUL-separated list keeps a line break in a name";
    EXPECT_EQ(Run({"--files-from", dir_.File("none.txt")}), 2) << "a list that is not there";
    EXPECT_NE(err_.str().find("cannot read the list of files"), std::string::npos) << err_.str();
}

TEST(PathList, BoundsEachEntryAndRunsOfEmptyOnes) {
    const std::string longest(kLongestListedPath, 'p');
    // The longest path, its CR LF line end dropped; one byte more is refused
    // with the number of its line.
    PathListReader lines;
    EXPECT_TRUE(lines.Feed("a\n" + longest + "\r\n")) << "the longest path";
    EXPECT_FALSE(lines.Feed("b\n" + longest + "q\n")) << "one byte longer";
    EXPECT_EQ(lines.Error(), "line 4 is longer than the longest path (4095 bytes)")
        << "error of the long line";
    // NUL-separated, as found in pieces: the first NUL turns what came before
    // into one entry, its line break kept.
    PathListReader nul;
    EXPECT_TRUE(nul.Feed("a\nb")) << "first piece";
    EXPECT_TRUE(nul.Feed(std::string("\0c\0\0", 5)) && nul.Finish()) << "second piece";
    EXPECT_EQ(nul.TakePaths(), (std::vector<std::string>{"a\nb", "c"})) << "NUL-separated paths";
    // What /dev/zero gives: empty entries without end.
    PathListReader zeros;
    EXPECT_TRUE(zeros.Feed(std::string(kMostEmptyListEntries, '\0'))) << "as many as are taken";
    EXPECT_FALSE(zeros.Feed(std::string(2, '\0'))) << "one more";
    EXPECT_EQ(zeros.Error(), "more than 4096 empty entries in a row from entry 1: it is no "
                             "list of paths")
        << "error of the zeros";
}

TEST_F(ScanCommand, ReadsListsFromPipesAndRefusesFolders) {
    const std::string song = test::FixturePath("lame_cbr64_mono.mp3");
    // A folder is no list.
    EXPECT_EQ(Run({"--files-from", dir_.path()}), 2) << "exit status, a folder as list";
    EXPECT_EQ(err_.str(),
              "vandrel-scan: cannot read the list of files '" + dir_.path() + "': Is a directory\n")
        << "message for a folder as list";
    // A FIFO is read as it comes.
    const std::string fifo = dir_.File("list.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { test::WriteText(fifo, song + "\n"); });
    EXPECT_EQ(Run({"--columns=Name", "--files-from", fifo}), 0) << "exit status, a FIFO";
    writer.join();
    EXPECT_EQ(out_.str(), "Name\nlame_cbr64_mono.mp3\n") << "the file listed through the FIFO";
    // So is standard input, a pipe here.
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    const std::string listed = song + "\n";
    ASSERT_EQ(::write(pipe_ends[1], listed.data(), listed.size()),
              static_cast<ssize_t>(listed.size()));
    ::close(pipe_ends[1]);
    const int saved_input = ::dup(STDIN_FILENO);
    ::dup2(pipe_ends[0], STDIN_FILENO);
    ::close(pipe_ends[0]);
    const int status = Run({"--columns=Name", "--files-from", "-"});
    ::dup2(saved_input, STDIN_FILENO);
    ::close(saved_input);
    EXPECT_EQ(status, 0) << "exit status, standard input";
    EXPECT_EQ(out_.str(), "Name\nlame_cbr64_mono.mp3\n") << "the file listed on standard input";
}

TEST_F(ScanCommand, PrintsAlignedTablesAndDelimitedText) {
    const std::string file = test::FixturePath("twolame_mp2_192_48k.mp2");
    ASSERT_EQ(Run({"--format", "tsv", file}), 0);
    EXPECT_EQ(out_.str(),
              "Name\tEncoder\tBitrate\tFrames\tLength\tSize\tBad Last Frame\tQuality\n"
              "twolame_mp2_192_48k.mp2\tUnknown\t192\t125\t00:00:03.0\t72,000\tno\tok\n");
    ASSERT_EQ(Run({"--format", "csv", "--columns", "Size,freq. (hz),204", file}), 0);
    EXPECT_EQ(out_.str(), "Size,Freq. (Hz),Track\r\n\"72,000\",48000,\r\n");
    ASSERT_EQ(Run({"--columns=Name,Frames", file}), 0);  // texts to the left, numbers right
    EXPECT_EQ(out_.str(), "Name                     Frames\n"
                          "twolame_mp2_192_48k.mp2     125\n");
}

TEST_F(ScanCommand, OffersEveryAttributeAndTheReport) {
    const std::string file = test::FixturePath("lame_tags_v1v2.mp3");
    ASSERT_EQ(Run({"--format", "tsv", "--all-columns", file}), 0);
    std::istringstream lines(out_.str());
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, row);
    EXPECT_TRUE(header.ends_with("\tGenre\tProblems\tCRC Errors\tBandwidth\tUpscaled?\tDelay"
                                 "\tPadding\tExact Length\tShown Length\tAudio Hash"))
        << "the checks, the lengths, then the audio hash last: " << header;
    EXPECT_NE(row.find("made by make_fixtures\tJazz\tnone\t"), std::string::npos)
        << "the tag, then no problems: " << row;
    EXPECT_NE(row.find("\t576\t1344\t00:00:03.000\t00:00:03.060\t"), std::string::npos)
        << "the lengths of lame's 3 s: " << row;
    EXPECT_EQ(row.substr(row.rfind('\t') + 1).size(), 16u) << "the audio hash: " << row;

    ASSERT_EQ(Run({"--report", file, "/no/such.mp3"}), 1);
    const std::vector<uint8_t> expected =
        test::ReadFile(test::DataPath("reports/lame_tags_v1v2.txt"));
    EXPECT_EQ(out_.str(), std::string(expected.begin(), expected.end()));
    EXPECT_NE(err_.str().find("/no/such.mp3: No such file or directory"), std::string::npos);

    EXPECT_EQ(Run({"--columns", "Name,Colour", file}), 2);
    EXPECT_NE(err_.str().find("unknown column 'Colour'"), std::string::npos);
}

TEST_F(ScanCommand, ChecksTheMusicCrcOfFilesWithALameTagOnly) {
    const std::string tagged = test::FixturePath("lame_tags_v1v2.mp3");
    std::vector<uint8_t> bytes = test::ReadFile(tagged);
    bytes[bytes.size() / 2] ^= 1;  // one audio byte changed
    test::WriteFile(dir_.File("changed.mp3"), bytes);
    bytes.resize(bytes.size() / 2);  // a download cut short
    test::WriteFile(dir_.File("cut.mp3"), bytes);
    ASSERT_EQ(Run({"--format=tsv", "--columns=Name", "--music-crc", dir_.File("changed.mp3"),
                   dir_.File("cut.mp3"), tagged, test::FixturePath("lame_notag_cbr128.mp3")}),
              0);
    EXPECT_EQ(out_.str(),
              "Name\tMusic CRC\n"
              "changed.mp3\tcorrupt\n"
              "cut.mp3\tcorrupt (the file is shorter than the LAME tag's music length)\n"
              "lame_tags_v1v2.mp3\tOK\n"
              "lame_notag_cbr128.mp3\t\n");

    // The JSON attributes carry the check as the table's column does, and
    // only when it was asked for.
    ASSERT_EQ(Run({"--format=jsonl", "--music-crc", dir_.File("changed.mp3")}), 0);
    EXPECT_NE(out_.str().find(", \"Music CRC\": \"corrupt\"}, \"record\": {"), std::string::npos)
        << "Music CRC attribute after the catalog's: " << out_.str();
    ASSERT_EQ(Run({"--format=jsonl", dir_.File("changed.mp3")}), 0);
    EXPECT_EQ(out_.str().find("Music CRC"), std::string::npos)
        << "no Music CRC attribute without --music-crc";
}

TEST_F(ScanCommand, GivesTheSameOutputInInputOrderWhateverTheJobs) {
    // Every fixture three times, so that the threads overtake each other.
    std::vector<std::string> args = {"--format=json", "--record-hex"};
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

TEST_F(ScanCommand, StopsItsThreadsWhenADeliveryThrows) {
    const std::vector<InputFile> missing(50, {"/no/such.mp3", std::nullopt});
    size_t delivered = 0;
    const auto deliver = [&](size_t i, FileResult&&) {
        delivered = i + 1;
        if (i == 2) {
            throw std::runtime_error("the writer failed");
        }
    };
    // The threads are stopped and joined on the way out; a thread left
    // running would end the process.
    EXPECT_THROW(AnalyseInOrder(missing, {}, 4, deliver), std::runtime_error) << "what is thrown";
    EXPECT_EQ(delivered, 3u) << "results delivered before the throw";
}

TEST_F(ScanCommand, TakesTheInputsOnlyAFewAheadOfTheDelivery) {
    size_t taken = 0;
    const InputSource source = [&]() -> std::optional<InputFile> {
        if (taken == 5000) {
            return std::nullopt;
        }
        ++taken;
        return InputFile{"/no/such.mp3", std::nullopt};
    };
    size_t most_ahead = 0;
    AnalyseInOrder(source, {}, 2,
                   [&](size_t i, FileResult&&) { most_ahead = std::max(most_ahead, taken - i); });
    EXPECT_EQ(taken, 5000u) << "every input";
    EXPECT_LE(most_ahead, 8u) << "inputs taken beyond the one delivered, with two threads";
}

TEST_F(ScanCommand, GoesOnOnTheCallingThreadWhenNoThreadCanBeStarted) {
    if (!test::RunAsNobody([](std::string&) { return 0; })) {
        GTEST_SKIP() << "no process without the right to start any thread can be made";
    }
    const std::vector<InputFile> inputs = {{test::FixturePath("lame_cbr64_mono.mp3"), {}},
                                           {test::FixturePath("lame_vbr_v2.mp3"), {}},
                                           {"/no/such.mp3", {}}};
    constexpr int kNotLimited = 3;
    const auto child = test::RunAsNobody([&](std::string& output) {
        // One process for this user at most: every new thread is refused.
        const rlimit one{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &one) != 0) {
            return kNotLimited;
        }
        try {
            std::thread([] {}).join();
            return kNotLimited;
        } catch (const std::system_error&) {
        }
        const unsigned threads = AnalyseInOrder(inputs, {}, 4, [&](size_t i, FileResult&& r) {
            output += std::to_string(i) + " " + r.name + ", ";
        });
        output += std::to_string(threads) + " thread";
        return 0;
    });
    ASSERT_TRUE(child) << "the scan died";
    if (child->status == kNotLimited) {
        GTEST_SKIP() << "the process limit does not hold here";
    }
    EXPECT_EQ(child->output, "0 lame_cbr64_mono.mp3, 1 lame_vbr_v2.mp3, 2 such.mp3, 1 thread");
}

TEST_F(ScanCommand, WritesNothingToStandardOutputWithAnOutputFileAndSaysWhenItCannotMakeIt) {
    const std::string file = test::FixturePath("lame_vbr_v2.mp3");
    EXPECT_EQ(Run({"-o", dir_.File("report.txt"), file}), 0);
    EXPECT_EQ(out_.str(), "") << "standard output with -o";
    EXPECT_EQ(Run({"-o", dir_.File("missing/out.txt"), file}), 1);
    EXPECT_NE(err_.str().find("Cannot create a file in"), std::string::npos);
}

TEST_F(ScanCommand, AnswersASecondRunFromTheCacheWithoutReadingTheFiles) {
    const std::string song = dir_.File("song.mp3");
    std::filesystem::copy_file(test::FixturePath("lame_cbr128_joint.mp3"), song);
    const std::string cache = dir_.File("cache.dat");
    ASSERT_EQ(Run({"--format=tsv", "--all-columns", "--cache", cache, song}), 0);
    const std::string first = out_.str();
    // Zeros of the same size and time: only the cache still knows the
    // figures, the checks' among them.
    const auto time = std::filesystem::last_write_time(song);
    test::WriteFile(song, std::vector<uint8_t>(std::filesystem::file_size(song), 0));
    std::filesystem::last_write_time(song, time);
    ASSERT_EQ(Run({"--format=tsv", "--all-columns", "--cache", cache, song}), 0);
    EXPECT_EQ(out_.str(), first);
    EXPECT_EQ(Run({song}), 1);

    // A cache that cannot be written is a warning with a status of its own.
    EXPECT_EQ(Run({"--cache", dir_.File("no/such/c.dat"), test::FixturePath("lame_vbr_v2.mp3")}),
              3);
    EXPECT_NE(err_.str().find("the cache was not saved"), std::string::npos);
    EXPECT_NE(out_.str().find("lame_vbr_v2.mp3"), std::string::npos)
        << "the results are still written";
}

// A folder with a copy of a clean fixture and, with `cut`, one cut inside
// its last frame.
void MakeSongs(const std::string& folder, bool cut) {
    // Without a VBR header, whose byte count would disagree with the cut file too.
    std::vector<uint8_t> bytes = test::ReadFile(test::FixturePath("lame_notag_cbr128.mp3"));
    test::WriteFile(folder + "/clean.mp3", bytes);
    if (cut) {
        bytes.resize(bytes.size() - 100);
        test::WriteFile(folder + "/cut.mp3", bytes);
    }
}

TEST_F(ScanCommand, ListsOnlyTheFilesWithProblemsAndFailsWhenThereAreAny) {
    MakeSongs(dir_.path(), false);
    EXPECT_EQ(Run({"--problems", dir_.path()}), 0) << "a clean folder";
    EXPECT_EQ(out_.str(), "") << "nothing to print, not even a header";
    MakeSongs(dir_.path(), true);
    EXPECT_EQ(Run({"--problems", "--format=tsv", "--columns=Name,Problems", dir_.path()}), 1)
        << "a folder with a damaged file";
    EXPECT_EQ(out_.str(), "Name\tProblems\ncut.mp3\tcut last frame\n");
}

TEST_F(ScanCommand, StreamsEachFilesFindingsAsTheLastKeyOfItsLine) {
    MakeSongs(dir_.path(), true);
    test::WriteText(dir_.File("text.mp3"), "no audio");
    EXPECT_EQ(Run({"--format=jsonl", dir_.path()}), 1);
    std::istringstream output(out_.str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 3u) << "one line per file";
    EXPECT_TRUE(lines[0].ends_with(", \"findings\": []}")) << "clean.mp3: " << lines[0];
    EXPECT_TRUE(lines[1].ends_with(
        ", \"findings\": [{\"severity\": \"damage\", \"text\": \"cut last frame\", "
        "\"detail\": \"The last frame is cut short: the file ends inside it.\"}]}"))
        << "cut.mp3: " << lines[1];
    EXPECT_TRUE(lines[2].ends_with(
        ", \"findings\": [{\"severity\": \"damage\", \"text\": \"Not an MPEG audio, MPEG "
        "Plus or WAVE file\", \"detail\": \"Not an MPEG audio, MPEG Plus or WAVE file\"}]}"))
        << "text.mp3: " << lines[2];
    // Streamed with --problems too: the clean file's line is left out.
    EXPECT_EQ(Run({"--format=jsonl", "--problems", dir_.path()}), 1);
    const std::string problems = out_.str();
    EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 2) << problems;
}

// Damaged, hostile and odd inputs: each gives a clear outcome (a result or an
// error line), never a crash or a hang.
class BadInput : public ScanCommand {};

TEST_F(BadInput, FilesThatAreNoAudioSayWhy) {
    test::WriteFile(dir_.File("zeros.mp3"), std::vector<uint8_t>(200'000, 0));
    // One header word over and over: headers that never chain.
    std::vector<uint8_t> repeated;
    for (int i = 0; i < 50'000; ++i) {
        repeated.insert(repeated.end(), {0xFF, 0xFB, 0x90, 0x64});
    }
    test::WriteFile(dir_.File("repeated.mp3"), repeated);
    std::filesystem::create_directory(dir_.File("folder.mp3"));
    ASSERT_EQ(::mkfifo(dir_.File("pipe.mp3").c_str(), 0600), 0);

    EXPECT_EQ(Run({"--format=tsv", dir_.path(), dir_.File("folder.mp3")}), 1);
    const std::string err = err_.str();
    EXPECT_NE(err.find("zeros.mp3: Not an MPEG audio, MPEG Plus or WAVE file"), std::string::npos);
    EXPECT_NE(err.find("repeated.mp3: "), std::string::npos);
    EXPECT_NE(err.find("pipe.mp3: Not a regular file"), std::string::npos);  // and no hang
    // A folder is a folder whatever its name: it is not a file of the
    // listing, and named on its own it is scanned (here: nothing in it).
    EXPECT_EQ(err.find("folder.mp3"), std::string::npos);
    // Every file still has its row, with the placeholders.
    const std::string out = out_.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);
    EXPECT_NE(out.find("zeros.mp3\t--\t--"), std::string::npos);
    // The reason under Problems, "--" in the other checks.
    EXPECT_EQ(Run({"--format=csv", "--columns=Name,Problems,CRC Errors,Bandwidth,Upscaled?",
                   dir_.File("zeros.mp3")}),
              1);
    EXPECT_EQ(out_.str(), "Name,Problems,CRC Errors,Bandwidth,Upscaled?\r\n"
                          "zeros.mp3,\"Not an MPEG audio, MPEG Plus or WAVE file\",--,--,--\r\n");
}

TEST_F(BadInput, AnUnreadableFileSaysSo) {
    std::filesystem::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), dir_.File("locked.mp3"));
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(dir_.File("locked.mp3").c_str(), 0);
    // In a child without root's rights, where the permission holds.
    const auto child = test::RunAsNobody([&](std::string& output) {
        const int status = Run({dir_.File("locked.mp3")});
        output = err_.str();
        return status;
    });
    if (!child) {
        GTEST_SKIP() << "no process without the right to read every file could be started";
    }
    EXPECT_EQ(child->status, 1);
    EXPECT_NE(child->output.find("locked.mp3: Permission denied"), std::string::npos)
        << child->output;
}

TEST_F(BadInput, SizesBeyondWhatTheRecordHoldsAreShownAsAtLeast) {
    // A sparse file of 4.5 GB: frames at the start and in the middle, zeros
    // between them (which take no disk space).
    const std::string path = dir_.File("huge.mp3");
    test::WriteSparseFile(path, 4'500'000'000, test::MakeFrames({}, 100));
    // The first 100 frames: a whole walk would read the gigabytes of zeros.
    EXPECT_EQ(Run({"--format=json", "--frames=100", path}), 0);
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"file_size\": 4294967295"), std::string::npos);
    EXPECT_NE(json.find("\"Size\": \"4,294,967,295+\""), std::string::npos);
    EXPECT_NE(json.find("\"frames\": 100"), std::string::npos);
    EXPECT_EQ(json.find("\"first_frame_offset\": -"), std::string::npos);
}

TEST_F(BadInput, OddFileNamesComeOutReadable) {
    const std::string odd_names[] = {"with space.mp3", "new\nline.mp3", "bad \xFF\xFE byte.mp3"};
    for (const std::string& name : odd_names) {
        std::filesystem::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), dir_.File(name));
    }
    EXPECT_EQ(Run({"--format=json", dir_.path()}), 0);
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"name\": \"new\\nline.mp3\""), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"bad \xEF\xBF\xBD\xEF\xBF\xBD byte.mp3\""), std::string::npos);
    // The bytes of the one path that is no UTF-8, to open it with.
    const std::string bad = dir_.File(odd_names[2]);
    const std::string bad_hex = HexBytes(reinterpret_cast<const uint8_t*>(bad.data()), bad.size());
    EXPECT_NE(json.find("\"path_bytes\": \"" + bad_hex + "\""), std::string::npos) << "path_bytes";
    EXPECT_EQ(json.find("path_bytes"), json.rfind("path_bytes")) << "path_bytes only once";

    // One line per file: the line break of the name does not split its row.
    EXPECT_EQ(Run({"--format=tsv", "--columns=Name,Frames", dir_.path()}), 0);
    EXPECT_EQ(out_.str(), "Name\tFrames\n"
                          "bad \\xff\\xfe byte.mp3\t156\n"
                          "new\\nline.mp3\t156\n"
                          "with space.mp3\t156\n");
}

TEST_F(BadInput, NamesCannotDriveTheTerminal) {
    // A name that would set the terminal's title.
    const std::string hostile = dir_.File("\x1B]0;owned\x07.mp3");
    test::WriteFile(hostile, std::vector<uint8_t>(1000, 0));
    const std::string escaped = dir_.path() + "/\\x1b]0;owned\\x07.mp3";
    EXPECT_EQ(Run({"--format=csv", "--columns=Name", hostile}), 1);
    EXPECT_EQ(out_.str(), "Name\r\n\\x1b]0;owned\\x07.mp3\r\n") << "the csv row";
    EXPECT_EQ(err_.str(),
              "vandrel-scan: " + escaped + ": Not an MPEG audio, MPEG Plus or WAVE file\n")
        << "the error line";
    EXPECT_EQ(Run({"--columns=Name", hostile}), 1);
    EXPECT_EQ(out_.str(), "Name\n\\x1b]0;owned\\x07.mp3\n") << "the table";
}

TEST_F(BadInput, JsonErrorsEndWithoutALineBreak) {
    // Frames behind more zeros than a frame search looks through: the probe
    // in the middle of the file finds them, the scan from its start does not.
    std::vector<uint8_t> bytes(1'100'000, 0);
    test::Append(bytes, test::MakeFrames({}, 8000));
    test::WriteFile(dir_.File("late.mp3"), bytes);
    EXPECT_EQ(Run({"--format=json", dir_.File("late.mp3")}), 1);
    EXPECT_NE(out_.str().find("\"error\": \"Cannot find valid mp3 header, scanning failed\",\n"),
              std::string::npos)
        << out_.str().substr(0, 300);
}

TEST_F(BadInput, CacheFilesOfAnotherKindAreLeftAlone) {
    const std::string fixture = test::FixturePath("lame_cbr64_mono.mp3");
    // The cache of another version is kept under another name, and the run
    // starts a new one.
    const std::vector<uint8_t> other = {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 8, 8};
    const std::string old = dir_.File("old.dat");
    test::WriteFile(old, other);
    EXPECT_EQ(Run({"--cache", old, fixture}), 0) << "exit status with a cache of version 2";
    EXPECT_EQ(err_.str(), "vandrel-scan: the cache file " + old +
                              " is of another format version (2; this program's is 3); it is "
                              "kept as " +
                              old + ".old-version and a new cache is started\n")
        << "what the run says of the older cache";
    EXPECT_EQ(test::ReadFile(old + ".old-version"), other) << "the older cache, kept";
    EXPECT_EQ(ClassifyCacheFile(old), CacheFileKind::kCache) << "the new cache at its path";
    EXPECT_EQ(Run({"--cache", old, fixture}), 0) << "exit status of the next run";
    EXPECT_EQ(err_.str(), "") << "nothing to say on the next run";
    // A file that is no cache of any kind is refused and left as it is.
    test::WriteText(dir_.File("notes.txt"), "these are my notes");
    EXPECT_EQ(Run({"--cache", dir_.File("notes.txt"), fixture}), 2) << "exit status, notes.txt";
    EXPECT_NE(err_.str().find("is not a readable analysis cache file"), std::string::npos)
        << err_.str();
    EXPECT_EQ(test::ReadFile(dir_.File("notes.txt")).size(), 18u) << "notes.txt left as it is";
    // A good cache cut at every length: each is read as far as it is whole,
    // or refused, and the scan goes on.
    ASSERT_EQ(Run({"--cache", dir_.File("good.dat"), fixture}), 0);
    const std::vector<uint8_t> good = test::ReadFile(dir_.File("good.dat"));
    for (size_t length = 0; length < good.size(); length += 97) {
        test::WriteFile(
            dir_.File("cut.dat"),
            std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(length)));
        const int status = Run({"--cache", dir_.File("cut.dat"), fixture});
        EXPECT_TRUE(status == 0 || status == 2) << length;
        EXPECT_NE(out_.str().find("lame_cbr64_mono.mp3"), std::string::npos) << length;
    }
}

}  // namespace
}  // namespace vandrel::cli
