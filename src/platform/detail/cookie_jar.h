#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Cookies with the scoping a browser gives them: a host-only or domain cookie, a path, an optional
// expiry and the secure flag. Used by each session handle (cookies its responses set) and by the
// process-wide cookie store. Safe from several threads.
namespace corvelle::platform::detail {

class CookieJar {
 public:
  enum class EmptyValue { kKeep, kRemove };

  // Takes one Set-Cookie value ("name=value; Path=/; Domain=...; Expires=...; Max-Age=...; Secure")
  // received from `url`. With EmptyValue::kRemove an empty value deletes the cookie. False when the
  // URL has no host, the name is empty, or the domain attribute does not cover the URL's host.
  bool Set(std::string_view url, std::string_view setCookie, EmptyValue emptyValue, std::time_t now);
  // Every live cookie for `url` (only those named `name` when it is not empty) as "a=1; b=2", longer
  // paths first, then oldest first.
  [[nodiscard]] std::string CookiesFor(std::string_view url, std::string_view name, std::time_t now) const;
  void Clear();

 private:
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;
    bool hostOnly = true;
    std::string path;
    std::optional<std::time_t> expires;
    bool secure = false;
    std::uint64_t created = 0;
  };

  mutable std::mutex mutex_;
  std::vector<Cookie> cookies_;
  std::uint64_t nextCreated_ = 0;
};

// The moment a cookie date such as "Thu, 01 Jan 2037 00:00:00 GMT" (also the older
// "Thursday, 01-Jan-37 00:00:00 GMT" and asctime forms) names; empty when it names none.
[[nodiscard]] std::optional<std::time_t> ParseCookieDate(std::string_view text);

}  // namespace corvelle::platform::detail
