#pragma once

#include <string_view>

#include "text/text_types.h"

// The process-wide cookie store: cookies set for a URL come back for every later URL of the same host
// whose path lies under the cookie's path. Safe from several threads.
namespace corvelle::platform {

// Sets cookie `name` for `url`. `data` is the value, optionally followed by attributes
// ("v; path=/; expires=Thu, 01 Jan 2037 00:00:00 GMT; domain=.example.com"). An empty value or an
// expiry in the past removes the cookie. Without a path attribute the cookie's path is the URL's
// directory. Without an expiry the cookie lives until the process ends. False for a URL without a host
// or an empty name.
bool SetStoredCookie(std::string_view url, std::string_view name, std::string_view data);

// Every live cookie for `url` as "a=1; b=2" (more specific paths first); empty when there is none.
// With a name, only that cookie's "name=value".
[[nodiscard]] Text GetStoredCookies(std::string_view url, std::string_view name = {});

// Forgets every cookie (for tests).
void ClearStoredCookies();

}  // namespace corvelle::platform
