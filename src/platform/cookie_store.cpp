#include "platform/cookie_store.h"

#include <ctime>

#include "platform/detail/cookie_jar.h"

namespace corvelle::platform {
namespace {

detail::CookieJar& Store() {
  static detail::CookieJar store;
  return store;
}

}  // namespace

bool SetStoredCookie(std::string_view url, std::string_view name, std::string_view data) {
  if (name.empty()) {
    return false;
  }
  std::string setCookie(name);
  setCookie += '=';
  setCookie += data;
  return Store().Set(url, setCookie, detail::CookieJar::EmptyValue::kRemove, std::time(nullptr));
}

Text GetStoredCookies(std::string_view url, std::string_view name) {
  return Store().CookiesFor(url, name, std::time(nullptr));
}

void ClearStoredCookies() {
  Store().Clear();
}

}  // namespace corvelle::platform
