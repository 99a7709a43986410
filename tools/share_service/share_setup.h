#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace corvelle::share_service {

// One file of a share, as the download-link reply lists it.
struct SharedFile {
  std::string name;  // UTF-8; written with \u escapes for everything beyond ASCII
  std::int64_t size = 0;
  std::string md5;  // 32 hex digits; made up from the name when left empty
};

// What the download-link request of a share answers once everything it sent was right.
enum class ReplyKind {
  Files,         // errno 0 and the file list
  EmptyList,     // errno 0 and an empty list
  ServiceError,  // errno = ShareSetup::serviceErrno
  Malformed,     // text the JSON reader refuses
  Truncated,     // the file list reply cut off in the middle
  NoErrno,       // valid JSON without an "errno" member
};

// One share the service holds. Its link is origin + "/s/1" + surl.
struct ShareSetup {
  std::string surl;
  std::string password;  // empty: an open share
  bool captcha = false;  // the download-link request wants a right captcha answer
  ReplyKind reply = ReplyKind::Files;
  std::int64_t serviceErrno = 0;       // for ReplyKind::ServiceError
  std::chrono::milliseconds delay{0};  // every answer about this share waits this long
  std::vector<SharedFile> files;
};

// The shares the standalone program offers when started without options: an open share, a
// password-protected one and one that asks for a captcha.
[[nodiscard]] std::vector<ShareSetup> SampleShares();

}  // namespace corvelle::share_service
