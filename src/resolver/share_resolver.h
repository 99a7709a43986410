#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "resolver/log_id.h"
#include "resolver/share_records.h"
#include "text/text_types.h"

namespace corvelle {

class HttpSession;

// Speaks the share protocol of the service over one long-lived HttpSession, so that the cookies of one
// step reach the next, and keeps the identifiers each step hands on in its ShareContext.
class ShareResolver {
 public:
  ShareResolver();
  ~ShareResolver();  // releases the HttpSession before the ShareContext
  ShareResolver(const ShareResolver& other);  // a new session; the context's texts duplicated
  ShareResolver& operator=(const ShareResolver&) = delete;

  // Unlocks the share when the password is exactly 4 bytes, then loads the share page and scrapes its
  // identifiers into the context. `error`, when given, receives a short reason on failure.
  [[nodiscard]] bool LoadShare(const Text& link, const std::optional<Text>& password = std::nullopt,
                               Text* error = nullptr);
  [[nodiscard]] bool VerifyPassword(const Text& link, const Text& password);
  // 0 on success with `entry` filled; -20 when the service wants a captcha (or the answer was wrong);
  // the service's errno or a negative code of our own otherwise.
  [[nodiscard]] std::int32_t RequestDownloadLink(const std::optional<Text>& captchaAnswer, FileEntry& entry);
  // The captcha image; empty on failure. Remembers the captcha id in the context.
  [[nodiscard]] Bytes FetchCaptcha();
  [[nodiscard]] Text MakeLogId();
  // Replaces the clock and the random source of MakeLogId (tests).
  void SetLogIdSource(LogIdSource source);

  [[nodiscard]] const ShareContext& Context() const;
  [[nodiscard]] HttpSession& Session();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace corvelle
