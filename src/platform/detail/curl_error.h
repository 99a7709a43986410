#pragma once

#include <cstdint>

// libcurl's result codes translated, in one place, into the error codes of http_api.h.
namespace corvelle::platform::detail {

// `curlCode` is a CURLcode; 0 (CURLE_OK) answers 0.
[[nodiscard]] std::uint32_t TranslateCurlError(int curlCode);
// True for the results of a server certificate that failed verification (untrusted issuer, wrong name,
// expired...), as opposed to other failures of the secure channel.
[[nodiscard]] bool IsCertificateRejection(int curlCode);

}  // namespace corvelle::platform::detail
