#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

namespace corvelle::test {

// Runs a test's steps from inside whatever event loop is running, the captcha wait's included, so that
// a test can act while a press of Parse has not returned yet. Each step waits for its condition; its
// action is posted, so an action that itself enters an event loop (pressing Parse) does not hold up the
// steps after it. When the time limit passes, `onTimeout` runs once so that the test can end whatever
// loop is still waiting.
class UiScript final : public QObject {
 public:
  using Condition = std::function<bool()>;
  using Action = std::function<void()>;

  UiScript& When(Condition ready, Action act);
  UiScript& Then(Action act);  // as soon as the step before has been started

  void Start(Action onTimeout, std::chrono::milliseconds limit = std::chrono::seconds(30));

  [[nodiscard]] bool AllStarted() const { return next_ == steps_.size(); }
  [[nodiscard]] bool TimedOut() const { return timedOut_; }

 private:
  struct Step {
    Condition ready;
    Action act;
  };

  void Poll();

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  bool timedOut_ = false;
  QTimer poll_;
  QTimer deadline_;
  Action onTimeout_;
};

}  // namespace corvelle::test
