#include "app/message_box.h"

#include <QMessageBox>

namespace corvelle {

void QtMessageBox::Show(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace corvelle
