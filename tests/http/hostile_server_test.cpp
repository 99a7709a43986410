#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

#include "http/http_session.h"
#include "support/raw_server.h"

// Servers that misbehave. None may crash, hang or leak the session; each gives a failed send (status
// 0) or a captured response with whatever body arrived.
namespace corvelle {
namespace {

using testing::MakeResponse;
using testing::RawConnection;
using testing::RawServer;

// A reset can overtake response bytes the client has not read yet; then the send itself fails.
enum class Send { kSucceeds, kFails, kEither };

struct HostileCase {
  std::string label;
  std::function<void(RawConnection&)> behave;
  Send send;
  int status;
  std::size_t maxBody;  // the body may be cut short; it never exceeds this
};

void PrintTo(const HostileCase& row, std::ostream* out) {
  *out << row.label;
}

RawServer::Script AfterRequest(std::function<void(RawConnection&)> behave) {
  return [behave](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request)) behave(connection);
  };
}

class HttpHostileServerTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HttpHostileServerTest, EndsWithThePlainFailureResult) {
  const HostileCase& row = GetParam();
  RawServer server(AfterRequest(row.behave));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.SetTimeouts(2000, 2000, 2000, 1500));
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  const bool sent = session.SendText();
  if (row.send != Send::kEither) {
    EXPECT_EQ(sent, row.send == Send::kSucceeds);
  }
  EXPECT_EQ(session.GetStatusCode(), sent ? row.status : 0);
  EXPECT_LE(session.GetResponseBytes().size(), row.maxBody);
}

const HostileCase kHostileCases[] = {
    {"EndsBeforeContentLength",
     [](RawConnection& c) {
       static_cast<void>(c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nshort"));
     },
     Send::kSucceeds, 200, 5},
    {"TruncatedChunkedBody",
     [](RawConnection& c) {
       static_cast<void>(c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n0123456789"));
     },
     Send::kSucceeds, 200, 16},
    {"ResetInTheBody",
     [](RawConnection& c) {
       static_cast<void>(
           c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'x')));
       std::this_thread::sleep_for(std::chrono::milliseconds(200));
       c.Reset();
     },
     Send::kEither, 200, 5000},
    {"GarbageInsteadOfStatusLine",
     [](RawConnection& c) { static_cast<void>(c.Send("\x01\x02 this is not HTTP at all\r\n\r\n")); },
     Send::kFails, 0, 0},
    {"NeverAnswers", [](RawConnection& c) { c.WaitUntilStopped(); }, Send::kFails, 0, 0},
    {"HeadersThenSilence",
     [](RawConnection& c) {
       static_cast<void>(c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab"));
       c.WaitUntilStopped();
     },
     Send::kSucceeds, 200, 2},
    {"ClosesWithoutAnswer", [](RawConnection&) {}, Send::kFails, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Behaviours, HttpHostileServerTest, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return info.param.label; });

TEST(HttpHostileServerTest, HugeHeaderBlockIsCapturedOrRefusedQuietly) {
  std::vector<std::string> headers;
  for (int i = 0; i < 16384; ++i)
    headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(48, 'f'));
  headers.push_back("Set-Cookie: late=1");
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", headers, "body")}));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  if (session.SendText()) {
    EXPECT_EQ(session.GetStatusCode(), 200);
    EXPECT_EQ(session.GetResponseText(), "body");
    EXPECT_EQ(session.CookieJar(), "late=1");
  } else {
    EXPECT_EQ(session.GetStatusCode(), 0);
    EXPECT_EQ(session.CookieJar(), "");
  }
}

TEST(HttpHostileServerTest, EndlessRedirectLoopStopsAtTheLimit) {
  RawServer server(
      RawServer::Respond({MakeResponse(302, "Found", {"Location: /loop", "Set-Cookie: n=1"}, "")}));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/loop"));
  EXPECT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 302);
  EXPECT_EQ(server.Requests().size(), 21U);
  EXPECT_EQ(session.RedirectCount(), 0);
}

TEST(HttpHostileServerTest, NegativeContentLengthIsNotAnnounced) {
  RawServer server([](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request)) {
      static_cast<void>(
          connection.Send("HTTP/1.1 200 OK\r\nContent-Length: -5\r\nConnection: close\r\n\r\nabc"));
    }
  });
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  if (session.SendText()) {
    EXPECT_EQ(session.ContentLength(), -1);
    EXPECT_LE(session.GetResponseBytes().size(), 3U);
  } else {
    EXPECT_EQ(session.GetStatusCode(), 0);
  }
}

}  // namespace
}  // namespace corvelle
