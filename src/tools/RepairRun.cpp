#include "tools/RepairRun.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <stop_token>
#include <string_view>

#include "store/Log.h"

namespace vandrel {

namespace {

constexpr int64_t kNanoseconds = 1'000'000'000;
constexpr int kPercent = 100;

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

void RemoveTemp(const std::string& temp) {
    if (::unlink(temp.c_str()) != 0 && errno != ENOENT) {
        Log([&] { return "Repair: could not remove " + temp + ": " + ErrorText(errno); });
    }
}

// The run's own flag for the engine's calls, set when the run is cancelled.
class CancelFlag {
public:
    explicit CancelFlag(const std::stop_token& stop)
        : on_stop_(stop, [this] { flag_.store(true); }) {}
    const std::atomic<bool>* get() const { return &flag_; }
    bool set() const { return flag_.load(); }

private:
    std::atomic<bool> flag_{false};
    std::stop_callback<std::function<void()>> on_stop_;
};

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileStamp{static_cast<uint64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * kNanoseconds + st.st_mtim.tv_nsec};
}

WriteUse OpenForWriting(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return WriteUse::kUnknown;
    }
    WriteUse use = WriteUse::kNone;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
        // EAGAIN: a descriptor somewhere writes to it. EACCES, EINVAL and the
        // like: no lease may be taken here, which tells nothing.
        use = errno == EAGAIN ? WriteUse::kInUse : WriteUse::kUnknown;
    } else {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    }
    ::close(fd);
    return use;
}

std::optional<std::string> RefuseRepair(const RepairRequest& request) {
    const std::optional<FileStamp> stamp = StampOf(request.path);
    if (!stamp) {
        return "cannot be read: " + ErrorText(errno);
    }
    if (::access(request.path.c_str(), W_OK) != 0) {
        return "read-only: no permission to write to the file";
    }
    if (::access(FolderOf(request.path).c_str(), W_OK | X_OK) != 0) {
        return "read-only: no permission to write to its folder";
    }
    const int64_t seconds = stamp->mtime_ns / kNanoseconds;
    // The record keeps the time as 32 bits.
    if (stamp->size != request.scanned_size ||
        static_cast<int32_t>(seconds) != static_cast<int32_t>(request.scanned_mtime)) {
        return "changed since it was scanned: scan it again first";
    }
    if (OpenForWriting(request.path) == WriteUse::kInUse) {
        return "in use: another program has it open for writing";
    }
    return std::nullopt;
}

std::string TempPathBeside(const std::string& path) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr int kSuffix = 6;
    constexpr std::string_view kMark = ".repair-";
    // A name has at most 255 bytes: a long one gives up its end (its bytes
    // need not stay whole characters in a name nobody reads).
    constexpr size_t kNameMax = 255;
    std::string name = NameOf(path);
    name.resize(std::min(name.size(), kNameMax - 1 - kMark.size() - kSuffix));
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    const std::string stem = FolderOf(path) + "/." + name + std::string(kMark);
    while (true) {
        std::string candidate = stem;
        for (int i = 0; i < kSuffix; ++i) {
            candidate += kLetters[pick(random)];
        }
        // Only a name taken is tried again; a folder that cannot be read
        // fails the write that follows, with its reason.
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0) {
            return candidate;
        }
    }
}

std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}

std::string RestoreFromTrash(const std::string& trashed_path, const std::string& path) {
    if (const std::error_code error = RenameNoReplace(trashed_path, path)) {
        return error.message();
    }
    // A trash keeps the file under files/ and what it was under info/.
    namespace fs = std::filesystem;
    const fs::path trashed(trashed_path);
    const fs::path info =
        trashed.parent_path().parent_path() / "info" / (trashed.filename().string() + ".trashinfo");
    std::error_code ignored;
    fs::remove(info, ignored);
    return {};
}

ReplaceResult ReplaceWithRepaired(const std::string& original, const std::string& temp,
                                  const ReplaceSteps& steps) {
    ReplaceResult result;
    const TrashResult trashed = steps.trash(original);
    if (!trashed.ok) {
        RemoveTemp(temp);
        result.error = "the original could not be moved to the trash (" + trashed.error +
                       "), so it was not replaced";
        return result;
    }
    const auto place = steps.place ? steps.place : RenameNoReplace;
    if (const std::error_code error = place(temp, original)) {
        RemoveTemp(temp);
        const std::string restored = RestoreFromTrash(trashed.trashed_path, original);
        result.error = "the repaired copy could not take the original's name (" + error.message() +
                       (restored.empty() ? "); the original was put back"
                                         : "); the original is in the trash at " +
                                               trashed.trashed_path + " (" + restored + ")");
        return result;
    }
    result.ok = true;
    result.trashed_path = trashed.trashed_path;
    return result;
}

WorkOutcome PlanRepairs(std::vector<RepairItem>& items, WorkChannel& channel) {
    const CancelFlag cancel(channel.StopToken());
    for (size_t i = 0; i < items.size(); ++i) {
        RepairItem& item = items[i];
        item.plan.path = item.request.path;
        if (cancel.set()) {
            item.plan.status = PlanStatus::kRefused;
            item.plan.reason = "cancelled";
            continue;
        }
        channel.Status("Planning: " + NameOf(item.request.path));
        channel.Percent(static_cast<int64_t>(i * kPercent / items.size()));
        if (const auto refusal = RefuseRepair(item.request)) {
            item.plan.status = PlanStatus::kRefused;
            item.plan.reason = *refusal;
            continue;
        }
        // The stamp first: a change during the walk shows at the repair.
        item.planned = StampOf(item.request.path).value_or(FileStamp{});
        item.plan = PlanRepair(item.request.path, cancel.get());
        if (cancel.set()) {
            item.plan.status = PlanStatus::kRefused;
            item.plan.reason = "cancelled";
        }
    }
    channel.Status({});
    channel.Percent(kPercent);
    return cancel.set() ? WorkOutcome::kStopped : WorkOutcome::kDone;
}

void RepairItemInPlace(RepairItem& item, const ReplaceSteps& steps,
                       const std::atomic<bool>* cancel) {
    const std::string& path = item.request.path;
    item.status = RepairStatus::kFailed;
    if (StampOf(path) != item.planned) {
        item.reason = "changed since it was planned";
        return;
    }
    const std::string temp = TempPathBeside(path);
    RepairResult result = RepairFile(item.plan, path, temp, cancel);
    item.checks = std::move(result.checks);
    if (result.status != RepairStatus::kRepaired || (cancel != nullptr && cancel->load())) {
        // A copy that failed is gone already; one that passed is not wanted now.
        RemoveTemp(temp);
        item.status =
            result.status == RepairStatus::kRepaired ? RepairStatus::kFailed : result.status;
        item.reason = result.status == RepairStatus::kRepaired ? "cancelled" : result.reason;
        return;
    }
    const ReplaceResult replaced = ReplaceWithRepaired(path, temp, steps);
    if (!replaced.ok) {
        item.reason = replaced.error;
        return;
    }
    Log([&] { return "Repair: " + path + " repaired, the original is " + replaced.trashed_path; });
    item.status = RepairStatus::kRepaired;
}

WorkOutcome RunRepairs(std::vector<RepairItem>& items, WorkChannel& channel,
                       const ReplaceSteps& steps) {
    const CancelFlag cancel(channel.StopToken());
    for (size_t i = 0; i < items.size(); ++i) {
        RepairItem& item = items[i];
        if (item.plan.status != PlanStatus::kRepairable) {
            continue;
        }
        if (cancel.set()) {
            item.status = RepairStatus::kFailed;
            item.reason = "cancelled";
            continue;
        }
        channel.Status("Repairing: " + NameOf(item.request.path));
        channel.Percent(static_cast<int64_t>(i * kPercent / items.size()));
        RepairItemInPlace(item, steps, cancel.get());
    }
    channel.Status({});
    channel.Percent(kPercent);
    return cancel.set() ? WorkOutcome::kStopped : WorkOutcome::kDone;
}

std::string ItemStatusText(const RepairItem& item) {
    if (item.status) {
        const std::string name(RepairStatusName(*item.status));
        return item.reason.empty() ? name : name + ": " + item.reason;
    }
    switch (item.plan.status) {
    case PlanStatus::kRepairable:
        return "repairable";
    case PlanStatus::kNothingToRepair:
        return "nothing to repair";
    case PlanStatus::kRefused:
        break;
    }
    return "refused: " + item.plan.reason;
}

std::vector<std::string> ItemLines(const RepairItem& item) {
    std::vector<std::string> lines;
    if (item.plan.status != PlanStatus::kRepairable) {
        return lines;
    }
    for (const RepairAction& action : item.plan.actions) {
        lines.push_back(action.text);
    }
    if (item.status == RepairStatus::kRepaired) {
        for (const RepairCheck& check : item.checks) {
            lines.push_back("check passed: " + check.name +
                            (check.detail.empty() ? "" : " (" + check.detail + ")"));
        }
    }
    return lines;
}

}  // namespace vandrel
