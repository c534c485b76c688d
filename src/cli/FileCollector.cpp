#include "cli/FileCollector.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/media/FileTypes.h"

namespace vandrel::cli {

namespace fs = std::filesystem;

namespace {

// Folder handles kept open at once on the way down. Deeper folders close the
// handle of the oldest; on the way back up it is opened again as ".." of its
// sub-folder. The tree may be far deeper than the process may hold handles.
constexpr size_t kOpenFolderLimit = 16;

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

// A folder handle, closed when it goes.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(int fd) : fd_(fd) {}
    FolderHandle(FolderHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle() { Close(); }

    int fd() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

// One folder on the way down: what is left to descend into. Its path is the
// first `path_length` characters of the walk's one path text.
struct FolderLevel {
    FolderHandle handle;  // may be closed while deeper folders are open
    dev_t device = 0;     // to know it again when it is reopened
    ino_t inode = 0;
    size_t path_length = 0;
    std::vector<std::string> folders;  // sub-folders, in name order
    size_t next_folder = 0;
};

bool IsFolder(int folder_fd, const char* name, int flags) {
    struct stat st {};
    return ::fstatat(folder_fd, name, &st, flags) == 0 && S_ISDIR(st.st_mode);
}

struct FolderListing {
    std::vector<std::string> files;    // matching the file types, in name order
    std::vector<std::string> folders;  // to descend into, in name order
};

// Lists an open folder. Symbolic links to folders are neither files nor
// descended into: they could loop. A listing cut short by an error keeps
// what was read.
std::optional<FolderListing> ListFolder(int folder_fd, bool recursive,
                                        const std::vector<std::string>& extensions, int& error) {
    // The listing reads through a handle of its own, which closedir() closes.
    const int list_fd = ::dup(folder_fd);
    DIR* dir = list_fd < 0 ? nullptr : ::fdopendir(list_fd);
    if (dir == nullptr) {
        error = errno;
        if (list_fd >= 0) {
            ::close(list_fd);
        }
        return std::nullopt;
    }
    FolderListing listing;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const bool matches = MatchesFileTypes(name, extensions);
        // Without a type from the file system, the entry itself is asked.
        const bool folder =
            entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && (recursive || matches) &&
                                        IsFolder(folder_fd, entry->d_name, AT_SYMLINK_NOFOLLOW));
        if (folder) {
            if (recursive) {
                listing.folders.emplace_back(name);
            }
            continue;
        }
        const bool may_be_link = entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
        if (matches && !(may_be_link && IsFolder(folder_fd, entry->d_name, 0))) {
            listing.files.emplace_back(name);
        }
    }
    ::closedir(dir);
    std::sort(listing.files.begin(), listing.files.end(), NameLess);
    std::sort(listing.folders.begin(), listing.folders.end(), NameLess);
    return listing;
}

// Opens again the folder of `level` above `child` (closed when its handle is
// gone too), checking that it is still the same folder; its path is the
// fallback, good only within the system's path limit.
FolderHandle ReopenParent(const FolderHandle& child, const FolderLevel& level,
                          const std::string& path, int& error) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    const auto same = [&](const FolderHandle& handle) {
        struct stat st {};
        return handle.open() && ::fstat(handle.fd(), &st) == 0 && st.st_dev == level.device &&
               st.st_ino == level.inode;
    };
    if (child.open()) {
        FolderHandle up(::openat(child.fd(), "..", kFlags));
        if (same(up)) {
            return up;
        }
    }
    FolderHandle by_path(::open(path.c_str(), kFlags));
    error = by_path.open() ? ENOENT : errno;  // ENOENT: moved away during the walk
    if (same(by_path)) {
        return by_path;
    }
    return {};
}

// `path` followed by "/" unless it already ends with one.
void AppendSeparator(std::string& path) {
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
}

}  // namespace

// The walk below one folder named on the command line: its files and, with
// `recursive`, its sub-folders depth first, a folder's files before its
// sub-folders. It keeps one path text that grows and shrinks, a stack of
// levels instead of the native one, and at most kOpenFolderLimit handles,
// so that memory stays linear in the depth of the tree (and the size of the
// largest folder), and no depth exhausts the stack or the handles. Folders
// are opened relative to their parent's handle, so paths longer than the
// system's path limit still work.
class InputWalker::FolderWalk {
public:
    FolderWalk(bool recursive, const std::vector<std::string>& extensions,
               std::deque<InputFile>& out)
        : recursive_(recursive), extensions_(extensions), out_(out) {}

    // Lists the folder opened as `handle` (named `path`).
    void Start(FolderHandle handle, std::string path) {
        path_ = std::move(path);
        Enter(std::move(handle));
    }

    bool Finished() const { return levels_.empty(); }

    // Enters the next sub-folder, or climbs back up from a finished one.
    void Step() {
        FolderLevel& level = levels_.back();
        if (level.next_folder == level.folders.size()) {
            const FolderHandle finished = std::move(level.handle);
            levels_.pop_back();
            if (finished.open()) {
                --open_levels_;
            }
            if (levels_.empty() || levels_.back().handle.open()) {
                return;
            }
            // Back up to a level whose handle was given up on the way down.
            FolderLevel& parent = levels_.back();
            const std::string parent_path = path_.substr(0, parent.path_length);
            int error = 0;
            parent.handle = ReopenParent(finished, parent, parent_path, error);
            if (parent.handle.open()) {
                ++open_levels_;
            } else {
                // The rest of that folder is out of reach.
                out_.push_back({parent_path, ErrorText(error)});
                parent.next_folder = parent.folders.size();
            }
            return;
        }
        const std::string& name = level.folders[level.next_folder++];
        path_.resize(level.path_length);
        AppendSeparator(path_);
        path_ += name;
        // Not through a symbolic link put there since the listing.
        FolderHandle folder(::openat(level.handle.fd(), name.c_str(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.open()) {
            out_.push_back({path_, ErrorText(errno)});
            return;
        }
        Enter(std::move(folder));
    }

private:
    // Lists the folder whose handle is open and whose path `path_` holds:
    // its files go out, a level for its sub-folders goes on the stack.
    void Enter(FolderHandle folder) {
        struct stat st {};
        if (::fstat(folder.fd(), &st) != 0) {
            out_.push_back({path_, ErrorText(errno)});
            return;
        }
        int error = 0;
        std::optional<FolderListing> listing =
            ListFolder(folder.fd(), recursive_, extensions_, error);
        if (!listing) {
            out_.push_back({path_, ErrorText(error)});
            return;
        }
        const size_t path_length = path_.size();
        AppendSeparator(path_);
        for (const std::string& name : listing->files) {
            out_.push_back({path_ + name, std::nullopt});
        }
        path_.resize(path_length);
        if (listing->folders.empty()) {
            return;
        }
        if (open_levels_ == kOpenFolderLimit) {
            levels_[levels_.size() - open_levels_].handle.Close();
            --open_levels_;
        }
        levels_.push_back(
            {std::move(folder), st.st_dev, st.st_ino, path_length, std::move(listing->folders), 0});
        ++open_levels_;
    }

    bool recursive_;
    const std::vector<std::string>& extensions_;
    std::deque<InputFile>& out_;
    std::string path_;
    std::vector<FolderLevel> levels_;
    size_t open_levels_ = 0;  // the deepest levels, whose handles are open
};

InputWalker::InputWalker(std::vector<std::string> paths, bool recursive,
                         const std::string& filetypes)
    : paths_(std::move(paths)), extensions_(SplitFileTypes(filetypes)),
      walk_(std::make_unique<FolderWalk>(recursive, extensions_, ready_)) {}

InputWalker::~InputWalker() = default;

std::optional<InputFile> InputWalker::Next() {
    while (ready_.empty()) {
        if (!walk_->Finished()) {
            walk_->Step();
            continue;
        }
        if (next_path_ == paths_.size()) {
            return std::nullopt;
        }
        const std::string& path = paths_[next_path_++];
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            // A folder named on the command line is taken even through a
            // symbolic link.
            FolderHandle folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!folder.open()) {
                ready_.push_back({path, ErrorText(errno)});
                continue;
            }
            walk_->Start(std::move(folder), path);
        } else {
            ready_.push_back({path, std::nullopt});
        }
    }
    InputFile next = std::move(ready_.front());
    ready_.pop_front();
    return next;
}

bool NameLess(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a);
    const std::string lb = AsciiLower(b);
    if (la != lb) {
        return la < lb;
    }
    return a < b;
}

std::vector<InputFile> CollectInputFiles(const std::vector<std::string>& paths, bool recursive,
                                         const std::string& filetypes) {
    InputWalker walker(paths, recursive, filetypes);
    std::vector<InputFile> out;
    while (std::optional<InputFile> input = walker.Next()) {
        out.push_back(std::move(*input));
    }
    return out;
}

bool PathListReader::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (!error_.empty()) {
            return false;
        }
        if (!nul_separated_ && c == '\0') {
            // A NUL-separated list after all: what came before the first NUL
            // is its first entry, lines and all.
            nul_separated_ = true;
            paths_.clear();
            empty_run_ = 0;
            entry_number_ = 1;
            if (prefix_.size() > kLongestListedPath) {
                return Refuse(EntryName() + " is longer than the longest path (" +
                              std::to_string(kLongestListedPath) + " bytes)");
            }
            entry_ = std::move(prefix_);
            prefix_.clear();
            if (!EndEntry()) {
                return false;
            }
            continue;
        }
        if (!nul_separated_ && prefix_.size() <= kLongestListedPath) {
            prefix_ += c;
        }
        if (c == (nul_separated_ ? '\0' : '\n')) {
            if (!EndEntry()) {
                return false;
            }
            continue;
        }
        entry_ += c;
        // Room for the CR of a CR LF line end.
        if (entry_.size() > kLongestListedPath + 1) {
            return Refuse(EntryName() + " is longer than the longest path (" +
                          std::to_string(kLongestListedPath) + " bytes)");
        }
    }
    return error_.empty();
}

bool PathListReader::Finish() {
    return error_.empty() && (entry_.empty() || EndEntry());
}

bool PathListReader::EndEntry() {
    std::string entry = std::move(entry_);
    entry_.clear();
    if (!nul_separated_ && entry.ends_with('\r')) {
        entry.pop_back();
    }
    if (entry.size() > kLongestListedPath) {
        return Refuse(EntryName() + " is longer than the longest path (" +
                      std::to_string(kLongestListedPath) + " bytes)");
    }
    if (entry.empty()) {
        if (empty_run_++ == 0) {
            empty_run_start_ = entry_number_;
        }
        if (empty_run_ > kMostEmptyListEntries) {
            entry_number_ = empty_run_start_;
            return Refuse("more than " + std::to_string(kMostEmptyListEntries) + " empty " +
                          (nul_separated_ ? "entries" : "lines") + " in a row from " + EntryName() +
                          ": it is no list of paths");
        }
    } else {
        empty_run_ = 0;
        paths_.push_back(std::move(entry));
    }
    ++entry_number_;
    return true;
}

bool PathListReader::Refuse(const std::string& why) {
    error_ = why;
    paths_.clear();
    return false;
}

std::string PathListReader::EntryName() const {
    return (nul_separated_ ? "entry " : "line ") + std::to_string(entry_number_);
}

std::variant<std::vector<std::string>, std::string> ReadPathList(int fd) {
    PathListReader reader;
    std::array<char, 65536> piece{};
    for (;;) {
        const ssize_t got = ::read(fd, piece.data(), piece.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return ErrorText(errno);
        }
        if (got == 0) {
            break;
        }
        if (!reader.Feed({piece.data(), static_cast<size_t>(got)})) {
            return reader.Error();
        }
    }
    if (!reader.Finish()) {
        return reader.Error();
    }
    return reader.TakePaths();
}

}  // namespace vandrel::cli
