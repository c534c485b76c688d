#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace vandrel {

// The logging switch. Worker threads read it too; a change need not be seen
// by them at once.
bool LoggingEnabled();
void SetLogging(bool on);

// The log sink: while logging is on, appends the line and a line feed to the
// log file that StartLogFile named, each line whole (one write), from any
// thread. With logging off it returns at once, before any lock.
void Log(std::string_view line);

// The form for lines that cost something to build: `build` runs only while
// logging is on.
//   Log([&] { return "CDataCache::Load: " + path; });
template <typename BuildLine>
requires std::invocable<BuildLine&>
void Log(BuildLine&& build) {
    if (LoggingEnabled()) {
        const std::string line(build());
        Log(std::string_view(line));
    }
}

// Makes `path` the log file: the file there is deleted, so each run starts a
// fresh log, and made again (its folder too) at the first line. An empty path
// writes the lines nowhere.
void StartLogFile(const std::string& path);

// A log stops growing at this size, with a line that says so.
inline constexpr int64_t kMaxLogFileBytes = int64_t{64} * 1024 * 1024;

}  // namespace vandrel
