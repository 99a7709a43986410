#pragma once

#include <cstdint>

namespace corvelle::testing {

// A TCP socket connected to 127.0.0.1:port, or -1 when nothing accepts there. The caller closes it.
[[nodiscard]] int ConnectLoopback(std::uint16_t port);

}  // namespace corvelle::testing
