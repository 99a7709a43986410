#include "app/captcha_wait.h"

#include <QEvent>
#include <QLineEdit>
#include <QWidget>

#include "app/qt_text.h"

namespace corvelle {
namespace {

constexpr std::size_t kAnswerBytes = 4;

}  // namespace

CaptchaWait::CaptchaWait(QLineEdit& answerBox, QWidget& window) : answerBox_(&answerBox), window_(&window) {
  connect(&answerBox, &QLineEdit::textChanged, this, &CaptchaWait::CheckAnswer);
  connect(&window, &QObject::destroyed, this, &CaptchaWait::Abandon);
  window.installEventFilter(this);
}

CaptchaWait::~CaptchaWait() {
  if (window_) window_->removeEventFilter(this);
}

CaptchaWait::Outcome CaptchaWait::Run() {
  CheckAnswer();
  // The loop also ends when the application is told to quit; that counts as abandoned.
  if (!answered_ && window_) loop_.exec();
  return answered_ && window_ ? Outcome::Answered : Outcome::Abandoned;
}

bool CaptchaWait::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Close) Abandon();
  return false;
}

void CaptchaWait::CheckAnswer() {
  if (answered_ || !answerBox_) return;
  if (ToText(answerBox_->text()).size() < kAnswerBytes) return;
  answered_ = true;
  loop_.quit();
}

void CaptchaWait::Abandon() {
  window_ = nullptr;
  loop_.quit();
}

}  // namespace corvelle
