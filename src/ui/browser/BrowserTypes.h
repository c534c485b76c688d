#pragma once

#include <string>
#include <vector>

#include <QString>

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

// What the file list announces to the frame about its worker (the busy
// state), as the numbers the frame's request carries.
enum class ListBusy : int { kIdle = 0, kScanning = 1, kPaused = 2, kResumed = 3 };

// How much of each file the list's scans read: as many frames as the
// settings say, or every frame (F6, "Complete Scan").
enum class ListReadDepth { kFrameLimit, kEveryFrame };

// Whether a scan walks the frames (for the findings and the columns that
// need it) or reads only the headers and tags.
enum class BatchWalk { kHeadersOnly, kWalk };

// Where the file list sends what the frame shows and what the view opens.
class ListListener {
public:
    virtual ~ListListener() = default;
    virtual void StatusText(int pane, const QString& text) = 0;
    virtual void BusyState(ListBusy state) = 0;
    virtual void OpenDetails(const std::string& path) = 0;
    virtual void OpenSettings(int page) = 0;
};

// Status bar panes.
enum StatusPane : int { kPaneMain = 0, kPaneFrames = 1, kPaneWorker = 2 };

// Commands of the Edit menu that the view passes on.
enum class EditCommand { kCut, kCopy, kPaste };

}  // namespace vandrel
