// corvelle-resolve: the share resolver on the command line.

#include <iostream>
#include <string>
#include <vector>

#include "resolve_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const corvelle::CaptchaPrompt askOnTerminal =
      [](const std::string& imagePath) -> std::optional<std::string> {
    if (!imagePath.empty()) std::cerr << "captcha image: " << imagePath << "\n";
    std::cerr << "captcha answer: " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return std::nullopt;
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return answer;
  };
  return corvelle::RunResolveCommand(args, askOnTerminal, std::cout, std::cerr);
}
