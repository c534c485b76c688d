#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::test {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, std::string_view text);
std::vector<uint8_t> ReadFile(const std::string& path);

// A committed fixture under tests/data/audio.
std::string FixturePath(std::string_view name);
// Any file under tests/data.
std::string DataPath(std::string_view relative);
// The shared real-world samples, when that folder exists next to the checkout.
std::optional<std::string> SamplesDir();

// True when the process can read files whatever their permissions (root), so
// permission tests cannot fail the way they would for a user.
bool IgnoresFilePermissions();

}  // namespace vandrel::test
