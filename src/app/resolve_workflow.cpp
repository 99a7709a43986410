#include "app/resolve_workflow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstdint>
#include <optional>

#include "app/busy_cursor.h"
#include "app/captcha_wait.h"
#include "app/message_box.h"
#include "app/qt_text.h"
#include "app/result_list.h"
#include "resolver/share_resolver.h"

namespace corvelle {
namespace {

// The code of the download-link request when the service wants a captcha, and of the answered request
// when the answer was wrong.
constexpr std::int32_t kCaptchaRequired = -20;

bool AddRowIfResolved(std::int32_t result, const FileEntry& entry, const ResolveControls& controls) {
  if (result != 0 || entry.dlink.empty()) return false;
  AddResultRow(*controls.results, entry);
  return true;
}

void ShowCaptchaImage(QLabel& box, const Bytes& image) {
  QPixmap picture;
  if (image.empty() || !picture.loadFromData(image.data(), static_cast<uint>(image.size()))) {
    box.clear();
    return;
  }
  box.setPixmap(picture.scaled(box.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void ResetCaptchaControls(const ResolveControls& controls) {
  controls.captchaImage->clear();
  controls.captchaAnswer->clear();
}

// Shows the captcha, waits for the user's answer and asks once more with it. A second refusal is
// reported; the user starts over with another press of Parse.
ResolveOutcome RunCaptchaTurn(ShareResolver& resolver, MessageBox& messages, const ResolveControls& controls,
                              FileEntry& entry) {
  Bytes image;
  {
    BusyCursor busy;
    image = resolver.FetchCaptcha();
  }
  // With no picture the user can still type an answer, so the wait goes on regardless.
  ShowCaptchaImage(*controls.captchaImage, image);
  controls.captchaAnswer->clear();

  CaptchaWait wait(*controls.captchaAnswer, *controls.window);
  if (wait.Run() == CaptchaWait::Outcome::Abandoned) return ResolveOutcome::WindowGone;

  const Text answer = ToText(controls.captchaAnswer->text());
  std::int32_t result = 0;
  {
    BusyCursor busy;
    result = resolver.RequestDownloadLink(answer, entry);
  }
  if (!AddRowIfResolved(result, entry, controls) && result == kCaptchaRequired) {
    messages.Show(controls.window, QStringLiteral("信息："), QStringLiteral("验证码错误.再解析一次."));
  }
  return ResolveOutcome::Finished;
}

}  // namespace

ResolveOutcome RunResolveWorkflow(ShareResolver& resolver, MessageBox& messages,
                                  const ResolveControls& controls) {
  FileEntry entry;
  const Text link = ToText(controls.url->text());
  // The password is always handed on, empty or not; the resolver decides whether to verify it.
  const Text password = ToText(controls.password->text());

  std::int32_t result = 0;
  {
    BusyCursor busy;
    // The reason for a failed load is not shown: a share that cannot be loaded simply gives no row.
    Text error;
    if (!resolver.LoadShare(link, password, &error)) return ResolveOutcome::Finished;
    result = resolver.RequestDownloadLink(std::nullopt, entry);
  }

  if (!AddRowIfResolved(result, entry, controls) && result == kCaptchaRequired) {
    if (RunCaptchaTurn(resolver, messages, controls, entry) == ResolveOutcome::WindowGone) {
      return ResolveOutcome::WindowGone;
    }
  }
  ResetCaptchaControls(controls);
  return ResolveOutcome::Finished;
}

}  // namespace corvelle
