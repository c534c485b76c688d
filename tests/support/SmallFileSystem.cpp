#include "support/SmallFileSystem.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace vandrel::test {

SmallFileSystem::SmallFileSystem(size_t kilobytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-fs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        reason_ = "cannot make a mount point";
        return;
    }
    path_ = pattern;
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        reason_ = "cannot mount a small file system here (" +
                  std::generic_category().message(errno) + "); run the tests as root to cover it";
        return;
    }
    mounted_ = true;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) {
        ::umount2(path_.c_str(), MNT_DETACH);
    }
    if (!path_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
}

void SmallFileSystem::Fill() {
    std::ofstream filler(File("filler"), std::ios::binary | std::ios::app);
    const std::vector<char> block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        filler.flush();
    }
    // The last bytes that fit, one at a time.
    filler.clear();
    while (filler.put('x') && filler.flush()) {
    }
}

bool SmallFileSystem::MakeReadOnly() {
    return mounted_ &&
           ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

}  // namespace vandrel::test
