// corvelle-json: reads JSON text with Corvelle's lenient reader and writes it back, whole or the node at
// a path. See Usage() for the options and exit statuses.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "json/detail/json_parser.h"
#include "json/json_document.h"
#include "text/encoding.h"

namespace {

constexpr int kParsed = 0;
constexpr int kParseError = 1;
constexpr int kUsageError = 2;
constexpr int kMissing = 3;

void Usage(std::ostream& out) {
  out << "Usage: corvelle-json [OPTIONS] [FILE]\n"
         "Reads JSON text from FILE (or standard input), parses it with Corvelle's lenient reader and\n"
         "writes it back, compact unless --pretty.\n"
         "\n"
         "  --cp936           input and output are code page 936 (default UTF-8)\n"
         "  --decode-unicode  decode \\uXXXX escapes in keys and strings\n"
         "  --path PATH       write only the node at PATH, e.g. list[0].md5 (missing steps are made,\n"
         "                    as every read does)\n"
         "  --pretty          one member a line, indented with tabs, CR LF line ends\n"
         "  --no-escape       write strings without escaping them\n"
         "  --exists PATH     write nothing; the exit status tells whether PATH exists\n"
         "  --help            this text\n"
         "\n"
         "Exit status: 0 parsed (with --exists: the path exists), 1 the reader reported an error\n"
         "(named on standard error), 2 usage or I/O error, 3 with --exists: the path does not exist.\n";
}

struct Options {
  bool cp936 = false;
  bool decodeUnicode = false;
  bool pretty = false;
  bool escape = true;
  std::optional<std::string> path;
  std::optional<std::string> exists;
  std::optional<std::string> file;
};

// Fills `options`; answers an exit status when the program should stop here.
std::optional<int> ReadArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&](std::optional<std::string>& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (arg == "--help") {
      Usage(std::cout);
      return kParsed;
    } else if (arg == "--cp936") {
      options.cp936 = true;
    } else if (arg == "--decode-unicode") {
      options.decodeUnicode = true;
    } else if (arg == "--pretty") {
      options.pretty = true;
    } else if (arg == "--no-escape") {
      options.escape = false;
    } else if (arg == "--path") {
      if (!value(options.path)) return kUsageError;
    } else if (arg == "--exists") {
      if (!value(options.exists)) return kUsageError;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::cerr << "corvelle-json: unknown option " << arg << "\n";
      return kUsageError;
    } else if (!options.file) {
      options.file = std::string(arg);
    } else {
      std::cerr << "corvelle-json: more than one file given\n";
      return kUsageError;
    }
  }
  return std::nullopt;
}

std::optional<std::string> ReadInput(const std::optional<std::string>& file) {
  if (!file || *file == "-") {
    std::string data(std::istreambuf_iterator<char>(std::cin), {});
    if (std::cin.bad()) return std::nullopt;
    return data;
  }
  std::ifstream in(*file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) return std::nullopt;
  return data;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::optional<int> stop = ReadArguments(argc, argv, options)) {
    if (*stop == kUsageError) Usage(std::cerr);
    return *stop;
  }
  const std::optional<std::string> input = ReadInput(options.file);
  if (!input) {
    std::cerr << "corvelle-json: cannot read " << options.file.value_or("standard input") << "\n";
    return kUsageError;
  }
  std::string_view bytes = *input;
  if (!options.cp936 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const corvelle::WideText text = options.cp936 ? corvelle::TextToUtf16(bytes) : corvelle::Utf8ToUtf16(bytes);

  corvelle::JsonDocument document;
  if (!document.Load("", false)) return kUsageError;
  const int code = corvelle::detail::ParseJsonText(document.GetRootNode(), text.c_str(), text.size(),
                                                   options.decodeUnicode);
  if (code != corvelle::detail::kParseOk) {
    std::cerr << "corvelle-json: parse error " << code << " (" << corvelle::detail::ParseCodeName(code)
              << ")\n";
    return kParseError;
  }
  const auto toWide = [&](const std::string& path) {
    return options.cp936 ? corvelle::TextToUtf16(path) : corvelle::Utf8ToUtf16(path);
  };
  if (options.exists) return document.ExistsW(toWide(*options.exists)) ? kParsed : kMissing;

  const corvelle::WideText pathText = options.path ? toWide(*options.path) : corvelle::WideText();
  const corvelle::WideText written =
      document.ToTextW(std::u16string_view(pathText), options.pretty, options.escape);
  const std::string out = options.cp936 ? corvelle::Utf16ToText(written) : corvelle::Utf16ToUtf8(written);
  std::cout << out << "\n";
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "corvelle-json: cannot write the output\n";
    return kUsageError;
  }
  return kParsed;
}
