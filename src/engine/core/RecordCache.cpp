#include "engine/core/RecordCache.h"

#include <atomic>

namespace vandrel {

namespace {
std::atomic<RecordCache*> g_cache{nullptr};
}

RecordCache* AnalysisCache() {
    return g_cache.load(std::memory_order_acquire);
}

void SetAnalysisCache(RecordCache* cache) {
    g_cache.store(cache, std::memory_order_release);
}

}  // namespace vandrel
