#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle::share_service {

// The characters a captcha answer is made of: digits and capitals that cannot be mistaken for one
// another in the built-in font (no 0/O, 1/I, 5/S, 8/B).
inline constexpr std::string_view kCaptchaAlphabet = "234679ACEFHKMNPRTWXY";

// A grayscale PNG showing `answer` (characters of kCaptchaAlphabet) large enough to read, on a lightly
// speckled background; `seed` varies the speckles and the characters' vertical offsets.
[[nodiscard]] std::vector<std::uint8_t> RenderCaptchaPng(std::string_view answer, std::uint32_t seed);

}  // namespace corvelle::share_service
