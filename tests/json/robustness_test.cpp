// Deep and wide trees, nodes that outlive their containers, cycles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json_document.h"

namespace corvelle {
namespace {

constexpr int kDepth = 1000000;

std::string Nested(char open, char close, const std::string& inner) {
  std::string text(kDepth, open);
  text += inner;
  text.append(kDepth, close);
  return text;
}

// Every operation that walks a tree must survive a million levels without using the machine stack.
TEST(DeepTree, ArraysParseWriteCloneMergeAndRelease) {
  const std::string text = Nested('[', ']', "");
  JsonDocument document;
  ASSERT_TRUE(document.Parse(text));
  EXPECT_EQ(document.ToText(), text);
  EXPECT_EQ(document.ToText({}, true), text);  // arrays have no line breaks of their own
  JsonDocument copy = document.Clone();
  EXPECT_EQ(copy.ToTextW().size(), text.size());
  EXPECT_FALSE(document.Merge(text, false, true));  // not an Object pair: nothing to merge
  document.Unload();
  copy.Unload();
}

TEST(DeepTree, ObjectsParseWriteCloneMergeAndRelease) {
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "{\"a\":";
  text += "1";
  text.append(kDepth, '}');
  JsonDocument document;
  ASSERT_TRUE(document.Parse(text));
  EXPECT_EQ(document.ToText(), text);
  JsonDocument copy = document.Clone();
  EXPECT_EQ(copy.ToTextW().size(), text.size());
  EXPECT_TRUE(document.Merge(text));  // the innermost pair replaces 1 by 1
  EXPECT_EQ(document.GetCount(), 1);
}

TEST(DeepTree, PrettyObjectsAreIndentedAllTheWay) {
  // Pretty output of deep Objects grows with the square of the depth, so a smaller depth shows it.
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "{\"a\":";
  text.append(2000, '}');
  JsonDocument document;
  ASSERT_TRUE(document.Parse(text));
  JsonDocument again;
  ASSERT_TRUE(again.Parse(document.ToText({}, true)));
  EXPECT_EQ(again.ToText(), document.ToText());
}

TEST(WideTree, MillionItemsAndMembersReleaseQuickly) {
  std::string array = "[";
  std::string object = "{";
  for (int i = 0; i < 1000000; ++i) {
    array += "1,";
    object += "\"k" + std::to_string(i) + "\":1,";
  }
  array.back() = ']';
  object.back() = '}';
  JsonDocument items;
  ASSERT_TRUE(items.Parse(array));
  JsonDocument members;
  ASSERT_TRUE(members.Parse(object));
  EXPECT_EQ(items.GetCount(), 1000000);
  EXPECT_EQ(members.GetCount(), 1000000);
  EXPECT_EQ(members.GetInteger("k999999"), 1);
  items.Unload();
  members.Unload();
}

TEST(SharedNodes, ChildOutlivesClearedEmptiedAndDestroyedContainers) {
  JsonDocument held1;
  JsonDocument held2;
  JsonDocument held3;
  {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(R"({"a":{"x":1},"b":[{"y":2}],"c":{"z":3}})"));
    held1 = document.GetNode("a");
    held2 = document.GetNode("b[0]");
    held3 = document.GetNode("c");
    document.EmptyValue();  // the root lets go of a
    ASSERT_TRUE(document.Parse(R"({"b":[]})"));
    ASSERT_TRUE(document.SetNull("b"));  // cleared by a setter
  }                                      // and the whole tree destroyed
  EXPECT_EQ(held1.GetParent().GetRootNode(), nullptr);
  EXPECT_EQ(held2.GetParent().GetRootNode(), nullptr);
  held1.Detach();
  held3.Detach();
  EXPECT_EQ(held1.ToText(), R"({"x":1})");
  EXPECT_EQ(held2.ToText(), R"({"y":2})");
  EXPECT_EQ(held3.ToText(), R"({"z":3})");
  ASSERT_TRUE(held1.SetInteger("x", 5));
  held1.Unload();
  held2.Unload();
}

TEST(SharedNodes, NodeUnderTwoKeysKeepsBothKeys) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  JsonDocument value = document.NewInteger(1);
  ASSERT_TRUE(document.SetMember({}, "a", value));
  ASSERT_TRUE(document.SetMember({}, "b", value));
  ASSERT_TRUE(document.RemoveMember({}, "b"));
  EXPECT_EQ(document.ToText(), R"({"a":1})");
  JsonDocument other;
  ASSERT_TRUE(other.Load("", false));
  ASSERT_TRUE(other.SetMember({}, "c", value));
  document.Unload();
  EXPECT_EQ(other.ToText(), R"({"c":1})");
}

TEST(Cycles, SetMemberRefusesToPutANodeBelowItself) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":{"b":{}}})"));
  const Text before = document.ToText();
  EXPECT_FALSE(document.SetMember({}, "self", document));
  EXPECT_FALSE(document.SetMember("a.b", "up", document.GetNode("a")));
  JsonDocument b = document.GetNode("a.b");
  EXPECT_FALSE(b.SetMember({}, "me", b));
  EXPECT_EQ(document.ToText(), before);
  // Shared in two places: still caught, whichever parent link the node kept.
  JsonDocument other;
  ASSERT_TRUE(other.Load("", false));
  ASSERT_TRUE(other.SetMember({}, "x", document.GetNode("a")));
  EXPECT_FALSE(b.SetMember({}, "loop", other));
  EXPECT_TRUE(b.SetMember({}, "fine", document.NewNull()));
}

TEST(Paths, AbsurdIndexGivesNoNode) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse("[]"));
  EXPECT_EQ(document.GetKind("[2147483647]"), -1);
  EXPECT_FALSE(document.SetItem({}, 2000000000, document.NewNull()));
  EXPECT_EQ(document.GetCount(), 0);
}

}  // namespace
}  // namespace corvelle
