#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "app/service_window_fixture.h"

namespace corvelle::test {
namespace {

// The program's own start-up path: RunMainWindow makes and shows the window and runs the event loop
// until no window is left.
class AppStartUpTest : public ServiceWindowFixture {
 protected:
  void SetUp() override {
    ServiceWindowFixture::SetUp();
    window_.reset();  // the program makes its own window
  }

  static QWidget* ProgramWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == QStringLiteral("MainWindow") && widget->isVisible()) return widget;
    }
    return nullptr;
  }

  template <typename Control>
  static Control* ProgramControl(const char16_t* name) {
    QWidget* window = ProgramWindow();
    return window != nullptr ? window->findChild<Control*>(QString::fromUtf16(name)) : nullptr;
  }
};

TEST_F(AppStartUpTest, ClosingWindowDuringCaptchaWaitEndsProgramWithExitCodeZero) {
  const QString link = QString::fromStdString(service_->HttpOrigin() +
                                              share_service::SimulatedShareService::LinkPath(kCaptcha));
  UiScript script;
  script
      .When([] { return ProgramWindow() != nullptr; },
            [&] {
              ProgramControl<QLineEdit>(u"Txt_url")->setText(link);
              ProgramControl<QPushButton>(u"Btn_parse")->click();
            })
      .When(
          [] {
            auto* picture = ProgramControl<QLabel>(u"Imgbox_vcode");
            return picture != nullptr && !picture->pixmap().isNull();
          },
          [] { ProgramWindow()->close(); });
  // Should the run stall, every event loop is told to end, with an exit code the test does not expect.
  script.Start([] { QApplication::exit(99); });

  EXPECT_EQ(RunMainWindow(*resolver_, messages_), 0);
  EXPECT_FALSE(script.TimedOut());
  EXPECT_TRUE(script.AllStarted());
  EXPECT_EQ(DownloadRequests(), 1u);
  EXPECT_EQ(ProgramWindow(), nullptr);
}

}  // namespace
}  // namespace corvelle::test
