#include "platform/client.h"

#include <charconv>
#include <vector>

#include "text/encoding.h"

namespace corvelle::platform::testing {

std::u16string Wide(std::string_view ascii) {
  return Utf8ToUtf16(ascii);
}

std::string QueryText(HttpHandle request, std::uint32_t infoLevel) {
  std::size_t bytes = 0;
  if (HttpQueryHeaders(request, infoLevel, nullptr, bytes) ||
      HttpGetLastError() != kErrorInsufficientBuffer) {
    return {};
  }
  std::vector<char16_t> buffer(bytes / sizeof(char16_t));
  if (!HttpQueryHeaders(request, infoLevel, buffer.data(), bytes)) {
    return {};
  }
  return Utf16ToUtf8(std::u16string_view(buffer.data(), bytes / sizeof(char16_t)));
}

Client::Client(std::u16string_view userAgent) : session_(HttpOpen(userAgent)) {}

Client::~Client() {
  if (request_ != 0) {
    HttpCloseHandle(request_);
  }
  if (connection_ != 0) {
    HttpCloseHandle(connection_);
  }
  HttpCloseHandle(session_);
}

void Client::SetShortTimeouts(int ms) {
  HttpSetTimeouts(session_, ms, ms, ms, ms);
}

HttpHandle Client::Open(std::string_view method, std::string_view url) {
  const std::u16string wideUrl = Wide(url);
  UrlComponents parts;
  if (!HttpCrackUrl(wideUrl, parts)) {
    return 0;
  }
  if (request_ != 0) {
    HttpCloseHandle(request_);
    request_ = 0;
  }
  if (connection_ == 0 || host_ != parts.hostName || port_ != parts.port) {
    if (connection_ != 0) {
      HttpCloseHandle(connection_);
    }
    host_ = std::u16string(parts.hostName);
    port_ = parts.port;
    connection_ = HttpConnect(session_, host_, port_);
  }
  std::u16string object = std::u16string(parts.urlPath) + std::u16string(parts.extraInfo);
  request_ =
      HttpOpenRequest(connection_, Wide(method), object, parts.scheme == kSchemeHttps ? kFlagSecure : 0);
  return request_;
}

Response Client::Finish(std::string_view body, bool readBody) {
  Response response;
  response.sent = HttpSendRequest(request_, body.data(), body.size());
  if (!response.sent) {
    response.error = HttpGetLastError();
    return response;
  }
  response.received = HttpReceiveResponse(request_);
  if (!response.received) {
    response.error = HttpGetLastError();
    return response;
  }
  const std::string code = QueryText(request_, kQueryStatusCode);
  std::from_chars(code.data(), code.data() + code.size(), response.status);
  response.statusText = QueryText(request_, kQueryStatusText);
  response.head = QueryText(request_, kQueryRawHeadersCrlf);
  if (!readBody) {
    return response;
  }
  for (;;) {
    std::size_t available = 0;
    if (!HttpQueryDataAvailable(request_, available)) {
      response.error = HttpGetLastError();
      return response;
    }
    if (available == 0) {
      response.bodyComplete = true;
      return response;
    }
    std::string chunk(available, '\0');
    std::size_t read = 0;
    if (!HttpReadData(request_, chunk.data(), chunk.size(), read)) {
      response.error = HttpGetLastError();
      return response;
    }
    response.body.append(chunk, 0, read);
  }
}

Response Client::Fetch(std::string_view method, std::string_view url, std::string_view headerLines,
                       std::string_view body) {
  if (Open(method, url) == 0) {
    Response failed;
    failed.error = HttpGetLastError();
    return failed;
  }
  if (!headerLines.empty()) {
    HttpAddRequestHeaders(request_, Wide(headerLines), kAddHeaderAdd | kAddHeaderReplace);
  }
  return Finish(body);
}

}  // namespace corvelle::platform::testing
