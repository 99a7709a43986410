#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "http/detail/body_block.h"
#include "platform/http_api.h"
#include "text/text_types.h"

namespace corvelle {

// The program's HTTP client: one platform session handle, at most one connection (one host and port at a
// time) and at most one request, all used synchronously. Around them it keeps what the share protocol
// needs between requests: the current URL, the raw header block of the last response, a body buffer that
// lives as long as the session is open, a cookie jar of its own and a few switches.
//
// Cookie modes: 0 leaves cookies (and redirects) to the platform layer; 1 keeps them in `cookieJar`
// ("; a=1; b=2; "), sends the jar with every request and follows redirects itself so that cookies set on
// intermediate hops are kept; 2 does the same through the process-wide cookie store.
//
// Results are plain values: true/1 for success, a status code, an empty text or empty bytes on failure.
// Nothing throws and nothing is logged. Optional arguments are std::nullopt when not given; each
// operation states the default it then applies.
class HttpSession {
 public:
  // Flags of SetHeader / AddHeaderLines (combinable with |).
  static constexpr std::uint32_t kHeaderAddIfNew = platform::kAddHeaderAddIfNew;
  static constexpr std::uint32_t kHeaderAdd = platform::kAddHeaderAdd;
  static constexpr std::uint32_t kHeaderReplace = platform::kAddHeaderReplace;
  static constexpr std::uint32_t kHeaderAddOrReplace = kHeaderAdd | kHeaderReplace;

  static constexpr int kRedirectLimit = 20;

  // Opens the session with the default user agent and applies ResetDefaults: ready for OpenRequest.
  HttpSession();
  // Closes every handle and frees the body buffer.
  ~HttpSession();
  // A deep copy: the copy gets a session handle of its own (same user agent, timeouts and proxy), its own
  // body buffer and copies of every text and switch; it holds no connection or request, so it reports no
  // response until it sends one. Two objects never share a handle or a buffer.
  HttpSession(const HttpSession& other);
  HttpSession& operator=(const HttpSession&) = delete;

  // Opens a platform session with `userAgent` (absent: "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT
  // 6.2)"; given but empty: an empty user agent) and a fresh 10240-byte body buffer. Whatever the object
  // still held is released first.
  void Open(std::optional<std::string_view> userAgent = std::nullopt);
  // Closes request, connection and session handles, frees the body buffer and forgets the response, the
  // URL, the host and pending proxy credentials. Keeps the jar, the cookie mode and the other switches.
  void Close();
  // autoHeaders 1, cookie mode 0, empty jar, certificate leniency for the next request, default timeouts
  // (10000, 15000, 120000, 300000 ms).
  void ResetDefaults();

  // Merges the Set-Cookie headers of the last response into the jar (absent keepOnEmpty = 0).
  void MergeResponseCookies(std::optional<int> keepOnEmpty = std::nullopt);
  // Writes the Set-Cookie headers of the last response to the cookie store under `url`.
  void StoreResponseCookies(std::optional<int> keepOnEmpty = std::nullopt);
  // "a=1; b=2" into the cookie store under `url`; true when at least one cookie was handed on.
  bool SetSystemCookies(std::string_view cookies);
  // Puts the jar on the open request as its Cookie header (an empty jar removes the header).
  bool AttachJarCookies();
  // Puts the store's cookies for `url` on the open request; false and no header when there are none.
  bool AttachSystemCookies();
  // "Accept:*/*" and, for a POST or a request with a body, the form Content-Type, each only when the
  // request has no header of that name yet.
  void AddDefaultHeaders(bool hasBody);
  // Applied just before a send: pending proxy credentials, redirect and cookie switches, the one-time
  // certificate leniency, the Cookie header of modes 1 and 2.
  void ApplyPendingOptions();
  // Records the header block, the announced length and the cookies of the response just received.
  bool CaptureResponse(std::optional<int> keepOnEmpty = std::nullopt);
  // Follows the Location of the last response (modes 1 and 2, unless redirects are switched off), at
  // most kRedirectLimit times in a row.
  void FollowRedirect(int keepOnEmpty, int retries);

  // Handle access: a given handle overwrites the field (nothing is closed); the result is the field.
  platform::HttpHandle SessionHandle(std::optional<platform::HttpHandle> newHandle = std::nullopt);
  platform::HttpHandle ConnectionHandle(std::optional<platform::HttpHandle> newHandle = std::nullopt);
  platform::HttpHandle RequestHandle(std::optional<platform::HttpHandle> newHandle = std::nullopt);

  // Default headers and POST tracking on (absent = 1) or off.
  void SetAutoHeaders(std::optional<int> on = std::nullopt);
  // 0 manual, 1 own jar, 2 cookie store; absent = 1; out of range = 0.
  void SetCookieMode(std::optional<int> mode = std::nullopt);
  // Close, Open with the same user agent, ResetDefaults.
  void Reopen(std::optional<std::string_view> userAgent = std::nullopt);

  // Prepares the next request: method (absent or empty = "GET", sent in upper case), URL ("http://" put
  // in front when it has no http/https scheme). Reuses the connection while host and port stay the same.
  [[nodiscard]] bool OpenRequest(std::optional<std::string_view> method, std::string_view url);
  // Sends the open request with an optional body, retrying `retries` more times on connection failures,
  // captures the response and, in modes 1 and 2, follows its redirects. keepOnEmpty absent = 1.
  bool SendText(std::optional<std::string_view> body = std::nullopt,
                std::optional<int> keepOnEmpty = std::nullopt, std::optional<int> retries = std::nullopt);
  bool SendBytes(std::optional<std::span<const std::uint8_t>> body = std::nullopt,
                 std::optional<int> keepOnEmpty = std::nullopt, std::optional<int> retries = std::nullopt);
  // The body of the last response; read from the network once, then served from the buffer.
  [[nodiscard]] Bytes GetResponseBytes();
  // The body up to its first zero byte, as code-page-936 text (no conversion).
  [[nodiscard]] Text GetResponseText();
  // The body decoded from UTF-8 into code page 936.
  [[nodiscard]] Text GetResponseTextUtf8();
  // 0 when there is no response.
  [[nodiscard]] int GetStatusCode();
  [[nodiscard]] Text GetStatusText();

  // The raw header block of the last response: status line and header lines, each ended by CRLF.
  [[nodiscard]] Text GetResponseHeaders() const;
  // The value of the first header of that name (any letter case), leading spaces removed; empty if none.
  [[nodiscard]] Text GetResponseHeader(std::string_view name) const;
  // Every live cookie the last response set, "a=1; b=2", in header order.
  [[nodiscard]] Text GetResponseCookies() const;
  // The value the last response set for cookie `name` (any letter case); empty if none.
  [[nodiscard]] Text GetResponseCookie(std::string_view name) const;
  // The Location header, trimmed; with absolute 1 made absolute against the current URL.
  [[nodiscard]] Text GetRedirectLocation(std::optional<int> absolute = std::nullopt) const;

  // Timeouts in milliseconds for later requests; absent values 10000, 15000, 120000, 300000.
  bool SetTimeouts(std::optional<int> resolveMs = std::nullopt, std::optional<int> connectMs = std::nullopt,
                   std::optional<int> sendMs = std::nullopt, std::optional<int> receiveMs = std::nullopt);
  // A named proxy ("host:port") for later requests, or none when empty. User and password go to the open
  // request at once, or wait for the next send when no request is open.
  bool SetProxy(std::optional<std::string_view> proxy = std::nullopt,
                std::optional<std::string_view> user = std::nullopt,
                std::optional<std::string_view> password = std::nullopt);
  // Server credentials for the open request (target absent = server 0, authScheme absent = basic 1).
  bool SetCredentials(std::string_view user, std::string_view password,
                      std::optional<int> target = std::nullopt, std::optional<int> authScheme = std::nullopt);
  // A raw integer option on the session (selector absent or other), connection (1) or request (2) handle.
  bool SetOption(std::optional<int> selector, std::uint32_t option, std::uint32_t value, std::size_t size);
  // Absent: follow; given: follow when its lowest bit is 1.
  void SetFollowRedirects(std::optional<int> follow = std::nullopt);

  // "name:value" on the open request; flags absent = kHeaderAddOrReplace. In mode 0 a Cookie header
  // switches the platform's own cookies off for the request.
  bool SetHeader(std::string_view name, std::string_view value,
                 std::optional<std::uint32_t> flags = std::nullopt);
  // Complete CRLF-separated header lines in one call.
  bool AddHeaderLines(std::string_view lines, std::optional<std::uint32_t> flags = std::nullopt);
  bool RemoveHeader(std::string_view name);
  // Mode 1: merged into the jar; mode 2: into the cookie store; mode 0: the open request's Cookie header.
  bool SetRequestCookies(std::string_view cookies);
  bool SetUserAgent(std::optional<std::string_view> value = std::nullopt);
  // Absent: the current URL.
  bool SetReferer(std::optional<std::string_view> value = std::nullopt);
  // Absent: the current URL.
  bool SetOrigin(std::optional<std::string_view> value = std::nullopt);
  bool SetAccept(std::optional<std::string_view> value = std::nullopt);
  bool SetAcceptLanguage(std::optional<std::string_view> value = std::nullopt);
  bool SetContentType(std::optional<std::string_view> value = std::nullopt);
  bool SetAjaxHeader();
  // X-Forwarded-For, CLIENT_IP, VIA and REMOTE_ADDR, all carrying `address`.
  bool SetForwardedFor(std::string_view address);

  // Absent: the jar's cookies as "a=1; b=2". Given: replaces the jar and answers the text given.
  Text CookieJar(std::optional<std::string_view> newJar = std::nullopt);
  // The value of jar cookie `name`, or with withName 1 "name=value"; empty if none.
  [[nodiscard]] Text GetJarCookie(std::string_view name, std::optional<int> withName = std::nullopt) const;
  // "a=1; b=2" merged into the jar; true when anything changed.
  bool MergeJarCookies(std::string_view cookies);
  // "a; b" (or "a=1; b=2") removed from the jar; true when anything was removed.
  bool RemoveJarCookies(std::string_view names);

  // Whole exchanges with up to `attempts` tries (absent = 5): a try is repeated while the status is 0,
  // 504 or 407. True when the last status is 200, 301 or 302.
  bool Get(std::string_view url, std::optional<std::string_view> cookies = std::nullopt,
           std::optional<std::string_view> headerLines = std::nullopt,
           std::optional<std::string_view> proxy = std::nullopt, std::optional<int> attempts = std::nullopt);
  bool PostText(std::string_view url, std::string_view body,
                std::optional<std::string_view> cookies = std::nullopt,
                std::optional<std::string_view> headerLines = std::nullopt,
                std::optional<std::string_view> proxy = std::nullopt,
                std::optional<int> attempts = std::nullopt);
  bool PostBytes(std::string_view url, const Bytes& body,
                 std::optional<std::string_view> cookies = std::nullopt,
                 std::optional<std::string_view> headerLines = std::nullopt,
                 std::optional<std::string_view> proxy = std::nullopt,
                 std::optional<int> attempts = std::nullopt);

  // Read access to the state, for callers and tests.
  [[nodiscard]] const Text& Url() const { return url; }
  [[nodiscard]] const Text& HostName() const { return hostName; }
  [[nodiscard]] int Port() const { return port; }
  [[nodiscard]] int Scheme() const { return scheme; }
  [[nodiscard]] bool IsPost() const { return isPost != 0; }
  [[nodiscard]] int ContentLength() const { return contentLength; }
  [[nodiscard]] int BodyLength() const { return bodyLength; }
  [[nodiscard]] std::size_t BodyCapacity() const { return bodyBuffer.Capacity(); }
  [[nodiscard]] bool AutoHeaders() const { return autoHeaders != 0; }
  [[nodiscard]] int CookieMode() const { return cookieMode; }
  [[nodiscard]] int CookieJarLength() const { return cookieJarLength; }
  [[nodiscard]] bool NoRedirects() const { return noRedirects != 0; }
  [[nodiscard]] int RedirectCount() const { return redirectCount; }
  [[nodiscard]] bool ProxyCredentialsPending() const { return proxyCredentialsPending != 0; }
  [[nodiscard]] bool IgnoreCertErrorsPending() const { return ignoreCertErrorsPending != 0; }

 private:
  bool SendBody(const void* body, std::size_t length, std::optional<int> keepOnEmpty,
                std::optional<int> retries);
  bool SendOnce(const void* body, std::size_t length, int keepOnEmpty, int retries);
  void ForgetResponse();
  bool AddHeaderText(std::string_view header, std::uint32_t flags);
  bool SetTextOption(platform::HttpHandle handle, std::uint32_t option, std::string_view value);
  bool Exchange(std::string_view method, std::string_view url, const void* body, std::size_t length,
                std::optional<std::string_view> cookies, std::optional<std::string_view> headerLines,
                std::optional<std::string_view> proxy, std::optional<int> attempts);
  void SetJar(Text jar);

  platform::HttpHandle sessionHandle = 0;
  platform::HttpHandle connectionHandle = 0;
  platform::HttpHandle requestHandle = 0;
  Text hostName;
  int port = 0;
  Text url;
  int scheme = 0;
  int isPost = 0;
  detail::BodyBlock bodyBuffer;
  int bodyLength = 0;
  int contentLength = 0;
  Text responseHeaders;
  int autoHeaders = 0;
  int cookieMode = 0;
  Text cookieJar;
  int cookieJarLength = 0;
  int noRedirects = 0;
  int redirectCount = 0;
  int proxyCredentialsPending = 0;
  Text proxyUser;
  Text proxyPassword;
  int ignoreCertErrorsPending = 0;
  // Kept so that a copy can open a session of its own that behaves like this one.
  std::optional<Text> userAgent;
  int timeouts[4] = {10000, 15000, 120000, 300000};
  Text proxyName;
};

}  // namespace corvelle
