#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/qt_text.h"
#include "app/ui_script.h"
#include "app/window_fixture.h"
#include "simulated_share_service.h"
#include "text/encoding.h"

namespace corvelle::test {

// The main window pointed at a simulated share service on loopback, which holds the shares the test
// names. The service's origin replaces the real one before the window is made, as the program would
// see it at start-up.
class ServiceWindowFixture : public WindowFixture {
 protected:
  using ShareSetup = share_service::ShareSetup;
  using SharedFile = share_service::SharedFile;

  static constexpr char kOpen[] = "AppOpen";
  static constexpr char kCaptcha[] = "AppCaptcha";
  static constexpr char kMd5[] = "0123456789abcdef0123456789abcdef";

  // The shares every test can use; a test adds its own before SetUp runs through AddShare.
  virtual std::vector<ShareSetup> Shares() const {
    ShareSetup open;
    open.surl = kOpen;
    open.files = {{"open.bin", 1024, kMd5}};
    ShareSetup captcha;
    captcha.surl = kCaptcha;
    captcha.captcha = true;
    captcha.files = {{"captcha.bin", 2048, kMd5}};
    return {open, captcha};
  }

  void SetUp() override {
    share_service::SimulatedShareService::Options options;
    options.https = false;
    options.seed = 20240611;
    service_ = std::make_unique<share_service::SimulatedShareService>(options);
    for (const ShareSetup& share : Shares()) service_->AddShare(share);
    ASSERT_TRUE(service_->Start());
    ::setenv("CORVELLE_SERVICE_ORIGIN", service_->HttpOrigin().c_str(), 1);
    WindowFixture::SetUp();
  }

  void TearDown() override {
    WindowFixture::TearDown();
    service_->Stop();
    ::unsetenv("CORVELLE_SERVICE_ORIGIN");
  }

  QLineEdit* Url() const { return Find<QLineEdit>(u"Txt_url"); }
  QLineEdit* Password() const { return Find<QLineEdit>(u"Txt_Pwd"); }
  QLineEdit* Answer() const { return Find<QLineEdit>(u"Txt_vcode"); }
  QLabel* Picture() const { return Find<QLabel>(u"Imgbox_vcode"); }
  QPushButton* Parse() const { return Find<QPushButton>(u"Btn_parse"); }
  QTreeWidget* Results() const { return Find<QTreeWidget>(u"lst_Info"); }

  void UseShare(std::string_view surl) const {
    Url()->setText(QString::fromStdString(service_->HttpOrigin() +
                                          share_service::SimulatedShareService::LinkPath(surl)));
  }

  bool PictureShown() const { return !Picture()->pixmap().isNull(); }

  QStringList Row(int index) const {
    QStringList cells;
    const QTreeWidgetItem* row = Results()->topLevelItem(index);
    if (row == nullptr) return cells;
    for (int column = 0; column < Results()->columnCount(); ++column) cells << row->text(column);
    return cells;
  }

  // Requests of the download-link API, and those among them that carried a captcha answer.
  std::vector<share_service::LoggedRequest> Requests(std::string_view path) const {
    std::vector<share_service::LoggedRequest> found;
    for (auto& request : service_->Requests()) {
      if (request.path == path) found.push_back(request);
    }
    return found;
  }
  std::size_t DownloadRequests() const { return Requests("/api/sharedownload").size(); }
  std::size_t PageRequests(std::string_view surl) const {
    return Requests(share_service::SimulatedShareService::LinkPath(surl)).size();
  }

  // Presses Parse while `script` runs inside the press; the press returns when the run is over. Should
  // the script stall, the test fails, and closing the window and telling every event loop to end gets
  // the press to return.
  void PressWith(UiScript& script) {
    script.Start([this] {
      window_->close();
      QCoreApplication::exit(1);
    });
    Parse()->click();
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.AllStarted());
  }

  void Press() {
    UiScript none;
    PressWith(none);
  }

  std::unique_ptr<share_service::SimulatedShareService> service_;
};

}  // namespace corvelle::test
