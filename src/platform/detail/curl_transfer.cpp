#include "platform/detail/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

#include "platform/detail/curl_error.h"
#include "platform/http_api.h"

namespace corvelle::platform::detail {
namespace {

// A head larger than this is refused, as a browser would: it is either broken or hostile.
constexpr std::size_t kMaxHeadBytes = 65536;
// Body bytes taken from the network ahead of the reader; beyond this the transfer pauses.
constexpr std::size_t kBodyBufferLimit = 262144;
constexpr int kPollSliceMs = 50;
// An unread rest of a body up to this size is read and dropped when the exchange ends, so that its
// connection can carry the next exchange instead of being closed and opened again.
constexpr std::size_t kDrainLimit = 65536;
// How long ending an exchange may wait for that rest (less when the receive timeout is shorter): a
// server that stalls costs this much once, and then its connection.
constexpr int kDrainWaitMs = 1000;

struct EasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool GlobalInit() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return initialised;
}

std::size_t HeaderTrampoline(char* data, std::size_t size, std::size_t count, void* self) {
  return static_cast<CurlTransfer*>(self)->OnHeader(data, size * count);
}

std::size_t BodyTrampoline(char* data, std::size_t size, std::size_t count, void* self) {
  return static_cast<CurlTransfer*>(self)->OnBody(data, size * count);
}

int ProgressTrampoline(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  static_cast<CurlTransfer*>(self)->OnProgress(static_cast<long long>(uploaded));
  return 0;
}

// The status code of a status line "HTTP/1.1 200 OK", or 0.
int StatusOf(std::string_view statusLine) {
  const auto space = statusLine.find(' ');
  if (space == std::string_view::npos) {
    return 0;
  }
  int code = 0;
  std::from_chars(statusLine.data() + space + 1, statusLine.data() + statusLine.size(), code);
  return code;
}

// Applies one option and remembers whether every option so far was accepted.
class OptionSetter {
 public:
  explicit OptionSetter(CURL* easy) : easy_(easy) {}
  template <typename Value>
  void operator()(CURLoption option, Value value) {
    ok_ = ok_ && curl_easy_setopt(easy_, option, value) == CURLE_OK;
  }
  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  CURL* easy_;
  bool ok_ = true;
};

}  // namespace

struct CurlTransfer::Handles {
  std::unique_ptr<CURLM, MultiCleanup> multi;
  std::unique_ptr<CURL, EasyCleanup> easy;
  std::unique_ptr<curl_slist, ListFree> headers;
};

CurlTransfer::CurlTransfer() : handles_(std::make_unique<Handles>()) {}

std::unique_ptr<CurlTransfer> CurlTransfer::Create() {
  if (!GlobalInit()) {
    return nullptr;
  }
  std::unique_ptr<CurlTransfer> transfer(new CurlTransfer());
  transfer->handles_->multi.reset(curl_multi_init());
  transfer->handles_->easy.reset(curl_easy_init());
  if (!transfer->handles_->multi || !transfer->handles_->easy) {
    return nullptr;
  }
  return transfer;
}

CurlTransfer::~CurlTransfer() {
  Abort();
}

// Leniency is a fallback, not the first try. libcurl never hands a connection opened without
// verification to a verified exchange, so a lenient first try would cost a server with a good
// certificate a second handshake for the very next request. Tried verified first, the connection serves
// both. A rejected certificate ends the exchange in the handshake, before any byte of the request went
// out, so trying the same exchange again cannot send the request twice.
std::uint32_t CurlTransfer::Start(const TransferSetup& setup) {
  Discard();
  lenientRetry_.reset();
  if (setup.verifyPeer && setup.verifyHost) {
    return Launch(setup);
  }
  lenientRetry_ = setup;
  TransferSetup verified = setup;
  verified.verifyPeer = true;
  verified.verifyHost = true;
  return Launch(verified);
}

std::uint32_t CurlTransfer::Launch(const TransferSetup& setup) {
  done_ = false;
  result_ = CURLE_OK;
  headComplete_ = false;
  headOverflow_ = false;
  timedOut_ = false;
  paused_ = false;
  head_.clear();
  body_.clear();
  bodyRead_ = 0;
  uploaded_ = 0;
  uploadTotal_ = setup.body != nullptr ? static_cast<long long>(setup.body->size()) : 0;
  sendTimeoutMs_ = setup.sendTimeoutMs;
  receiveTimeoutMs_ = setup.receiveTimeoutMs;

  CURL* easy = handles_->easy.get();
  curl_easy_reset(easy);
  curl_slist* list = nullptr;
  for (const auto& line : setup.headerLines) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown == nullptr) {
      curl_slist_free_all(list);
      return kErrorInternal;
    }
    list = grown;
  }
  handles_->headers.reset(list);

  OptionSetter set(easy);
  set(CURLOPT_URL, setup.url.c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_PATH_AS_IS, 1L);
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_HEADERFUNCTION, &HeaderTrampoline);
  set(CURLOPT_HEADERDATA, this);
  set(CURLOPT_WRITEFUNCTION, &BodyTrampoline);
  set(CURLOPT_WRITEDATA, this);
  set(CURLOPT_XFERINFOFUNCTION, &ProgressTrampoline);
  set(CURLOPT_XFERINFODATA, this);
  set(CURLOPT_NOPROGRESS, 0L);
  if (setup.body != nullptr) {
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(setup.body->size()));
    set(CURLOPT_POSTFIELDS, setup.body->data());
    if (setup.method != "POST") {
      set(CURLOPT_CUSTOMREQUEST, setup.method.c_str());
    }
  } else if (setup.method == "HEAD") {
    set(CURLOPT_NOBODY, 1L);
  } else {
    set(CURLOPT_HTTPGET, 1L);
    if (setup.method != "GET") {
      set(CURLOPT_CUSTOMREQUEST, setup.method.c_str());
    }
  }
  set(CURLOPT_HTTPHEADER, list);
  if (!setup.userAgent.empty()) {
    set(CURLOPT_USERAGENT, setup.userAgent.c_str());
  }
  // libcurl reads 0 as its own 300-second default; "no limit" has to be spelled as a very long one.
  set(CURLOPT_CONNECTTIMEOUT_MS, setup.connectTimeoutMs > 0
                                     ? static_cast<long>(setup.connectTimeoutMs)
                                     : static_cast<long>(std::numeric_limits<int>::max()));
  // An empty proxy text switches every proxy off, the environment's included.
  set(CURLOPT_PROXY, setup.useProxy ? setup.proxy.c_str() : "");
  if (setup.useProxy && (!setup.proxyUser.empty() || !setup.proxyPassword.empty())) {
    set(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
    set(CURLOPT_PROXYUSERNAME, setup.proxyUser.c_str());
    set(CURLOPT_PROXYPASSWORD, setup.proxyPassword.c_str());
  }
  if (setup.basicAuth) {
    set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
    set(CURLOPT_USERNAME, setup.user.c_str());
    set(CURLOPT_PASSWORD, setup.password.c_str());
  }
  set(CURLOPT_SSL_VERIFYPEER, setup.verifyPeer ? 1L : 0L);
  set(CURLOPT_SSL_VERIFYHOST, setup.verifyHost ? 2L : 0L);
  // SSL_CERT_FILE replaces the system's bundle, as it does for OpenSSL's own default paths.
  if (const char* caFile = std::getenv("SSL_CERT_FILE"); caFile != nullptr && *caFile != '\0') {
    set(CURLOPT_CAINFO, caFile);
    set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  }
  if (!set.Ok()) {
    return kErrorInternal;
  }
  if (curl_multi_add_handle(handles_->multi.get(), easy) != CURLM_OK) {
    return kErrorInternal;
  }
  attached_ = true;
  lastActivity_ = std::chrono::steady_clock::now();
  return 0;
}

std::size_t CurlTransfer::OnHeader(const char* data, std::size_t length) {
  lastActivity_ = std::chrono::steady_clock::now();
  if (headComplete_) {
    return length;  // trailers of a chunked body are not part of the head
  }
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  if (line.starts_with("HTTP/")) {
    head_.clear();
  }
  if (head_.size() + line.size() + 2 > kMaxHeadBytes) {
    headOverflow_ = true;
    return 0;  // makes libcurl end the exchange
  }
  head_.append(line);
  head_.append("\r\n");
  if (line.empty()) {
    const int status = StatusOf(head_);
    if (status >= 100 && status < 200) {
      head_.clear();  // an interim response; the real one follows
    } else {
      headComplete_ = true;
    }
  }
  return length;
}

std::size_t CurlTransfer::OnBody(const char* data, std::size_t length) {
  if (Buffered() >= kBodyBufferLimit) {
    paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (bodyRead_ > 0 && bodyRead_ == body_.size()) {
    body_.clear();
    bodyRead_ = 0;
  }
  body_.append(data, length);
  lastActivity_ = std::chrono::steady_clock::now();
  return length;
}

void CurlTransfer::OnProgress(long long uploaded) {
  if (uploaded != uploaded_) {
    uploaded_ = uploaded;
    lastActivity_ = std::chrono::steady_clock::now();
  }
}

bool CurlTransfer::RequestSent() const {
  long requestSize = 0;
  curl_easy_getinfo(handles_->easy.get(), CURLINFO_REQUEST_SIZE, &requestSize);
  return requestSize > 0;
}

void CurlTransfer::CollectFinished() {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(handles_->multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == handles_->easy.get()) {
      done_ = true;
      result_ = message->data.result;
      // Detaching a finished exchange hands its connection back to the pool for the next request.
      curl_multi_remove_handle(handles_->multi.get(), handles_->easy.get());
      attached_ = false;
    }
  }
  if (lenientRetry_ && CertificateRejected()) {
    const TransferSetup lenient = std::move(*lenientRetry_);
    lenientRetry_.reset();
    if (Launch(lenient) != 0) {
      done_ = true;
      result_ = CURLE_FAILED_INIT;
    }
  }
}

template <typename Satisfied>
std::uint32_t CurlTransfer::Drive(Satisfied satisfied, Clock::time_point deadline) {
  lastActivity_ = Clock::now();
  while (!satisfied() && !done_) {
    if (!attached_) {
      return kErrorOperationCancelled;
    }
    int running = 0;
    if (curl_multi_perform(handles_->multi.get(), &running) != CURLM_OK) {
      Abort();
      return kErrorInternal;
    }
    CollectFinished();
    if (satisfied() || done_) {
      break;
    }
    // libcurl's connect timeout governs until the request is on its way; after that the silence
    // limits of the send and receive phases apply.
    const auto now = Clock::now();
    if (RequestSent()) {
      const int limit = uploaded_ < uploadTotal_ ? sendTimeoutMs_ : receiveTimeoutMs_;
      if (limit > 0 && now - lastActivity_ > std::chrono::milliseconds(limit)) {
        Abort();
        timedOut_ = true;
        return kErrorTimeout;
      }
    }
    if (now > deadline) {
      Abort();
      return kErrorTimeout;
    }
    curl_multi_poll(handles_->multi.get(), nullptr, 0, kPollSliceMs, nullptr);
  }
  return 0;
}

std::uint32_t CurlTransfer::FailureCode() const {
  if (timedOut_) {
    return kErrorTimeout;
  }
  if (headOverflow_) {
    return kErrorHeaderSizeOverflow;
  }
  if (!done_) {
    return kErrorOperationCancelled;
  }
  const std::uint32_t code = TranslateCurlError(result_);
  return code != 0 ? code : kErrorInvalidServerResponse;
}

std::uint32_t CurlTransfer::WaitUntilSent() {
  if (const std::uint32_t error = Drive([this] { return headComplete_ || RequestSent(); }); error != 0) {
    return error;
  }
  // A short exchange can end, even in failure, before this returns; once its head is in, any failure
  // belongs to the body and shows when the body is read.
  return done_ && result_ != CURLE_OK && !headComplete_ ? FailureCode() : 0;
}

std::uint32_t CurlTransfer::WaitForHead() {
  if (const std::uint32_t error = Drive([this] { return headComplete_; }); error != 0) {
    return error;
  }
  return headComplete_ ? 0 : FailureCode();
}

std::uint32_t CurlTransfer::Pull(Clock::time_point deadline) {
  if (Buffered() == 0 && paused_ && attached_) {
    paused_ = false;
    if (curl_easy_pause(handles_->easy.get(), CURLPAUSE_CONT) != CURLE_OK) {
      Abort();
      return kErrorInternal;
    }
  }
  return Drive([this] { return Buffered() > 0; }, deadline);
}

std::uint32_t CurlTransfer::Available(std::size_t& available) {
  available = 0;
  if (!headComplete_) {
    return kErrorIncorrectHandleState;
  }
  if (const std::uint32_t error = Pull(Clock::time_point::max()); error != 0) {
    return error;
  }
  available = Buffered();
  if (available == 0 && done_ && result_ != CURLE_OK) {
    return FailureCode();
  }
  return 0;
}

std::size_t CurlTransfer::Read(void* buffer, std::size_t size) {
  const std::size_t count = std::min(size, Buffered());
  if (count > 0) {
    std::memcpy(buffer, body_.data() + bodyRead_, count);
    bodyRead_ += count;
  }
  return count;
}

bool CurlTransfer::CertificateRejected() const {
  return done_ && !headComplete_ && IsCertificateRejection(result_);
}

void CurlTransfer::Discard() {
  if (attached_ && headComplete_) {
    const int waitMs = receiveTimeoutMs_ > 0 ? std::min(receiveTimeoutMs_, kDrainWaitMs) : kDrainWaitMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::size_t dropped = 0;
    // A finished exchange has already handed its connection back to the pool and left `attached_`.
    while (attached_ && dropped <= kDrainLimit) {
      dropped += Buffered();
      bodyRead_ = body_.size();
      if (Pull(deadline) != 0) {
        break;
      }
    }
  }
  Abort();
}

void CurlTransfer::Abort() {
  if (attached_) {
    curl_multi_remove_handle(handles_->multi.get(), handles_->easy.get());
    attached_ = false;
  }
  body_.clear();
  bodyRead_ = 0;
}

}  // namespace corvelle::platform::detail
