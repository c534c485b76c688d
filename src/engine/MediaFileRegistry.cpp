#include "MediaFileRegistry.h"

#include "MpcFile.h"
#include "VandrelMp3File.h"
#include "WaveFile.h"

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

void RegisterStandardMediaFileTypes() {
    RegisterMediaFileType(CVandrelMp3File());
    RegisterMediaFileType(CMpcFile());
    RegisterMediaFileType(CWaveFile());
}

}  // namespace vandrel
