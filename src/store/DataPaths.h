#pragma once

#include <string>

namespace vandrel {

// Where the files shipped with the program are: the HTML template, the
// example files, the user guide.
//
//   - VANDREL_DATA_DIR, when set (tests, relocated installs);
//   - <prefix>/share/vandrel, for a program installed in <prefix>/bin;
//   - the source tree's data folder, for a program run from its build folder
//     (left out of builds made for packages).
//
// Empty when none of them exists.
std::string DataFolder();
// The folder of the running program's executable; empty when it cannot be told.
std::string ExecutableFolder();
// The same for an executable in `executable_folder`, without looking at the
// environment.
std::string DataFolderFor(const std::string& executable_folder);

// DataFolder()/examples, the example files a first start opens; empty when
// there is no such folder.
std::string ExamplesFolder();

// The user guide that "Online Documentation" opens:
//
//   - <prefix>/share/doc/vandrel/user-guide.html, for a program installed in
//     <prefix>/bin;
//   - for a program run from its build folder, the page generated in the build
//     tree, else the guide's Markdown source in the source tree (both left out
//     of builds made for packages).
//
// Empty when none of them exists.
std::string UserGuidePath();
// The same for an executable in `executable_folder`.
std::string UserGuidePathFor(const std::string& executable_folder);

}  // namespace vandrel
