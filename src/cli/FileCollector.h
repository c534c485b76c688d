#pragma once

#include <climits>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vandrel::cli {

struct InputFile {
    std::string path;
    // Set when the path could not even be listed (an unreadable folder).
    std::optional<std::string> error;
};

// Gives one file of what to analyse after the other, nothing at the end.
using InputSource = std::function<std::optional<InputFile>()>;

// Expands the command-line paths into the files to analyse, one at a time, in
// output order: a file stands for itself whatever its name; a folder gives its
// files whose extension is in `filetypes`, in name order without regard to
// case, and with `recursive` then its sub-folders the same way, depth first.
// A folder is listed when the walk reaches it: the walker holds the listings
// of the folders it is inside of, never the whole list, so that the first
// file of a large tree comes at once and memory does not grow with the tree.
class InputWalker {
public:
    InputWalker(std::vector<std::string> paths, bool recursive, const std::string& filetypes);
    ~InputWalker();
    InputWalker(const InputWalker&) = delete;
    InputWalker& operator=(const InputWalker&) = delete;

    std::optional<InputFile> Next();

private:
    class FolderWalk;

    std::vector<std::string> paths_;
    size_t next_path_ = 0;
    std::vector<std::string> extensions_;
    std::deque<InputFile> ready_;  // listed, not yet given out
    std::unique_ptr<FolderWalk> walk_;
};

// The longest path a list may hold: the system's path limit, less the zero
// byte that ends a path in the system's calls.
inline constexpr size_t kLongestListedPath = PATH_MAX - 1;
// More empty entries in a row than a list of paths holds: /dev/zero, say.
inline constexpr size_t kMostEmptyListEntries = PATH_MAX;

// Reads a list of paths as it comes, a piece at a time: separated by NUL
// bytes when it holds any (as `find -print0` writes them), else one per line
// (a CR before the line break is dropped). Empty entries are skipped. What
// it holds stays bounded by the paths themselves: an entry longer than
// kLongestListedPath, or more than kMostEmptyListEntries empty ones in a row,
// ends the list with an error that names the line (or NUL-separated entry).
class PathListReader {
public:
    // False once the list is refused.
    bool Feed(std::string_view bytes);
    // The end of the list; false when it is refused.
    bool Finish();
    std::vector<std::string> TakePaths() { return std::move(paths_); }
    const std::string& Error() const { return error_; }

private:
    bool EndEntry();
    bool Refuse(const std::string& why);
    std::string EntryName() const;

    bool nul_separated_ = false;
    // Everything before the first NUL, which is the first path once one
    // comes; kept only while it is short enough to be one.
    std::string prefix_;
    std::string entry_;  // the line or entry being read
    size_t entry_number_ = 1;
    size_t empty_run_ = 0;
    size_t empty_run_start_ = 0;
    std::vector<std::string> paths_;
    std::string error_;
};

// Reads the list at `fd` (a file, a FIFO, standard input) to its end: its
// paths, or why the list is refused (the system's reason for a failed read,
// or the PathListReader's).
std::variant<std::vector<std::string>, std::string> ReadPathList(int fd);

// All files of an InputWalker at once.
std::vector<InputFile> CollectInputFiles(const std::vector<std::string>& paths, bool recursive,
                                         const std::string& filetypes);

// Name order without regard to ASCII case; names equal but for case keep a
// fixed byte order.
bool NameLess(const std::string& a, const std::string& b);

}  // namespace vandrel::cli
