#pragma once

#include <QString>
#include <vector>

#include "app/message_box.h"

namespace corvelle::test {

// Stands in for the window's modal boxes: records each one and returns at once, as if OK was pressed.
class RecordingMessageBox final : public MessageBox {
 public:
  struct Shown {
    QString caption;
    QString text;
  };

  void Show(QWidget* /*parent*/, const QString& caption, const QString& text) override {
    shown.push_back({caption, text});
  }

  std::vector<Shown> shown;
};

}  // namespace corvelle::test
