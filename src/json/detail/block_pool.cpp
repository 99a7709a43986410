#include "json/detail/block_pool.h"

#include <atomic>
#include <cstdlib>

namespace corvelle::detail {

#if defined(CORVELLE_POOL_BYPASS)

void* PoolAlloc(std::size_t bytes) {
  return std::malloc(bytes == 0 ? 1 : bytes);
}
void PoolFree(void* block, std::size_t) {
  std::free(block);
}

#else

thread_local ThreadPool threadPool;

namespace {

constexpr std::size_t kRegionBytes = 64 * 1024;

// Every region starts with a link to the one made before it, so the whole set stays reachable.
std::atomic<void*> regionChain{nullptr};

}  // namespace

void* PoolAllocSlow(std::size_t bytes) {
  if (bytes > kPoolLargest) return std::malloc(bytes);
  auto* region = static_cast<char*>(std::malloc(kRegionBytes));
  if (region == nullptr) return nullptr;
  void* previous = regionChain.load(std::memory_order_relaxed);
  do {
    *reinterpret_cast<void**>(region) = previous;
  } while (!regionChain.compare_exchange_weak(previous, region, std::memory_order_release,
                                              std::memory_order_relaxed));
  ThreadPool& pool = threadPool;
  pool.bump = region + kPoolGranule;
  pool.bumpEnd = region + kRegionBytes;
  return PoolAlloc(bytes);
}

void PoolFreeLarge(void* block) {
  std::free(block);
}

#endif

}  // namespace corvelle::detail
