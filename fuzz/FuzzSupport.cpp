#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace vandrel::fuzz {

namespace {
const std::string& TempFolder() {
    static const std::string folder = [] {
        std::string pattern = "/tmp/vandrel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no temporary folder");
        }
        return pattern;
    }();
    return folder;
}
}  // namespace

std::string WriteTempFile(const uint8_t* data, size_t size, const char* name) {
    const std::string path = TempFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

std::vector<std::string> SplitFields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(count);
    size_t field = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && field + 1 < count) {
            ++field;
        } else {
            fields[field] += static_cast<char>(data[i]);
        }
    }
    return fields;
}

}  // namespace vandrel::fuzz
