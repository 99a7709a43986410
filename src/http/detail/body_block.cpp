#include "http/detail/body_block.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace corvelle::detail {

namespace {

// Below this the ordinary page faults are cheap enough.
constexpr std::size_t kPrefaultThreshold = 1048576;

}  // namespace

bool BodyBlock::Resize(std::size_t capacity) {
  void* resized = std::realloc(block_.get(), std::max<std::size_t>(capacity, 1));
  if (resized == nullptr) return false;
  static_cast<void>(block_.release());
  block_.reset(static_cast<std::uint8_t*>(resized));
  if (capacity > capacity_) PrefaultForWriting(block_.get() + capacity_, capacity - capacity_);
  capacity_ = capacity;
  return true;
}

void BodyBlock::Release() {
  block_.reset();
  capacity_ = 0;
}

void PrefaultForWriting(void* data, std::size_t size) {
  if (data == nullptr || size < kPrefaultThreshold) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) / page * page;
  if (end <= begin) return;
#ifdef MADV_POPULATE_WRITE
  // Kernels before 5.14 refuse the request; the pages then fault in one by one as before.
  static_cast<void>(::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE));
#endif
}

}  // namespace corvelle::detail
