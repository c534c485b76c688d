#pragma once

#include <cstdint>
#include <functional>
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
// A file of `size` bytes that starts with `head` and holds it once more in
// its middle; the rest is a hole that takes no disk space.
void WriteSparseFile(const std::string& path, uint64_t size, const std::vector<uint8_t>& head);

// A committed fixture under tests/data/audio.
std::string FixturePath(std::string_view name);
// Any file under tests/data.
std::string DataPath(std::string_view relative);
// The shared real-world samples, when that folder exists next to the checkout.
std::optional<std::string> SamplesDir();

// Runs `body` in a child process that has the rights of user "nobody", so
// that file permissions apply even when the tests run as root. The child's
// exit status is body's return value; what body puts in its string comes
// back in `output`. Nothing when no such child can be made.
struct ChildResult {
    int status = -1;
    std::string output;
};
std::optional<ChildResult> RunAsNobody(const std::function<int(std::string& output)>& body);

}  // namespace vandrel::test
