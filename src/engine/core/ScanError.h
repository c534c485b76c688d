#pragma once

#include <stdexcept>
#include <string>

namespace vandrel {

// The one error type of the engine: a file that cannot be scanned. The message
// is the text shown to the user, byte for byte.
class ScanError : public std::runtime_error {
public:
    explicit ScanError(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr const char* kNoHeaderMessage = "Cannot find valid mp3 header, scanning failed\n";
inline constexpr const char* kLostHeaderMessage =
    "Hmm - I thought I'd found a header... \r\nPlease report this bug...\r\n";
inline constexpr const char* kFreeFormatMessage =
    "This file seems free format bitstream.\nFree format bitstream is not supported.\nSorry.\n";

}  // namespace vandrel
