#include "engine/io/FileStream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <random>

#include "engine/io/AtomicFile.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::TempDir;

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

TEST(FileStream, PeeksReadsAndJumpsAlwaysServeTheFileBytes) {
    // Small and larger steps, searches up to the whole buffer ahead, jumps back and past the end,
    // block reads of every size: whatever the buffer keeps or reads ahead, each byte is the file's.
    TempDir dir;
    const std::vector<uint8_t> content = Counting(3'000'000);
    test::WriteFile(dir.File("f"), content);
    FileStream stream;
    ASSERT_TRUE(stream.Open(dir.File("f"), "rb"));
    std::mt19937 random(7);
    auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    for (int step = 0; step < 3000; ++step) {
        const auto pos = static_cast<size_t>(stream.Tell());
        const size_t expected_max = pos < content.size() ? content.size() - pos : 0;
        switch (below(6)) {
        case 0: {  // a peek, sometimes of the whole buffer
            const size_t n = below(4) == 0 ? FileStream::kBufferCapacity : below(3000);
            const std::span<const uint8_t> bytes = stream.Peek(n);
            ASSERT_EQ(bytes.size(), std::min(n, expected_max)) << step;
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), content.begin() + pos)) << step;
            ASSERT_EQ(stream.Tell(), static_cast<int64_t>(pos));
            break;
        }
        case 1: {  // a block read, small or large
            std::vector<uint8_t> block(below(2) == 0 ? below(100) : below(700'000));
            const size_t n = std::min(block.size(), expected_max);
            ASSERT_EQ(stream.Read(block), n) << step;
            ASSERT_TRUE(std::equal(block.begin(), block.begin() + n, content.begin() + pos))
                << step;
            break;
        }
        case 2:  // single bytes
            for (size_t i = pos; i < pos + 5; ++i) {
                ASSERT_EQ(stream.GetByte(), i < content.size() ? content[i] : -1) << step;
            }
            break;
        case 3:  // a jump anywhere, also past the end
            stream.Seek(static_cast<int64_t>(below(content.size() + 1000)));
            break;
        default:  // the next frame, a little further on
            stream.Seek(static_cast<int64_t>(pos + below(2000)));
            break;
        }
    }
}

TEST(FileStream, ReadsWhatIsThereWhenTheFileShrinks) {
    TempDir dir;
    test::WriteFile(dir.File("f"), Counting(1000));
    FileStream stream;
    ASSERT_TRUE(stream.Open(dir.File("f"), "rb"));
    ASSERT_EQ(::truncate(dir.File("f").c_str(), 100), 0);
    std::vector<uint8_t> block(1000);
    EXPECT_EQ(stream.Read(block), 100u);
    EXPECT_EQ(stream.Size(), 1000);  // the size measured at opening stays
}

TEST(FileStream, RefusesWhatIsNoRegularFileWithoutBlocking) {
    TempDir dir;
    FileStream stream;
    EXPECT_FALSE(stream.Open(dir.path(), "rb"));
    EXPECT_EQ(stream.LastError(), EISDIR);

    // Opening a FIFO for reading would wait for a writer.
    ASSERT_EQ(::mkfifo(dir.File("pipe.mp3").c_str(), 0600), 0);
    EXPECT_FALSE(stream.Open(dir.File("pipe.mp3"), "rb"));
    EXPECT_EQ(stream.LastError(), EINVAL);

    EXPECT_FALSE(stream.Open(dir.File("missing.mp3"), "rb"));
    EXPECT_EQ(stream.LastError(), ENOENT);
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.GetByte(), -1);
}

// A stream writes over the file in place; an atomic file replaces it whole.
TEST(FileWrites, GoInPlaceWithoutStaleBytesOrReplaceTheFileKeepingItsMode) {
    TempDir dir;
    const std::string path = dir.File("f");
    test::WriteFile(path, Counting(10));
    // Refused writes, sizes and disk bytes: Id3v1.WritesAppendsThenReplacesInPlace.
    FileStream stream;
    ASSERT_TRUE(stream.Open(path, "r+b"));
    stream.GetByte();  // fills the buffer, which the write must not leave stale
    stream.Seek(8);
    const uint8_t bytes[] = {1, 2, 3};
    ASSERT_TRUE(stream.Write(bytes));
    stream.Seek(8);
    EXPECT_EQ(stream.GetByte(), 1);
    stream.Close();

    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("new content"));
        // Dropped without Commit: the old file stays and no temporary remains.
    }
    EXPECT_EQ(test::ReadFile(path).size(), 11u);
    using std::filesystem::directory_iterator;
    EXPECT_EQ(std::distance(directory_iterator(dir.path()), directory_iterator()), 1);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
    EXPECT_EQ(test::ReadFile(path), std::vector<uint8_t>({'n', 'e', 'w'}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's mode is kept
}

// A link is written through, wherever it points and however it is chained.
TEST(FileWrites, ReplaceTheFileBehindALink) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    test::WriteText(dir.File("sub/settings.ini"), "old");
    std::filesystem::create_symlink("sub/settings.ini", dir.File("first"));
    std::filesystem::create_symlink(dir.File("first"), dir.File("second"));
    EXPECT_EQ(FollowLinks(dir.File("second")), dir.File("sub/settings.ini")) << "link chain";
    ASSERT_TRUE(WriteFileAtomically(dir.File("second"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("second"))) << "the outer link stays";
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("first"))) << "the inner link stays";
    EXPECT_EQ(test::ReadFile(dir.File("sub/settings.ini")), std::vector<uint8_t>({'n', 'e', 'w'}))
        << "the file behind the links";

    // A link to a file not made yet: the file is made where it points.
    std::filesystem::create_symlink("sub/later.dat", dir.File("dangling"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("dangling"), "x"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.File("sub/later.dat"))) << "made behind it";
}

// Ctrl+C or a kill while a file is written leaves only the old file.
TEST(FileWrites, LeaveNoTemporaryFileWhenASignalEndsTheProgram) {
    TempDir dir;
    test::WriteText(dir.File("out.txt"), "old");
    for (const int number : {SIGINT, SIGTERM}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RemoveTemporaryFilesOnSignals();
            AtomicFile file(dir.File("out.txt"));
            if (file.Open() && file.Write(std::string(100'000, 'x'))) {
                ::raise(number);
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number)
            << "the signal still ends the program, signal " << number;
        using std::filesystem::directory_iterator;
        EXPECT_EQ(std::distance(directory_iterator(dir.path()), directory_iterator()), 1)
            << "only out.txt after signal " << number;
        EXPECT_EQ(test::ReadFile(dir.File("out.txt")), std::vector<uint8_t>({'o', 'l', 'd'}))
            << "the old content after signal " << number;
    }
}

}  // namespace
}  // namespace vandrel
