#pragma once

#include <cstddef>

// Small blocks for the JSON tree: nodes, key and string blocks, item lists. A tree is made of hundreds of
// thousands of such blocks, so they come from per-thread free lists carved out of large regions instead
// of one malloc each. A block may be freed on any thread and by any tree: the pool does not tie a block
// to the tree that made it, so nodes that outlive their tree need no care. Regions are kept for reuse
// for the life of the process.
//
// Under AddressSanitizer every block is a plain malloc, so the sanitizer sees each one on its own.
namespace corvelle::detail {

// A block of at least `bytes` bytes, 8-byte aligned; nullptr when memory runs out.
[[nodiscard]] void* PoolAlloc(std::size_t bytes);

// Gives back a block of `bytes` bytes (the same size it was asked for with); nullptr is ignored.
void PoolFree(void* block, std::size_t bytes);

}  // namespace corvelle::detail
