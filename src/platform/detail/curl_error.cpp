#include "platform/detail/curl_error.h"

#include <curl/curl.h>

#include "platform/http_api.h"

namespace corvelle::platform::detail {

std::uint32_t TranslateCurlError(int curlCode) {
  switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK:
      return 0;
    case CURLE_COULDNT_CONNECT:
      return kErrorCannotConnect;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kErrorNameNotResolved;
    case CURLE_OPERATION_TIMEDOUT:
      return kErrorTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return kErrorSecureFailure;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return kErrorConnectionError;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP3:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kErrorInvalidServerResponse;
    case CURLE_URL_MALFORMAT:
      return kErrorInvalidUrl;
    case CURLE_ABORTED_BY_CALLBACK:
      return kErrorOperationCancelled;
    default:
      return kErrorInternal;
  }
}

bool IsCertificateRejection(int curlCode) {
  const auto code = static_cast<CURLcode>(curlCode);
  return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_ISSUER_ERROR;
}

}  // namespace corvelle::platform::detail
