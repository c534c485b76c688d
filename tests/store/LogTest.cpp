#include "store/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

std::vector<std::string> LinesOf(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Leaves the process-wide sink as the other tests expect it: off, nowhere.
struct LogReset {
    ~LogReset() {
        SetLogging(false);
        StartLogFile("");
    }
};

TEST(Log, WritesEveryLineWholeFromEveryThreadWhileLoggingIsOn) {
    test::TempDir dir;
    const LogReset reset;
    const std::string path = dir.File("state/vandrel/vandrel.log");
    StartLogFile(path);
    SetLogging(true);
    constexpr int kThreads = 4;
    constexpr int kLines = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                Log("CListThread::OnProcess thread " + std::to_string(t) + " line " +
                    std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    // Its folder was made at the first line; no line is cut or mixed with another.
    const std::vector<std::string> lines = LinesOf(path);
    EXPECT_EQ(lines.size(), size_t{kThreads * kLines}) << "line count";
    std::set<std::string> expected;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kLines; ++i) {
            expected.insert("CListThread::OnProcess thread " + std::to_string(t) + " line " +
                            std::to_string(i));
        }
    }
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected) << "lines";
}

TEST(Log, WritesNothingWhileLoggingIsOffAndStartsEachRunAfresh) {
    test::TempDir dir;
    const LogReset reset;
    const std::string path = dir.File("vandrel.log");
    test::WriteText(path, "a line of the last run\n");
    // Starting deletes the last run's log.
    StartLogFile(path);
    EXPECT_FALSE(std::filesystem::exists(path)) << "old log deleted";

    // Off: no line is built, none written, no file made.
    SetLogging(false);
    bool built = false;
    Log([&] {
        built = true;
        return std::string("CVandrelList::OnFill");
    });
    Log("CVandrelList::FillListView");
    EXPECT_FALSE(built) << "line built";
    EXPECT_FALSE(std::filesystem::exists(path)) << "log made";

    // On: the lines of this run only.
    SetLogging(true);
    Log("CVandrelList::OnFill");
    SetLogging(false);
    Log("CVandrelList::FillListView");
    EXPECT_EQ(LinesOf(path), std::vector<std::string>{"CVandrelList::OnFill"}) << "lines";

    // No path: the lines go nowhere.
    StartLogFile("");
    SetLogging(true);
    Log("CVandrelTree::BeginExpand");
    EXPECT_EQ(LinesOf(path), std::vector<std::string>{"CVandrelList::OnFill"}) << "lines after";
}

}  // namespace
}  // namespace vandrel
