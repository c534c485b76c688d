#include "engine/io/AtomicFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
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

// Errors of an O_TMPFILE open that say the file system (or the kernel) has
// no unnamed files, rather than that the folder cannot be written: a kernel
// that does not know the flag sees O_DIRECTORY with write access (EISDIR).
bool UnnamedFilesRefused(int error_number) {
    return error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL;
}

// An unnamed file is given its name through its handle's entry in /proc.
bool CanNameUnnamedFiles() {
    return ::access("/proc/self/fd", X_OK) == 0;
}

// Six random letters and digits for a name of our own beside the target.
std::string RandomSuffix() {
    static constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::array<uint8_t, 6> random{};
    if (::getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) {
        // No entropy to be had: the process and a counter are unique enough,
        // as a name that is taken is only tried again.
        static std::atomic<uint32_t> counter{0};
        const auto seed = static_cast<uint32_t>(::getpid()) * 2654435761u + counter++;
        for (size_t i = 0; i < random.size(); ++i) {
            random[i] = static_cast<uint8_t>(seed >> (i * 5));
        }
    }
    std::string suffix(".");
    for (const uint8_t byte : random) {
        suffix += kLetters[byte % kLetters.size()];
    }
    return suffix;
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
        ::close(fd_);  // an unnamed file goes with its last handle
        fd_ = -1;
    }
    if (!temp_path_.empty()) {
        // Removed before it leaves the list, so a signal in between finds
        // nothing left rather than leaving the file behind.
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
    UnlistTemporaryFile(temp_slot_);
    unnamed_ = false;
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
    // Keep the mode of the file being replaced; a new file gets the usual one.
    const mode_t mode =
        ::stat(final_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    const std::string folder = FolderOf(final_);
    // An unnamed file in the target's folder: until Commit gives it a name,
    // no way the process ends (a kill -9, a crash, a power cut) leaves it
    // behind. Where the file system has none, or there is no /proc to name
    // it through (a bare chroot), a named temporary file, which the signal
    // handler removes on the signals it can catch.
    const bool unnamed_possible = CanNameUnnamedFiles();
    fd_ = unnamed_possible ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
    const int open_error = errno;
    if (fd_ >= 0) {
        unnamed_ = true;
    } else if (unnamed_possible && !UnnamedFilesRefused(open_error)) {
        Fail("Cannot create a file in " + folder, open_error);
        return false;
    } else {
        std::string pattern = final_ + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) {
            Fail("Cannot create a file in " + folder, errno);
            return false;
        }
        temp_path_ = name.data();
        temp_slot_ = ListTemporaryFile(temp_path_);
    }
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

int AtomicFile::LinkAs(const std::string& name) {
    // The handle's entry under /proc names the unnamed file for linkat (the
    // handle itself, with AT_EMPTY_PATH, would need a privilege).
    const std::string handle = "/proc/self/fd/" + std::to_string(fd_);
    return ::linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? 0
               : errno;
}

bool AtomicFile::NameUnnamedFile() {
    // A new file is linked in under its own name at once. linkat replaces
    // nothing, so a file that is there already is replaced by renaming a
    // name of our own over it; only in that moment does the file have a
    // second name, which the signal handler knows.
    int error_number = LinkAs(final_);
    if (error_number == 0) {
        return true;
    }
    if (error_number == EEXIST && no_replace_) {
        Fail("Cannot create " + target_, error_number);
        return false;
    }
    for (int attempt = 0; error_number == EEXIST && attempt < 100; ++attempt) {
        temp_path_ = final_ + RandomSuffix();
        temp_slot_ = ListTemporaryFile(temp_path_);
        error_number = LinkAs(temp_path_);
        if (error_number == 0) {
            return true;
        }
        temp_path_.clear();
        UnlistTemporaryFile(temp_slot_);
    }
    Fail("Cannot create a file in " + FolderOf(final_), error_number);
    return false;
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
    // Named under the target itself when nothing was there: then there is
    // nothing left to rename.
    const bool linked_as_target = !failed_ && unnamed_ && NameUnnamedFile() && temp_path_.empty();
    if (::close(fd_) != 0) {
        Fail("Cannot write " + target_, errno);
    }
    fd_ = -1;
    unnamed_ = false;
    if (!failed_ && !direct_ && !linked_as_target) {
        // link() makes the name only where there is none; the temporary
        // name goes after it.
        const bool named = no_replace_ ? ::link(temp_path_.c_str(), final_.c_str()) == 0
                                       : std::rename(temp_path_.c_str(), final_.c_str()) == 0;
        if (!named) {
            const int error_number = errno;
            Fail((no_replace_ && error_number == EEXIST ? "Cannot create " : "Cannot replace ") +
                     target_,
                 error_number);
        } else if (no_replace_) {
            ::unlink(temp_path_.c_str());
        }
    }
    if (failed_) {
        if (linked_as_target) {
            ::unlink(final_.c_str());  // there was no file: there is none again
        }
        Discard();
        return false;
    }
    temp_path_.clear();
    UnlistTemporaryFile(temp_slot_);
    return true;
}

bool AtomicFile::CommitNew() {
    no_replace_ = true;
    return Commit();
}

RemovedOnSignal::RemovedOnSignal(const std::string& path) : slot_(ListTemporaryFile(path)) {}

RemovedOnSignal::~RemovedOnSignal() {
    UnlistTemporaryFile(slot_);
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
