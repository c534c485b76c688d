#include "ui/browser/TreeRoute.h"

#include <algorithm>

#include "store/Log.h"

namespace vandrel {

std::string JoinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> PathSteps(std::string_view path) {
    std::vector<std::string> steps;
    size_t at = 0;
    while (at <= path.size()) {
        const size_t slash = std::min(path.find('/', at), path.size());
        const std::string_view step = path.substr(at, slash - at);
        if (step == "..") {
            if (!steps.empty()) {
                steps.pop_back();
            }
        } else if (!step.empty() && step != ".") {
            steps.emplace_back(step);
        }
        at = slash + 1;
    }
    return steps;
}

std::string NormalPath(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    std::string normal;
    for (const std::string& step : PathSteps(path)) {
        normal += "/" + step;
    }
    return normal.empty() ? std::string("/") : normal;
}

bool IsUnder(const std::string& path, const std::string& folder) {
    if (folder == "/") {
        return !path.empty() && path.front() == '/';
    }
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

TreeRoute RouteTo(std::string_view given_path, const std::string& root, const std::string& home,
                  const FolderTest& is_folder) {
    const bool has_home = !home.empty();
    const bool home_bound = has_home && is_folder(home);
    if (has_home && !home_bound) {
        Log("CVandrelTree::BeginExpand failed to bind My Documents IShellFolder");
    }
    const std::string path = NormalPath(given_path);
    TreeRoute route;
    if (path == root) {
        route.steps = MakeIdList({});
        return route;
    }
    std::string base_path = root;
    bool base_bound = true;
    std::string part;
    if (has_home) {
        Log("CVandrelTree::BeginExpand Looking for My Documents folder in path...");
    }
    if (has_home && IsUnder(path, home)) {
        Log("CVandrelTree::BeginExpand Found My Documents folder...!");
        route.start = TreeRoute::Start::kHome;
        if (path == home) {
            route.steps = MakeIdList({});
        } else {
            Log("CVandrelTree::BeginExpand My Documents folder not equal to path.");
            part = path.substr(home.size());
            if (!part.empty() && part.front() == '/') {
                part.erase(0, 1);
                Log("CVandrelTree::BeginExpand Erasing backslash");
            }
            base_path = home;
            base_bound = home_bound;
        }
    } else if (IsUnder(path, root)) {
        part = path.substr(root.size());
    }

    if (part.empty()) {
        Log("CVandrelTree::BeginExpand variable 'part' is empty");
        return route;  // nothing more to look for
    }
    if (!base_bound) {
        Log("WARNING::   CVandrelTree::BeginExpand pShellFolder == NULL");
        return route;
    }
    route.try_encoded = true;
    // Only a folder has an item.
    if (is_folder(JoinPath(base_path, part))) {
        route.steps = MakeIdList(PathSteps(part));
    }
    if (!route.steps) {
        Log("CVandrelTree::BeginExpand failed to obtain display name");
    } else {
        Log([&] { return "\nCVandrelTree::BeginExpand about to expand to path :" + part; });
    }
    return route;
}

}  // namespace vandrel
