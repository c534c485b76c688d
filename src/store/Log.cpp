#include "store/Log.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace vandrel {

namespace {

// Off until the main frame switches it on; relaxed, as nothing else is
// ordered by it.
std::atomic<bool> g_logging{false};

constexpr std::string_view kFullNote = "The log stops here: it has reached its largest size.\n";

class LogFile {
public:
    ~LogFile() { Close(); }

    void Start(const std::string& path) {
        std::lock_guard lock(mutex_);
        Close();
        path_ = path;
        open_failed_ = false;
        full_ = false;
        bytes_ = 0;
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    void Write(std::string_view line) {
        std::lock_guard lock(mutex_);
        if (full_ || !Open()) {
            return;
        }
        std::string text;
        text.reserve(line.size() + 1);
        text.append(line);
        text += '\n';
        if (bytes_ + static_cast<int64_t>(text.size() + kFullNote.size()) > kMaxLogFileBytes) {
            text = kFullNote;
            full_ = true;
        }
        WriteAll(text);
    }

private:
    // guarded by mutex_
    bool Open() {
        if (fd_ >= 0) {
            return true;
        }
        if (path_.empty() || open_failed_) {
            return false;
        }
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, ec);
        }
        // Appending: every line lands at the end, whole, whoever else writes.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        // A log that cannot be made is not tried again for every line.
        open_failed_ = fd_ < 0;
        return fd_ >= 0;
    }

    void WriteAll(std::string_view text) {
        while (!text.empty()) {
            const ssize_t n = ::write(fd_, text.data(), text.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;  // a full disk loses the line, not the program
            }
            bytes_ += n;
            text.remove_prefix(static_cast<size_t>(n));
        }
    }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    std::mutex mutex_;
    std::string path_;          // guarded by mutex_
    int fd_ = -1;               // guarded by mutex_
    bool open_failed_ = false;  // guarded by mutex_
    bool full_ = false;         // guarded by mutex_
    int64_t bytes_ = 0;         // guarded by mutex_; written since the start
};

LogFile& TheLogFile() {
    static LogFile file;
    return file;
}

}  // namespace

bool LoggingEnabled() {
    return g_logging.load(std::memory_order_relaxed);
}

void SetLogging(bool on) {
    g_logging.store(on, std::memory_order_relaxed);
}

void Log(std::string_view line) {
    if (LoggingEnabled()) {
        TheLogFile().Write(line);
    }
}

void StartLogFile(const std::string& path) {
    TheLogFile().Start(path);
}

}  // namespace vandrel
