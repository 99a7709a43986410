#include "platform/http_api.h"

#include <cstring>
#include <string>

#include "platform/detail/exchange.h"
#include "platform/detail/handle_table.h"
#include "platform/detail/url_parts.h"
#include "text/encoding.h"

namespace corvelle::platform {
namespace {

using detail::ConnectionObject;
using detail::FindHandleOf;
using detail::HandleObject;
using detail::RequestObject;
using detail::SessionObject;
using detail::SetLastError;

bool Failed(std::uint32_t code) {
  SetLastError(code);
  return false;
}

bool Outcome(std::uint32_t code) {
  return code == 0 || Failed(code);
}

// Option texts arrive as UTF-16 with a size in bytes that may count a terminator.
std::string OptionText(const void* value, std::size_t size) {
  if (value == nullptr || size < sizeof(char16_t)) {
    return {};
  }
  std::u16string wide(size / sizeof(char16_t), u'\0');
  std::memcpy(wide.data(), value, wide.size() * sizeof(char16_t));
  return Utf16ToText(wide);
}

bool ReadUint32(const void* value, std::size_t size, std::uint32_t& number) {
  if (value == nullptr || size != sizeof(std::uint32_t)) {
    return false;
  }
  std::memcpy(&number, value, sizeof number);
  return true;
}

// Answers a text query the size-first way: too small a buffer gives the size needed, terminator included.
bool AnswerText(const std::string& text, char16_t* buffer, std::size_t& bytes) {
  const WideText wide = TextToUtf16(text);
  const std::size_t needed = (wide.size() + 1) * sizeof(char16_t);
  if (buffer == nullptr || bytes < needed) {
    bytes = needed;
    return Failed(kErrorInsufficientBuffer);
  }
  std::memcpy(buffer, wide.c_str(), needed);
  bytes = wide.size() * sizeof(char16_t);
  return true;
}

}  // namespace

HttpHandle HttpOpen(std::u16string_view userAgent) {
  auto session = std::make_shared<SessionObject>();
  session->userAgent = Utf16ToText(userAgent);
  return detail::RegisterHandle(std::move(session));
}

bool HttpCloseHandle(HttpHandle handle) {
  return detail::UnregisterHandle(handle) || Failed(kErrorInvalidHandle);
}

bool HttpSetTimeouts(HttpHandle session, int resolveMs, int connectMs, int sendMs, int receiveMs) {
  const auto object = FindHandleOf<SessionObject>(session);
  if (!object) {
    return false;
  }
  if (resolveMs < -1 || connectMs < -1 || sendMs < -1 || receiveMs < -1) {
    return Failed(kErrorInvalidParameter);
  }
  // -1 means "no limit" as 0 does.
  object->resolveTimeoutMs = std::max(resolveMs, 0);
  object->connectTimeoutMs = std::max(connectMs, 0);
  object->sendTimeoutMs = std::max(sendMs, 0);
  object->receiveTimeoutMs = std::max(receiveMs, 0);
  return true;
}

bool HttpSetOption(HttpHandle handle, std::uint32_t option, const void* value, std::size_t size) {
  const auto object = detail::FindHandle(handle);
  if (!object) {
    return Failed(kErrorInvalidHandle);
  }
  detail::HandleOptions& options = object->options;
  std::uint32_t number = 0;
  switch (option) {
    case kOptionSecurityFlags:
      if (!ReadUint32(value, size, number)) {
        return Failed(kErrorInvalidParameter);
      }
      options.securityFlags = number;
      return true;
    case kOptionDisableFeature:
      if (!ReadUint32(value, size, number)) {
        return Failed(kErrorInvalidParameter);
      }
      options.disabledFeatures |= number;
      return true;
    case kOptionProxy: {
      if (value == nullptr || size != sizeof(ProxyInfo)) {
        return Failed(kErrorInvalidParameter);
      }
      const auto* info = static_cast<const ProxyInfo*>(value);
      if (info->accessType != kAccessTypeNoProxy && info->accessType != kAccessTypeNamedProxy) {
        return Failed(kErrorInvalidParameter);
      }
      options.proxyAccessType = info->accessType;
      options.proxy = info->accessType == kAccessTypeNamedProxy ? Utf16ToUtf8(info->proxy) : std::string();
      return true;
    }
    case kOptionProxyUsername:
      options.proxyUser = OptionText(value, size);
      return true;
    case kOptionProxyPassword:
      options.proxyPassword = OptionText(value, size);
      return true;
    default:
      return true;  // an option this layer has no use for is accepted and changes nothing
  }
}

bool HttpCrackUrl(std::u16string_view url, UrlComponents& components) {
  detail::UrlPieces<char16_t> pieces;
  switch (detail::SplitUrl(url, pieces)) {
    case detail::CrackResult::kOk:
      break;
    case detail::CrackResult::kUnrecognizedScheme:
      return Failed(kErrorUnrecognizedScheme);
    case detail::CrackResult::kInvalidUrl:
      return Failed(kErrorInvalidUrl);
  }
  components.scheme = pieces.secure ? kSchemeHttps : kSchemeHttp;
  components.hostName = pieces.host;
  components.port = pieces.port;
  components.urlPath = pieces.path;
  components.extraInfo = pieces.extra;
  return true;
}

HttpHandle HttpConnect(HttpHandle session, std::u16string_view host, std::uint16_t port) {
  auto sessionObject = FindHandleOf<SessionObject>(session);
  if (!sessionObject) {
    return 0;
  }
  if (host.empty() || port == 0) {
    Failed(kErrorInvalidParameter);
    return 0;
  }
  auto connection = std::make_shared<ConnectionObject>();
  connection->parent = session;
  connection->session = std::move(sessionObject);
  connection->host = Utf16ToUtf8(host);
  connection->port = port;
  return detail::RegisterHandle(std::move(connection));
}

HttpHandle HttpOpenRequest(HttpHandle connection, std::u16string_view method, std::u16string_view objectName,
                           std::uint32_t flags) {
  auto connectionObject = FindHandleOf<ConnectionObject>(connection);
  if (!connectionObject) {
    return 0;
  }
  auto request = std::make_shared<RequestObject>();
  request->parent = connection;
  request->connection = std::move(connectionObject);
  request->method = method.empty() ? std::string("GET") : Utf16ToText(method);
  std::string target = detail::EscapeForWire(Utf16ToUtf8(objectName));
  if (target.empty() || target.front() != '/') {
    target.insert(0, "/");
  }
  request->target = std::move(target);
  request->secure = (flags & kFlagSecure) != 0;
  auto* raw = request.get();
  raw->self = detail::RegisterHandle(std::move(request));
  return raw->self;
}

bool HttpAddRequestHeaders(HttpHandle request, std::u16string_view headers, std::uint32_t flags) {
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  return Outcome(object->headers.Apply(Utf16ToText(headers), flags));
}

bool HttpSendRequest(HttpHandle request, const void* body, std::size_t length) {
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  return Outcome(detail::SendRequest(*object, body, length));
}

bool HttpReceiveResponse(HttpHandle request) {
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  return Outcome(detail::ReceiveResponse(*object));
}

bool HttpQueryHeaders(HttpHandle request, std::uint32_t infoLevel, char16_t* buffer, std::size_t& bytes) {
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  if (object->state != RequestObject::State::kReceived) {
    return Failed(kErrorIncorrectHandleState);
  }
  switch (infoLevel) {
    case kQueryRawHeadersCrlf:
      return AnswerText(object->head, buffer, bytes);
    case kQueryStatusCode:
      return AnswerText(object->statusCode, buffer, bytes);
    case kQueryStatusText:
      return AnswerText(object->statusText, buffer, bytes);
    default:
      return Failed(kErrorHeaderNotFound);
  }
}

bool HttpQueryDataAvailable(HttpHandle request, std::size_t& available) {
  available = 0;
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  return Outcome(detail::QueryAvailable(*object, available));
}

bool HttpReadData(HttpHandle request, void* buffer, std::size_t size, std::size_t& read) {
  read = 0;
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  if (buffer == nullptr && size > 0) {
    return Failed(kErrorInvalidParameter);
  }
  return Outcome(detail::ReadBody(*object, buffer, size, read));
}

bool HttpSetCredentials(HttpHandle request, std::uint32_t target, std::uint32_t scheme,
                        std::u16string_view user, std::u16string_view password) {
  const auto object = FindHandleOf<RequestObject>(request);
  if (!object) {
    return false;
  }
  if (scheme != kAuthSchemeBasic) {
    return Failed(kErrorInvalidParameter);
  }
  if (target == kAuthTargetServer) {
    object->basicAuth = true;
    object->user = Utf16ToText(user);
    object->password = Utf16ToText(password);
    return true;
  }
  if (target == kAuthTargetProxy) {
    object->options.proxyUser = Utf16ToText(user);
    object->options.proxyPassword = Utf16ToText(password);
    return true;
  }
  return Failed(kErrorInvalidParameter);
}

std::uint32_t HttpGetLastError() {
  return detail::LastError();
}

}  // namespace corvelle::platform
