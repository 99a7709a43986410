#include "resolve_command.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "json/json_document.h"
#include "resolver/share_resolver.h"
#include "text/encoding.h"

namespace corvelle {
namespace {

constexpr char kProgram[] = "corvelle-resolve";
constexpr std::int32_t kCaptchaWanted = -20;
constexpr std::int32_t kReplyNotParsed = -99;
constexpr std::int32_t kReplyWithoutErrno = -100;

constexpr char kUsage[] =
    "usage: corvelle-resolve [--password P] [--json] LINK...\n"
    "\n"
    "Resolves share links into the file name, size, MD5 and download link of the shared file. All links\n"
    "go through one session, so cookies and identifiers carry over from one link to the next.\n"
    "\n"
    "  --password P   the 4-character extraction password of protected shares (used for every link)\n"
    "  --json         write a JSON array of {\"name\",\"size\",\"md5\",\"link\"} objects instead of lines\n"
    "  --help         show this text\n"
    "\n"
    "Without --json each file is one line: name, size in bytes, MD5 and download link, separated by tabs\n"
    "(UTF-8). When the service asks for a captcha, the image is saved to a temporary file named on\n"
    "standard error and the answer is read from standard input; one answer per link.\n"
    "The service's address is https://pan.baidu.com unless CORVELLE_SERVICE_ORIGIN gives another\n"
    "(scheme://host[:port]); SSL_CERT_FILE replaces the trusted certificates.\n"
    "\n"
    "Exit status: 0 every link resolved, 1 some link failed, 2 usage error.\n";

struct Options {
  std::optional<std::string> password;
  bool json = false;
  bool help = false;
  std::vector<std::string> links;
};

// False on a usage error.
bool ParseArguments(const std::vector<std::string>& args, Options& options) {
  bool onlyLinks = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyLinks || arg.empty() || arg[0] != '-') {
      options.links.push_back(arg);
    } else if (arg == "--") {
      onlyLinks = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--password" && i + 1 < args.size()) {
      options.password = args[++i];
    } else {
      return false;
    }
  }
  return options.help || !options.links.empty();
}

// The extension a picture viewer expects for the image's format.
std::string_view ImageExtension(const Bytes& image) {
  const auto starts = [&](std::initializer_list<std::uint8_t> magic) {
    return image.size() >= magic.size() && std::equal(magic.begin(), magic.end(), image.begin());
  };
  if (starts({0xFF, 0xD8, 0xFF})) return ".jpg";
  if (starts({'G', 'I', 'F', '8'})) return ".gif";
  if (starts({'B', 'M'})) return ".bmp";
  return ".png";
}

// Writes the image to a new temporary file; its path, or empty when no file could be made.
std::string SaveCaptcha(const Bytes& image) {
  const std::string_view extension = ImageExtension(image);
  std::string path = (std::filesystem::temp_directory_path() / "corvelle-captcha-XXXXXX").string();
  path += extension;
  const int fd = mkstemps(path.data(), static_cast<int>(extension.size()));
  if (fd < 0) return {};
  close(fd);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return file ? path : std::string();
}

class LinkResolver {
 public:
  LinkResolver(const CaptchaPrompt& prompt, std::ostream& err) : prompt_(prompt), err_(err) {}

  // The file of one share, or nothing after saying on `err` which step failed.
  std::optional<FileEntry> Resolve(const std::string& link, const std::optional<std::string>& password) {
    const Text linkText = Utf8ToText(link);
    std::optional<Text> passwordText;
    if (password) passwordText = Utf8ToText(*password);

    Text error;
    if (!resolver_.LoadShare(linkText, passwordText, &error)) {
      return Fail(link, error.empty() ? "share page not usable" : "password check failed");
    }
    FileEntry entry;
    std::int32_t code = resolver_.RequestDownloadLink(std::nullopt, entry);
    if (code == kCaptchaWanted) {
      const std::optional<std::string> answer = AskCaptcha();
      if (!answer) return Fail(link, "captcha not answered");
      code = resolver_.RequestDownloadLink(Utf8ToText(*answer), entry);
      if (code == kCaptchaWanted) return Fail(link, "captcha answer was wrong");
    }
    if (code == kReplyNotParsed || code == kReplyWithoutErrno) return Fail(link, "reply not usable");
    if (code != 0) return Fail(link, "service error " + std::to_string(code));
    // The window adds no row for a reply without a download link; neither do we.
    if (entry.dlink.empty()) return Fail(link, "reply lists no file");
    return entry;
  }

 private:
  std::optional<FileEntry> Fail(const std::string& link, const std::string& why) {
    err_ << kProgram << ": " << link << ": " << why << "\n";
    return std::nullopt;
  }

  std::optional<std::string> AskCaptcha() {
    const Bytes image = resolver_.FetchCaptcha();
    const std::string path = image.empty() ? std::string() : SaveCaptcha(image);
    if (path.empty()) err_ << kProgram << ": the captcha image could not be fetched; answer anyway\n";
    std::optional<std::string> answer = prompt_(path);
    if (!path.empty()) {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
    return answer;
  }

  const CaptchaPrompt& prompt_;
  std::ostream& err_;
  ShareResolver resolver_;
};

void WriteLines(const std::vector<FileEntry>& files, std::ostream& out) {
  for (const FileEntry& file : files) {
    out << TextToUtf8(file.file_name) << '\t' << file.size << '\t' << TextToUtf8(file.md5) << '\t'
        << TextToUtf8(file.dlink) << '\n';
  }
}

void WriteJson(const std::vector<FileEntry>& files, std::ostream& out) {
  JsonDocument list;
  (void)list.Load("[]", true);
  for (const FileEntry& file : files) {
    JsonDocument item = list.NewObject();
    (void)item.SetStringW(u"name", TextToUtf16(file.file_name));
    (void)item.SetInteger("size", file.size);
    (void)item.SetString("md5", file.md5);
    (void)item.SetString("link", file.dlink);
    (void)list.Append({}, item);
  }
  // Through UTF-16 straight to UTF-8, so no character takes a detour through code page 936.
  out << Utf16ToUtf8(list.ToTextW()) << '\n';
}

}  // namespace

int RunResolveCommand(const std::vector<std::string>& args, const CaptchaPrompt& prompt, std::ostream& out,
                      std::ostream& err) {
  Options options;
  if (!ParseArguments(args, options)) {
    err << kUsage;
    return kResolveUsageError;
  }
  if (options.help) {
    out << kUsage;
    return kResolveAllResolved;
  }

  LinkResolver resolver(prompt, err);
  std::vector<FileEntry> files;
  bool allResolved = true;
  for (const std::string& link : options.links) {
    if (std::optional<FileEntry> file = resolver.Resolve(link, options.password)) {
      files.push_back(std::move(*file));
    } else {
      allResolved = false;
    }
  }
  if (options.json) {
    WriteJson(files, out);
  } else {
    WriteLines(files, out);
  }
  return allResolved ? kResolveAllResolved : kResolveSomeFailed;
}

}  // namespace corvelle
