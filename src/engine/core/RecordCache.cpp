#include "engine/core/RecordCache.h"

#include <atomic>

namespace vandrel {

namespace {
std::atomic<RecordCache*> g_cache{nullptr};
}

RecordCache* AnalysisCache() {
    return g_cache.load(std::memory_order_acquire);
}

AnalysisCacheScope::AnalysisCacheScope(RecordCache* cache)
    : previous_(g_cache.exchange(cache, std::memory_order_acq_rel)) {}

AnalysisCacheScope::~AnalysisCacheScope() {
    g_cache.store(previous_, std::memory_order_release);
}

}  // namespace vandrel
