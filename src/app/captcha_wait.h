#pragma once

#include <QEventLoop>
#include <QObject>
#include <QPointer>

class QLineEdit;
class QWidget;

namespace corvelle {

// Waits, with the window fully usable, until the captcha box holds an answer of at least 4 bytes of
// code-page-936 text (two Chinese characters count as four). A local event loop is woken by each change
// of the box's text; closing or destroying the window ends the wait without an answer, so the caller
// can leave without touching a window that is gone.
class CaptchaWait final : public QObject {
 public:
  enum class Outcome { Answered, Abandoned };

  CaptchaWait(QLineEdit& answerBox, QWidget& window);
  ~CaptchaWait() override;

  [[nodiscard]] Outcome Run();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CheckAnswer();
  void Abandon();

  QEventLoop loop_;
  QPointer<QLineEdit> answerBox_;
  QPointer<QWidget> window_;
  bool answered_ = false;
};

}  // namespace corvelle
