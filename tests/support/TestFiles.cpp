#include "support/TestFiles.h"

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace vandrel::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vandrel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore permissions a test may have taken away so everything can go.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void WriteText(const std::string& path, std::string_view text) {
    WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string FixturePath(std::string_view name) {
    return std::string(VANDREL_TEST_DATA) + "/audio/" + std::string(name);
}

std::string DataPath(std::string_view relative) {
    return std::string(VANDREL_TEST_DATA) + "/" + std::string(relative);
}

std::optional<std::string> SamplesDir() {
    std::error_code ec;
    if (fs::is_directory(VANDREL_SAMPLES, ec)) {
        return std::string(VANDREL_SAMPLES);
    }
    return std::nullopt;
}

void WriteSparseFile(const std::string& path, uint64_t size, const std::vector<uint8_t>& head) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(head.data()),
                  static_cast<std::streamsize>(head.size()));
        out.seekp(static_cast<std::streamoff>(size / 2));
        out.write(reinterpret_cast<const char*>(head.data()),
                  static_cast<std::streamsize>(head.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
    }
    std::filesystem::resize_file(path, size);
}

std::optional<ChildResult> RunAsNobody(const std::function<int(std::string& output)>& body) {
    const passwd* nobody = ::getpwnam("nobody");
    int fds[2];
    if (nobody == nullptr || ::pipe(fds) != 0) {
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) {
            ::_exit(127);
        }
        std::string output;
        const int status = body(output);
        for (size_t done = 0; done < output.size();) {
            const ssize_t n = ::write(fds[1], output.data() + done, output.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
        ::_exit(status);
    }
    ::close(fds[1]);
    ChildResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        result.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int wait_status = 0;
    if (::waitpid(pid, &wait_status, 0) != pid || !WIFEXITED(wait_status) ||
        WEXITSTATUS(wait_status) == 127) {
        return std::nullopt;
    }
    result.status = WEXITSTATUS(wait_status);
    return result;
}

}  // namespace vandrel::test
