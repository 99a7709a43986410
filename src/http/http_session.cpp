#include "http/http_session.h"

#include <algorithm>
#include <climits>
#include <string>

#include "http/detail/cookie_text.h"
#include "http/detail/header_block.h"
#include "platform/cookie_store.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace corvelle {

namespace {

namespace api = platform;

constexpr std::string_view kDefaultUserAgent = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)";
constexpr std::string_view kFormContentType = "application/x-www-form-urlencoded";
constexpr int kDefaultTimeouts[4] = {10000, 15000, 120000, 300000};

constexpr std::size_t kInitialBodyBlock = 10240;
constexpr std::size_t kUnknownLengthStep = 10240;
constexpr std::size_t kAnnouncedLengthStep = 1048576;
// bodyLength is a 32-bit count; a body that would pass it ends there.
constexpr std::size_t kBodyLimit = INT_MAX;

bool SetIntegerOption(api::HttpHandle handle, std::uint32_t option, std::uint32_t value) {
  return api::HttpSetOption(handle, option, &value, sizeof value);
}

// The header text the platform answers for `infoLevel`, or nothing when it has none.
std::optional<Text> QueryHeaderText(api::HttpHandle request, std::uint32_t infoLevel) {
  std::size_t bytes = 0;
  static_cast<void>(api::HttpQueryHeaders(request, infoLevel, nullptr, bytes));
  if (bytes < 1) return std::nullopt;
  std::u16string buffer((bytes + 1) / 2, u'\0');
  std::size_t size = buffer.size() * sizeof(char16_t);
  if (!api::HttpQueryHeaders(request, infoLevel, buffer.data(), size)) return std::nullopt;
  return Utf16ToText(buffer);
}

// "http://" in front of anything that does not already start with an http or https scheme; a text of
// fewer than 8 bytes always gets it.
Text WithScheme(std::string_view url) {
  if (url.size() >= 8) {
    const Text head = ToLowerAscii(url.substr(0, 8));
    if (head == "https://" || head.starts_with("http://")) return Text(url);
  }
  return "http://" + Text(url);
}

// The directory part of an absolute URL, ending with "/": what a relative location is resolved against.
Text UrlDirectory(std::string_view url) {
  const std::string_view base = url.substr(0, url.find_first_of("?#"));
  const std::size_t authority = base.find("://");
  const std::size_t pathStart =
      base.find('/', authority == std::string_view::npos ? 0 : authority + std::string_view("://").size());
  if (pathStart == std::string_view::npos) return Text(base) + "/";
  return Text(base.substr(0, base.rfind('/') + 1));
}

}  // namespace

HttpSession::HttpSession() {
  Open();
  ResetDefaults();
}

HttpSession::~HttpSession() {
  Close();
}

HttpSession::HttpSession(const HttpSession& other)
    : url(other.url),
      scheme(other.scheme),
      isPost(other.isPost),
      autoHeaders(other.autoHeaders),
      cookieMode(other.cookieMode),
      cookieJar(other.cookieJar),
      cookieJarLength(other.cookieJarLength),
      noRedirects(other.noRedirects),
      proxyCredentialsPending(other.proxyCredentialsPending),
      proxyUser(other.proxyUser),
      proxyPassword(other.proxyPassword),
      ignoreCertErrorsPending(other.ignoreCertErrorsPending) {
  Open(other.userAgent);
  static_cast<void>(SetTimeouts(other.timeouts[0], other.timeouts[1], other.timeouts[2], other.timeouts[3]));
  if (!other.proxyName.empty()) {
    // SetProxy would take the pending credentials as new ones; keep the copied ones as they are.
    const WideText proxy = TextToUtf16(other.proxyName);
    const api::ProxyInfo info{api::kAccessTypeNamedProxy, proxy};
    if (api::HttpSetOption(sessionHandle, api::kOptionProxy, &info, sizeof info)) proxyName = other.proxyName;
  }
}

void HttpSession::Open(std::optional<std::string_view> agent) {
  if (sessionHandle != 0 || connectionHandle != 0 || requestHandle != 0 || bodyBuffer.Data() != nullptr) {
    Close();
  }
  userAgent = agent ? std::optional<Text>(Text(*agent)) : std::nullopt;
  sessionHandle = api::HttpOpen(TextToUtf16(agent.value_or(kDefaultUserAgent)));
  bodyBuffer.Release();
  static_cast<void>(bodyBuffer.Resize(kInitialBodyBlock));
  std::copy(std::begin(kDefaultTimeouts), std::end(kDefaultTimeouts), std::begin(timeouts));
}

void HttpSession::Close() {
  if (requestHandle != 0) api::HttpCloseHandle(requestHandle);
  if (connectionHandle != 0) api::HttpCloseHandle(connectionHandle);
  if (sessionHandle != 0) api::HttpCloseHandle(sessionHandle);
  bodyBuffer.Release();
  requestHandle = 0;
  connectionHandle = 0;
  sessionHandle = 0;
  bodyLength = 0;
  contentLength = 0;
  port = 0;
  noRedirects = 0;
  proxyCredentialsPending = 0;
  responseHeaders.clear();
  proxyUser.clear();
  proxyPassword.clear();
  hostName.clear();
  url.clear();
  proxyName.clear();
}

void HttpSession::ResetDefaults() {
  autoHeaders = 1;
  cookieMode = 0;
  ignoreCertErrorsPending = 1;
  SetJar(Text(detail::kEmptyJar));
  static_cast<void>(SetTimeouts());
}

void HttpSession::MergeResponseCookies(std::optional<int> keepOnEmpty) {
  const bool keep = keepOnEmpty.value_or(0) == 1;
  bool changed = false;
  for (const Text& pair : detail::SetCookiePairs(responseHeaders)) {
    changed = detail::MergeResponsePair(cookieJar, pair, keep) || changed;
  }
  if (changed) cookieJarLength = static_cast<int>(cookieJar.size());
}

void HttpSession::StoreResponseCookies(std::optional<int> keepOnEmpty) {
  const bool keep = keepOnEmpty.value_or(0) == 1;
  for (const Text& pair : detail::SetCookiePairs(responseHeaders)) {
    const std::size_t equals = pair.find('=');
    if (equals == Text::npos) continue;
    const std::string_view name = std::string_view(pair).substr(0, equals);
    const std::string_view value = std::string_view(pair).substr(equals + 1);
    if (detail::IsDeletionMarker(pair)) {
      if (!keep) static_cast<void>(api::SetStoredCookie(url, name, {}));
    } else if (!keep || !TrimSpaces(value).empty()) {
      static_cast<void>(api::SetStoredCookie(url, name, value));
    }
  }
}

bool HttpSession::SetSystemCookies(std::string_view cookies) {
  bool handedOn = false;
  for (const Text& piece : SplitText(cookies, ";")) {
    const Text pair = TrimLeadingSpaces(piece);
    const std::size_t equals = pair.find('=');
    if (equals == Text::npos) continue;
    static_cast<void>(api::SetStoredCookie(url, std::string_view(pair).substr(0, equals),
                                           std::string_view(pair).substr(equals + 1)));
    handedOn = true;
  }
  return handedOn;
}

bool HttpSession::AttachJarCookies() {
  return AddHeaderText("Cookie:" + detail::JarContents(cookieJar, cookieJarLength), kHeaderAddOrReplace);
}

bool HttpSession::AttachSystemCookies() {
  const Text cookies = api::GetStoredCookies(url);
  if (cookies.empty()) return false;
  return AddHeaderText("Cookie:" + cookies, kHeaderAddOrReplace);
}

void HttpSession::AddDefaultHeaders(bool hasBody) {
  static_cast<void>(AddHeaderText("Accept:*/*", kHeaderAddIfNew));
  if (isPost == 1 || hasBody) {
    static_cast<void>(AddHeaderText("Content-Type:" + Text(kFormContentType), kHeaderAddIfNew));
  }
}

void HttpSession::ApplyPendingOptions() {
  if (proxyCredentialsPending == 1) {
    static_cast<void>(SetTextOption(requestHandle, api::kOptionProxyUsername, proxyUser));
    static_cast<void>(SetTextOption(requestHandle, api::kOptionProxyPassword, proxyPassword));
    proxyCredentialsPending = 0;
    proxyUser.clear();
    proxyPassword.clear();
  }
  if (noRedirects == 1 || cookieMode > 0) {
    static_cast<void>(SetIntegerOption(requestHandle, api::kOptionDisableFeature, api::kDisableRedirects));
  }
  if (ignoreCertErrorsPending == 1) {
    static_cast<void>(
        SetIntegerOption(requestHandle, api::kOptionSecurityFlags, api::kSecurityIgnoreAllCertErrors));
    ignoreCertErrorsPending = 0;
  }
  if (cookieMode != 0) {
    static_cast<void>(SetIntegerOption(requestHandle, api::kOptionDisableFeature, api::kDisableCookies));
    if (cookieMode == 1) static_cast<void>(AttachJarCookies());
    if (cookieMode == 2) static_cast<void>(AttachSystemCookies());
  }
}

bool HttpSession::CaptureResponse(std::optional<int> keepOnEmpty) {
  std::optional<Text> headers = QueryHeaderText(requestHandle, api::kQueryRawHeadersCrlf);
  if (!headers) {
    contentLength = -1;
    return false;
  }
  responseHeaders = std::move(*headers);
  const std::optional<std::string_view> announced =
      detail::FirstHeaderValue(responseHeaders, "Content-Length");
  // A missing, zero, unreadable or negative length all mean "not announced".
  const int length = announced ? TextToInt(*announced) : 0;
  contentLength = length > 0 ? length : -1;
  if (cookieMode == 1) MergeResponseCookies(keepOnEmpty.value_or(0));
  if (cookieMode == 2) StoreResponseCookies(keepOnEmpty.value_or(0));
  return true;
}

void HttpSession::FollowRedirect(int keepOnEmpty, int retries) {
  // A loop rather than a send calling back into itself: each hop replaces the request and the captured
  // response, so the caller finally sees the last response of the chain.
  while (cookieMode != 0 && noRedirects != 1) {
    const Text location = GetRedirectLocation(1);
    if (location.empty()) break;
    if (++redirectCount > kRedirectLimit) break;
    if (!OpenRequest(std::nullopt, location)) {
      ForgetResponse();
      break;
    }
    if (!SendOnce(nullptr, 0, keepOnEmpty, retries)) break;
  }
  // Whatever ended the chain, the next one starts counting afresh.
  redirectCount = 0;
}

api::HttpHandle HttpSession::SessionHandle(std::optional<api::HttpHandle> newHandle) {
  if (newHandle) sessionHandle = *newHandle;
  return sessionHandle;
}

api::HttpHandle HttpSession::ConnectionHandle(std::optional<api::HttpHandle> newHandle) {
  if (newHandle) connectionHandle = *newHandle;
  return connectionHandle;
}

api::HttpHandle HttpSession::RequestHandle(std::optional<api::HttpHandle> newHandle) {
  if (newHandle) requestHandle = *newHandle;
  return requestHandle;
}

void HttpSession::SetAutoHeaders(std::optional<int> on) {
  autoHeaders = on.value_or(1);
}

void HttpSession::SetCookieMode(std::optional<int> mode) {
  const int value = mode.value_or(1);
  cookieMode = value < 0 || value > 2 ? 0 : value;
}

void HttpSession::Reopen(std::optional<std::string_view> agent) {
  Close();
  Open(agent);
  ResetDefaults();
}

bool HttpSession::OpenRequest(std::optional<std::string_view> method, std::string_view requestUrl) {
  if (sessionHandle == 0) return false;
  url = WithScheme(requestUrl);
  const WideText wideUrl = TextToUtf16(url);
  api::UrlComponents parts;
  if (!api::HttpCrackUrl(wideUrl, parts)) return false;
  ForgetResponse();
  if (requestHandle != 0) api::HttpCloseHandle(requestHandle);
  requestHandle = 0;

  const Text host = Utf16ToText(parts.hostName);
  if (connectionHandle == 0 || host != hostName || parts.port != port) {
    if (connectionHandle != 0) api::HttpCloseHandle(connectionHandle);
    connectionHandle = api::HttpConnect(sessionHandle, parts.hostName, parts.port);
    if (connectionHandle == 0) return false;
    hostName = host;
    port = parts.port;
  }

  WideText verb = u"GET";
  if (method && !method->empty()) {
    const Text upper = ToUpperAscii(*method);
    if (autoHeaders == 1) isPost = upper == "POST" ? 1 : 0;
    verb = TextToUtf16(upper);
  }
  // A URL without a path ("http://host?x=1") still keeps its query behind the "/".
  std::u16string objectName = parts.urlPath.empty() ? std::u16string(u"/") : std::u16string(parts.urlPath);
  objectName.append(parts.extraInfo);

  scheme = static_cast<int>(parts.scheme);
  const std::uint32_t flags = parts.scheme == api::kSchemeHttps ? api::kFlagSecure : 0;
  requestHandle = api::HttpOpenRequest(connectionHandle, verb, objectName, flags);
  return requestHandle != 0;
}

bool HttpSession::SendText(std::optional<std::string_view> body, std::optional<int> keepOnEmpty,
                           std::optional<int> retries) {
  const std::string_view text = body.value_or(std::string_view());
  return SendBody(text.data(), text.size(), keepOnEmpty, retries);
}

bool HttpSession::SendBytes(std::optional<std::span<const std::uint8_t>> body, std::optional<int> keepOnEmpty,
                            std::optional<int> retries) {
  const std::span<const std::uint8_t> bytes = body.value_or(std::span<const std::uint8_t>());
  return SendBody(bytes.data(), bytes.size(), keepOnEmpty, retries);
}

Bytes HttpSession::GetResponseBytes() {
  if (requestHandle == 0 || contentLength == 0) return {};
  if (bodyLength == 0) {
    const std::size_t announced = contentLength < 0 ? 0 : static_cast<std::size_t>(contentLength);
    std::size_t capacity = announced == 0 ? kInitialBodyBlock : std::min(announced, kAnnouncedLengthStep);
    if (!bodyBuffer.Resize(capacity)) return {};
    std::size_t total = 0;
    for (;;) {
      std::size_t available = 0;
      if (!api::HttpQueryDataAvailable(requestHandle, available) || available < 1) break;
      const std::size_t needed = total + std::min(available, kBodyLimit);
      if (needed > kBodyLimit) break;
      if (needed > bodyBuffer.Capacity()) {
        if (announced == 0 || needed > announced) {
          // Unannounced (or overrun) lengths grow geometrically so a long body is not copied over and
          // over again.
          capacity = std::max(needed + kUnknownLengthStep, bodyBuffer.Capacity() * 2);
        } else if (announced - needed > kAnnouncedLengthStep) {
          capacity = needed + kAnnouncedLengthStep;
        } else {
          capacity = announced;
        }
        if (!bodyBuffer.Resize(std::min(capacity, kBodyLimit))) break;
      }
      std::size_t read = 0;
      if (!api::HttpReadData(requestHandle, bodyBuffer.Data() + total, bodyBuffer.Capacity() - total, read) ||
          read == 0) {
        break;
      }
      total += read;
    }
    bodyLength = static_cast<int>(total);
  }
  Bytes body;
  body.reserve(static_cast<std::size_t>(bodyLength));
  detail::PrefaultForWriting(body.data(), body.capacity());
  body.assign(bodyBuffer.Data(), bodyBuffer.Data() + bodyLength);
  return body;
}

Text HttpSession::GetResponseText() {
  return BytesToText(GetResponseBytes());
}

Text HttpSession::GetResponseTextUtf8() {
  const Bytes body = GetResponseBytes();
  return Utf8ToText(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
}

int HttpSession::GetStatusCode() {
  if (requestHandle == 0 || contentLength == 0) return 0;
  const std::optional<Text> status = QueryHeaderText(requestHandle, api::kQueryStatusCode);
  return status ? TextToInt(*status) : 0;
}

Text HttpSession::GetStatusText() {
  if (requestHandle == 0 || contentLength == 0) return {};
  return QueryHeaderText(requestHandle, api::kQueryStatusText).value_or(Text());
}

Text HttpSession::GetResponseHeaders() const {
  return responseHeaders;
}

Text HttpSession::GetResponseHeader(std::string_view name) const {
  const std::optional<std::string_view> value = detail::FirstHeaderValue(responseHeaders, name);
  return value ? TrimLeadingSpaces(*value) : Text();
}

Text HttpSession::GetResponseCookies() const {
  Text cookies;
  for (const Text& pair : detail::SetCookiePairs(responseHeaders)) {
    if (detail::IsDeletionMarker(pair)) continue;
    if (!cookies.empty()) cookies.append("; ");
    cookies.append(pair);
  }
  return cookies;
}

Text HttpSession::GetResponseCookie(std::string_view name) const {
  const Text key = Text(name) + "=";
  for (const std::string_view header : detail::HeaderValues(responseHeaders, "Set-Cookie")) {
    const Text value = TrimLeadingSpaces(header);
    if (detail::StartsWithIgnoringCase(value, key))
      return value.substr(key.size(), value.find(';') - key.size());
  }
  return {};
}

Text HttpSession::GetRedirectLocation(std::optional<int> absolute) const {
  const std::optional<std::string_view> header = detail::FirstHeaderValue(responseHeaders, "Location");
  if (!header) return {};
  Text location = TrimSpaces(*header);
  if (location.empty() || absolute.value_or(0) != 1) return location;
  if (location.front() == '/') {
    return (scheme == static_cast<int>(api::kSchemeHttps) ? "https://" : "http://") + hostName + ":" +
           std::to_string(port) + location;
  }
  if (detail::StartsWithIgnoringCase(location, "http://") ||
      detail::StartsWithIgnoringCase(location, "https://")) {
    return location;
  }
  return UrlDirectory(url) + location;
}

bool HttpSession::SetTimeouts(std::optional<int> resolveMs, std::optional<int> connectMs,
                              std::optional<int> sendMs, std::optional<int> receiveMs) {
  if (sessionHandle == 0) return false;
  timeouts[0] = resolveMs.value_or(kDefaultTimeouts[0]);
  timeouts[1] = connectMs.value_or(kDefaultTimeouts[1]);
  timeouts[2] = sendMs.value_or(kDefaultTimeouts[2]);
  timeouts[3] = receiveMs.value_or(kDefaultTimeouts[3]);
  return api::HttpSetTimeouts(sessionHandle, timeouts[0], timeouts[1], timeouts[2], timeouts[3]);
}

bool HttpSession::SetProxy(std::optional<std::string_view> proxy, std::optional<std::string_view> user,
                           std::optional<std::string_view> password) {
  if (sessionHandle == 0) return false;
  const std::string_view proxyText = proxy.value_or(std::string_view());
  if (proxyText.empty()) {
    const api::ProxyInfo direct{api::kAccessTypeNoProxy, {}};
    proxyName.clear();
    return api::HttpSetOption(sessionHandle, api::kOptionProxy, &direct, sizeof direct);
  }
  const std::string_view userText = user.value_or(std::string_view());
  const std::string_view passwordText = password.value_or(std::string_view());
  if (requestHandle != 0) {
    static_cast<void>(SetTextOption(requestHandle, api::kOptionProxyUsername, userText));
    static_cast<void>(SetTextOption(requestHandle, api::kOptionProxyPassword, passwordText));
  } else {
    proxyCredentialsPending = 1;
    proxyUser = userText;
    proxyPassword = passwordText;
  }
  const WideText wideProxy = TextToUtf16(proxyText);
  const api::ProxyInfo named{api::kAccessTypeNamedProxy, wideProxy};
  proxyName = proxyText;
  return api::HttpSetOption(sessionHandle, api::kOptionProxy, &named, sizeof named);
}

bool HttpSession::SetCredentials(std::string_view user, std::string_view password, std::optional<int> target,
                                 std::optional<int> authScheme) {
  if (requestHandle == 0) return false;
  return api::HttpSetCredentials(requestHandle,
                                 static_cast<std::uint32_t>(target.value_or(api::kAuthTargetServer)),
                                 static_cast<std::uint32_t>(authScheme.value_or(api::kAuthSchemeBasic)),
                                 TextToUtf16(user), TextToUtf16(password));
}

bool HttpSession::SetOption(std::optional<int> selector, std::uint32_t option, std::uint32_t value,
                            std::size_t size) {
  const int which = selector.value_or(0);
  const api::HttpHandle handle = which == 1 ? connectionHandle : which == 2 ? requestHandle : sessionHandle;
  if (handle == 0) return false;
  // The value lives in a 32-bit integer here; a larger size would let the platform read past it.
  if (size > sizeof value) return false;
  return api::HttpSetOption(handle, option, &value, size);
}

void HttpSession::SetFollowRedirects(std::optional<int> follow) {
  noRedirects = follow && (*follow & 1) == 0 ? 1 : 0;
}

bool HttpSession::SetHeader(std::string_view name, std::string_view value,
                            std::optional<std::uint32_t> flags) {
  if (requestHandle == 0 || name.empty()) return false;
  if (cookieMode == 0 && ToLowerAscii(name) == "cookie") {
    static_cast<void>(SetIntegerOption(requestHandle, api::kOptionDisableFeature, api::kDisableCookies));
  }
  return AddHeaderText(Text(name) + ":" + Text(value), flags.value_or(kHeaderAddOrReplace));
}

bool HttpSession::AddHeaderLines(std::string_view lines, std::optional<std::uint32_t> flags) {
  if (requestHandle == 0 || lines.empty()) return false;
  if (cookieMode == 0 && FindText(lines, "cookie:", 1, CaseMode::Insensitive) != -1) {
    static_cast<void>(SetIntegerOption(requestHandle, api::kOptionDisableFeature, api::kDisableCookies));
  }
  return AddHeaderText(lines, flags.value_or(kHeaderAddOrReplace));
}

bool HttpSession::RemoveHeader(std::string_view name) {
  if (requestHandle == 0 || name.empty()) return false;
  if (cookieMode == 0 && ToLowerAscii(name) == "cookie") {
    static_cast<void>(SetIntegerOption(requestHandle, api::kOptionDisableFeature, api::kDisableCookies));
  }
  return AddHeaderText(Text(name) + ":", kHeaderReplace);
}

bool HttpSession::SetRequestCookies(std::string_view cookies) {
  if (cookieMode == 1) return MergeJarCookies(cookies);
  if (cookieMode == 2) return SetSystemCookies(cookies);
  if (requestHandle == 0) return false;
  static_cast<void>(SetIntegerOption(requestHandle, api::kOptionDisableFeature, api::kDisableCookies));
  return SetHeader("Cookie", cookies);
}

bool HttpSession::SetUserAgent(std::optional<std::string_view> value) {
  return SetHeader("User-Agent", value.value_or(kDefaultUserAgent));
}

bool HttpSession::SetReferer(std::optional<std::string_view> value) {
  return SetHeader("Referer", value.value_or(std::string_view(url)));
}

bool HttpSession::SetOrigin(std::optional<std::string_view> value) {
  return SetHeader("Origin", value.value_or(std::string_view(url)));
}

bool HttpSession::SetAccept(std::optional<std::string_view> value) {
  return SetHeader("Accept", value.value_or("*/*"));
}

bool HttpSession::SetAcceptLanguage(std::optional<std::string_view> value) {
  return SetHeader("Accept-Language", value.value_or("zh-cn"));
}

bool HttpSession::SetContentType(std::optional<std::string_view> value) {
  return SetHeader("Content-Type", value.value_or(kFormContentType));
}

bool HttpSession::SetAjaxHeader() {
  return SetHeader("x-requested-with", "XMLHttpRequest");
}

bool HttpSession::SetForwardedFor(std::string_view address) {
  if (requestHandle == 0) return false;
  const Text value(address);
  return AddHeaderText(
      "X-Forwarded-For:" + value + "\r\nCLIENT_IP:" + value + "\r\nVIA:" + value + "\r\nREMOTE_ADDR:" + value,
      kHeaderAddOrReplace);
}

Text HttpSession::CookieJar(std::optional<std::string_view> newJar) {
  if (!newJar) return detail::JarContents(cookieJar, cookieJarLength);
  SetJar(detail::NormaliseJar(*newJar));
  return Text(*newJar);
}

Text HttpSession::GetJarCookie(std::string_view name, std::optional<int> withName) const {
  if (name.empty()) return {};
  const std::size_t entry = detail::FindFrom(cookieJar, "; " + Text(name) + "=");
  if (entry == Text::npos) return {};
  const std::size_t nameStart = entry + 2;
  const std::size_t valueStart = nameStart + name.size() + 1;
  const std::size_t end = detail::FindFrom(cookieJar, ";", nameStart + name.size());
  if (end == Text::npos) return {};
  if (withName.value_or(0) == 1) return cookieJar.substr(nameStart, end - nameStart);
  return cookieJar.substr(valueStart, end - valueStart);
}

bool HttpSession::MergeJarCookies(std::string_view cookies) {
  bool changed = false;
  for (const Text& piece : SplitText(cookies, ";")) {
    const Text pair = TrimLeadingSpaces(piece);
    if (pair.find('=') == Text::npos) continue;
    changed = detail::MergeCallerPair(cookieJar, pair) || changed;
  }
  if (changed) cookieJarLength = static_cast<int>(cookieJar.size());
  return changed;
}

bool HttpSession::RemoveJarCookies(std::string_view names) {
  bool removed = false;
  for (const Text& piece : SplitText(names, ";")) {
    const Text name = TrimLeadingSpaces(piece);
    removed = detail::RemoveJarEntry(cookieJar, std::string_view(name).substr(0, name.find('='))) || removed;
  }
  if (removed) cookieJarLength = static_cast<int>(cookieJar.size());
  return removed;
}

bool HttpSession::Get(std::string_view requestUrl, std::optional<std::string_view> cookies,
                      std::optional<std::string_view> headerLines, std::optional<std::string_view> proxy,
                      std::optional<int> attempts) {
  return Exchange("GET", requestUrl, nullptr, 0, cookies, headerLines, proxy, attempts);
}

bool HttpSession::PostText(std::string_view requestUrl, std::string_view body,
                           std::optional<std::string_view> cookies,
                           std::optional<std::string_view> headerLines, std::optional<std::string_view> proxy,
                           std::optional<int> attempts) {
  return Exchange("POST", requestUrl, body.data(), body.size(), cookies, headerLines, proxy, attempts);
}

bool HttpSession::PostBytes(std::string_view requestUrl, const Bytes& body,
                            std::optional<std::string_view> cookies,
                            std::optional<std::string_view> headerLines,
                            std::optional<std::string_view> proxy, std::optional<int> attempts) {
  return Exchange("POST", requestUrl, body.data(), body.size(), cookies, headerLines, proxy, attempts);
}

bool HttpSession::SendBody(const void* body, std::size_t length, std::optional<int> keepOnEmpty,
                           std::optional<int> retries) {
  const int keep = keepOnEmpty.value_or(1);
  const int retryCount = retries.value_or(0);
  if (!SendOnce(body, length, keep, retryCount)) return false;
  FollowRedirect(keep, retryCount);
  return true;
}

bool HttpSession::SendOnce(const void* body, std::size_t length, int keepOnEmpty, int retries) {
  if (requestHandle == 0) return false;
  ApplyPendingOptions();
  if (autoHeaders == 1) AddDefaultHeaders(length > 0);
  bool received = false;
  for (long long attempt = 0; attempt <= static_cast<long long>(retries) && !received; ++attempt) {
    received = api::HttpSendRequest(requestHandle, body, length) && api::HttpReceiveResponse(requestHandle);
    if (!received) {
      const std::uint32_t code = api::HttpGetLastError();
      if (code != api::kErrorCannotConnect && code != api::kErrorConnectionError) return false;
    }
  }
  if (!received) return false;
  static_cast<void>(CaptureResponse(keepOnEmpty));
  return true;
}

void HttpSession::ForgetResponse() {
  bodyLength = 0;
  contentLength = 0;
  responseHeaders.clear();
}

bool HttpSession::AddHeaderText(std::string_view header, std::uint32_t flags) {
  return api::HttpAddRequestHeaders(requestHandle, TextToUtf16(header), flags);
}

bool HttpSession::SetTextOption(api::HttpHandle handle, std::uint32_t option, std::string_view value) {
  if (value.empty()) return api::HttpSetOption(handle, option, u"", 0);
  const WideText wide = TextToUtf16(value);
  return api::HttpSetOption(handle, option, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
}

bool HttpSession::Exchange(std::string_view method, std::string_view requestUrl, const void* body,
                           std::size_t length, std::optional<std::string_view> cookies,
                           std::optional<std::string_view> headerLines, std::optional<std::string_view> proxy,
                           std::optional<int> attempts) {
  int status = 0;
  for (int attempt = 1; attempt <= attempts.value_or(5); ++attempt) {
    if (proxy) static_cast<void>(SetProxy(*proxy));
    static_cast<void>(OpenRequest(method, requestUrl));
    if (headerLines) static_cast<void>(AddHeaderLines(*headerLines));
    if (cookies) static_cast<void>(SetRequestCookies(*cookies));
    static_cast<void>(SendBody(body, length, std::nullopt, std::nullopt));
    status = GetStatusCode();
    if (status >= 1 && status != 504 && status != 407) break;
  }
  return status == 200 || status == 301 || status == 302;
}

void HttpSession::SetJar(Text jar) {
  cookieJar = std::move(jar);
  cookieJarLength = static_cast<int>(cookieJar.size());
}

}  // namespace corvelle
