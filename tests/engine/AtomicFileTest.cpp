#include "engine/io/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::TempDir;

// The names in a folder, sorted, separated by blanks.
std::string Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : " ") + name;
    }
    return joined;
}

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// A child process in the middle of a write: it has opened `target`, written
// a megabyte and waits to be killed. Gives the folder's names as they are
// while the child waits.
std::string KillMidWrite(const std::string& target, const std::string& folder) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        AtomicFile file(target);
        if (file.Open() && file.Write(std::string(1'000'000, 'x'))) {
            const char byte = 1;
            (void)!::write(ready[1], &byte, 1);
            ::pause();
        }
        ::_exit(1);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool written = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    const std::string during = written ? Names(folder) : "the child could not write";
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return during;
}

TEST(AtomicFile, LeavesNothingBehindWhenTheProgramIsKilledMidWrite) {
    TempDir dir;
    // A file being replaced.
    test::WriteText(dir.File("out.txt"), "old");
    EXPECT_EQ(KillMidWrite(dir.File("out.txt"), dir.path()), "out.txt")
        << "names in the folder while the new content is written";
    EXPECT_EQ(Names(dir.path()), "out.txt") << "names in the folder after the kill";
    EXPECT_EQ(Text(dir.File("out.txt")), "old") << "content of the file after the kill";
    // A file being made.
    EXPECT_EQ(KillMidWrite(dir.File("new.txt"), dir.path()), "out.txt")
        << "names in the folder while a new file is written";
    EXPECT_EQ(Names(dir.path()), "out.txt") << "names in the folder after the kill of a new file";
}

// Runs `body` in a child process whose O_TMPFILE opens fail with EOPNOTSUPP,
// as on a file system without unnamed files; what it returns comes back.
// Nothing when the child cannot refuse them (no seccomp here).
std::optional<std::string> WithoutUnnamedFiles(const std::function<std::string()>& body) {
    int out[2];
    if (::pipe(out) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        // openat(folder, path, flags, mode): the flags are argument 2. The
        // flag bit is O_TMPFILE without the O_DIRECTORY it is defined with.
        constexpr auto kUnnamedBit = static_cast<uint32_t>(O_TMPFILE & ~O_DIRECTORY);
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kUnnamedBit, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        std::string result = "no seccomp";
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0) {
            result = body();
        }
        (void)!::write(out[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[256];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        result.append(buffer, static_cast<size_t>(got));
    }
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    if (result == "no seccomp") {
        return std::nullopt;
    }
    return result;
}

TEST(AtomicFile, FallsBackToANamedTemporaryFileWhereThereAreNoUnnamedFiles) {
    TempDir dir;
    test::WriteText(dir.File("out.txt"), "old");
    const auto seen = WithoutUnnamedFiles([&] {
        std::string inside;
        {
            AtomicFile dropped(dir.File("out.txt"));
            dropped.Open();
            dropped.Write("dropped");
            // Names the folder holds while the temporary file is open.
            inside += std::to_string(std::distance(std::filesystem::directory_iterator(dir.path()),
                                                   std::filesystem::directory_iterator())) +
                      " names; ";
        }
        inside += "after a drop: " + Names(dir.path()) + "; ";
        std::string error;
        inside += WriteFileAtomically(dir.File("out.txt"), "new", &error) ? "written" : error;
        return inside;
    });
    if (!seen) {
        GTEST_SKIP() << "no seccomp filter can be set here";
    }
    EXPECT_EQ(*seen, "2 names; after a drop: out.txt; written")
        << "a named temporary file beside the target, removed when dropped, then a whole write";
    EXPECT_EQ(Text(dir.File("out.txt")), "new") << "content after the write by the fallback";
    EXPECT_EQ(Names(dir.path()), "out.txt") << "names in the folder after the fallback";
}

// CommitNew writes only where no file is, with unnamed and named temporary
// files alike, and leaves nothing of its own behind when it may not.
std::string CommitNewTwice(const TempDir& dir) {
    std::string seen;
    for (const char* content : {"first", "second"}) {
        AtomicFile file(dir.File("new.txt"));
        const bool done = file.Open() && file.Write(content) && file.CommitNew();
        seen += done ? "written; " : file.Error() + "; ";
    }
    return seen + Names(dir.path()) + " " + Text(dir.File("new.txt"));
}

TEST(AtomicFile, CommitNewNeverReplacesAFile) {
    TempDir dir;
    EXPECT_EQ(CommitNewTwice(dir),
              "written; Cannot create " + dir.File("new.txt") + ": File exists; new.txt first")
        << "an unnamed temporary file, linked in only where no file is";

    TempDir named;
    const auto seen = WithoutUnnamedFiles([&] { return CommitNewTwice(named); });
    if (!seen) {
        GTEST_SKIP() << "no seccomp filter can be set here";
    }
    EXPECT_EQ(*seen,
              "written; Cannot create " + named.File("new.txt") + ": File exists; new.txt first")
        << "a named temporary file, linked in only where no file is";
}

}  // namespace
}  // namespace vandrel
