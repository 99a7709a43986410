#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/detail/cookie_jar.h"
#include "platform/detail/curl_transfer.h"
#include "platform/detail/request_headers.h"
#include "platform/http_api.h"

// What the session, connection and request handles of http_api.h stand for.
namespace corvelle::platform::detail {

// Options a handle may carry; a request takes each from itself, else its connection, else its session.
struct HandleOptions {
  std::uint32_t disabledFeatures = 0;  // kDisable* bits, added up over the three levels
  std::optional<std::uint32_t> securityFlags;
  std::optional<std::uint32_t> proxyAccessType;
  std::string proxy;
  std::optional<std::string> proxyUser;
  std::optional<std::string> proxyPassword;
};

struct HandleObject {
  virtual ~HandleObject() = default;
  HttpHandle parent = 0;
  HandleOptions options;
  bool closing = false;  // its handle is being closed, with all the handles opened under it
};

struct SessionObject : HandleObject {
  std::string userAgent;
  // The defaults a fresh session has until HttpSetTimeouts changes them.
  int resolveTimeoutMs = 0;
  int connectTimeoutMs = 60000;
  int sendTimeoutMs = 30000;
  int receiveTimeoutMs = 30000;
  CookieJar cookies;
};

struct ConnectionObject : HandleObject {
  std::shared_ptr<SessionObject> session;
  std::string host;  // IPv6 literals with their brackets
  std::uint16_t port = 0;
  std::unique_ptr<CurlTransfer> transfer;  // made on the first send
  HttpHandle activeRequest = 0;            // the request whose exchange the transfer carries
};

struct RequestObject : HandleObject {
  enum class State { kOpen, kSent, kReceived, kFailed };

  ~RequestObject() override;

  HttpHandle self = 0;
  std::shared_ptr<ConnectionObject> connection;
  std::string method;
  std::string target;  // path and query as they go on the wire
  bool secure = false;
  RequestHeaders headers;
  bool basicAuth = false;
  std::string user;
  std::string password;
  std::string body;
  State state = State::kOpen;
  // The response handed to the caller (the last of a redirect chain).
  std::string head;
  std::string statusCode;
  std::string statusText;
};

}  // namespace corvelle::platform::detail
