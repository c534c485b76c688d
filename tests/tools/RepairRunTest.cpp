#include "tools/RepairRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "engine/media/MediaFileRegistry.h"
#include "engine/verdicts/FileAnalysis.h"
#include "support/Inbox.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A VBR file with a Xing header, cut inside its last frame: the repair drops
// that frame and rebuilds the header.
Bytes CutFile() {
    Bytes bytes = test::ReadFile(test::FixturePath("lame_vbr_v2.mp3"));
    bytes.resize(bytes.size() * 2 / 3);
    return bytes;
}

// The request the list would make of the file as it is now.
RepairRequest RequestFor(const std::string& path) {
    const FileStamp stamp = StampOf(path).value();
    return {path, stamp.size, stamp.mtime_ns / 1'000'000'000};
}

// Names in the folder that are a repair's hidden copies.
std::vector<std::string> TempsIn(const std::string& folder) {
    std::vector<std::string> temps;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".repair-") != std::string::npos) {
            temps.push_back(entry.path().filename().string());
        }
    }
    return temps;
}

class RepairRunTest : public ::testing::Test {
protected:
    // A trash inside the test's folder, laid out as the desktop's.
    ReplaceSteps FolderTrash() {
        fs::create_directories(dir_.File("trash/files"));
        fs::create_directories(dir_.File("trash/info"));
        ReplaceSteps steps;
        steps.trash = [this](const std::string& path) {
            const std::string name = fs::path(path).filename().string();
            const std::string trashed = dir_.File("trash/files/" + name);
            test::WriteText(dir_.File("trash/info/" + name + ".trashinfo"), "[Trash Info]\n");
            fs::rename(path, trashed);
            return TrashResult{.ok = true, .trashed_path = trashed, .error = {}};
        };
        return steps;
    }

    // A planned item of a damaged file written as `name`.
    RepairItem Planned(const std::string& name, const Bytes& bytes) {
        RepairItem item;
        item.request.path = dir_.File(name);
        test::WriteFile(item.request.path, bytes);
        item.planned = StampOf(item.request.path).value();
        item.plan = PlanRepair(item.request.path);
        EXPECT_EQ(item.plan.status, PlanStatus::kRepairable) << "plan of " << name;
        return item;
    }

    const MediaFileTypesScope media_types_;
    test::TempDir dir_;
};

TEST_F(RepairRunTest, RefusesAFileChangedSinceItsScan) {
    const std::string path = dir_.File("cut.mp3");
    test::WriteFile(path, CutFile());
    RepairRequest request = RequestFor(path);
    EXPECT_EQ(RefuseRepair(request), std::nullopt) << "the file as scanned";

    request.scanned_size += 1;
    EXPECT_EQ(RefuseRepair(request).value_or(""),
              "changed since it was scanned: scan it again first")
        << "another size";
    request = RequestFor(path);
    request.scanned_mtime -= 60;
    EXPECT_EQ(RefuseRepair(request).value_or(""),
              "changed since it was scanned: scan it again first")
        << "another modification time";
    EXPECT_EQ(RefuseRepair({dir_.File("gone.mp3"), 0, 0}).value_or(""),
              "cannot be read: No such file or directory")
        << "a file that went";
}

TEST_F(RepairRunTest, RefusesAFileOpenForWritingElsewhere) {
    const std::string path = dir_.File("cut.mp3");
    test::WriteFile(path, CutFile());
    const RepairRequest request = RequestFor(path);
    const std::string in_use = "in use: another program has it open for writing";

    const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0) << "writer's descriptor";
    EXPECT_EQ(OpenForWriting(path), WriteUse::kInUse) << "a descriptor of ours writes";
    EXPECT_EQ(RefuseRepair(request).value_or(""), in_use) << "refusal while our fd writes";
    ::close(writer);
    EXPECT_EQ(OpenForWriting(path), WriteUse::kNone) << "after the writer closed";

    // Another process that holds it open for appending until it is killed.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0) << "pipe";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0) << "fork";
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        const char byte = fd >= 0 ? '1' : '0';
        (void)::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "child ready";
    EXPECT_EQ(byte, '1') << "the child opened the file";
    EXPECT_EQ(RefuseRepair(request).value_or(""), in_use) << "refusal while another process writes";
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(RefuseRepair(request), std::nullopt) << "after the other process ended";
}

TEST_F(RepairRunTest, RefusesReadOnlyFilesAndFolders) {
    // Root may write anywhere: the checks run as "nobody" on root's files.
    const std::string open_dir = dir_.File("open");
    const std::string shut_dir = dir_.File("shut");
    fs::create_directories(open_dir);
    fs::create_directories(shut_dir);
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(open_dir.c_str(), 0777);
    ::chmod(shut_dir.c_str(), 0755);
    const std::string read_only = open_dir + "/read_only.mp3";
    const std::string writable = shut_dir + "/writable.mp3";
    test::WriteFile(read_only, CutFile());
    test::WriteFile(writable, CutFile());
    ::chmod(read_only.c_str(), 0644);
    ::chmod(writable.c_str(), 0666);
    const RepairRequest file_request = RequestFor(read_only);
    const RepairRequest folder_request = RequestFor(writable);

    const auto child = test::RunAsNobody([&](std::string& output) {
        output = RefuseRepair(file_request).value_or("none") + "\n" +
                 RefuseRepair(folder_request).value_or("none") + "\n" +
                 (OpenForWriting(writable) == WriteUse::kUnknown ? "unknown" : "known");
        return 0;
    });
    if (!child || child->status != 0) {
        GTEST_SKIP() << "no child with the rights of nobody";
    }
    EXPECT_EQ(child->output, "read-only: no permission to write to the file\n"
                             "read-only: no permission to write to its folder\n"
                             "unknown")
        << "the refusals, and no lease on another user's file";
}

TEST_F(RepairRunTest, ReplacesTheOriginalAndTrashesIt) {
    const Bytes damaged = CutFile();
    RepairItem item = Planned("cut.mp3", damaged);
    RepairItemInPlace(item, FolderTrash(), nullptr);

    EXPECT_EQ(item.status, RepairStatus::kRepaired) << "status: " << item.reason;
    EXPECT_EQ(test::ReadFile(dir_.File("trash/files/cut.mp3")), damaged)
        << "the original in the trash";
    const FileAnalysis fresh = Analyse(item.request.path, {});
    EXPECT_EQ(fresh.record.frames, item.plan.result_frames) << "frames of the file at the path";
    EXPECT_EQ(fs::file_size(item.request.path), item.plan.result_bytes) << "size at the path";
    EXPECT_TRUE(TempsIn(dir_.path()).empty()) << "no hidden copy left";
    EXPECT_EQ(ItemStatusText(item), "repaired") << "report";
    const std::vector<std::string> lines = ItemLines(item);
    ASSERT_GE(lines.size(), item.plan.actions.size() + 1) << "actions and checks";
    EXPECT_EQ(lines.front(), item.plan.actions.front().text) << "first line: the first action";
    EXPECT_EQ(lines.back().rfind("check passed: ", 0), 0u) << "last line: a check";
}

TEST_F(RepairRunTest, NamesTheCopyBesideTheFileWithinTheLengthOfAName) {
    const std::string long_name(250, 'x');
    const std::string temp = TempPathBeside(dir_.File(long_name + ".mp3"));
    EXPECT_EQ(fs::path(temp).parent_path().string(), dir_.path()) << "the copy's folder";
    EXPECT_EQ(fs::path(temp).filename().string().size(), 255u) << "a name's longest";
    EXPECT_EQ(fs::path(temp).filename().string().rfind("." + std::string(240, 'x') + ".repair-", 0),
              0u)
        << "the start of the name kept";
    EXPECT_NE(TempPathBeside(dir_.File("a.mp3")), TempPathBeside(dir_.File("a.mp3")))
        << "a new name each time";
}

TEST_F(RepairRunTest, KeepsTheOriginalWhenTheTrashRefusesIt) {
    RepairItem item = Planned("cut.mp3", CutFile());
    ReplaceSteps steps;
    steps.trash = [](const std::string&) {
        return TrashResult{.ok = false, .trashed_path = {}, .error = "no trash here"};
    };
    RepairItemInPlace(item, steps, nullptr);

    EXPECT_EQ(item.status, RepairStatus::kFailed) << "status";
    EXPECT_EQ(ItemStatusText(item),
              "failed: the original could not be moved to the trash (no trash here), so it was "
              "not replaced")
        << "report";
    EXPECT_EQ(test::ReadFile(item.request.path), CutFile()) << "the original untouched";
    EXPECT_TRUE(TempsIn(dir_.path()).empty()) << "no hidden copy left";
}

TEST_F(RepairRunTest, RefusesToReplaceAFileChangedSincePlanned) {
    RepairItem item = Planned("cut.mp3", CutFile());
    Bytes changed = CutFile();
    changed.resize(changed.size() - 10);
    test::WriteFile(item.request.path, changed);
    RepairItemInPlace(item, FolderTrash(), nullptr);

    EXPECT_EQ(ItemStatusText(item), "failed: changed since it was planned") << "report";
    EXPECT_EQ(test::ReadFile(item.request.path), changed) << "the changed file stays";
    EXPECT_TRUE(TempsIn(dir_.path()).empty()) << "no hidden copy made";
}

TEST_F(RepairRunTest, CancelLeavesNoCopyAndEveryOriginal) {
    std::vector<RepairItem> items;
    for (int i = 0; i < 3; ++i) {
        items.push_back(Planned("cut" + std::to_string(i) + ".mp3", CutFile()));
    }
    const std::atomic<bool> cancelled{true};
    RepairItemInPlace(items[0], FolderTrash(), &cancelled);
    EXPECT_EQ(items[0].status, RepairStatus::kFailed) << "a cancelled repair";
    EXPECT_TRUE(TempsIn(dir_.path()).empty()) << "no copy after a cancelled repair";

    // The worker stopped while it runs: whatever it reached, no copy stays
    // and every file is either its original or repaired.
    COneShotWorker worker;
    auto inbox = std::make_shared<test::Inbox>();
    const ReplaceSteps steps = FolderTrash();
    worker.Start(inbox, [&](WorkChannel& channel) {
        return WorkResult{RunRepairs(items, channel, steps), {}};
    });
    worker.Cancel();
    worker.Stop();
    EXPECT_TRUE(TempsIn(dir_.path()).empty()) << "no copy after the worker was cancelled";
    for (const RepairItem& item : items) {
        const bool repaired = item.status == RepairStatus::kRepaired;
        EXPECT_EQ(fs::file_size(item.request.path),
                  repaired ? item.plan.result_bytes : CutFile().size())
            << item.request.path << " is " << ItemStatusText(item);
    }
}

TEST_F(RepairRunTest, PlansWithTheRefusalsFirst) {
    std::vector<RepairItem> items(3);
    items[0].request = RequestFor(Planned("cut.mp3", CutFile()).request.path);
    test::WriteFile(dir_.File("sound.mp3"), test::ReadFile(test::FixturePath("lame_vbr_v2.mp3")));
    items[1].request = RequestFor(dir_.File("sound.mp3"));
    items[2].request = items[1].request;
    items[2].request.scanned_size = 1;

    auto inbox = std::make_shared<test::Inbox>();
    {
        COneShotWorker worker;
        worker.Start(inbox, [&](WorkChannel& channel) {
            return WorkResult{PlanRepairs(items, channel), {}};
        });
        worker.done_event.Wait();
    }
    EXPECT_EQ(ItemStatusText(items[0]), "repairable") << "the cut file";
    EXPECT_EQ(items[0].planned, StampOf(items[0].request.path)) << "stamp kept at planning";
    EXPECT_EQ(ItemStatusText(items[1]), "nothing to repair") << "a sound file";
    EXPECT_EQ(ItemStatusText(items[2]),
              "refused: changed since it was scanned: scan it again first")
        << "a file whose scan is out of date";
    EXPECT_TRUE(ItemLines(items[1]).empty()) << "no lines for a sound file";
}

}  // namespace
}  // namespace vandrel
