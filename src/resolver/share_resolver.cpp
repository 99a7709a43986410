#include "resolver/share_resolver.h"

#include "http/http_session.h"
#include "json/json_document.h"
#include "resolver/log_id.h"
#include "resolver/service_origin.h"
#include "resolver/share_text.h"

namespace corvelle {
namespace {

constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/63.0.3239.84 "
    "Safari/537.36";
constexpr char kPasswordCheckFailed[] = "\xC3\xDC\xC2\xEB\xD0\xA3\xD1\xE9\xCA\xA7\xB0\xDC";  // 密码校验失败

constexpr char kVerifyQuery[] =
    "/share/verify?surl=&t=&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=250528&logid=";
constexpr char kVerifyBody[] = "pwd=&vcode=&vcode_str=";
constexpr char kDownloadQuery[] =
    "/api/sharedownload?sign=&timestamp=&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=&logid=";
constexpr char kDownloadBody[] = "encrypt=0&product=share&uk=&primaryid=&fid_list=&path_list=";
constexpr char kCaptchaQuery[] =
    "/api/getvcode?prod=pan&t=0.35008895617264724&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=&"
    "logid=";

constexpr int kRedirectStatus = 302;
constexpr int kSuccessStatus = 200;
constexpr std::size_t kVerifiedPasswordLength = 4;

// Our own codes for a download-link reply that cannot be used.
constexpr std::int32_t kReplyNotParsed = -99;
constexpr std::int32_t kReplyWithoutErrno = -100;

// Every request of the protocol carries the browser's user agent and the script-request marker.
void AddBrowserHeaders(HttpSession& session) {
  session.SetUserAgent(kUserAgent);
  session.SetHeader("X-Requested-With", "XMLHttpRequest");
}

}  // namespace

struct ShareResolver::State {
  // Declared first so that it is destroyed last: the session goes before the context.
  ShareContext context;
  HttpSession session;
  LogIdSource logIdSource = DefaultLogIdSource();
};

ShareResolver::ShareResolver() : state_(std::make_unique<State>()) {}

ShareResolver::~ShareResolver() = default;

// A resolver of its own: a fresh session (the session's own copy never shares handles), the same ids.
ShareResolver::ShareResolver(const ShareResolver& other) : state_(std::make_unique<State>()) {
  state_->context = other.state_->context;
  state_->logIdSource = other.state_->logIdSource;
}

bool ShareResolver::LoadShare(const Text& link, const std::optional<Text>& password, Text* error) {
  ShareContext& context = state_->context;
  HttpSession& session = state_->session;
  if (password && password->size() == kVerifiedPasswordLength && !VerifyPassword(link, *password)) {
    if (error != nullptr) *error = kPasswordCheckFailed;
    return false;
  }

  // The cookie mode and the redirect switch stay as the earlier operations left them. A link the
  // session cannot open leaves the previous response in place; it must not be scraped as this page.
  Text page;
  if (session.OpenRequest("GET", link)) {
    session.SetReferer();
    AddBrowserHeaders(session);
    session.SendText();
    page = session.GetResponseText();
    if (context.bdclnd.empty()) context.bdclnd = session.GetResponseCookie("BDCLND");
  }

  context.app_id = TextBetween(page, "app_id\":\"", "\"");
  context.sign = TextBetween(page, "sign\":\"", "\"");
  context.timestamp = TextBetween(page, "timestamp\":", ",");
  context.uk = TextBetween(page, "uk\":", ",");
  context.shareid = TextBetween(page, "shareid\":", ",");
  const Text fileId = TextBetween(page, "fs_id\":", ",");
  context.fid_list = "[" + fileId + "]";
  return !context.uk.empty() && !context.shareid.empty() && !fileId.empty();
}

bool ShareResolver::VerifyPassword(const Text& link, const Text& password) {
  ShareContext& context = state_->context;
  HttpSession& session = state_->session;
  JsonDocument reply;

  session.SetAutoHeaders();
  session.SetCookieMode(1);
  if (!session.OpenRequest("GET", link)) return false;
  session.SetReferer();
  AddBrowserHeaders(session);
  session.SetFollowRedirects(0);
  session.SendText();
  const int status = session.GetStatusCode();
  // A share this session has unlocked before answers its page at once, because the jar already holds
  // its BDCLND; without this a second resolution of the same protected link would always fail.
  if (status == kSuccessStatus && !context.bdclnd.empty() && !session.GetJarCookie("BDCLND").empty()) {
    session.SetFollowRedirects(1);
    return true;
  }
  if (status != kRedirectStatus) return false;
  const Text surl = TextAfterLast(session.GetRedirectLocation(1), "surl=");
  if (surl.empty()) return false;

  const Text origin = ServiceOrigin();
  Text url = origin + kVerifyQuery;
  (void)FillParam(url, "surl", surl);
  (void)FillParam(url, "t", MillisTimestamp());
  (void)FillParam(url, "logid", MakeLogId());
  Text body = kVerifyBody;
  (void)FillParam(body, "pwd", password);

  Text replyText;
  if (session.OpenRequest("POST", url)) {
    session.SetReferer(origin + "/share/init?surl=" + link);
    AddBrowserHeaders(session);
    session.SetFollowRedirects(1);
    session.SendText(body);
    replyText = session.GetResponseText();
    const Text cookie = session.GetResponseCookie("BDCLND");
    if (!cookie.empty()) context.bdclnd = cookie;
  }
  if (context.bdclnd.empty()) return false;
  if (!reply.Parse(replyText, false)) return false;
  if (!reply.Exists("errno")) return false;
  return reply.GetInteger("errno") == 0;
}

std::int32_t ShareResolver::RequestDownloadLink(const std::optional<Text>& captchaAnswer, FileEntry& entry) {
  const ShareContext& context = state_->context;
  HttpSession& session = state_->session;
  JsonDocument reply;

  Text url = ServiceOrigin() + kDownloadQuery;
  (void)FillParam(url, "sign", context.sign);
  (void)FillParam(url, "timestamp", context.timestamp);
  (void)FillParam(url, "app_id", context.app_id);
  (void)FillParam(url, "logid", MakeLogId());

  Text body = kDownloadBody;
  if (captchaAnswer) {
    PutParam(body, "vcode_input", *captchaAnswer);
    PutParam(body, "vcode_str", context.vcode_str);
  }
  if (!context.bdclnd.empty()) {
    // {"sekey":"<bdclnd>"} percent-encoded; the cookie value is already in its encoded form.
    PutParam(body, "extra", "%7B%22sekey%22%3A%22" + context.bdclnd + "%22%7D");
  }
  (void)FillParam(body, "uk", context.uk);
  (void)FillParam(body, "primaryid", context.shareid);
  (void)FillParam(body, "fid_list", UrlEncode(context.fid_list));

  session.SetAutoHeaders();
  session.SetCookieMode();
  Text replyText;
  if (session.OpenRequest("POST", url)) {
    AddBrowserHeaders(session);
    session.SendText(body);
    replyText = session.GetResponseText();
  }
  if (!reply.Parse(replyText, true)) return kReplyNotParsed;
  if (!reply.Exists("errno")) return kReplyWithoutErrno;
  const std::int64_t errnoValue = reply.GetInteger("errno");
  if (errnoValue != 0) return static_cast<std::int32_t>(static_cast<std::uint32_t>(errnoValue & 0xFFFFFFFF));

  entry.file_name = reply.GetString("list[0].server_filename");
  entry.md5 = reply.GetString("list[0].md5");
  entry.dlink = reply.GetString("list[0].dlink");
  entry.size = reply.GetInteger("list[0].size");
  return 0;
}

Bytes ShareResolver::FetchCaptcha() {
  ShareContext& context = state_->context;
  // A session of its own for each captcha: its cookies never reach the main session, nor the reverse.
  HttpSession captchaSession;
  JsonDocument reply;
  captchaSession.SetAutoHeaders();
  captchaSession.SetCookieMode();

  Text url = ServiceOrigin() + kCaptchaQuery;
  (void)FillParam(url, "app_id", context.app_id);
  (void)FillParam(url, "logid", MakeLogId());

  const auto get = [&](const Text& address) {
    if (!captchaSession.OpenRequest("GET", address)) return false;
    AddBrowserHeaders(captchaSession);
    captchaSession.SetRequestCookies(context.captcha_cookies);
    captchaSession.SendText();
    return true;
  };
  if (!get(url)) return {};
  if (!reply.Parse(captchaSession.GetResponseText(), false)) return {};
  if (reply.GetInteger("errno") != 0) return {};
  context.vcode_str = reply.GetString("vcode");
  const Text image = reply.GetString("img");
  if (image.empty()) return {};
  if (!get(image)) return {};
  return captchaSession.GetResponseBytes();
}

Text ShareResolver::MakeLogId() {
  const LogIdSource& source = state_->logIdSource;
  return MakeLogIdFrom(source.millisSinceEpoch(), source.random());
}

void ShareResolver::SetLogIdSource(LogIdSource source) {
  state_->logIdSource = std::move(source);
}

const ShareContext& ShareResolver::Context() const {
  return state_->context;
}

HttpSession& ShareResolver::Session() {
  return state_->session;
}

}  // namespace corvelle
