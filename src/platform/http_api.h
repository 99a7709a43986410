#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A synchronous HTTP interface with the operations, handle model and effects HttpSession relies on,
// built on libcurl (nothing of libcurl shows here). Handles are opaque numbers; 0 is "no handle".
// A session handle holds settings (timeouts, proxy, options) and, unless cookies are disabled, the
// cookies its responses set. A connection handle stands for one host and port and keeps one connection
// alive across its requests. A request handle is one exchange: headers added, sent, received, read.
//
// Every call is safe on a 0 or closed handle (it fails). Failures leave a code for HttpGetLastError.
// Nothing reaches the wire that the caller did not ask for, apart from Host, User-Agent (the
// session's, unless the request set one), Content-Length for a body and connection management.
namespace corvelle::platform {

using HttpHandle = std::uintptr_t;

// Last-error codes, thread-local, as HttpGetLastError answers them.
inline constexpr std::uint32_t kErrorTimeout = 12002;
inline constexpr std::uint32_t kErrorInternal = 12004;
inline constexpr std::uint32_t kErrorInvalidUrl = 12005;
inline constexpr std::uint32_t kErrorUnrecognizedScheme = 12006;
inline constexpr std::uint32_t kErrorNameNotResolved = 12007;
inline constexpr std::uint32_t kErrorInvalidOption = 12009;
inline constexpr std::uint32_t kErrorOperationCancelled = 12017;
inline constexpr std::uint32_t kErrorIncorrectHandleType = 12018;
inline constexpr std::uint32_t kErrorIncorrectHandleState = 12019;
inline constexpr std::uint32_t kErrorCannotConnect = 12029;
inline constexpr std::uint32_t kErrorConnectionError = 12030;
inline constexpr std::uint32_t kErrorHeaderNotFound = 12150;
inline constexpr std::uint32_t kErrorInvalidServerResponse = 12152;
inline constexpr std::uint32_t kErrorHeaderAlreadyExists = 12155;
inline constexpr std::uint32_t kErrorRedirectFailed = 12156;
inline constexpr std::uint32_t kErrorSecureFailure = 12175;
inline constexpr std::uint32_t kErrorHeaderSizeOverflow = 12183;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

// Option numbers and values understood by HttpSetOption; any other option number is accepted and
// answered true without effect.
inline constexpr std::uint32_t kOptionSecurityFlags = 31;
inline constexpr std::uint32_t kOptionProxy = 38;
inline constexpr std::uint32_t kOptionDisableFeature = 63;
inline constexpr std::uint32_t kOptionProxyUsername = 4098;
inline constexpr std::uint32_t kOptionProxyPassword = 4099;
inline constexpr std::uint32_t kDisableCookies = 1;
inline constexpr std::uint32_t kDisableRedirects = 2;
inline constexpr std::uint32_t kSecurityIgnoreAllCertErrors = 0x3300;
inline constexpr std::uint32_t kAccessTypeNoProxy = 1;
inline constexpr std::uint32_t kAccessTypeNamedProxy = 3;

// The value of kOptionProxy: access type and, for a named proxy, "host:port" (optionally with a scheme).
struct ProxyInfo {
  std::uint32_t accessType = kAccessTypeNoProxy;
  std::u16string_view proxy;
};

// Flags of HttpAddRequestHeaders.
inline constexpr std::uint32_t kAddHeaderAdd = 0x20000000;
inline constexpr std::uint32_t kAddHeaderAddIfNew = 0x10000000;
inline constexpr std::uint32_t kAddHeaderCoalesce = 0x40000000;
inline constexpr std::uint32_t kAddHeaderReplace = 0x80000000;

// Info levels of HttpQueryHeaders.
inline constexpr std::uint32_t kQueryStatusCode = 19;
inline constexpr std::uint32_t kQueryStatusText = 20;
inline constexpr std::uint32_t kQueryRawHeadersCrlf = 22;

inline constexpr std::uint32_t kFlagSecure = 0x00800000;
inline constexpr std::uint32_t kSchemeHttp = 1;
inline constexpr std::uint32_t kSchemeHttps = 2;
inline constexpr std::uint32_t kAuthTargetServer = 0;
inline constexpr std::uint32_t kAuthTargetProxy = 1;
inline constexpr std::uint32_t kAuthSchemeBasic = 1;

// The pieces of a cracked URL, as views into the URL that was cracked.
struct UrlComponents {
  std::uint32_t scheme = 0;  // kSchemeHttp or kSchemeHttps
  std::u16string_view hostName;
  std::uint16_t port = 0;  // 80 or 443 when the URL names none
  std::u16string_view urlPath;
  std::u16string_view extraInfo;  // query and fragment, starting with '?' or '#'
};

// Opens a session with its user agent. Answers 0 on failure.
[[nodiscard]] HttpHandle HttpOpen(std::u16string_view userAgent);

// Releases any handle; closing a session or connection handle also ends the requests under it.
bool HttpCloseHandle(HttpHandle handle);

// Timeouts in milliseconds for the session's later requests; 0 (or -1) means no limit. Resolving the
// host name counts toward the connect limit; the send and receive limits are the longest silence
// allowed while the request goes out and while the response comes in.
bool HttpSetTimeouts(HttpHandle session, int resolveMs, int connectMs, int sendMs, int receiveMs);

// Sets an option on a session, connection or request handle. Integer options take a std::uint32_t
// (size 4); kOptionProxy takes a ProxyInfo; the proxy user and password take UTF-16 text (size in bytes,
// a terminator may be counted). Any other option number is accepted without effect.
bool HttpSetOption(HttpHandle handle, std::uint32_t option, const void* value, std::size_t size);

// Splits an absolute http or https URL; false for a URL it rejects (no scheme, another scheme, no host,
// a port that is not a number from 1 to 65535).
[[nodiscard]] bool HttpCrackUrl(std::u16string_view url, UrlComponents& components);

// A connection handle for host:port under a session; 0 on failure. Nothing is connected yet.
[[nodiscard]] HttpHandle HttpConnect(HttpHandle session, std::u16string_view host, std::uint16_t port);

// A request handle for method and object name (path and query) on a connection; flags may hold
// kFlagSecure for https. 0 on failure.
[[nodiscard]] HttpHandle HttpOpenRequest(HttpHandle connection, std::u16string_view method,
                                         std::u16string_view objectName, std::uint32_t flags);

// Adds one or more CRLF-separated header lines "Name:value" with the kAddHeader* flags: add, replace
// (replace with an empty value removes the header), add only if new. 0 flags behave as add.
bool HttpAddRequestHeaders(HttpHandle request, std::u16string_view headers, std::uint32_t flags);

// Sends the request with its body (may be empty). The body must stay alive until HttpReceiveResponse.
bool HttpSendRequest(HttpHandle request, const void* body, std::size_t length);

// Waits for the response headers and answers true as soon as they have arrived; the body is pulled
// from the network only as it is read. Follows redirects itself unless disabled.
bool HttpReceiveResponse(HttpHandle request);

// Queries the raw header block, status code or status text as UTF-16. With a null buffer or one too
// small it answers false, kErrorInsufficientBuffer, and sets `bytes` to the size needed in bytes
// including the terminator. On success `bytes` is the size written without the terminator.
bool HttpQueryHeaders(HttpHandle request, std::uint32_t infoLevel, char16_t* buffer, std::size_t& bytes);

// The number of body bytes that can be read without waiting (reading the network when none are
// buffered); 0 when the body is complete.
bool HttpQueryDataAvailable(HttpHandle request, std::size_t& available);

// Reads up to `size` body bytes; `read` is 0 at the end of the body.
bool HttpReadData(HttpHandle request, void* buffer, std::size_t size, std::size_t& read);

// Credentials for the request (basic scheme): for the server (kAuthTargetServer), sent to that host and
// port only, never to a host a redirect leads to; or for the proxy (kAuthTargetProxy).
bool HttpSetCredentials(HttpHandle request, std::uint32_t target, std::uint32_t scheme,
                        std::u16string_view user, std::u16string_view password);

// The code the last failing call of this thread left.
[[nodiscard]] std::uint32_t HttpGetLastError();

}  // namespace corvelle::platform
