#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "text/text_types.h"

// The request id the service's web page computes in script for every verify, download-link and
// captcha request: the epoch time in milliseconds, then a random number in [0, 1) written the way the
// script language writes numbers, all Base64-encoded. It is computed here directly.
namespace corvelle {

// Where an id's time and random number come from; both can be replaced in tests.
struct LogIdSource {
  std::function<std::int64_t()> millisSinceEpoch;
  std::function<double()> random;  // uniform in [0, 1)
};

// The system clock and a pseudo-random generator seeded from the operating system.
[[nodiscard]] LogIdSource DefaultLogIdSource();

// The id for a given time and random number.
[[nodiscard]] Text MakeLogIdFrom(std::int64_t millisSinceEpoch, double random);

// A number as the script language's number-to-text conversion writes it: the shortest digits that read
// back to the same double; plain decimal form ("0.25", "0.000001") from 1e-6 up to 1e21, exponent
// form ("1e-7", "1.5e-10", "1e+21") outside.
[[nodiscard]] std::string ScriptNumberText(double value);

// Standard Base64 with "=" padding.
[[nodiscard]] std::string Base64Encode(std::string_view bytes);

}  // namespace corvelle
