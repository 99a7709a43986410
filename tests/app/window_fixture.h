#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <memory>

#include "app/main_window.h"
#include "app/recording_message_box.h"
#include "resolver/share_resolver.h"

namespace corvelle::test {

// A shown main window over its own resolver, with the modal boxes recorded instead of shown.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    resolver_ = std::make_unique<ShareResolver>();
    window_ = std::make_unique<MainWindow>(*resolver_, messages_);
    window_->show();
  }

  void TearDown() override {
    window_.reset();
    resolver_.reset();
  }

  // Controls are found by their names, as laid out.
  template <typename Control>
  Control* Find(const char16_t* name) const {
    auto* control = window_->findChild<Control*>(QString::fromUtf16(name));
    EXPECT_NE(control, nullptr) << QString::fromUtf16(name).toStdString();
    return control;
  }

  RecordingMessageBox messages_;
  std::unique_ptr<ShareResolver> resolver_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace corvelle::test
