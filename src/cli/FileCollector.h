#pragma once

#include <deque>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
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

// The paths of a list: separated by NUL bytes when it holds any (as `find
// -print0` writes them), else one per line (a CR before the line break is
// dropped). Empty entries are skipped.
std::vector<std::string> ReadPathList(std::istream& in);

// All files of an InputWalker at once.
std::vector<InputFile> CollectInputFiles(const std::vector<std::string>& paths, bool recursive,
                                         const std::string& filetypes);

// Name order without regard to ASCII case; names equal but for case keep a
// fixed byte order.
bool NameLess(const std::string& a, const std::string& b);

}  // namespace vandrel::cli
