#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/client.h"
#include "support/raw_server.h"

namespace corvelle::platform::testing {
namespace {

using corvelle::testing::MakeResponse;
using corvelle::testing::RawServer;

struct HeaderCall {
  std::string lines;
  std::uint32_t flags;
  bool succeeds;
};

struct HeaderCase {
  std::string name;
  std::vector<HeaderCall> calls;
  std::string expectedHeaders;  // what follows Host and User-Agent on the wire
};

void PrintTo(const HeaderCase& row, std::ostream* out) {
  *out << row.name;
}

constexpr std::uint32_t kAddReplace = kAddHeaderAdd | kAddHeaderReplace;

const std::vector<HeaderCase> kHeaderCases = {
    {"AddTwiceKeepsBoth",
     {{"X-A:1", kAddHeaderAdd, true}, {"X-A:2", kAddHeaderAdd, true}},
     "X-A: 1\r\nX-A: 2\r\n"},
    {"ZeroFlagsAdd", {{"X-A:1", 0, true}}, "X-A: 1\r\n"},
    {"AddReplaceKeepsLastValue", {{"X-A:1", kAddReplace, true}, {"x-a:2", kAddReplace, true}}, "X-A: 2\r\n"},
    {"ReplaceMissingFails", {{"X-A:1", kAddHeaderReplace, false}}, ""},
    {"ReplaceWithEmptyRemoves",
     {{"X-A:1", kAddHeaderAdd, true}, {"X-B:2", kAddHeaderAdd, true}, {"X-A:", kAddHeaderReplace, true}},
     "X-B: 2\r\n"},
    {"AddIfNewKeepsFirst",
     {{"Accept:text/html", kAddHeaderAdd, true}, {"Accept:*/*", kAddHeaderAddIfNew, false}},
     "Accept: text/html\r\n"},
    {"AddIfNewAddsMissing", {{"Accept:*/*", kAddHeaderAddIfNew, true}}, "Accept: */*\r\n"},
    {"SeveralLinesInOneCall",
     {{"X-A:1\r\nX-B: 2\r\nX-C:3", kAddReplace, true}},
     "X-A: 1\r\nX-B: 2\r\nX-C: 3\r\n"},
    {"EmptyValueWithAddReplaceIsSent", {{"X-Forwarded-For:", kAddReplace, true}}, "X-Forwarded-For:\r\n"},
    {"CoalesceJoinsValues",
     {{"X-A:1", kAddHeaderAdd, true}, {"X-A:2", kAddHeaderCoalesce, true}},
     "X-A: 1, 2\r\n"},
    {"LineWithoutColonFails", {{"NoColonHere", kAddHeaderAdd, false}}, ""},
    {"CallerUserAgentReplacesSessions", {{"User-Agent:mine", kAddReplace, true}}, "User-Agent: mine\r\n"},
};

class PlatformRequestHeaderOperations : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(PlatformRequestHeaderOperations, PutExactlyTheseHeadersOnTheWire) {
  const HeaderCase& row = GetParam();
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  for (const auto& call : row.calls) {
    EXPECT_EQ(HttpAddRequestHeaders(client.Request(), Wide(call.lines), call.flags), call.succeeds)
        << call.lines;
  }
  ASSERT_TRUE(client.Finish().received);
  ASSERT_EQ(server.Requests().size(), 1u);
  const bool ownAgent = row.expectedHeaders.find("User-Agent") != std::string::npos;
  EXPECT_EQ(server.Requests()[0], "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                                      "\r\n" + (ownAgent ? "" : "User-Agent: ua\r\n") + row.expectedHeaders +
                                      "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Platform, PlatformRequestHeaderOperations, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& info) { return info.param.name; });

TEST(PlatformRequestHeaders, CallerContentTypeIsKeptOnPost) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  const Response response = client.Fetch("POST", server.Origin() + "/f", "Content-Type:text/plain", "xy");
  ASSERT_TRUE(response.received);
  EXPECT_EQ(server.Requests().at(0),
            "POST /f HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                "\r\nUser-Agent: ua\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nxy");
}

TEST(PlatformRequestHeaders, EmptySessionUserAgentSendsNone) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"");
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  EXPECT_EQ(server.Requests().at(0),
            "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n\r\n");
}

TEST(PlatformRequestHeaders, OtherMethodsGoOutAsGiven) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  ASSERT_TRUE(client.Fetch("PUT", server.Origin() + "/r", {}, "data").received);
  ASSERT_TRUE(client.Fetch("DELETE", server.Origin() + "/r").received);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], "PUT /r HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                             "\r\nUser-Agent: ua\r\nContent-Length: 4\r\n\r\ndata");
  EXPECT_EQ(requests[1], "DELETE /r HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                             "\r\nUser-Agent: ua\r\n\r\n");
}

}  // namespace
}  // namespace corvelle::platform::testing
