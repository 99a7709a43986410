#include "resolve_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "json/json_document.h"
#include "service_fixture.h"

namespace corvelle {
namespace {

using share_service::ShareSetup;

struct UsageRow {
  const char* name;
  std::vector<std::string> args;
  int status;
};

void PrintTo(const UsageRow& row, std::ostream* os) {
  *os << row.name;
}

const UsageRow kUsageRows[] = {
    {"NoLinks", {}, kResolveUsageError},
    {"OnlyOptions", {"--json"}, kResolveUsageError},
    {"UnknownOption", {"--fast", "http://127.0.0.1:1/s/1x"}, kResolveUsageError},
    {"PasswordWithoutValue", {"http://127.0.0.1:1/s/1x", "--password"}, kResolveUsageError},
    {"Help", {"--help"}, kResolveAllResolved},
};

class ResolveUsageTest : public ::testing::TestWithParam<UsageRow> {};

TEST_P(ResolveUsageTest, AnswersTheExitStatus) {
  std::ostringstream out, err;
  const CaptchaPrompt never = [](const std::string&) { return std::optional<std::string>(); };
  EXPECT_EQ(RunResolveCommand(GetParam().args, never, out, err), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Rows, ResolveUsageTest, ::testing::ValuesIn(kUsageRows),
                         [](const auto& info) { return std::string(info.param.name); });

class ResolveCommandTest : public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override { ASSERT_TRUE(harness_.Start(GetParam().https)); }

  int Run(const std::vector<std::string>& args) { return RunResolveCommand(args, prompt_, out_, err_); }

  // Answers each captcha with what the service drew, after checking the image file is there.
  CaptchaPrompt RightAnswer() {
    return [this](const std::string& path) -> std::optional<std::string> {
      ++captchas_;
      EXPECT_TRUE(std::filesystem::exists(path));
      return harness_.service.LastCaptchaAnswer();
    };
  }

  ServiceHarness harness_;
  CaptchaPrompt prompt_ = RightAnswer();
  std::ostringstream out_, err_;
  int captchas_ = 0;
};

TEST_P(ResolveCommandTest, PrintsOneLinePerFile) {
  const std::string open = harness_.AddShare(WithFiles(MakeShare("Open"), {{"a b.txt", 5368709120LL, ""}}));
  const std::string captcha = harness_.AddShare(MakeShare("Captcha", "", true));
  ASSERT_EQ(Run({open, captcha}), kResolveAllResolved) << err_.str();
  EXPECT_EQ(captchas_, 1);

  std::istringstream lines(out_.str());
  std::string line;
  std::vector<std::string> names;
  while (std::getline(lines, line)) {
    std::vector<std::string> columns;
    std::istringstream fields(line);
    for (std::string column; std::getline(fields, column, '\t');) columns.push_back(column);
    ASSERT_EQ(columns.size(), 4u) << line;
    names.push_back(columns[0]);
    if (columns[0] == "a b.txt") {
      EXPECT_EQ(columns[1], "5368709120");
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a b.txt", "report.pdf"}));
  harness_.AcceptedRequests();
}

TEST_P(ResolveCommandTest, ProtectedShareWithPassword) {
  const std::string locked = harness_.AddShare(MakeShare("Locked", "ab12"));
  EXPECT_EQ(Run({"--password", "ab12", locked}), kResolveAllResolved) << err_.str();
  EXPECT_TRUE(out_.str().starts_with("report.pdf\t123456\t"));
}

TEST_P(ResolveCommandTest, WritesJsonWithOurEngine) {
  const std::string name = "\xe4\xbc\x9a\xe8\xae\xae.docx";  // UTF-8
  const std::string open = harness_.AddShare(WithFiles(MakeShare("Open"), {{name, 42, ""}}));
  ASSERT_EQ(Run({"--json", open}), kResolveAllResolved) << err_.str();
  JsonDocument written;
  ASSERT_TRUE(written.Load(out_.str(), true, true));
  EXPECT_EQ(written.GetCount(), 1);
  EXPECT_EQ(written.GetInteger("[0].size"), 42);
  EXPECT_NE(out_.str().find(name), std::string::npos);  // UTF-8 on the way out
}

TEST_P(ResolveCommandTest, WrongCaptchaAnswerFailsThatLinkOnly) {
  const std::string captcha = harness_.AddShare(MakeShare("Captcha", "", true));
  const std::string open = harness_.AddShare(MakeShare("Open"));
  prompt_ = [this](const std::string&) -> std::optional<std::string> {
    ++captchas_;
    return std::string("0000");
  };
  EXPECT_EQ(Run({captcha, open}), kResolveSomeFailed);
  EXPECT_EQ(captchas_, 1);  // one captcha turn per link
  const std::string out = out_.str();
  EXPECT_TRUE(out.starts_with("report.pdf\t"));
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
}

TEST_P(ResolveCommandTest, UnusableShareFails) {
  harness_.AddShare(MakeShare("Open"));
  EXPECT_EQ(Run({harness_.origin + "/s/1Missing"}), kResolveSomeFailed);
  EXPECT_EQ(out_.str(), "");
}

INSTANTIATE_TEST_SUITE_P(Transports, ResolveCommandTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvelle
