#include "platform/detail/handle_table.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace corvelle::platform::detail {
namespace {

struct Table {
  std::mutex mutex;
  std::unordered_map<HttpHandle, std::shared_ptr<HandleObject>> objects;
  HttpHandle next = 1;
};

Table& TheTable() {
  static Table table;
  return table;
}

thread_local std::uint32_t lastError = 0;

}  // namespace

HttpHandle RegisterHandle(std::shared_ptr<HandleObject> object) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  const HttpHandle handle = table.next++;
  table.objects.emplace(handle, std::move(object));
  return handle;
}

bool UnregisterHandle(HttpHandle handle) {
  Table& table = TheTable();
  // Objects die outside the lock: a request's teardown ends its transfer, which may take a moment.
  std::vector<std::shared_ptr<HandleObject>> released;
  {
    std::lock_guard lock(table.mutex);
    const auto found = table.objects.find(handle);
    if (found == table.objects.end()) {
      return false;
    }
    std::vector<HttpHandle> closing = {handle};
    for (std::size_t i = 0; i < closing.size(); ++i) {
      for (const auto& [child, object] : table.objects) {
        if (object->parent == closing[i]) {
          closing.push_back(child);
        }
      }
    }
    // Requests first, so that each still finds its connection alive while it ends its exchange.
    for (auto it = closing.rbegin(); it != closing.rend(); ++it) {
      const auto entry = table.objects.find(*it);
      entry->second->closing = true;
      released.push_back(std::move(entry->second));
      table.objects.erase(entry);
    }
  }
  return true;
}

std::shared_ptr<HandleObject> FindHandle(HttpHandle handle) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  const auto found = table.objects.find(handle);
  return found == table.objects.end() ? nullptr : found->second;
}

void SetLastError(std::uint32_t code) {
  lastError = code;
}

std::uint32_t LastError() {
  return lastError;
}

}  // namespace corvelle::platform::detail
