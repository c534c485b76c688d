#pragma once

#include <cstddef>
#include <string>

namespace vandrel::test {

// A tiny file system of its own (a tmpfs) for tests of writes that fail: it
// can be filled up or made read-only. Mounting needs root; where it is not
// allowed, available() is false and reason() says why, and the test skips.
class SmallFileSystem {
public:
    explicit SmallFileSystem(size_t kilobytes = 300);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool available() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // Takes up all free space with a filler file.
    void Fill();
    // Every later write fails, whoever asks.
    bool MakeReadOnly();

private:
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace vandrel::test
