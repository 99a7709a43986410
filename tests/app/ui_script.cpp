#include "app/ui_script.h"

#include <utility>

namespace corvelle::test {

UiScript& UiScript::When(Condition ready, Action act) {
  steps_.push_back({std::move(ready), std::move(act)});
  return *this;
}

UiScript& UiScript::Then(Action act) {
  return When([] { return true; }, std::move(act));
}

void UiScript::Start(Action onTimeout, std::chrono::milliseconds limit) {
  onTimeout_ = std::move(onTimeout);
  poll_.setInterval(std::chrono::milliseconds(5));
  connect(&poll_, &QTimer::timeout, this, &UiScript::Poll);
  poll_.start();
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    timedOut_ = true;
    poll_.stop();
    onTimeout_();
  });
  deadline_.start(limit);
}

void UiScript::Poll() {
  if (AllStarted()) {
    poll_.stop();
    return;
  }
  Step& step = steps_[next_];
  if (!step.ready()) return;
  ++next_;
  QMetaObject::invokeMethod(this, step.act, Qt::QueuedConnection);
}

}  // namespace corvelle::test
