#include "platform/cookie_store.h"

#include <gtest/gtest.h>

namespace corvelle::platform {
namespace {

class CookieStore : public ::testing::Test {
 protected:
  void SetUp() override { ClearStoredCookies(); }
  void TearDown() override { ClearStoredCookies(); }
};

TEST_F(CookieStore, CookieComesBackForSameHostUnderItsPath) {
  ASSERT_TRUE(SetStoredCookie("http://example.com/dir/page", "a", "1"));
  EXPECT_EQ(GetStoredCookies("http://example.com/dir/other"), "a=1");
  EXPECT_EQ(GetStoredCookies("http://example.com/elsewhere"), "");
  EXPECT_EQ(GetStoredCookies("http://other.com/dir/x"), "");
}

}  // namespace
}  // namespace corvelle::platform
