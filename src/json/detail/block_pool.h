#pragma once

#include <cstddef>

// Small blocks for the JSON tree: nodes, key and string blocks, item lists. A tree is made of hundreds of
// thousands of such blocks, so they come from per-thread free lists carved out of large regions instead
// of one malloc each. A block may be freed on any thread and by any tree: the pool does not tie a block
// to the tree that made it, so nodes that outlive their tree need no care. Regions are kept for reuse
// for the life of the process.
//
// Under AddressSanitizer every block is a plain malloc, so the sanitizer sees each one on its own.
#if defined(__SANITIZE_ADDRESS__)
#define CORVELLE_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVELLE_POOL_BYPASS 1
#endif
#endif

namespace corvelle::detail {

#if defined(CORVELLE_POOL_BYPASS)

[[nodiscard]] void* PoolAlloc(std::size_t bytes);
void PoolFree(void* block, std::size_t bytes);

#else

constexpr std::size_t kPoolGranule = 8;
constexpr std::size_t kPoolLargest = 256;  // bigger blocks go straight to malloc
constexpr std::size_t kPoolClasses = kPoolLargest / kPoolGranule;

struct PoolCell {
  PoolCell* next;
};

// Trivially constructed and never destroyed: blocks freed after a thread ends must find nothing torn
// down, and the regions stay reachable through a list of their own.
struct ThreadPool {
  PoolCell* freeLists[kPoolClasses];
  char* bump;
  char* bumpEnd;
};

extern thread_local ThreadPool threadPool;

// The slow paths: a new region, or a block too large for the pool.
[[nodiscard]] void* PoolAllocSlow(std::size_t bytes);
void PoolFreeLarge(void* block);

// A block of at least `bytes` bytes, 8-byte aligned; nullptr when memory runs out.
[[nodiscard]] inline void* PoolAlloc(std::size_t bytes) {
  if (bytes > kPoolLargest) return PoolAllocSlow(bytes);
  const std::size_t cls = bytes == 0 ? 0 : (bytes - 1) / kPoolGranule;
  ThreadPool& pool = threadPool;
  if (PoolCell* cell = pool.freeLists[cls]) {
    pool.freeLists[cls] = cell->next;
    // Freed cells are scattered; fetching the next one now hides the miss of the next allocation.
    __builtin_prefetch(cell->next);
    return cell;
  }
  const std::size_t size = (cls + 1) * kPoolGranule;
  if (static_cast<std::size_t>(pool.bumpEnd - pool.bump) < size) return PoolAllocSlow(bytes);
  void* block = pool.bump;
  pool.bump += size;
  return block;
}

// Gives back a block of `bytes` bytes (the same size it was asked for with); nullptr is ignored.
inline void PoolFree(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  if (bytes > kPoolLargest) {
    PoolFreeLarge(block);
    return;
  }
  const std::size_t cls = bytes == 0 ? 0 : (bytes - 1) / kPoolGranule;
  auto* cell = static_cast<PoolCell*>(block);
  ThreadPool& pool = threadPool;
  cell->next = pool.freeLists[cls];
  pool.freeLists[cls] = cell;
}

#endif

}  // namespace corvelle::detail
