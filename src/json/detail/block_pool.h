#pragma once

#include <cstddef>

// Small blocks for the JSON tree: nodes, key and string blocks, item lists. A tree is made of hundreds of
// thousands of such blocks, so they are cut one after the other from 64 KiB regions of this thread
// instead of coming from malloc one by one: a tree's blocks lie in the order the parser made them, and
// making one costs a pointer bump. A region counts the blocks still alive in it and goes back to the
// C library when the last one is freed (and the thread has moved on to a newer region), so a tree that
// dies as a whole frees its regions whole. A block may be freed on any thread and by any tree: nodes that
// outlive their tree keep their region alive and need no other care.
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

// True when freeing a block of this size gives its memory back at once.
[[nodiscard]] constexpr bool PoolFreeReturnsMemory(std::size_t) {
  return true;
}

#else

constexpr std::size_t kPoolGranule = 8;
constexpr std::size_t kPoolLargest = 256;  // bigger blocks go straight to malloc

// True when freeing a block of this size gives its memory back at once; a small block's memory comes
// back only with its whole region.
[[nodiscard]] constexpr bool PoolFreeReturnsMemory(std::size_t bytes) {
  return bytes > kPoolLargest;
}

// Trivially constructed and never destroyed, so that blocks freed while a thread ends find nothing
// torn down.
struct ThreadPool {
  char* bump;
  char* bumpEnd;
  void* region;            // the region being cut
  long long madeInRegion;  // blocks cut from it so far
  void* freeingRegion;     // frees are counted here first and handed to the region in one step
  long long freedInRegion;
};

extern thread_local ThreadPool threadPool;

// The slow paths: a new region, a block too large for regions, and handing counted frees over.
[[nodiscard]] void* PoolAllocSlow(std::size_t bytes);
void PoolFreeLarge(void* block);
void PoolSettleFrees(void* region);

// A block of at least `bytes` bytes, 8-byte aligned; nullptr when memory runs out.
[[nodiscard]] inline void* PoolAlloc(std::size_t bytes) {
  if (bytes > kPoolLargest) return PoolAllocSlow(bytes);
  const std::size_t size = bytes == 0 ? kPoolGranule : (bytes + kPoolGranule - 1) & ~(kPoolGranule - 1);
  ThreadPool& pool = threadPool;
  if (static_cast<std::size_t>(pool.bumpEnd - pool.bump) < size) return PoolAllocSlow(bytes);
  void* block = pool.bump;
  pool.bump += size;
  ++pool.madeInRegion;
  return block;
}

// Gives back a block of `bytes` bytes (the same size it was asked for with); nullptr is ignored.
inline void PoolFree(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  if (bytes > kPoolLargest) {
    PoolFreeLarge(block);
    return;
  }
  constexpr std::size_t kRegionMask = ~(std::size_t{64 * 1024} - 1);
  void* region = reinterpret_cast<void*>(reinterpret_cast<std::size_t>(block) & kRegionMask);
  ThreadPool& pool = threadPool;
  if (region != pool.freeingRegion) PoolSettleFrees(region);
  ++pool.freedInRegion;
}

#endif

}  // namespace corvelle::detail
