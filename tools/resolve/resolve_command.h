#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace corvelle {

// Asked once per captcha: gets the path of the saved captcha image, answers what the user read in it
// (UTF-8), or nothing when no answer can be had.
using CaptchaPrompt = std::function<std::optional<std::string>(const std::string& imagePath)>;

// Exit statuses of the command.
inline constexpr int kResolveAllResolved = 0;
inline constexpr int kResolveSomeFailed = 1;
inline constexpr int kResolveUsageError = 2;

// corvelle-resolve [--password P] [--json] LINK...: resolves every link with one resolver, so cookies
// and identifiers carry over from link to link as in the window. Writes one line per file (name, size,
// MD5, link; tab-separated UTF-8) or a JSON array to `out`, and what failed and why to `err`. `args`
// excludes the program name.
int RunResolveCommand(const std::vector<std::string>& args, const CaptchaPrompt& prompt, std::ostream& out,
                      std::ostream& err);

}  // namespace corvelle
