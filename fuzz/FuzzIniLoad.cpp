// The settings file's reader, the typed accessors and a save.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "store/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    const std::string path = fuzz::WriteTempFile(data, size, "settings.ini");
    CIniFile ini(path);
    ini.Load();
    ini.GetInt("list_settings", "frameres", 1000);
    ini.GetString("tree_settings", "initdir", "");
    ini.SetInt("list_settings", "colwidth2_", 120, 3);
    ini.Save();
    return 0;
}
