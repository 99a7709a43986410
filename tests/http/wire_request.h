#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/raw_server.h"

// One request as the raw test server read it off the wire, split into its parts so that tests can ask
// for headers by name.
namespace corvelle::testing {

struct WireRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // as sent, value without leading spaces
  std::string body;

  // The value of the only header of that name (any letter case); nothing when absent.
  [[nodiscard]] std::optional<std::string> Header(std::string_view name) const;
  // How many headers of that name the request carries.
  [[nodiscard]] int Count(std::string_view name) const;
};

[[nodiscard]] WireRequest ParseWireRequest(std::string_view raw);

// A raw server script that answers every request of a connection with what `route` makes of it.
[[nodiscard]] RawServer::Script Serve(std::function<std::string(const WireRequest&)> route);

}  // namespace corvelle::testing
