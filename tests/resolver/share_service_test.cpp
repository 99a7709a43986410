// The simulated service's own promises: its captcha picture is a PNG a picture box can show, and a
// request that is not what the protocol expects is answered with an error and logged with a reason.
#include <gtest/gtest.h>

#include <QImage>

#include "captcha_image.h"
#include "http/http_session.h"
#include "service_fixture.h"

namespace corvelle {
namespace {

using share_service::kCaptchaAlphabet;
using share_service::RenderCaptchaPng;

constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/63.0.3239.84 "
    "Safari/537.36";

// Ink in the image's columns from x0 to x1: how many pixels are dark.
int DarkPixels(const QImage& image, int x0, int x1) {
  int dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = x0; x < x1; ++x) dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
  }
  return dark;
}

TEST(ShareServiceCaptchaTest, DecodesAndShowsEveryCharacter) {
  const std::string answer(kCaptchaAlphabet.substr(0, 4));
  const auto png = RenderCaptchaPng(answer, 1);
  QImage image;
  ASSERT_TRUE(image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
  ASSERT_GT(image.width(), 0);
  // Four character cells side by side, each with ink in it.
  const int cell = image.width() / 4;
  for (int i = 0; i < 4; ++i) EXPECT_GT(DarkPixels(image, i * cell, (i + 1) * cell), 100) << i;
}

TEST(ShareServiceCaptchaTest, EveryAlphabetCharacterHasAGlyph) {
  for (const char c : kCaptchaAlphabet) {
    const auto png = RenderCaptchaPng(std::string(1, c), 2);
    QImage image;
    ASSERT_TRUE(image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
    EXPECT_GT(DarkPixels(image, 0, image.width()), 100) << c;
  }
}

struct BadRequestRow {
  const char* name;
  const char* method;
  std::string target;  // origin-relative; "{surl}" is the share's
  std::string body;
  bool browserHeaders;
  int status;
};

void PrintTo(const BadRequestRow& row, std::ostream* os) {
  *os << row.name;
}

const BadRequestRow kBadRequestRows[] = {
    {"PageWithoutBrowserHeaders", "GET", "/s/1Bad", "", false, 400},
    {"PageOfUnknownShare", "GET", "/s/1Nothing", "", true, 404},
    {"VerifyAsGet", "GET", "/share/verify?surl=Bad", "", true, 400},
    {"VerifyWrongAppId", "POST",
     "/share/"
     "verify?surl=Bad&t=1700000000000&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=1&logid=MTIz",
     "pwd=ab12&vcode=&vcode_str=", true, 400},
    {"DownloadMissingKeys", "POST",
     "/api/"
     "sharedownload?sign=x&timestamp=1&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=250528&logid="
     "MTIz",
     "encrypt=0&product=share", true, 400},
    {"CaptchaWrongT", "GET",
     "/api/getvcode?prod=pan&t=0.5&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=250528&logid=MTIz",
     "", true, 400},
    {"UnknownCaptchaImage", "GET", "/genimage?abc", "", true, 404},
    {"UnknownAddress", "GET", "/nowhere", "", true, 404},
};

class ShareServiceBadRequestTest : public ::testing::TestWithParam<BadRequestRow> {
 protected:
  void SetUp() override { ASSERT_TRUE(harness_.Start(false)); }
  ServiceHarness harness_;
};

TEST_P(ShareServiceBadRequestTest, IsAnsweredWithAnErrorAndLogged) {
  const BadRequestRow& row = GetParam();
  harness_.AddShare(MakeShare("Bad", "ab12"));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest(row.method, harness_.origin + row.target));
  if (row.browserHeaders) {
    session.SetUserAgent(kUserAgent);
    session.SetHeader("X-Requested-With", "XMLHttpRequest");
  }
  session.SetReferer();
  session.SendText(row.body);
  EXPECT_EQ(session.GetStatusCode(), row.status);
  const auto requests = harness_.service.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].rejection, "");
}

INSTANTIATE_TEST_SUITE_P(Rows, ShareServiceBadRequestTest, ::testing::ValuesIn(kBadRequestRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvelle
