#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/detail/http_objects.h"

// One request's exchange over its connection's transfer: send, receive with the layer's own redirect
// following and session cookies, and the body pulled as it is read. Each answers 0 or an error code.
namespace corvelle::platform::detail {

[[nodiscard]] std::uint32_t SendRequest(RequestObject& request, const void* body, std::size_t length);
[[nodiscard]] std::uint32_t ReceiveResponse(RequestObject& request);
[[nodiscard]] std::uint32_t QueryAvailable(RequestObject& request, std::size_t& available);
[[nodiscard]] std::uint32_t ReadBody(RequestObject& request, void* buffer, std::size_t size,
                                     std::size_t& read);

}  // namespace corvelle::platform::detail
