#include "store/Log.h"

#include <atomic>

namespace vandrel {

namespace {
// Off until the main frame switches it on; relaxed, as nothing else is
// ordered by it.
std::atomic<bool> g_logging{false};
}  // namespace

bool LoggingEnabled() {
    return g_logging.load(std::memory_order_relaxed);
}

void SetLogging(bool on) {
    g_logging.store(on, std::memory_order_relaxed);
}

void Log(std::string_view /*line*/) {}

}  // namespace vandrel
