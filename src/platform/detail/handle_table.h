#pragma once

#include <cstdint>
#include <memory>

#include "platform/detail/http_objects.h"

// The process-wide table from opaque handle numbers to the objects they stand for, and the
// thread-local last-error code.
namespace corvelle::platform::detail {

[[nodiscard]] HttpHandle RegisterHandle(std::shared_ptr<HandleObject> object);
// Forgets the handle and every handle opened under it. False for an unknown handle.
bool UnregisterHandle(HttpHandle handle);
[[nodiscard]] std::shared_ptr<HandleObject> FindHandle(HttpHandle handle);

// The object behind `handle` when it has type T; otherwise null with the last error set.
template <typename T>
[[nodiscard]] std::shared_ptr<T> FindHandleOf(HttpHandle handle);

void SetLastError(std::uint32_t code);
[[nodiscard]] std::uint32_t LastError();

template <typename T>
std::shared_ptr<T> FindHandleOf(HttpHandle handle) {
  auto object = FindHandle(handle);
  if (!object) {
    SetLastError(kErrorInvalidHandle);
    return nullptr;
  }
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) {
    SetLastError(kErrorIncorrectHandleType);
  }
  return typed;
}

}  // namespace corvelle::platform::detail
