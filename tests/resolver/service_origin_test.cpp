#include "resolver/service_origin.h"

#include <gtest/gtest.h>

#include "support/test_certificate.h"

namespace corvelle {
namespace {

struct OriginRow {
  const char* name;
  const char* variable;  // nullptr: unset
  std::string expected;
};

void PrintTo(const OriginRow& row, std::ostream* os) {
  *os << row.name;
}

const OriginRow kOriginRows[] = {
    {"Unset", nullptr, "https://pan.baidu.com"},
    {"Empty", "", "https://pan.baidu.com"},
    {"WithPort", "http://127.0.0.1:8080", "http://127.0.0.1:8080"},
    {"TrailingSlashes", "https://[::1]:8443//", "https://[::1]:8443"},
};

class ServiceOriginTest : public ::testing::TestWithParam<OriginRow> {};

TEST_P(ServiceOriginTest, ReadsTheVariable) {
  testing::ScopedEnvironment variable("CORVELLE_SERVICE_ORIGIN", GetParam().variable);
  EXPECT_EQ(ServiceOrigin(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ServiceOriginTest, ::testing::ValuesIn(kOriginRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvelle
