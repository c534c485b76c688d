#pragma once

#include <memory>
#include <vector>

#include "engine/media/MediaFileInterface.h"

namespace vandrel {

// The process-wide ordered list of media-file prototypes. A file is opened by
// the first prototype whose probe accepts it. Registration happens at start-up
// and clearing at shut-down, while no worker runs.

// Stores a clone of the given object; the caller keeps its own.
void RegisterMediaFileType(const CMediaFileInterface& prototype);
// Destroys every prototype.
void ClearMediaFileTypes();
const std::vector<std::unique_ptr<CMediaFileInterface>>& RegisteredMediaFileTypes();

// Registers the program's file kinds in their probing order: MPEG audio,
// MPEG Plus, WAVE.
void RegisterStandardMediaFileTypes();

// The program's file kinds, registered while it lives and destroyed when it
// goes. When kinds are registered already it leaves them alone.
class MediaFileTypesScope {
public:
    MediaFileTypesScope();
    ~MediaFileTypesScope();
    MediaFileTypesScope(const MediaFileTypesScope&) = delete;
    MediaFileTypesScope& operator=(const MediaFileTypesScope&) = delete;

private:
    bool registered_;
};

}  // namespace vandrel
