#include "engine/io/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

namespace vandrel {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Files written directly rather than replaced: what lies under /dev and
// /proc (devices, /dev/stdout, /proc/self/fd/N) is never a plain file to
// rename over, even when it leads to one.
bool IsSystemPath(const std::string& path) {
    return path.starts_with("/dev/") || path.starts_with("/proc/");
}

// The temporary files being written, for the signal handler to remove. A
// slot is free (0), being filled or emptied (1), or holds a path (2); the
// handler only reads slots that hold one. Fixed buffers, because a handler
// may not allocate or follow pointers that another thread frees.
constexpr int kTempSlots = 64;
constexpr size_t kTempPathCapacity = 4096;
struct TempSlot {
    std::atomic<int> state{0};
    char path[kTempPathCapacity];
};
TempSlot g_temp_slots[kTempSlots];  // process-wide: shared with the signal handler

int ListTemporaryFile(const std::string& path) {
    if (path.size() >= kTempPathCapacity) {
        return -1;
    }
    for (int i = 0; i < kTempSlots; ++i) {
        int expected = 0;
        if (g_temp_slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_temp_slots[i].path, path.c_str(), path.size() + 1);
            g_temp_slots[i].state.store(2, std::memory_order_release);
            return i;
        }
    }
    return -1;  // too many at once: this one is not removed on a signal
}

void UnlistTemporaryFile(int& slot) {
    if (slot >= 0) {
        g_temp_slots[slot].state.store(0, std::memory_order_release);
        slot = -1;
    }
}

void RemoveTemporaryFilesAndEnd(int number) {
    for (TempSlot& slot : g_temp_slots) {
        if (slot.state.load(std::memory_order_acquire) == 2) {
            ::unlink(slot.path);
        }
    }
    // The handler was reset to the default on entry: the signal ends the
    // process once this handler returns.
    ::raise(number);
}

mode_t CurrentUmask() {
    // There is no way to read the umask without setting it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Fail(const std::string& what, int error_number) {
    if (!failed_) {
        error_ = what + ": " + std::generic_category().message(error_number);
    }
    failed_ = true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_path_.empty()) {
        // Removed before it leaves the list, so a signal in between finds
        // nothing left rather than leaving the file behind.
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
    UnlistTemporaryFile(temp_slot_);
}

bool AtomicFile::Open() {
    Discard();
    failed_ = false;
    error_.clear();
    final_ = FollowLinks(target_);
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    direct_ = (exists && !S_ISREG(st.st_mode)) || IsSystemPath(target_) || IsSystemPath(final_);
    if (direct_) {
        // Appending keeps what a shell redirection of the same file holds.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) {
            Fail("Cannot open " + target_, errno);
            return false;
        }
        return true;
    }
    std::string pattern = final_ + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail("Cannot create a file in " + FolderOf(final_), errno);
        return false;
    }
    temp_path_ = name.data();
    temp_slot_ = ListTemporaryFile(temp_path_);
    // Keep the mode of the file being replaced; a new file gets the usual one.
    const mode_t mode =
        ::stat(final_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    ::fchmod(fd_, mode);
    return true;
}

bool AtomicFile::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail("Cannot write " + target_, errno);
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0 || failed_) {
        if (!failed_) {
            error_ = "Nothing to write to " + target_;
        }
        Discard();
        return false;
    }
    // Devices and pipes cannot be synced; what they took is theirs.
    if (!direct_ && ::fsync(fd_) != 0) {
        Fail("Cannot write " + target_, errno);
    }
    if (::close(fd_) != 0) {
        Fail("Cannot write " + target_, errno);
    }
    fd_ = -1;
    if (!failed_ && !direct_ && std::rename(temp_path_.c_str(), final_.c_str()) != 0) {
        Fail("Cannot replace " + target_, errno);
    }
    if (failed_) {
        Discard();
        return false;
    }
    temp_path_.clear();
    UnlistTemporaryFile(temp_slot_);
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.Open() && file.Write(bytes) && file.Commit();
    if (!ok && error != nullptr) {
        *error = file.Error();
    }
    return ok;
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::vector<char> link(4096);
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<size_t>(length) >= link.size()) {
            return current;
        }
        std::string next(link.data(), static_cast<size_t>(length));
        if (next.front() != '/') {
            const size_t slash = current.find_last_of('/');
            next = slash == std::string::npos ? next : current.substr(0, slash + 1) + next;
        }
        current = std::move(next);
    }
    return current;  // a loop of links: opening it fails and says so
}

void RemoveTemporaryFilesOnSignals() {
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) {
            continue;  // nohup and background jobs keep ignoring it
        }
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryFilesAndEnd;
        sigemptyset(&action.sa_mask);
        action.sa_flags = static_cast<int>(SA_RESETHAND);
        ::sigaction(number, &action, nullptr);
    }
}

}  // namespace vandrel
