#include "platform/detail/exchange.h"

#include <charconv>
#include <ctime>

#include "platform/detail/response_head.h"
#include "platform/detail/url_parts.h"

namespace corvelle::platform::detail {
namespace {

constexpr int kMaxRedirects = 10;

// Where one hop of an exchange goes.
struct Hop {
  bool secure = false;
  std::string host;
  std::uint16_t port = 0;
  std::string target;
  std::string method;
  bool withBody = false;
  bool keepContentType = true;
};

struct Effective {
  std::uint32_t disabled = 0;
  std::uint32_t securityFlags = 0;
  bool useProxy = false;
  std::string proxy;
  std::string proxyUser;
  std::string proxyPassword;
};

template <typename T>
const std::optional<T>& FirstSet(const std::optional<T>& a, const std::optional<T>& b,
                                 const std::optional<T>& c) {
  return a ? a : (b ? b : c);
}

Effective EffectiveOptions(const RequestObject& request) {
  const HandleOptions& own = request.options;
  const HandleOptions& connection = request.connection->options;
  const HandleOptions& session = request.connection->session->options;
  Effective effective;
  effective.disabled = own.disabledFeatures | connection.disabledFeatures | session.disabledFeatures;
  effective.securityFlags =
      FirstSet(own.securityFlags, connection.securityFlags, session.securityFlags).value_or(0);
  const HandleOptions& proxySource =
      own.proxyAccessType ? own : (connection.proxyAccessType ? connection : session);
  effective.useProxy = proxySource.proxyAccessType.value_or(kAccessTypeNoProxy) == kAccessTypeNamedProxy &&
                       !proxySource.proxy.empty();
  effective.proxy = proxySource.proxy;
  effective.proxyUser = FirstSet(own.proxyUser, connection.proxyUser, session.proxyUser).value_or("");
  effective.proxyPassword =
      FirstSet(own.proxyPassword, connection.proxyPassword, session.proxyPassword).value_or("");
  return effective;
}

std::string HostForUrl(const std::string& host) {
  return host.find(':') != std::string::npos && !host.starts_with("[") ? "[" + host + "]" : host;
}

std::string UrlOf(const Hop& hop) {
  return std::string(hop.secure ? "https://" : "http://") + HostForUrl(hop.host) + ":" +
         std::to_string(hop.port) + hop.target;
}

bool HopMatchesOrigin(const Hop& hop, const RequestObject& request) {
  return hop.host == request.connection->host && hop.port == request.connection->port &&
         hop.secure == request.secure;
}

TransferSetup BuildSetup(const RequestObject& request, const Hop& hop, const Effective& options) {
  const SessionObject& session = *request.connection->session;
  TransferSetup setup;
  setup.url = UrlOf(hop);
  setup.method = hop.method;
  setup.body = hop.withBody ? &request.body : nullptr;
  std::string jarCookies;
  if ((options.disabled & kDisableCookies) == 0) {
    jarCookies = session.cookies.CookiesFor(setup.url, {}, std::time(nullptr));
  }
  bool cookieSent = false;
  const RequestHeaders& headers = request.headers;
  for (const auto& field : headers.Fields()) {
    if (!hop.keepContentType &&
        (EqualsNoCase(field.name, "Content-Type") || EqualsNoCase(field.name, "Content-Length"))) {
      continue;
    }
    std::string value = field.value;
    if (EqualsNoCase(field.name, "Cookie") && !jarCookies.empty() && !cookieSent) {
      value += value.empty() ? jarCookies : "; " + jarCookies;
      cookieSent = true;
    }
    // libcurl sends "Name;" as a header with an empty value; "Name:" would remove the header instead.
    setup.headerLines.push_back(value.empty() ? field.name + ";" : field.name + ": " + value);
  }
  if (!jarCookies.empty() && !cookieSent) {
    setup.headerLines.push_back("Cookie: " + jarCookies);
  }
  // libcurl's own defaults that nobody asked for stay off the wire.
  if (!headers.Has("Accept")) {
    setup.headerLines.emplace_back("Accept:");
  }
  if (!headers.Has("Expect")) {
    setup.headerLines.emplace_back("Expect:");
  }
  if (hop.withBody && (!hop.keepContentType || !headers.Has("Content-Type"))) {
    setup.headerLines.emplace_back("Content-Type:");
  }
  if (!headers.Has("User-Agent")) {
    setup.userAgent = session.userAgent;
  }
  setup.useProxy = options.useProxy;
  setup.proxy = options.proxy;
  setup.proxyUser = options.proxyUser;
  setup.proxyPassword = options.proxyPassword;
  // Server credentials go to the server they were given for, never to a host a redirect points at.
  setup.basicAuth = request.basicAuth && HopMatchesOrigin(hop, request);
  setup.user = request.user;
  setup.password = request.password;
  setup.verifyPeer = (options.securityFlags & 0x2300) == 0;  // unknown CA, wrong usage, date invalid
  setup.verifyHost = (options.securityFlags & 0x1000) == 0;  // name mismatch
  setup.connectTimeoutMs = session.connectTimeoutMs;
  if (session.connectTimeoutMs > 0 && session.resolveTimeoutMs > 0) {
    setup.connectTimeoutMs += session.resolveTimeoutMs;
  }
  setup.sendTimeoutMs = session.sendTimeoutMs;
  setup.receiveTimeoutMs = session.receiveTimeoutMs;
  return setup;
}

std::uint32_t StartHop(RequestObject& request, const Hop& hop, const Effective& options) {
  ConnectionObject& connection = *request.connection;
  if (!connection.transfer) {
    connection.transfer = CurlTransfer::Create();
    if (!connection.transfer) {
      return kErrorInternal;
    }
  }
  connection.activeRequest = request.self;
  if (const std::uint32_t error = connection.transfer->Start(BuildSetup(request, hop, options)); error != 0) {
    return error;
  }
  return connection.transfer->WaitUntilSent();
}

void StoreCookies(RequestObject& request, const std::string& url, std::string_view head) {
  const std::time_t now = std::time(nullptr);
  for (const std::string_view value : HeaderValues(head, "Set-Cookie")) {
    request.connection->session->cookies.Set(url, value, CookieJar::EmptyValue::kKeep, now);
  }
}

int StatusNumber(const std::string& code) {
  int status = 0;
  std::from_chars(code.data(), code.data() + code.size(), status);
  return status;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Hop FirstHop(const RequestObject& request) {
  Hop hop;
  hop.secure = request.secure;
  hop.host = request.connection->host;
  hop.port = request.connection->port;
  hop.target = request.target;
  hop.method = request.method;
  hop.withBody = !request.body.empty() || request.method == "POST";
  return hop;
}

std::uint32_t Fail(RequestObject& request, std::uint32_t error) {
  request.state = RequestObject::State::kFailed;
  return error;
}

bool OwnsTransfer(const RequestObject& request) {
  return request.connection->transfer && request.connection->activeRequest == request.self;
}

}  // namespace

RequestObject::~RequestObject() {
  if (connection && connection->transfer && connection->activeRequest == self) {
    // A connection that stays open is worth keeping alive for its next request; one closing with this
    // request has no next request to wait for.
    if (connection->closing) {
      connection->transfer->Abort();
    } else {
      connection->transfer->Discard();
    }
    connection->activeRequest = 0;
  }
}

std::uint32_t SendRequest(RequestObject& request, const void* body, std::size_t length) {
  request.body.assign(static_cast<const char*>(body), body != nullptr ? length : 0);
  request.head.clear();
  request.statusCode.clear();
  request.statusText.clear();
  if (const std::uint32_t error = StartHop(request, FirstHop(request), EffectiveOptions(request));
      error != 0) {
    return Fail(request, error);
  }
  request.state = RequestObject::State::kSent;
  return 0;
}

std::uint32_t ReceiveResponse(RequestObject& request) {
  if (request.state != RequestObject::State::kSent) {
    return kErrorIncorrectHandleState;
  }
  if (!OwnsTransfer(request)) {
    return Fail(request, kErrorOperationCancelled);
  }
  const Effective options = EffectiveOptions(request);
  Hop hop = FirstHop(request);
  for (int redirects = 0;; ++redirects) {
    CurlTransfer& transfer = *request.connection->transfer;
    if (const std::uint32_t error = transfer.WaitForHead(); error != 0) {
      return Fail(request, error);
    }
    request.head = transfer.HeadBlock();
    StatusLine statusLine = ParseStatusLine(request.head);
    request.statusCode = std::move(statusLine.code);
    request.statusText = std::move(statusLine.text);
    const std::string url = UrlOf(hop);
    if ((options.disabled & kDisableCookies) == 0) {
      StoreCookies(request, url, request.head);
    }
    const int status = StatusNumber(request.statusCode);
    if ((options.disabled & kDisableRedirects) != 0 || !IsRedirect(status)) {
      break;
    }
    const std::string location = HeaderValue(request.head, "Location");
    if (location.empty()) {
      break;
    }
    const std::string next = EscapeForWire(ResolveReference(url, location));
    UrlPieces<char> pieces;
    if (next.empty() || SplitUrl(next, pieces) != CrackResult::kOk) {
      return Fail(request, kErrorRedirectFailed);
    }
    if (hop.secure && !pieces.secure) {
      break;  // never from https down to http: the redirect itself is the answer
    }
    if (redirects + 1 > kMaxRedirects) {
      return Fail(request, kErrorRedirectFailed);
    }
    const bool becomesGet =
        (status == 303 && hop.method != "HEAD") || ((status == 301 || status == 302) && hop.method == "POST");
    hop.secure = pieces.secure;
    hop.host = std::string(pieces.host);
    hop.port = pieces.port;
    hop.target = std::string(pieces.path.empty() ? "/" : pieces.path) + std::string(pieces.extra);
    if (becomesGet) {
      hop.method = "GET";
      hop.withBody = false;
      hop.keepContentType = false;
    }
    transfer.Discard();
    if (const std::uint32_t error = StartHop(request, hop, options); error != 0) {
      return Fail(request, error);
    }
  }
  request.state = RequestObject::State::kReceived;
  return 0;
}

std::uint32_t QueryAvailable(RequestObject& request, std::size_t& available) {
  available = 0;
  if (request.state != RequestObject::State::kReceived) {
    return kErrorIncorrectHandleState;
  }
  if (!OwnsTransfer(request)) {
    return kErrorOperationCancelled;
  }
  return request.connection->transfer->Available(available);
}

std::uint32_t ReadBody(RequestObject& request, void* buffer, std::size_t size, std::size_t& read) {
  read = 0;
  std::size_t available = 0;
  if (const std::uint32_t error = QueryAvailable(request, available); error != 0) {
    return error;
  }
  read = request.connection->transfer->Read(buffer, size);
  return 0;
}

}  // namespace corvelle::platform::detail
