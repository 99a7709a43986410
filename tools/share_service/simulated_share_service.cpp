#include "simulated_share_service.h"

#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <initializer_list>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "captcha_image.h"
#include "form_fields.h"
#include "share_pages.h"
#include "test_certificate.h"

namespace corvelle::share_service {
namespace {

constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/63.0.3239.84 "
    "Safari/537.36";
constexpr char kAppId[] = "250528";
constexpr char kFormType[] = "application/x-www-form-urlencoded";
constexpr char kJsonType[] = "application/json; charset=utf-8";
constexpr char kHtmlType[] = "text/html; charset=utf-8";
constexpr char kCaptchaT[] = "0.35008895617264724";
constexpr int kRejectedErrno = 2;  // the service's "parameter error"
constexpr int kWrongPasswordErrno = -9;
constexpr int kCaptchaErrno = -20;
constexpr std::size_t kKeepAliveRequests = 1000;
constexpr std::chrono::seconds kStartTimeout{5};

using FixedValues = std::initializer_list<std::pair<const char*, const char*>>;

struct Answer {
  int status = 200;
  std::string contentType = kHtmlType;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::milliseconds delay{0};
  std::string rejection;
};

struct ShareRecord {
  ShareSetup setup;
  ShareFacts facts;
  std::int64_t firstFsId = 0;
  std::string bdclnd;  // as it appears in the Set-Cookie header (percent-encoded)
};

Answer JsonAnswer(std::string body) {
  Answer answer;
  answer.contentType = kJsonType;
  answer.body = std::move(body);
  return answer;
}

Answer RejectJson(std::string reason) {
  Answer answer = JsonAnswer("{\"errno\":" + std::to_string(kRejectedErrno) +
                             ",\"show_msg\":" + JsonString(reason) + "}");
  answer.status = 400;
  answer.rejection = std::move(reason);
  return answer;
}

Answer RejectPage(std::string reason, int status = 400) {
  Answer answer;
  answer.status = status;
  answer.body = ErrorPage(reason);
  answer.rejection = std::move(reason);
  return answer;
}

std::string Origin(const httplib::Request& req, bool https) {
  return (https ? "https://" : "http://") + req.get_header_value("Host");
}

std::string Keys(const std::vector<FormField>& fields) {
  std::string out;
  for (const FormField& field : fields) out += (out.empty() ? "" : ",") + field.key;
  return out;
}

// Empty when the browser headers every request of the protocol carries are there.
std::string CheckBrowserHeaders(const httplib::Request& req) {
  if (req.get_header_value("User-Agent") != kUserAgent) return "User-Agent is not the browser's";
  if (req.get_header_value("X-Requested-With") != "XMLHttpRequest")
    return "X-Requested-With is not XMLHttpRequest";
  return {};
}

std::string CheckKeys(const std::vector<FormField>& fields, std::initializer_list<const char*> expected,
                      std::string_view what) {
  std::string wanted;
  for (const char* key : expected) wanted += (wanted.empty() ? "" : ",") + std::string(key);
  const std::string got = Keys(fields);
  return got == wanted ? std::string()
                       : std::string(what) + " keys are [" + got + "], expected [" + wanted + "]";
}

std::string CheckFixed(const std::vector<FormField>& fields, FixedValues expected) {
  for (const auto& [key, value] : expected) {
    if (RawField(fields, key).value_or("") != value) return std::string(key) + " is not " + value;
  }
  return {};
}

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A request id is Base64 of the epoch milliseconds and a random number.
std::string CheckLogId(const std::vector<FormField>& fields) {
  const std::string logid = RawField(fields, "logid").value_or("");
  const bool base64 = std::all_of(logid.begin(), logid.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=';
  });
  if (logid.empty() || logid.size() % 4 != 0 || !base64) return "logid is not a Base64 request id";
  return {};
}

// The fields every call of the web client carries in its query, whatever the endpoint.
std::string CheckWebClientQuery(const std::vector<FormField>& query) {
  if (std::string reason = CheckFixed(query, {{"bdstoken", "null"},
                                              {"channel", "chunlei"},
                                              {"clienttype", "0"},
                                              {"web", "1"},
                                              {"app_id", kAppId}});
      !reason.empty())
    return reason;
  return CheckLogId(query);
}

std::string CheckFormPost(const httplib::Request& req) {
  if (req.method != "POST") return "method is not POST";
  if (req.get_header_value("Content-Type") != kFormType) return "Content-Type is not a form";
  return {};
}

// The value of one cookie of the request's Cookie header, as sent.
std::string RequestCookie(const httplib::Request& req, std::string_view name) {
  const std::string header = req.get_header_value("Cookie");
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string_view pair(header.data() + at, end - at);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
      return std::string(pair.substr(name.size() + 1));
    at = end + 1;
  }
  return {};
}

// True when the request's BDCLND cookie is `bdclnd`. The server library hands header values over with
// their percent escapes decoded, so both sides are compared decoded.
bool HoldsCookie(const httplib::Request& req, std::string_view bdclnd) {
  return PercentDecode(RequestCookie(req, "BDCLND")) == PercentDecode(bdclnd);
}

std::string Md5For(std::string_view name) {
  std::uint64_t h1 = 1469598103934665603ULL, h2 = 1099511628211ULL;
  for (const char c : name) {
    h1 = (h1 ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    h2 = (h2 + static_cast<unsigned char>(c)) * 6364136223846793005ULL + 1442695040888963407ULL;
  }
  char out[33];
  std::snprintf(out, sizeof out, "%016llx%016llx", static_cast<unsigned long long>(h1),
                static_cast<unsigned long long>(h2));
  return out;
}

// The raw query of a request target: what follows its first "?", empty when there is none.
std::string_view QueryOf(const httplib::Request& req) {
  const std::size_t q = req.target.find('?');
  return q == std::string::npos ? std::string_view() : std::string_view(req.target).substr(q + 1);
}

}  // namespace

std::string LoggedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() && std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return value;
  }
  return {};
}

struct SimulatedShareService::State {
  Options options;
  mutable std::mutex mutex;
  std::map<std::string, ShareRecord, std::less<>> shares;
  std::map<std::string, std::string, std::less<>> captchas;  // captcha id -> answer
  std::string lastCaptchaAnswer;
  std::vector<LoggedRequest> log;
  std::mt19937_64 engine;
  int sharesMade = 0;

  std::unique_ptr<httplib::Server> httpServer;
  std::unique_ptr<httplib::SSLServer> httpsServer;
  std::thread httpThread;
  std::thread httpsThread;
  int httpPort = 0;
  int httpsPort = 0;
  std::string certPath;
  bool certIsTemporary = false;

  std::string RandomText(std::string_view alphabet, std::size_t length) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += alphabet[pick(engine)];
    return out;
  }

  Answer Handle(const httplib::Request& req, bool https);
  Answer SharePageAnswer(const httplib::Request& req, bool https, std::string_view surl);
  Answer VerifyAnswer(const httplib::Request& req, bool https);
  Answer DownloadAnswer(const httplib::Request& req, bool https);
  Answer CaptchaApiAnswer(const httplib::Request& req, bool https);
  Answer CaptchaImageAnswer(const httplib::Request& req);
  ShareRecord* FindByIds(std::string_view uk, std::string_view shareid);
  std::string FileListReply(const ShareRecord& share, const std::string& origin) const;
  void Serve(httplib::Server& server, bool https);
};

Answer SimulatedShareService::State::Handle(const httplib::Request& req, bool https) {
  if (req.path.rfind("/s/1", 0) == 0)
    return SharePageAnswer(req, https, std::string_view(req.path).substr(4));
  if (req.path == "/share/init") {
    Answer answer;
    answer.body = InitPage(req.get_param_value("surl"));
    return answer;
  }
  if (req.path == "/share/verify") return VerifyAnswer(req, https);
  if (req.path == "/api/sharedownload") return DownloadAnswer(req, https);
  if (req.path == "/api/getvcode") return CaptchaApiAnswer(req, https);
  if (req.path == "/genimage") return CaptchaImageAnswer(req);
  return RejectPage("no such address", 404);
}

Answer SimulatedShareService::State::SharePageAnswer(const httplib::Request& req, bool https,
                                                     std::string_view surl) {
  const auto found = shares.find(surl);
  if (found == shares.end()) return RejectPage("no such share", 404);
  const ShareRecord& share = found->second;
  if (req.method != "GET") return RejectPage("method is not GET");
  if (std::string reason = CheckBrowserHeaders(req); !reason.empty()) return RejectPage(reason);
  const std::string origin = Origin(req, https);
  if (req.get_header_value("Referer") != origin + req.target)
    return RejectPage("Referer is not the link itself");

  Answer answer;
  answer.delay = share.setup.delay;
  if (!share.setup.password.empty() && !HoldsCookie(req, share.bdclnd)) {
    // Locked: the bare link sends the browser to the password form.
    answer.status = 302;
    answer.headers.emplace_back("Location", origin + "/share/init?surl=" + share.setup.surl);
    answer.body = InitPage(share.setup.surl);
    return answer;
  }
  answer.body = SharePage(share.setup, share.facts, share.firstFsId);
  return answer;
}

Answer SimulatedShareService::State::VerifyAnswer(const httplib::Request& req, bool https) {
  if (std::string reason = CheckFormPost(req); !reason.empty()) return RejectJson(reason);
  if (std::string reason = CheckBrowserHeaders(req); !reason.empty()) return RejectJson(reason);
  const auto query = SplitFields(QueryOf(req));
  if (std::string reason = CheckKeys(
          query, {"surl", "t", "bdstoken", "channel", "clienttype", "web", "app_id", "logid"}, "query");
      !reason.empty())
    return RejectJson(reason);
  if (std::string reason = CheckWebClientQuery(query); !reason.empty()) return RejectJson(reason);
  if (!IsDigits(RawField(query, "t").value_or(""))) return RejectJson("t is not a millisecond time");

  const auto found = shares.find(RawField(query, "surl").value_or(""));
  if (found == shares.end()) return RejectJson("surl names no share");
  const ShareRecord& share = found->second;
  if (share.setup.password.empty()) return RejectJson("the share has no password");
  const std::string origin = Origin(req, https);
  const std::string referer = req.get_header_value("Referer");
  const std::string initPrefix = origin + "/share/init?surl=";
  const std::string linkTail = "/s/1" + share.setup.surl;
  if (referer.rfind(initPrefix, 0) != 0 || referer.size() < linkTail.size() ||
      referer.compare(referer.size() - linkTail.size(), linkTail.size(), linkTail) != 0)
    return RejectJson("Referer is not the init page of the link");

  const auto body = SplitFields(req.body);
  if (std::string reason = CheckKeys(body, {"pwd", "vcode", "vcode_str"}, "body"); !reason.empty())
    return RejectJson(reason);
  if (std::string reason = CheckFixed(body, {{"vcode", ""}, {"vcode_str", ""}}); !reason.empty())
    return RejectJson(reason);

  Answer answer = JsonAnswer("");
  answer.delay = share.setup.delay;
  const std::string requestId = std::to_string(engine() % 100000000000ULL);
  if (RawField(body, "pwd").value_or("") != share.setup.password) {
    answer.body = "{\"errno\":" + std::to_string(kWrongPasswordErrno) +
                  ",\"err_msg\":\"\",\"request_id\":" + requestId + "}";
    return answer;
  }
  answer.headers.emplace_back("Set-Cookie", "BDCLND=" + share.bdclnd + "; path=/; HttpOnly");
  answer.body = "{\"errno\":0,\"err_msg\":\"\",\"request_id\":" + requestId + "}";
  return answer;
}

ShareRecord* SimulatedShareService::State::FindByIds(std::string_view uk, std::string_view shareid) {
  for (auto& [surl, share] : shares) {
    if (share.facts.uk == uk && share.facts.shareid == shareid) return &share;
  }
  return nullptr;
}

std::string SimulatedShareService::State::FileListReply(const ShareRecord& share,
                                                        const std::string& origin) const {
  std::string list = "[";
  std::int64_t fsId = share.firstFsId;
  for (const SharedFile& file : share.setup.files) {
    if (list.size() > 1) list += ',';
    const std::string dlink = origin + "/file/" + file.md5 + "?fid=" + share.facts.uk + "-" + kAppId + "-" +
                              std::to_string(fsId) + "&rt=sh&expires=8h&chkbd=0";
    list += "{\"fs_id\":" + std::to_string(fsId++) + ",\"server_filename\":" + JsonString(file.name) +
            ",\"size\":" + std::to_string(file.size) + ",\"md5\":" + JsonString(file.md5) +
            ",\"isdir\":0,\"dlink\":" + JsonString(dlink) + "}";
  }
  list += "]";
  return "{\"errno\":0,\"request_id\":" + std::to_string(share.firstFsId % 1000000007) +
         ",\"server_time\":" + share.facts.timestamp + ",\"list\":" + list + "}";
}

Answer SimulatedShareService::State::DownloadAnswer(const httplib::Request& req, bool https) {
  if (std::string reason = CheckFormPost(req); !reason.empty()) return RejectJson(reason);
  if (std::string reason = CheckBrowserHeaders(req); !reason.empty()) return RejectJson(reason);
  const auto query = SplitFields(QueryOf(req));
  if (std::string reason = CheckKeys(
          query, {"sign", "timestamp", "bdstoken", "channel", "clienttype", "web", "app_id", "logid"},
          "query");
      !reason.empty())
    return RejectJson(reason);
  if (std::string reason = CheckWebClientQuery(query); !reason.empty()) return RejectJson(reason);

  const auto body = SplitFields(req.body);
  std::vector<FormField> head(body.begin(), body.begin() + std::min<std::size_t>(6, body.size()));
  if (std::string reason =
          CheckKeys(head, {"encrypt", "product", "uk", "primaryid", "fid_list", "path_list"}, "body");
      !reason.empty())
    return RejectJson(reason);
  const std::vector<FormField> tail(body.begin() + 6, body.end());
  const std::string tailKeys = Keys(tail);
  if (tailKeys != "" && tailKeys != "vcode_input,vcode_str" && tailKeys != "extra" &&
      tailKeys != "vcode_input,vcode_str,extra")
    return RejectJson("appended body keys are [" + tailKeys + "]");
  if (std::string reason = CheckFixed(body, {{"encrypt", "0"}, {"product", "share"}, {"path_list", ""}});
      !reason.empty())
    return RejectJson(reason);

  ShareRecord* share = FindByIds(RawField(body, "uk").value_or(""), RawField(body, "primaryid").value_or(""));
  if (share == nullptr) return RejectJson("uk and primaryid name no share");
  if (RawField(query, "sign").value_or("") != share->facts.sign) return RejectJson("sign is not the share's");
  if (RawField(query, "timestamp").value_or("") != share->facts.timestamp)
    return RejectJson("timestamp is not the share's");
  if (FormDecode(RawField(body, "fid_list").value_or("")) != "[" + share->facts.fsId + "]")
    return RejectJson("fid_list is not the share's file");

  if (!share->setup.password.empty()) {
    if (!HoldsCookie(req, share->bdclnd)) return RejectJson("the BDCLND cookie is not the share's");
    const std::string extra = FormDecode(RawField(body, "extra").value_or(""));
    if (extra != "{\"sekey\":\"" + PercentDecode(share->bdclnd) + "\"}")
      return RejectJson("extra does not hold the cookie");
  }

  Answer answer = JsonAnswer("");
  answer.delay = share->setup.delay;
  if (share->setup.captcha) {
    const auto input = RawField(body, "vcode_input");
    bool solved = false;
    if (input) {
      const auto captcha = captchas.find(RawField(body, "vcode_str").value_or(""));
      if (captcha != captchas.end()) {
        std::string typed = FormDecode(*input);
        std::transform(typed.begin(), typed.end(), typed.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        solved = typed == captcha->second;
        captchas.erase(captcha);  // one answer per captcha
      }
    }
    if (!solved) {
      answer.body = "{\"errno\":" + std::to_string(kCaptchaErrno) + ",\"request_id\":1}";
      return answer;
    }
  }

  const std::string reply = FileListReply(*share, Origin(req, https));
  switch (share->setup.reply) {
    case ReplyKind::Files:
      answer.body = reply;
      break;
    case ReplyKind::EmptyList:
      answer.body = "{\"errno\":0,\"request_id\":1,\"list\":[]}";
      break;
    case ReplyKind::ServiceError:
      answer.body = "{\"errno\":" + std::to_string(share->setup.serviceErrno) + ",\"request_id\":1}";
      break;
    case ReplyKind::Malformed:
      answer.body = "{\"errno\":0,\"list\":[{\"fs_id\":1},]}";
      break;
    case ReplyKind::Truncated:
      answer.body = reply.substr(0, reply.size() / 2);
      break;
    case ReplyKind::NoErrno:
      answer.body = "{\"request_id\":1,\"list\":[]}";
      break;
  }
  return answer;
}

Answer SimulatedShareService::State::CaptchaApiAnswer(const httplib::Request& req, bool https) {
  if (req.method != "GET") return RejectJson("method is not GET");
  if (std::string reason = CheckBrowserHeaders(req); !reason.empty()) return RejectJson(reason);
  const auto query = SplitFields(QueryOf(req));
  if (std::string reason = CheckKeys(
          query, {"prod", "t", "bdstoken", "channel", "clienttype", "web", "app_id", "logid"}, "query");
      !reason.empty())
    return RejectJson(reason);
  if (std::string reason = CheckFixed(query, {{"prod", "pan"}, {"t", kCaptchaT}}); !reason.empty())
    return RejectJson(reason);
  if (std::string reason = CheckWebClientQuery(query); !reason.empty()) return RejectJson(reason);

  const std::string vcode = RandomText("0123456789abcdef", 64) + RandomText("0123456789ABCDEF", 32);
  lastCaptchaAnswer = RandomText(kCaptchaAlphabet, 4);
  captchas[vcode] = lastCaptchaAnswer;
  return JsonAnswer("{\"errno\":0,\"img\":" + JsonString(Origin(req, https) + "/genimage?" + vcode) +
                    ",\"request_id\":2,\"vcode\":" + JsonString(vcode) + "}");
}

Answer SimulatedShareService::State::CaptchaImageAnswer(const httplib::Request& req) {
  if (req.method != "GET") return RejectPage("method is not GET");
  if (std::string reason = CheckBrowserHeaders(req); !reason.empty()) return RejectPage(reason);
  const auto captcha = captchas.find(QueryOf(req));
  if (captcha == captchas.end()) return RejectPage("no such captcha", 404);
  Answer answer;
  answer.contentType = "image/png";
  const auto png = RenderCaptchaPng(captcha->second, static_cast<std::uint32_t>(engine()));
  answer.body.assign(png.begin(), png.end());
  return answer;
}

void SimulatedShareService::State::Serve(httplib::Server& server, bool https) {
  const auto handler = [this, https](const httplib::Request& req, httplib::Response& res) {
    Answer answer;
    {
      std::lock_guard lock(mutex);
      answer = Handle(req, https);
      LoggedRequest entry;
      entry.https = https;
      entry.connection = req.remote_addr + ":" + std::to_string(req.remote_port);
      entry.method = req.method;
      entry.target = req.target;
      entry.path = req.path;
      for (const auto& [name, value] : req.headers) {
        // The server library adds the peer's address as pseudo headers; they were not sent.
        if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT")
          entry.headers.emplace_back(name, value);
      }
      entry.body = req.body;
      entry.status = answer.status;
      entry.rejection = answer.rejection;
      log.push_back(std::move(entry));
    }
    if (answer.delay.count() > 0) std::this_thread::sleep_for(answer.delay);
    res.status = answer.status;
    for (const auto& [name, value] : answer.headers) res.set_header(name, value);
    res.set_content(answer.body, answer.contentType);
  };
  server.Get(".*", handler);
  server.Post(".*", handler);
  server.set_keep_alive_max_count(kKeepAliveRequests);
  // Head and body go out in separate writes; without this each answer waits for a delayed ACK.
  server.set_tcp_nodelay(true);
}

namespace {

std::thread StartServing(httplib::Server& server) {
  std::promise<void> started;
  std::future<void> running = started.get_future();
  std::thread thread([&server, &started] {
    started.set_value();
    server.listen_after_bind();
  });
  running.wait();
  // The server marks itself running at the top of its accept loop, just after the thread starts.
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!server.is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return thread;
}

}  // namespace

SimulatedShareService::SimulatedShareService() : SimulatedShareService(Options{}) {}

SimulatedShareService::SimulatedShareService(Options options) : state_(std::make_unique<State>()) {
  state_->options = std::move(options);
  state_->engine.seed(state_->options.seed != 0 ? state_->options.seed : std::random_device{}());
}

SimulatedShareService::~SimulatedShareService() {
  Stop();
  if (state_->certIsTemporary && !state_->certPath.empty()) {
    std::error_code ignored;
    std::filesystem::remove(state_->certPath, ignored);
  }
}

bool SimulatedShareService::Start() {
  State& s = *state_;
  if (s.httpServer || s.httpsServer) return false;
  if (s.options.http) {
    s.httpServer = std::make_unique<httplib::Server>();
    s.Serve(*s.httpServer, false);
    s.httpPort =
        s.options.httpPort == 0
            ? s.httpServer->bind_to_any_port(s.options.host)
            : (s.httpServer->bind_to_port(s.options.host, s.options.httpPort) ? s.options.httpPort : -1);
    if (s.httpPort <= 0) return false;
  }
  if (s.options.https) {
    const TestCertificate cert = MakeTestCertificate();
    if (!cert.certificate || !cert.key) return false;
    s.certPath = s.options.certOut;
    if (s.certPath.empty()) {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "corvelle-share-service-XXXXXX.pem").string();
      const int fd = mkstemps(pattern.data(), 4);
      if (fd < 0) return false;
      close(fd);
      s.certPath = pattern;
      s.certIsTemporary = true;
    }
    std::ofstream(s.certPath, std::ios::binary | std::ios::trunc) << cert.pem;
    // The server takes its own references on the certificate and the key.
    s.httpsServer = std::make_unique<httplib::SSLServer>(cert.certificate.get(), cert.key.get());
    if (!s.httpsServer->is_valid()) return false;
    s.Serve(*s.httpsServer, true);
    s.httpsPort =
        s.options.httpsPort == 0
            ? s.httpsServer->bind_to_any_port(s.options.host)
            : (s.httpsServer->bind_to_port(s.options.host, s.options.httpsPort) ? s.options.httpsPort : -1);
    if (s.httpsPort <= 0) return false;
  }
  // The sockets listen from the bind on, so a client may connect as soon as Start returns. Start still
  // waits until each accept loop runs: a stop that came before it would be lost and the join would hang.
  if (s.httpServer) s.httpThread = StartServing(*s.httpServer);
  if (s.httpsServer) s.httpsThread = StartServing(*s.httpsServer);
  return true;
}

void SimulatedShareService::Stop() {
  State& s = *state_;
  if (s.httpServer) s.httpServer->stop();
  if (s.httpsServer) s.httpsServer->stop();
  if (s.httpThread.joinable()) s.httpThread.join();
  if (s.httpsThread.joinable()) s.httpsThread.join();
  s.httpServer.reset();
  s.httpsServer.reset();
}

int SimulatedShareService::HttpPort() const {
  return state_->httpPort;
}
int SimulatedShareService::HttpsPort() const {
  return state_->httpsPort;
}

std::string SimulatedShareService::HttpOrigin() const {
  return "http://" + state_->options.host + ":" + std::to_string(state_->httpPort);
}

std::string SimulatedShareService::HttpsOrigin() const {
  return "https://" + state_->options.host + ":" + std::to_string(state_->httpsPort);
}

std::string SimulatedShareService::CertPath() const {
  return state_->certPath;
}

void SimulatedShareService::AddShare(ShareSetup share) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  const int number = ++s.sharesMade;
  ShareRecord record;
  for (SharedFile& file : share.files) {
    if (file.md5.empty()) file.md5 = Md5For(file.name);
  }
  record.facts.uk = std::to_string(1100000000LL + 37LL * number);
  record.facts.shareid = std::to_string(20000000000LL + 101LL * number);
  record.firstFsId = 300000000000000LL + 1009LL * number;
  record.facts.fsId = std::to_string(record.firstFsId);
  record.facts.sign = s.RandomText("0123456789abcdef", 40);
  record.facts.timestamp = std::to_string(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
  // Like the service's own: Base64 with its "+", "/" and "=" percent-encoded.
  record.bdclnd = s.RandomText("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", 20) + "%2B" +
                  s.RandomText("abcdefghijklmnopqrstuvwxyz", 8) + "%2F" + s.RandomText("0123456789", 6) +
                  "%3D";
  record.setup = std::move(share);
  const std::string surl = record.setup.surl;
  s.shares[surl] = std::move(record);
}

std::string SimulatedShareService::LinkPath(std::string_view surl) {
  return "/s/1" + std::string(surl);
}

std::optional<ShareFacts> SimulatedShareService::Facts(std::string_view surl) const {
  std::lock_guard lock(state_->mutex);
  const auto found = state_->shares.find(surl);
  if (found == state_->shares.end()) return std::nullopt;
  return found->second.facts;
}

std::string SimulatedShareService::Bdclnd(std::string_view surl) const {
  std::lock_guard lock(state_->mutex);
  const auto found = state_->shares.find(surl);
  return found == state_->shares.end() ? std::string() : found->second.bdclnd;
}

std::string SimulatedShareService::LastCaptchaAnswer() const {
  std::lock_guard lock(state_->mutex);
  return state_->lastCaptchaAnswer;
}

std::optional<std::string> SimulatedShareService::CaptchaAnswer(std::string_view vcode) const {
  std::lock_guard lock(state_->mutex);
  const auto found = state_->captchas.find(vcode);
  if (found == state_->captchas.end()) return std::nullopt;
  return found->second;
}

std::vector<LoggedRequest> SimulatedShareService::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->log;
}

void SimulatedShareService::ClearLog() {
  std::lock_guard lock(state_->mutex);
  state_->log.clear();
}

}  // namespace corvelle::share_service
