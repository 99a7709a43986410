#include "resolver/share_resolver.h"

#include <gtest/gtest.h>

#include <set>

#include "form_fields.h"
#include "http/http_session.h"
#include "resolver/share_text.h"
#include "service_fixture.h"
#include "text/encoding.h"

namespace corvelle {
namespace {

using share_service::LoggedRequest;
using share_service::ReplyKind;
using share_service::ShareSetup;

constexpr char kPasswordCheckFailed[] = "\xC3\xDC\xC2\xEB\xD0\xA3\xD1\xE9\xCA\xA7\xB0\xDC";
constexpr char kPngSignature[] = "\x89PNG\r\n\x1A\n";

std::string Extra(const std::string& bdclnd) {
  return "&extra=%7B%22sekey%22%3A%22" + bdclnd + "%22%7D";
}

// The resolver against the simulated service; subclasses choose the transport.
class ResolverFixture {
 protected:
  // LoadShare and the first download-link request; the code of the latter, or 1 when LoadShare failed.
  std::int32_t Resolve(const std::string& link, const std::optional<Text>& password = std::nullopt) {
    if (!resolver_.LoadShare(link, password, &error_)) return 1;
    return resolver_.RequestDownloadLink(std::nullopt, entry_);
  }

  std::string AddShare(ShareSetup setup) { return harness_.AddShare(std::move(setup)); }
  std::vector<LoggedRequest> AcceptedRequests() const { return harness_.AcceptedRequests(); }

  ServiceHarness harness_;
  share_service::SimulatedShareService& service_ = harness_.service;
  const std::string& origin_ = harness_.origin;
  ShareResolver resolver_;
  FileEntry entry_;
  Text error_;
};

class ShareResolverTest : public ResolverFixture, public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override { ASSERT_TRUE(harness_.Start(GetParam().https)); }
};

TEST_P(ShareResolverTest, FreshResolverHasEmptyContextAndCookieModeZero) {
  const ShareContext& c = resolver_.Context();
  for (const Text* field : {&c.app_id, &c.timestamp, &c.sign, &c.captcha_cookies, &c.shareid, &c.uk,
                            &c.fid_list, &c.vcode_str, &c.bdclnd})
    EXPECT_TRUE(field->empty());
  EXPECT_EQ(resolver_.Session().CookieMode(), 0);
}

TEST_P(ShareResolverTest, ResolvesOpenShare) {
  const std::string link =
      AddShare(WithFiles(MakeShare("Open1"), {{"report.pdf", 123456, "0123456789abcdef0123456789abcdef"}}));
  ASSERT_EQ(Resolve(link), 0);
  EXPECT_EQ(entry_.file_name, "report.pdf");
  EXPECT_EQ(entry_.size, 123456);
  EXPECT_EQ(entry_.md5, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(entry_.dlink.rfind(origin_ + "/file/0123456789abcdef0123456789abcdef?fid=", 0), 0u);

  const auto facts = service_.Facts("Open1");
  ASSERT_TRUE(facts);
  const ShareContext& c = resolver_.Context();
  EXPECT_EQ(c.app_id, "250528");
  EXPECT_EQ(c.uk, facts->uk);
  EXPECT_EQ(c.shareid, facts->shareid);
  EXPECT_EQ(c.sign, facts->sign);
  EXPECT_EQ(c.timestamp, facts->timestamp);
  EXPECT_EQ(c.fid_list, "[" + facts->fsId + "]");

  const auto requests = AcceptedRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/s/1Open1");
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].path, "/api/sharedownload");
  EXPECT_EQ(requests[1].body, "encrypt=0&product=share&uk=" + facts->uk + "&primaryid=" + facts->shareid +
                                  "&fid_list=%5B" + facts->fsId + "%5D&path_list=");
}

TEST_P(ShareResolverTest, ProtectedShareSendsTheFourRequestsInOrder) {
  const std::string link = AddShare(MakeShare("Locked1", "ab12"));
  ASSERT_EQ(Resolve(link, "ab12"), 0);
  EXPECT_EQ(entry_.file_name, "report.pdf");
  const std::string bdclnd = service_.Bdclnd("Locked1");
  EXPECT_EQ(resolver_.Context().bdclnd, bdclnd);

  const auto r = AcceptedRequests();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].method + " " + r[0].target, "GET /s/1Locked1");
  EXPECT_EQ(r[0].status, 302);
  EXPECT_EQ(r[0].Header("Referer"), link);
  EXPECT_EQ(r[0].Header("Cookie").find("BDCLND"), std::string::npos);

  EXPECT_EQ(r[1].method, "POST");
  EXPECT_EQ(r[1].target.rfind("/share/verify?surl=Locked1&t=", 0), 0u);
  EXPECT_NE(r[1].target.find("&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=250528&logid="),
            std::string::npos);
  EXPECT_EQ(r[1].Header("Referer"), origin_ + "/share/init?surl=" + link);
  EXPECT_EQ(r[1].body, "pwd=ab12&vcode=&vcode_str=");
  EXPECT_EQ(r[1].Header("Content-Type"), "application/x-www-form-urlencoded");

  EXPECT_EQ(r[2].method + " " + r[2].target, "GET /s/1Locked1");
  EXPECT_EQ(r[2].status, 200);
  EXPECT_NE(r[2].Header("Cookie").find("BDCLND=" + share_service::PercentDecode(bdclnd)), std::string::npos);

  EXPECT_EQ(r[3].path, "/api/sharedownload");
  EXPECT_TRUE(r[3].body.ends_with("&path_list=" + Extra(bdclnd))) << r[3].body;
  EXPECT_EQ(resolver_.Session().CookieMode(), 1);
}

TEST_P(ShareResolverTest, WrongPasswordFailsTheCheck) {
  const std::string link = AddShare(MakeShare("Locked2", "ab12"));
  EXPECT_FALSE(resolver_.LoadShare(link, Text("zz99"), &error_));
  EXPECT_EQ(error_, kPasswordCheckFailed);
  EXPECT_TRUE(resolver_.Context().bdclnd.empty());
  const auto r = AcceptedRequests();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1].path, "/share/verify");
}

TEST_P(ShareResolverTest, FiveCharacterPasswordSkipsVerification) {
  const std::string link = AddShare(MakeShare("Open2"));
  ASSERT_EQ(Resolve(link, Text("abcde")), 0);
  for (const LoggedRequest& request : AcceptedRequests()) EXPECT_NE(request.path, "/share/verify");
}

TEST_P(ShareResolverTest, ProtectedShareWithoutPasswordIsNotUsable) {
  const std::string link = AddShare(MakeShare("Locked3", "ab12"));
  error_ = "untouched";
  EXPECT_FALSE(resolver_.LoadShare(link, std::nullopt, &error_));
  EXPECT_EQ(error_, "untouched");
  EXPECT_EQ(resolver_.Context().fid_list, "[]");
}

// A link the session cannot even open must not be scraped from the previous page still held.
TEST_P(ShareResolverTest, UnopenableLinkDoesNotReuseThePreviousPage) {
  const std::string link = AddShare(MakeShare("Open4"));
  ASSERT_TRUE(resolver_.LoadShare(link, std::nullopt, &error_));
  EXPECT_FALSE(resolver_.LoadShare("http://bad host/s/1x", std::nullopt, &error_));
  EXPECT_EQ(resolver_.Context().uk, "");
  EXPECT_EQ(resolver_.Context().fid_list, "[]");
}

TEST_P(ShareResolverTest, CaptchaTurnWithRightAnswer) {
  const std::string link = AddShare(MakeShare("Captcha1", "", true));
  ASSERT_EQ(Resolve(link), -20);
  const Bytes image = resolver_.FetchCaptcha();
  ASSERT_GT(image.size(), 8u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 8), kPngSignature);
  const auto answer = service_.CaptchaAnswer(resolver_.Context().vcode_str);
  ASSERT_TRUE(answer);
  ASSERT_EQ(resolver_.RequestDownloadLink(Text(*answer), entry_), 0);
  EXPECT_EQ(entry_.file_name, "report.pdf");

  const auto r = AcceptedRequests();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[2].target.rfind("/api/getvcode?prod=pan&t=0.35008895617264724&bdstoken=null&channel=chunlei&"
                              "clienttype=0&web=1&app_id=250528&logid=",
                              0),
            0u);
  EXPECT_EQ(r[3].path, "/genimage");
  EXPECT_TRUE(r[4].body.ends_with("&vcode_input=" + *answer + "&vcode_str=" + resolver_.Context().vcode_str));
}

TEST_P(ShareResolverTest, CaptchaTurnWithWrongAnswer) {
  const std::string link = AddShare(MakeShare("Captcha2", "", true));
  ASSERT_EQ(Resolve(link), -20);
  ASSERT_FALSE(resolver_.FetchCaptcha().empty());
  entry_.file_name = "kept";
  EXPECT_EQ(resolver_.RequestDownloadLink(Text("0000"), entry_), -20);
  EXPECT_EQ(entry_.file_name, "kept");
}

TEST_P(ShareResolverTest, CaptchaSessionsShareNoCookies) {
  const std::string link = AddShare(MakeShare("Captcha3", "", true));
  ASSERT_EQ(Resolve(link), -20);
  ASSERT_FALSE(resolver_.FetchCaptcha().empty());
  ASSERT_FALSE(resolver_.FetchCaptcha().empty());
  const auto r = AcceptedRequests();
  std::set<std::string> captchaConnections;
  for (const LoggedRequest& request : r) {
    if (request.path == "/api/getvcode") captchaConnections.insert(request.connection);
    if (request.path == "/api/getvcode" || request.path == "/genimage") {
      EXPECT_EQ(request.Header("Cookie"), "");
    }
  }
  EXPECT_EQ(captchaConnections.size(), 2u);  // each captcha has a session, and so a connection, of its own
}

TEST_P(ShareResolverTest, SecondResolutionStillSendsEarlierBdclnd) {
  const std::string locked = AddShare(MakeShare("Locked4", "ab12"));
  const std::string open = AddShare(MakeShare("Open3"));
  ASSERT_EQ(Resolve(locked, "ab12"), 0);
  service_.ClearLog();
  ASSERT_EQ(Resolve(open), 0);
  const auto r = AcceptedRequests();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_TRUE(r[1].body.ends_with(Extra(service_.Bdclnd("Locked4")))) << r[1].body;
}

TEST_P(ShareResolverTest, UnlockedShareResolvesAgainWithItsPassword) {
  const std::string link = AddShare(MakeShare("Locked5", "ab12"));
  ASSERT_EQ(Resolve(link, "ab12"), 0);
  ASSERT_EQ(Resolve(link, "ab12"), 0);
  AcceptedRequests();
}

TEST_P(ShareResolverTest, LargeSizeAndNonAsciiName) {
  const std::string name = "\xe4\xbc\x9a\xe8\xae\xae\xe7\xba\xaa\xe8\xa6\x81 2024.iso";  // 会议纪要
  const std::string link =
      AddShare(WithFiles(MakeShare("Big1"), {{name, 5368709121LL, ""}, {"second.txt", 1, ""}}));
  ASSERT_EQ(Resolve(link), 0);
  EXPECT_EQ(entry_.size, 5368709121LL);
  EXPECT_EQ(entry_.file_name, "\xBB\xE1\xD2\xE9\xBC\xCD\xD2\xAA 2024.iso");  // code page 936
  EXPECT_EQ(entry_.file_name, Utf8ToText(name));
}

TEST_P(ShareResolverTest, SlowReplyStillResolves) {
  ShareSetup slow = MakeShare("Slow1");
  slow.delay = std::chrono::milliseconds(300);
  const std::string link = AddShare(slow);
  EXPECT_EQ(Resolve(link), 0);
}

// The main session keeps one connection for all its requests, the first included: its 302 answer is
// never read, and over HTTPS it is the one request sent with certificate errors ignored.
TEST_P(ShareResolverTest, MainSessionKeepsOneConnection) {
  const std::string link = AddShare(MakeShare("Locked6", "ab12"));
  ASSERT_EQ(Resolve(link, "ab12"), 0);
  const auto requests = AcceptedRequests();
  ASSERT_EQ(requests.size(), 4u);
  std::set<std::string> connections;
  for (const auto& request : requests) connections.insert(request.connection);
  EXPECT_EQ(connections.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Transports, ShareResolverTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

struct ReplyRow {
  const char* name;
  ReplyKind kind;
  std::int64_t serviceErrno;
  std::int32_t expected;
};

void PrintTo(const ReplyRow& row, std::ostream* os) {
  *os << row.name;
}

const ReplyRow kReplyRows[] = {
    {"Malformed", ReplyKind::Malformed, 0, -99},
    {"Truncated", ReplyKind::Truncated, 0, -99},
    {"NoErrno", ReplyKind::NoErrno, 0, -100},
    {"ServiceError", ReplyKind::ServiceError, -9, -9},
    {"ErrnoKeepsLowBits", ReplyKind::ServiceError, 0x1FFFFFFECLL, -20},
    {"EmptyList", ReplyKind::EmptyList, 0, 0},
};

class DownloadReplyTest : public ResolverFixture,
                          public ::testing::TestWithParam<std::tuple<Transport, ReplyRow>> {
 protected:
  void SetUp() override { ASSERT_TRUE(harness_.Start(std::get<0>(GetParam()).https)); }
};

TEST_P(DownloadReplyTest, AnswersTheReplyCode) {
  const ReplyRow& row = std::get<1>(GetParam());
  ShareSetup share = MakeShare("Reply");
  share.reply = row.kind;
  share.serviceErrno = row.serviceErrno;
  const std::string link = AddShare(share);
  entry_ = FileEntry{"kept", "", "", 7};
  EXPECT_EQ(Resolve(link), row.expected);
  if (row.kind == ReplyKind::EmptyList) {
    EXPECT_EQ(entry_.file_name, "");
    EXPECT_EQ(entry_.size, 0);
  } else {
    EXPECT_EQ(entry_.file_name, "kept");
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, DownloadReplyTest,
                         ::testing::Combine(::testing::ValuesIn(kTransports),
                                            ::testing::ValuesIn(kReplyRows)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

TEST(ShareResolverRequestIdTest, UsesTheReplacedSource) {
  ShareResolver resolver;
  resolver.SetLogIdSource({[] { return std::int64_t{1600000000000}; }, [] { return 0.5; }});
  EXPECT_EQ(resolver.MakeLogId(), "MTYwMDAwMDAwMDAwMDAuNQ==");
}

}  // namespace
}  // namespace corvelle
