#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "share_setup.h"
#include "simulated_share_service.h"

namespace corvelle::share_service {

// The share page as the service's web page has it: an HTML shell whose inline script hands the page's
// data to the page's code as one JSON object, which carries the identifiers a client cuts out.
[[nodiscard]] std::string SharePage(const ShareSetup& share, const ShareFacts& facts, std::int64_t firstFsId);

// The page a protected share's bare link redirects to: the password form, without identifiers.
[[nodiscard]] std::string InitPage(std::string_view surl);

// The page answered for a request that is not usable; it carries no identifiers either.
[[nodiscard]] std::string ErrorPage(std::string_view reason);

}  // namespace corvelle::share_service
