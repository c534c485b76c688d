#include "engine/media/MediaFileRegistry.h"

#include "engine/media/MpcFile.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/media/WaveFile.h"

namespace vandrel {

namespace {
std::vector<std::unique_ptr<CMediaFileInterface>>& Prototypes() {
    static std::vector<std::unique_ptr<CMediaFileInterface>> prototypes;
    return prototypes;
}
}  // namespace

void RegisterMediaFileType(const CMediaFileInterface& prototype) {
    Prototypes().push_back(prototype.Clone());
}

void ClearMediaFileTypes() {
    Prototypes().clear();
}

const std::vector<std::unique_ptr<CMediaFileInterface>>& RegisteredMediaFileTypes() {
    return Prototypes();
}

MediaFileTypesScope::MediaFileTypesScope() : registered_(Prototypes().empty()) {
    if (registered_) {
        RegisterStandardMediaFileTypes();
    }
}

MediaFileTypesScope::~MediaFileTypesScope() {
    if (registered_) {
        ClearMediaFileTypes();
    }
}

void RegisterStandardMediaFileTypes() {
    RegisterMediaFileType(CVandrelMp3File());
    RegisterMediaFileType(CMpcFile());
    RegisterMediaFileType(CWaveFile());
}

}  // namespace vandrel
