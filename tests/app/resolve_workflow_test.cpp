#include <gtest/gtest.h>

#include <QPixmap>
#include <QTest>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/service_window_fixture.h"
#include "share_setup.h"

namespace corvelle::test {
namespace {

using AppResolveWorkflowTest = ServiceWindowFixture;

TEST_F(AppResolveWorkflowTest, ResolutionAppendsOneRowWithFourCells) {
  UseShare(kOpen);
  Press();
  ASSERT_EQ(Results()->topLevelItemCount(), 1);
  const QStringList row = Row(0);
  EXPECT_EQ(row[0], QStringLiteral("open.bin"));
  EXPECT_EQ(row[1], QStringLiteral("1024"));
  EXPECT_EQ(row[2], QString::fromLatin1(kMd5));
  EXPECT_TRUE(row[3].startsWith(QStringLiteral("http"))) << row[3].toStdString();
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(AppResolveWorkflowTest, RepeatedPressesAppendRowsAndKeepEarlierOnes) {
  UseShare(kOpen);
  Press();
  Press();
  Press();
  ASSERT_EQ(Results()->topLevelItemCount(), 3);
  for (int index = 0; index < 3; ++index) EXPECT_EQ(Row(index)[0], QStringLiteral("open.bin"));
}

TEST_F(AppResolveWorkflowTest, FailedLoadLeavesCaptchaControlsUntouched) {
  QPixmap picture(10, 10);
  picture.fill(Qt::red);
  Picture()->setPixmap(picture);
  Answer()->setText(QStringLiteral("ab"));
  UseShare("NoSuchShare");
  Press();
  EXPECT_EQ(Results()->topLevelItemCount(), 0);
  EXPECT_EQ(DownloadRequests(), 0u);
  EXPECT_TRUE(PictureShown());
  EXPECT_EQ(Answer()->text(), QStringLiteral("ab"));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(AppResolveWorkflowTest, CaptchaTurnWaitsForFourCharactersThenAddsOneRow) {
  UseShare(kCaptcha);
  std::string answer;
  bool pictureFits = false;
  bool answerBoxEmptied = false;
  bool heldAtThree = false;
  UiScript script;
  script
      .When([this] { return PictureShown(); },
            [&] {
              const QSize shown = Picture()->pixmap().deviceIndependentSize().toSize();
              pictureFits = shown.width() <= 152 && shown.height() <= 56;
              answerBoxEmptied = Answer()->text().isEmpty();
              answer = service_->LastCaptchaAnswer();
              QTest::keyClicks(Answer(), QString::fromStdString(answer.substr(0, 3)));
            })
      .Then([&] {
        // Still in the wait: the picture is up, the three characters stand, nothing has been sent.
        heldAtThree = PictureShown() && Answer()->text().size() == 3 && DownloadRequests() == 1;
        QTest::keyClicks(Answer(), QString::fromStdString(answer.substr(3)));
      });
  PressWith(script);

  EXPECT_TRUE(pictureFits);
  EXPECT_TRUE(answerBoxEmptied);
  EXPECT_TRUE(heldAtThree);
  ASSERT_EQ(Results()->topLevelItemCount(), 1);
  EXPECT_EQ(Row(0)[0], QStringLiteral("captcha.bin"));
  EXPECT_TRUE(messages_.shown.empty());
  const auto downloads = Requests("/api/sharedownload");
  ASSERT_EQ(downloads.size(), 2u);
  EXPECT_NE(downloads[1].body.find("vcode_input=" + answer), std::string::npos) << downloads[1].body;
  // The captcha controls are reset once the run is over.
  EXPECT_FALSE(PictureShown());
  EXPECT_TRUE(Answer()->text().isEmpty());
}

// Answers that release the wait at once, each typed or pasted in one go; a wrong one is refused by the
// service a second time.
struct AnswerRow {
  const char* name;
  const char16_t* typed;  // nullptr: the service's right answer
  bool resolves;
};

void PrintTo(const AnswerRow& row, std::ostream* out) {
  *out << row.name;
}

const std::vector<AnswerRow> kAnswers = {
    {"RightAnswer", nullptr, true},
    {"WrongAnswer", u"zzzz", false},
    {"TwoChineseCharacters", u"验证", false},
    {"LongerPastedAnswer", u"abcdefgh", false},
};

class AppCaptchaAnswerTest : public ServiceWindowFixture, public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(AppCaptchaAnswerTest, ReleasesWaitAndSendsWholeAnswer) {
  const AnswerRow& row = GetParam();
  UseShare(kCaptcha);
  QString typed;
  UiScript script;
  script.When([this] { return PictureShown(); },
              [&] {
                typed = row.typed != nullptr ? QString::fromUtf16(row.typed)
                                             : QString::fromStdString(service_->LastCaptchaAnswer());
                Answer()->setText(typed);
              });
  PressWith(script);

  const auto downloads = Requests("/api/sharedownload");
  ASSERT_EQ(downloads.size(), 2u);
  EXPECT_NE(downloads[1].body.find("vcode_input="), std::string::npos);
  EXPECT_EQ(Results()->topLevelItemCount(), row.resolves ? 1 : 0);
  if (row.resolves) {
    EXPECT_TRUE(messages_.shown.empty());
  } else {
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, QStringLiteral("信息："));
  }
  EXPECT_FALSE(PictureShown());
  EXPECT_TRUE(Answer()->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AppAnswers, AppCaptchaAnswerTest, ::testing::ValuesIn(kAnswers),
                         [](const ::testing::TestParamInfo<AnswerRow>& info) { return info.param.name; });

TEST_F(AppResolveWorkflowTest, ClosingWindowDuringWaitEndsRunWithoutTouchingIt) {
  UseShare(kCaptcha);
  UiScript script;
  script.When([this] { return PictureShown(); }, [this] { window_->close(); });
  PressWith(script);

  EXPECT_EQ(DownloadRequests(), 1u);  // the answered request is never sent
  EXPECT_EQ(Results()->topLevelItemCount(), 0);
  EXPECT_TRUE(PictureShown());  // left as it was when the window went
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(AppResolveWorkflowTest, DestroyingWindowDuringWaitEndsRun) {
  UseShare(kCaptcha);
  UiScript script;
  script.When([this] { return PictureShown(); }, [this] { window_.reset(); });
  script.Start([this] {
    if (window_) window_->close();
  });
  QPushButton* parse = Parse();
  parse->click();  // the button goes with the window; click() guards against that
  EXPECT_FALSE(script.TimedOut());
  EXPECT_EQ(window_, nullptr);
  EXPECT_EQ(DownloadRequests(), 1u);
}

TEST_F(AppResolveWorkflowTest, PressDuringCaptchaWaitIsRefused) {
  UseShare(kCaptcha);
  UiScript script;
  script.When([this] { return PictureShown(); }, [this] { Parse()->click(); }).Then([this] {
    Answer()->setText(QString::fromStdString(service_->LastCaptchaAnswer()));
  });
  PressWith(script);

  EXPECT_EQ(PageRequests(kCaptcha), 1u);
  EXPECT_EQ(DownloadRequests(), 2u);
  EXPECT_EQ(Results()->topLevelItemCount(), 1);
}

// Replies that end the run without a row, after the share loaded: the captcha controls are reset all
// the same.
struct FailedReplyRow {
  const char* name;
  share_service::ReplyKind reply;
  int serviceErrno;
};

void PrintTo(const FailedReplyRow& row, std::ostream* out) {
  *out << row.name;
}

const std::vector<FailedReplyRow> kFailedReplies = {
    {"ServiceError", share_service::ReplyKind::ServiceError, 112},
    {"EmptyList", share_service::ReplyKind::EmptyList, 0},
    {"Malformed", share_service::ReplyKind::Malformed, 0},
};

class AppFailedReplyTest : public ServiceWindowFixture, public ::testing::WithParamInterface<FailedReplyRow> {
 protected:
  std::vector<ShareSetup> Shares() const override {
    ShareSetup share;
    share.surl = kOpen;
    share.reply = GetParam().reply;
    share.serviceErrno = GetParam().serviceErrno;
    share.files = {{"open.bin", 1024, kMd5}};
    return {share};
  }
};

TEST_P(AppFailedReplyTest, AddsNoRowShowsNothingAndResetsCaptchaControls) {
  UseShare(kOpen);
  Answer()->setText(QStringLiteral("ab"));
  Press();
  EXPECT_EQ(DownloadRequests(), 1u);
  EXPECT_EQ(Results()->topLevelItemCount(), 0);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(Answer()->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AppReplies, AppFailedReplyTest, ::testing::ValuesIn(kFailedReplies),
                         [](const ::testing::TestParamInfo<FailedReplyRow>& info) {
                           return info.param.name;
                         });

// Sizes are written in full, as signed 64-bit decimals.
class AppFileSizeTest : public ServiceWindowFixture, public ::testing::WithParamInterface<std::int64_t> {
 protected:
  std::vector<ShareSetup> Shares() const override {
    ShareSetup share;
    share.surl = kOpen;
    share.files = {{"sized.bin", GetParam(), kMd5}};
    return {share};
  }
};

TEST_P(AppFileSizeTest, SizeCellHoldsFullDecimal) {
  UseShare(kOpen);
  Press();
  ASSERT_EQ(Results()->topLevelItemCount(), 1);
  EXPECT_EQ(Row(0)[1], QString::number(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(AppSizes, AppFileSizeTest, ::testing::Values(0, 4294967296LL, 5368709121LL),
                         [](const ::testing::TestParamInfo<std::int64_t>& info) {
                           return "Bytes" + std::to_string(info.param);
                         });

// The pre-filled link resolves against the sample shares of the standalone service.
class AppSampleShareTest : public ServiceWindowFixture {
 protected:
  std::vector<ShareSetup> Shares() const override { return share_service::SampleShares(); }
};

TEST_F(AppSampleShareTest, PrefilledLinkResolvesWithoutTyping) {
  Press();
  EXPECT_EQ(Results()->topLevelItemCount(), 1);
}

}  // namespace
}  // namespace corvelle::test
