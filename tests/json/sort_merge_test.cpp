// Member sorting and merging.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "json/json_document.h"

namespace corvelle {
namespace {

TEST(Sort, OrdersKeysBothWays) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"size":1,"md5":null,"errno":0})"));
  ASSERT_TRUE(document.SortMembers());
  EXPECT_EQ(document.ToText(), R"({"errno":0,"md5":null,"size":1})");
  ASSERT_TRUE(document.SortMembersW({}, true));
  EXPECT_EQ(document.ToText(), R"({"size":1,"md5":null,"errno":0})");
  EXPECT_EQ(document.GetInteger("size"), 1);
}

TEST(Sort, CaseComesAfterTheLetter) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"b":1,"B":2,"a":3,"A":4,"ab":5})"));
  ASSERT_TRUE(document.SortMembers());
  std::vector<Text> keys;
  ASSERT_EQ(document.GetKeys({}, keys), 5);
  EXPECT_EQ(keys, (std::vector<Text>{"a", "A", "ab", "b", "B"}));
}

TEST(Sort, LargeObjectKeepsLookupsRight) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(document.SetInteger("k" + std::to_string((i * 7919) % 500), i));
  ASSERT_TRUE(document.SortMembers());
  std::vector<Text> keys;
  ASSERT_EQ(document.GetKeys({}, keys), 500);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  for (int i = 0; i < 500; ++i) EXPECT_TRUE(document.Exists("k" + std::to_string(i)));
}

TEST(Sort, RefusesNonObjects) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":[2,1],"s":"x"})"));
  EXPECT_FALSE(document.SortMembers("a"));
  EXPECT_FALSE(document.SortMembers("s"));
  EXPECT_FALSE(document.SortMembers("missing"));
  EXPECT_EQ(document.ToText(), R"({"a":[2,1],"s":"x","missing":null})");
  EXPECT_FALSE(JsonDocument().SortMembers());
}

struct MergeRow {
  const char* name;
  const char* target;
  const char* source;
  bool addMissing;
  bool result;
  const char* after;
};

void PrintTo(const MergeRow& row, std::ostream* os) {
  *os << row.source << " into " << row.target;
}

class MergeCases : public testing::TestWithParam<MergeRow> {};

TEST_P(MergeCases, MergeAsDefined) {
  const MergeRow& row = GetParam();
  JsonDocument document;
  ASSERT_TRUE(document.Parse(row.target));
  EXPECT_EQ(document.Merge(row.source, false, row.addMissing), row.result);
  EXPECT_EQ(document.ToText(), row.after);
}

const MergeRow kMergeRows[] = {
    {"ReplacesScalar", R"({"errno":-9})", R"({"errno":0})", false, true, R"({"errno":0})"},
    {"ReplacesArrayWhole", R"({"list":[0,2]})", R"({"list":[1]})", false, true, R"({"list":[1]})"},
    {"SkipsMissing", R"({"errno":0})", R"({"vcode":null})", false, false, R"({"errno":0})"},
    {"AddsMissing", R"({"errno":0})", R"({"vcode":null})", true, true, R"({"errno":0,"vcode":null})"},
    {"NestedSkipStopsMerge", R"({"list":{"md5":null}})", R"({"list":{"size":1}})", false, false,
     R"({"list":{"md5":null}})"},
    {"NestedAdd", R"({"list":{"md5":null}})", R"({"list":{"size":1}})", true, true,
     R"({"list":{"md5":null,"size":1}})"},
    {"EmptySource", R"({"a":1})", "{}", false, false, R"({"a":1})"},
    {"BadSource", R"({"a":1})", "[1,]", true, false, R"({"a":1})"},
    {"ObjectReplacesScalar", R"({"a":1})", R"({"a":{"b":2}})", false, true, R"({"a":{"b":2}})"},
    {"StopsAtFirstFailedNest", R"({"a":1,"o":{},"z":1})", R"({"a":2,"o":{"x":1},"z":3})", false, false,
     R"({"a":2,"o":{},"z":1})"},
    {"ArrayRootIsNotMerged", "[1]", "[2]", true, false, "[1]"},
};

INSTANTIATE_TEST_SUITE_P(Json, MergeCases, testing::ValuesIn(kMergeRows),
                         [](const testing::TestParamInfo<MergeRow>& info) {
                           return std::string(info.param.name);
                         });

TEST(Merge, CopiesSoTheSourceCanGo) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":{"n":1}})"));
  ASSERT_TRUE(document.Merge(R"({"a":{"n":1.50}})"));
  EXPECT_EQ(document.GetSourceText("a.n"), "1.5");
}

TEST(Merge, MemberRootIsReplacedInItsObject) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1,"b":2})"));
  JsonDocument a = document.GetNode("a");
  EXPECT_TRUE(a.MergeW(u"[5]"));
  EXPECT_EQ(document.ToText(), R"({"a":[5],"b":2})");
  EXPECT_EQ(a.GetInteger(), 1);
}

TEST(Merge, EmptyDocumentRefuses) {
  JsonDocument document;
  EXPECT_FALSE(document.Merge(R"({"a":1})", false, true));
  EXPECT_EQ(document.GetRootNode(), nullptr);
}

}  // namespace
}  // namespace corvelle
