#include "store/DataPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts back what was there.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentScope() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

TEST(DataPaths, InstalledDataIsFoundBesideTheProgramsBinFolder) {
    test::TempDir prefix;
    fs::create_directories(prefix.File("bin"));
    EXPECT_FALSE(StartsWith(DataFolderFor(prefix.File("bin")), prefix.path()))
        << "nothing installed under the prefix";
    fs::create_directories(prefix.File("share/vandrel"));
    EXPECT_EQ(DataFolderFor(prefix.File("bin")), prefix.File("share/vandrel"))
        << "the installed folder, without the bin/.. step";
}

TEST(DataPaths, InstalledUserGuideIsTheGeneratedPage) {
    test::TempDir prefix;
    fs::create_directories(prefix.File("bin"));
    fs::create_directories(prefix.File("share/doc/vandrel"));
    EXPECT_FALSE(StartsWith(UserGuidePathFor(prefix.File("bin")), prefix.path()))
        << "a documentation folder without the page is no guide";
    test::WriteText(prefix.File("share/doc/vandrel/user-guide.html"), "<html></html>");
    EXPECT_EQ(UserGuidePathFor(prefix.File("bin")),
              prefix.File("share/doc/vandrel/user-guide.html"))
        << "the installed page, without the bin/.. step";
}

TEST(DataPaths, DataFolderFromTheEnvironmentWinsWhenItExists) {
    test::TempDir data;
    {
        const EnvironmentScope scope("VANDREL_DATA_DIR", data.path());
        EXPECT_EQ(DataFolder(), data.path()) << "the folder set";
        EXPECT_EQ(ExamplesFolder(), "") << "no examples folder in it";
        fs::create_directories(data.File("examples"));
        EXPECT_EQ(ExamplesFolder(), data.File("examples")) << "its examples folder";
    }
    const EnvironmentScope missing("VANDREL_DATA_DIR", data.File("missing"));
    EXPECT_EQ(DataFolder(), "") << "a folder set that does not exist gives none";
    EXPECT_EQ(ExamplesFolder(), "") << "and no examples";
}

}  // namespace
}  // namespace vandrel
