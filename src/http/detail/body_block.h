#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace corvelle::detail {

// The block a session reads response bodies into. It is resized with realloc, so a large block grows by
// remapping its pages rather than copying them, and the part the network is about to fill is
// prefaulted in one call: touching hundreds of megabytes of fresh pages one fault at a time costs more
// than the transfer itself on some machines.
class BodyBlock {
 public:
  // False when the memory is not there; the block then stays as it was.
  [[nodiscard]] bool Resize(std::size_t capacity);
  void Release();
  [[nodiscard]] std::uint8_t* Data() const { return block_.get(); }
  [[nodiscard]] std::size_t Capacity() const { return capacity_; }

 private:
  struct FreeDeleter {
    void operator()(std::uint8_t* block) const { std::free(block); }
  };
  std::unique_ptr<std::uint8_t, FreeDeleter> block_;
  std::size_t capacity_ = 0;
};

// Asks the kernel to map the pages of [data, data + size) writable now, in one go. Only a hint: small
// ranges are left alone and a refusal changes nothing.
void PrefaultForWriting(void* data, std::size_t size);

}  // namespace corvelle::detail
