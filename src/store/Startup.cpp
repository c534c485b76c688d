#include "store/Startup.h"

#include "engine/media/MediaFileRegistry.h"
#include "store/ProcessValues.h"

namespace vandrel {

std::unique_ptr<CIniFile> StartUp() {
    auto settings = std::make_unique<CIniFile>();
    settings->Load();
    for (const auto& prototype : RegisteredMediaFileTypes()) {
        prototype->LoadPageSettings(*settings);
    }
    // The attribute catalog is a constant table (Catalog()): nothing to build.
    return settings;
}

void ShutDown(CWindowWithSettings* main_frame) {
    if (main_frame != nullptr) {
        EnsureApplicationFolder();
        CIniFile settings;
        main_frame->SaveSettings(settings);
        for (const auto& prototype : RegisteredMediaFileTypes()) {
            prototype->SavePageSettings(settings);
        }
        settings.Save();
    }
}

}  // namespace vandrel
