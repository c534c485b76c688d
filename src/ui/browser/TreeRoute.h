#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/browser/IdList.h"

namespace vandrel {

// `name` in `folder`, with one "/" between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The steps of a path below "/": empty and "." steps dropped, ".." taking
// the step before it back. The tree's items are reached by these names, so
// the path is read as written, without following links.
std::vector<std::string> PathSteps(std::string_view path);

// The path as the tree names it: absolute, no empty, "." or ".." steps, no
// trailing "/". A relative path counts from "/"; an empty one stays empty.
std::string NormalPath(std::string_view path);

// Whether `path` is `folder` or lies below it (both normal paths).
bool IsUnder(const std::string& path, const std::string& folder);

// How the folder tree reaches a folder given as a path, found from the path
// and the file system alone: the item to start from and the steps below it.
struct TreeRoute {
    // Everything lies below "/", but a path inside the home folder goes
    // through the "Home" item.
    enum class Start { kRoot, kHome };
    Start start = Start::kRoot;
    // The steps below the start item; an empty list for the start item
    // itself. Nothing when the path names no folder there (or a name too
    // long for an id list), and for an empty path.
    std::optional<IdList> steps;
    // Whether the encoded id list is the way when the steps lead nowhere: not
    // when the path is the start item, nor when the home folder is gone.
    bool try_encoded = false;
};

using FolderTest = std::function<bool(const std::string& path)>;

// The route to `path` in a tree whose root is the folder `root` and whose
// "Home" item is the folder `home` (empty when the tree has none). Paths keep
// their case: file names differ by case alone.
TreeRoute RouteTo(std::string_view path, const std::string& root, const std::string& home,
                  const FolderTest& is_folder);

}  // namespace vandrel
