#include "json/detail/block_pool.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

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

// At the start of every region. `balance` is blocks counted as made minus blocks counted as freed.
// While a thread still cuts the region its blocks are counted as made only when it moves on, so the
// balance cannot reach zero before then; afterwards zero means no block is alive.
struct alignas(64) RegionHeader {
  std::atomic<long long> balance;
};

// Empty regions wait here for reuse, up to a limit, rather than going back to the C library at once:
// a program that parses again and again would otherwise have the memory mapped afresh every time.
constexpr std::size_t kSpareRegions = 128;
std::mutex spareMutex;
void* spareRegions[kSpareRegions];
std::size_t spareCount = 0;

void* NewRegionMemory() {
  {
    const std::lock_guard<std::mutex> lock(spareMutex);
    if (spareCount > 0) return spareRegions[--spareCount];
  }
  return std::aligned_alloc(kRegionBytes, kRegionBytes);
}

void ReleaseIfEmpty(RegionHeader* header, long long change) {
  if (header->balance.fetch_add(change, std::memory_order_acq_rel) + change != 0) return;
  header->~RegionHeader();
  {
    const std::lock_guard<std::mutex> lock(spareMutex);
    if (spareCount < kSpareRegions) {
      spareRegions[spareCount++] = header;
      return;
    }
  }
  std::free(header);
}

}  // namespace

void PoolSettleFrees(void* region) {
  ThreadPool& pool = threadPool;
  if (pool.freeingRegion != nullptr && pool.freedInRegion != 0) {
    ReleaseIfEmpty(static_cast<RegionHeader*>(pool.freeingRegion), -pool.freedInRegion);
  }
  pool.freeingRegion = region;
  pool.freedInRegion = 0;
}

void* PoolAllocSlow(std::size_t bytes) {
  if (bytes > kPoolLargest) return std::malloc(bytes);
  void* memory = NewRegionMemory();
  if (memory == nullptr) return nullptr;
  auto* header = new (memory) RegionHeader;
  header->balance.store(0, std::memory_order_relaxed);
  ThreadPool& pool = threadPool;
  if (pool.region != nullptr) {
    // Frees counted for the old region go first, so that its balance is complete once its blocks are.
    if (pool.freeingRegion == pool.region) PoolSettleFrees(nullptr);
    ReleaseIfEmpty(static_cast<RegionHeader*>(pool.region), pool.madeInRegion);
  }
  pool.region = memory;
  pool.madeInRegion = 0;
  pool.bump = static_cast<char*>(memory) + sizeof(RegionHeader);
  pool.bumpEnd = static_cast<char*>(memory) + kRegionBytes;
  return PoolAlloc(bytes);
}

void PoolFreeLarge(void* block) {
  std::free(block);
}

#endif

}  // namespace corvelle::detail
