#pragma once

#include <string>
#include <vector>

namespace vandrel {

// A folder as the folder tree hands it out: its path (for display, for
// navigation and as favourite label) and its encoded id list.
struct FolderRef {
    std::string path;
    std::string encoded;  // the id list as upper-case hexadecimal text
};

// Where the folder tree sends what the user picked (the view, in the program).
class TreeListener {
public:
    virtual ~TreeListener() = default;
    // Synchronously, whenever the selected folder changes.
    virtual void FolderSelected(const FolderRef& folder) = 0;
    // Files named on the command line, to be listed (posted, not handled at once).
    virtual void PostFilesGiven(std::vector<std::string> paths) = 0;
};

// Busy states the file list announces to the frame.
enum BusyState : int { kBusyIdle = 0, kBusyScanning = 1, kBusyPaused = 2, kBusyResumed = 3 };

// Status bar panes.
enum StatusPane : int { kPaneMain = 0, kPaneFrames = 1, kPaneWorker = 2 };

// Commands of the Edit menu that the view passes on.
enum class EditCommand { kCut, kCopy, kPaste };

}  // namespace vandrel
