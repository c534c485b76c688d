#pragma once

#include <concepts>
#include <string>
#include <string_view>

namespace vandrel {

// The logging switch. Worker threads read it too; a change need not be seen
// by them at once.
bool LoggingEnabled();
void SetLogging(bool on);

// The log sink: takes a line while logging is on, and discards it. Nothing
// is written anywhere.
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

}  // namespace vandrel
