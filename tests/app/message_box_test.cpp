#include "app/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/ui_script.h"

namespace corvelle::test {
namespace {

// The real box the window shows: the caption and text it was given and a single OK button that ends it.
TEST(AppQtMessageBoxTest, ShowsCaptionTextAndOneOkButton) {
  QWidget parent;
  parent.show();
  QString caption;
  QString text;
  qsizetype buttons = 0;
  UiScript script;
  script.When([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
              [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                caption = box->windowTitle();
                text = box->text();
                buttons = box->buttons().size();
                box->button(QMessageBox::Ok)->click();
              });
  script.Start([] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });

  QtMessageBox messages;
  messages.Show(&parent, QStringLiteral("信息："), QStringLiteral("验证码错误.再解析一次."));

  EXPECT_FALSE(script.TimedOut());
  EXPECT_EQ(caption, QStringLiteral("信息："));
  EXPECT_EQ(text, QStringLiteral("验证码错误.再解析一次."));
  EXPECT_EQ(buttons, 1);
}

}  // namespace
}  // namespace corvelle::test
