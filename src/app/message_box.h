#pragma once

#include <QString>

class QWidget;

namespace corvelle {

// The window's two modal boxes (About and the wrong-captcha notice) both offer a single OK button, so
// showing one is all there is to it. Tests put a recorder in place of the real boxes.
class MessageBox {
 public:
  virtual ~MessageBox() = default;
  virtual void Show(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// The real thing: an application-modal box with one OK button.
class QtMessageBox final : public MessageBox {
 public:
  void Show(QWidget* parent, const QString& caption, const QString& text) override;
};

}  // namespace corvelle
