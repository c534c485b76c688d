#include "store/Log.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

TEST(Log, WritesEachLineWholeFromEveryThread) {
    test::TempDir dir;
    const std::string path = dir.File("state/vandrel/vandrel.log");
    StartLogFile(path);
    // The folder is made at the first line, and lines from four threads land
    // whole, none cut or mixed with another.
    SetLogging(true);
    std::set<std::string> expected;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 2000; ++i) {
            expected.insert("thread " + std::to_string(t) + " line " + std::to_string(i));
        }
        threads.emplace_back([t] {
            for (int i = 0; i < 2000; ++i) {
                Log("thread " + std::to_string(t) + " line " + std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    SetLogging(false);
    StartLogFile("");
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::multiset<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.insert(line);
    }
    EXPECT_EQ(lines.size(), expected.size()) << "line count";
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected) << "lines";
}

}  // namespace
}  // namespace vandrel
