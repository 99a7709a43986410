// Path syntax, the find-or-create walk, the non-creating check and the reads.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "json/detail/json_path.h"
#include "json/json_document.h"

namespace corvelle {
namespace {

struct StepRow {
  const char* name;
  const char16_t* path;
  // Steps written as name[index] pieces joined by "|", "-" for a missing name, "" for no index.
  const char* steps;
};

void PrintTo(const StepRow& row, std::ostream* os) {
  *os << row.name;
}

std::string Describe(const std::vector<detail::PathStep>& steps) {
  std::string out;
  for (const detail::PathStep& step : steps) {
    if (!out.empty()) out += "|";
    if (step.hasName) {
      for (const char16_t c : step.name) out += static_cast<char>(c);
    } else {
      out += "-";
    }
    if (step.hasIndex) out += "[" + std::to_string(step.index) + "]";
  }
  return out;
}

class PathSteps : public testing::TestWithParam<StepRow> {};

TEST_P(PathSteps, SplitAsDefined) {
  std::u16string storage;
  EXPECT_EQ(Describe(detail::ParsePath(GetParam().path, storage)), GetParam().steps);
}

const StepRow kStepRows[] = {
    {"Name", u"errno", "errno"},
    {"NameIndexName", u"list[0].server_filename", "list[0]|server_filename"},
    {"NameIndex", u"list[0]", "list[0]"},
    {"ClosingBracketOptional", u"list[3", "list[3]"},
    {"TextAfterBracketIgnored", u"list[2]xyz.a", "list[2]|a"},
    {"SecondPairIgnored", u"list[0][1]", "list[0]"},
    {"ItemOfItem", u"list[0].[1]", "list[0]|-[1]"},
    {"EscapedDot", u"a\\.b.c", "a.b|c"},
    {"EscapedBracketsAndBackslash", u"a\\[1\\]\\\\", "a[1]\\"},
    {"OtherBackslashStays", u"a\\nb", "a\\nb"},
    {"TrailingDot", u"a.", "a|"},
    {"LoneCloseBracketIsName", u"a]b", "a]b"},
    {"IndexLikeStrToInt", u"a[ -12x]", "a[-12]"},
    {"IndexWithoutDigits", u"a[x]", "a[0]"},
    {"HugeIndexSaturates", u"a[99999999999]", "a[2147483647]"},
    {"Empty", u"", ""},
    {"StopsAtNul", u"a\0b", "a"},
};

INSTANTIATE_TEST_SUITE_P(Json, PathSteps, testing::ValuesIn(kStepRows),
                         [](const testing::TestParamInfo<StepRow>& info) {
                           return std::string(info.param.name);
                         });

class Reply : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(reply.Parse(
        R"({"errno":0,"list":[{"server_filename":"a.zip","md5":"abc","size":1048576,"real":2.9,"str":"7"}]})"));
  }
  JsonDocument reply;
};

TEST_F(Reply, ReadsTheResolverPaths) {
  EXPECT_TRUE(reply.Exists("errno"));
  EXPECT_EQ(reply.GetInteger("errno"), 0);
  EXPECT_EQ(reply.GetInteger("list[0].size"), 1048576);
  EXPECT_EQ(reply.GetInteger("list[0].real"), 2);
  EXPECT_EQ(reply.GetInteger("list[0].str"), 0);
  EXPECT_EQ(reply.GetString("list[0].server_filename"), "a.zip");
  EXPECT_EQ(reply.GetString("list[0].size"), "");
  EXPECT_EQ(reply.GetSourceText("list[0].size"), "1048576");
  EXPECT_EQ(reply.GetStringW(u"list[0].md5"), u"abc");
}

TEST_F(Reply, MissingPathIsCreatedByReads) {
  JsonDocument small;
  ASSERT_TRUE(small.Parse(R"({"errno":0})"));
  EXPECT_FALSE(small.Exists("list[0].md5"));
  EXPECT_EQ(small.GetString("list[0].md5"), "");
  EXPECT_EQ(small.ToText(), R"({"errno":0,"list":[{"md5":null}]})");
  EXPECT_TRUE(small.Exists("list[0].md5"));
  EXPECT_EQ(small.GetKind("x"), static_cast<int>(NodeKind::Null));
  EXPECT_EQ(small.GetInteger("errno.inner"), 0);
  EXPECT_EQ(small.ToText("errno"), R"({"inner":null})");
}

TEST_F(Reply, ExistsCreatesNothing) {
  const Text before = reply.ToText();
  EXPECT_FALSE(reply.Exists(""));
  EXPECT_FALSE(reply.Exists("nope"));
  EXPECT_FALSE(reply.Exists("list[1]"));
  EXPECT_FALSE(reply.Exists("list[-1]"));
  EXPECT_FALSE(reply.Exists("errno.x"));
  EXPECT_FALSE(reply.Exists("errno[0]"));
  EXPECT_TRUE(reply.Exists("list[0].md5"));
  EXPECT_EQ(reply.ToText(), before);
}

TEST_F(Reply, EmptyPathIsTheRoot) {
  EXPECT_EQ(reply.GetKind(""), static_cast<int>(NodeKind::Object));
  EXPECT_EQ(reply.GetNode("").GetRootNode(), reply.GetRootNode());
  EXPECT_EQ(reply.GetCount(), 2);
  EXPECT_EQ(reply.GetCount("list"), 1);
  EXPECT_EQ(reply.GetCount("errno"), 0);
}

TEST_F(Reply, ParentOfMemberAndItem) {
  EXPECT_EQ(reply.GetParent("list[0]").GetRootNode(), reply.GetNode("list").GetRootNode());
  EXPECT_EQ(reply.GetParent("list").GetRootNode(), reply.GetRootNode());
  EXPECT_EQ(reply.GetParent().GetRootNode(), nullptr);
}

TEST(Paths, GetItemPadsWithNulls) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse("[]"));
  EXPECT_EQ(document.GetItem({}, 3).GetKind(), static_cast<int>(NodeKind::Null));
  EXPECT_EQ(document.ToText(), "[null,null,null,null]");
  EXPECT_EQ(document.GetItem({}, -1).GetRootNode(), nullptr);
  EXPECT_EQ(document.GetCount(), 4);
}

TEST(Paths, TwoBracketPairsAndDottedPairs) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"list":[[1,2],[3]]})"));
  EXPECT_EQ(document.GetNode("list[0][1]").GetRootNode(), document.GetNode("list[0]").GetRootNode());
  EXPECT_EQ(document.GetInteger("list[0].[1]"), 2);
}

TEST(Paths, EscapedNames) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a.b":{"c[0]":1},"x\\y":2})"));
  EXPECT_EQ(document.GetInteger("a\\.b.c\\[0\\]"), 1);
  EXPECT_EQ(document.GetInteger("x\\\\y"), 2);  // an escaped backslash is one backslash
  EXPECT_TRUE(document.Exists("a\\.b"));
}

TEST(Paths, KeysAndChildren) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"size":1,"md5":null,"e":{},"a":[]})"));
  std::vector<Text> keys{"old"};
  EXPECT_EQ(document.GetKeys({}, keys), 4);
  EXPECT_EQ(keys, (std::vector<Text>{"size", "md5", "e", "a"}));
  EXPECT_EQ(document.GetKeys("e", keys), 0);
  EXPECT_TRUE(keys.empty());
  keys = {"kept"};
  EXPECT_EQ(document.GetKeys("size", keys), 0);
  EXPECT_EQ(keys, std::vector<Text>{"kept"});

  std::vector<JsonDocument> children(1);
  EXPECT_EQ(document.GetChildren("a", children), 0);
  EXPECT_EQ(children.size(), 1u);
  EXPECT_EQ(document.GetChildren({}, children), 4);
  ASSERT_EQ(children.size(), 4u);
  EXPECT_EQ(children[0].GetInteger(), 1);
  ASSERT_TRUE(children[0].SetInteger({}, 9));
  EXPECT_EQ(document.GetInteger("size"), 9);
}

TEST(Paths, EmptyDocumentGivesNoNodeResults) {
  JsonDocument document;
  EXPECT_EQ(document.GetKind("a"), -1);
  EXPECT_EQ(document.GetCount(), 0);
  EXPECT_EQ(document.GetString("a"), "");
  EXPECT_EQ(document.GetStringW(u"a"), u"");
  EXPECT_FALSE(document.Exists("a"));
  EXPECT_EQ(document.GetNode("a").GetRootNode(), nullptr);
  EXPECT_EQ(document.GetMember({}, "a").GetRootNode(), nullptr);
  EXPECT_EQ(document.Clone().GetRootNode(), nullptr);
  EXPECT_FALSE(document.SetInteger("a", 1));
  EXPECT_EQ(document.GetRootNode(), nullptr);
}

TEST(Paths, CloneIsIndependentAndUsesConstructorText) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":{"n":1.50,"s":"x","r":abc,"l":[1,[2]]}})"));
  JsonDocument copy = document.Clone("a");
  EXPECT_EQ(copy.ToText(), R"({"n":1.5,"s":"x","r":abc,"l":[1,[2]]})");
  EXPECT_EQ(copy.GetSourceText("n"), "1.5");
  EXPECT_EQ(copy.GetParent().GetRootNode(), nullptr);
  ASSERT_TRUE(copy.SetInteger("l[1].[0]", 5));
  EXPECT_EQ(document.GetInteger("a.l[1].[0]"), 2);
}

}  // namespace
}  // namespace corvelle
