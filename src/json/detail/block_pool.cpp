#include "json/detail/block_pool.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define CORVELLE_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVELLE_POOL_BYPASS 1
#endif
#endif

namespace corvelle::detail {

#if defined(CORVELLE_POOL_BYPASS)

void* PoolAlloc(std::size_t bytes) {
  return std::malloc(bytes == 0 ? 1 : bytes);
}
void PoolFree(void* block, std::size_t) {
  std::free(block);
}

#else

namespace {

constexpr std::size_t kGranule = 8;
constexpr std::size_t kLargest = 256;  // bigger blocks go straight to malloc
constexpr std::size_t kClasses = kLargest / kGranule;
constexpr std::size_t kRegionBytes = 64 * 1024;

struct FreeCell {
  FreeCell* next;
};

// Trivially constructed and never destroyed: blocks freed after a thread ends must find nothing torn
// down, and regions stay reachable through the list below.
struct ThreadPool {
  FreeCell* freeLists[kClasses];
  char* bump;
  char* bumpEnd;
};

thread_local ThreadPool pool;

// Every region starts with a link to the one made before it, so the whole set stays reachable.
std::atomic<void*> regionChain{nullptr};

bool NewRegion() {
  auto* region = static_cast<char*>(std::malloc(kRegionBytes));
  if (region == nullptr) return false;
  void* previous = regionChain.load(std::memory_order_relaxed);
  do {
    *reinterpret_cast<void**>(region) = previous;
  } while (!regionChain.compare_exchange_weak(previous, region, std::memory_order_release,
                                              std::memory_order_relaxed));
  pool.bump = region + kGranule;
  pool.bumpEnd = region + kRegionBytes;
  return true;
}

}  // namespace

void* PoolAlloc(std::size_t bytes) {
  if (bytes > kLargest) return std::malloc(bytes);
  const std::size_t cls = bytes == 0 ? 0 : (bytes - 1) / kGranule;
  if (FreeCell* cell = pool.freeLists[cls]) {
    pool.freeLists[cls] = cell->next;
    return cell;
  }
  const std::size_t size = (cls + 1) * kGranule;
  if (static_cast<std::size_t>(pool.bumpEnd - pool.bump) < size && !NewRegion()) return nullptr;
  void* block = pool.bump;
  pool.bump += size;
  return block;
}

void PoolFree(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  if (bytes > kLargest) {
    std::free(block);
    return;
  }
  const std::size_t cls = bytes == 0 ? 0 : (bytes - 1) / kGranule;
  auto* cell = static_cast<FreeCell*>(block);
  cell->next = pool.freeLists[cls];
  pool.freeLists[cls] = cell;
}

#endif

}  // namespace corvelle::detail
