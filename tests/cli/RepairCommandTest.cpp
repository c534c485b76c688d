#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "cli/ScanCommand.h"
#include "support/TestFiles.h"

namespace vandrel::cli {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// vandrel-scan --repair over a folder of inputs and one for the copies.
class RepairCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(dir_.File("in").c_str(), 0755), 0) << "input folder";
        ASSERT_EQ(::mkdir(dir_.File("out").c_str(), 0755), 0) << "output folder";
        std::vector<uint8_t> junk = {'j', 'u', 'n', 'k'};
        const std::vector<uint8_t> good = test::ReadFile(test::FixturePath("lame_vbr_v2.mp3"));
        junk.insert(junk.end(), good.begin(), good.end());
        test::WriteFile(Input("junk.mp3"), junk);
        test::WriteFile(Input("good.mp3"), good);
    }
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), "-q");
        return RunScanCommand(args, out_, err_);
    }
    std::string Input(const char* name) const { return dir_.File("in") + "/" + name; }
    std::string Output(const char* name) const { return dir_.File("out") + "/" + name; }

    std::ostringstream out_;
    std::ostringstream err_;
    test::TempDir dir_;
};

TEST_F(RepairCommand, RepairsIntoTheFolderAndTellsEachFilesPlanAndChecks) {
    EXPECT_EQ(Run({"--repair", dir_.File("out"), "--format", "json", Input("junk.mp3"),
                   Input("good.mp3")}),
              0)
        << "exit status when all were repaired or sound: " << err_.str();
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"status\": \"repaired\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"status\": \"nothing to repair\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"kind\": \"remove_junk_before\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"audio frames\", \"passed\": true"), std::string::npos) << json;
    EXPECT_EQ(test::ReadFile(Output("junk.mp3")),
              test::ReadFile(test::FixturePath("lame_vbr_v2.mp3")))
        << "the repaired copy";
    EXPECT_FALSE(Exists(Output("good.mp3"))) << "no copy of a sound file";
}

TEST_F(RepairCommand, WritesNothingOnADryRun) {
    EXPECT_EQ(Run({"--repair", dir_.File("out"), "--dry-run", Input("junk.mp3")}), 0)
        << "exit status of a dry run: " << err_.str();
    EXPECT_NE(out_.str().find("planned"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("remove 4 bytes of junk before the first frame (bytes 0-3)"),
              std::string::npos)
        << out_.str();
    EXPECT_FALSE(Exists(Output("junk.mp3"))) << "nothing written";
}

TEST_F(RepairCommand, RefusesAnExistingDestinationAnInputAndTheCache) {
    test::WriteText(Output("junk.mp3"), "keep me");
    EXPECT_EQ(Run({"--repair", dir_.File("out"), Input("junk.mp3")}), 1)
        << "exit status of a refused file";
    EXPECT_NE(out_.str().find("refused"), std::string::npos) << out_.str();
    EXPECT_EQ(test::ReadFile(Output("junk.mp3")),
              (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}))
        << "the existing file untouched";

    // DEST the inputs' own folder: the copy would be the input.
    const std::vector<uint8_t> before = test::ReadFile(Input("junk.mp3"));
    EXPECT_EQ(Run({"--repair", dir_.File("in"), Input("junk.mp3")}), 1) << "over the input";
    EXPECT_EQ(test::ReadFile(Input("junk.mp3")), before) << "the input untouched";

    const std::string cache = dir_.File("out") + "/cache.mp3";
    test::WriteFile(Input("cache.mp3"), before);
    EXPECT_EQ(Run({"--repair", dir_.File("out"), "--cache", cache, Input("cache.mp3")}), 1)
        << "over the cache file";
    EXPECT_NE(out_.str().find("is the cache file"), std::string::npos) << out_.str();
}

TEST_F(RepairCommand, RefusesFilesItCannotRepairAndOptionsThatDoNotGoWithIt) {
    test::WriteText(Input("notes.mp3"), "only text");
    EXPECT_EQ(Run({"--repair", dir_.File("out"), Input("notes.mp3")}), 1) << "not MPEG audio";
    EXPECT_NE(out_.str().find("refused"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"--repair", dir_.File("nowhere"), Input("junk.mp3")}), 2) << "no such folder";
    EXPECT_EQ(Run({"--repair", dir_.File("out"), "--format", "csv", Input("junk.mp3")}), 2)
        << "csv";
    EXPECT_EQ(Run({"--dry-run", Input("junk.mp3")}), 2) << "--dry-run without --repair";
    EXPECT_FALSE(Exists(Output("junk.mp3"))) << "nothing written on a usage error";
}

}  // namespace
}  // namespace vandrel::cli
