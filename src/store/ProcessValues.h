#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// Values computed once at start-up and only read afterwards.

// Computes the values from the running executable and its arguments (those
// after the program's name). Called first thing by main; until then the
// values are those of an executable started without arguments.
void InitProcessValues(int argc, const char* const* argv);
// The same from a given executable path, for tests and tools.
void InitProcessValues(const std::string& executable_path, std::vector<std::string> arguments);

// Where the program keeps its settings and cache: $VANDREL_HOME when set; else
// the executable's folder when it is writable (a portable or build-folder
// copy); else $XDG_CONFIG_HOME/vandrel, by default ~/.config/vandrel.
const std::string& ApplicationFolder();
// Creates the application folder (and its parents) when it is missing, before
// something is written there. False when it cannot be made.
bool EnsureApplicationFolder();
// <application folder>/<executable base name>.ini.
std::string SettingsFilePath();
// <log folder>/<executable base name>.log, where the log folder is the
// application folder, but for an installed program the user's state folder:
// $XDG_STATE_HOME/vandrel, by default ~/.local/state/vandrel.
std::string LogFilePath();
// The arguments after the program's name, as given.
const std::vector<std::string>& CommandLineArguments();

// "Vandrel 3.1" for version 3.1.0; a non-zero patch number follows the minor
// one directly ("Vandrel 3.14" for 3.1.4).
const std::string& VersionText();
// "beta 3" for a build marked as beta 3; empty for a release.
const std::string& BetaText();

// The rules behind the values above, exposed for tests.
std::string BuildVersionText(int major, int minor, int patch);
std::string BuildBetaText(int beta);
// The executable's file name without its folders and without everything from
// its last "." on; a name without "." stays whole ("vandrel" -> "vandrel",
// "vandrel.bin" -> "vandrel"). A "." in a folder name does not count.
std::string ExecutableBaseName(std::string_view executable_path);
std::string ApplicationFolderFor(const std::string& executable_path);
std::string LogFolderFor(const std::string& executable_path);

// The folders that stand for the Desktop and My Documents: the file-system
// root (the top of the folder tree) and the user's home folder. Empty when the
// home folder cannot be found. Paths are never case-folded.
std::string GetDesktopPath();
std::string GetMyDocumentsPath();

}  // namespace vandrel
