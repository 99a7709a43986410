// Handles, loading, construction, setters and container edits, and how documents share nodes.
#include <gtest/gtest.h>

#include <vector>

#include "json/detail/json_node.h"
#include "json/json_document.h"

namespace corvelle {
namespace {

std::int32_t RefCount(const JsonDocument& document) {
  return document.GetRootNode()->refCount.load();
}

TEST(Handles, CopySharesTheTree) {
  JsonDocument first;
  ASSERT_TRUE(first.Parse(R"({"a":1})"));
  JsonDocument second = first;
  ASSERT_TRUE(second.SetInteger("a", 2));
  EXPECT_EQ(first.GetInteger("a"), 2);
  second.Unload();
  EXPECT_EQ(first.GetInteger("a"), 2);
  EXPECT_EQ(second.GetRootNode(), nullptr);
}

TEST(Handles, ParseChangesSharedRootLoadDoesNot) {
  JsonDocument first;
  ASSERT_TRUE(first.Parse(R"({"a":1})"));
  JsonDocument second = first;
  ASSERT_TRUE(first.Parse(R"({"b":2})"));
  EXPECT_EQ(second.ToText(), R"({"b":2})");
  ASSERT_TRUE(first.Load(R"({"c":3})", true));
  EXPECT_EQ(first.ToText(), R"({"c":3})");
  EXPECT_EQ(second.ToText(), R"({"b":2})");
}

TEST(Handles, ParseOfEmptyTextOnEmptyDocument) {
  JsonDocument document;
  EXPECT_TRUE(document.Parse(""));
  EXPECT_EQ(document.ToText(), "{}");
  JsonDocument loaded;
  EXPECT_TRUE(loaded.Load("not parsed", false));
  EXPECT_EQ(loaded.ToText(), "{}");
  EXPECT_FALSE(loaded.Load("[1,]", true));
  EXPECT_EQ(loaded.ToText(), "[]");
}

TEST(Handles, AttachNode) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse("[1]"));
  document.AttachNode(nullptr);
  EXPECT_EQ(document.ToText(), "[1]");
  const std::int32_t before = RefCount(document);
  document.AttachNode(document.GetRootNode());
  EXPECT_EQ(RefCount(document), before);
  JsonDocument other;
  other.AttachNode(document.GetRootNode());
  EXPECT_EQ(RefCount(document), before + 1);
  EXPECT_EQ(other.ToText(), "[1]");
}

TEST(Handles, NewValuesAreFree) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1})"));
  EXPECT_EQ(document.NewObject().ToText(), "{}");
  EXPECT_EQ(document.NewArray().ToText(), "[]");
  EXPECT_EQ(document.NewNull().ToText(), "null");
  EXPECT_EQ(document.NewBoolean(true).GetSourceText(), "true");
  EXPECT_EQ(document.NewInteger(-5).ToText(), "-5");
  EXPECT_EQ(document.NewInteger(-5).GetSourceText(), "-5");
  EXPECT_EQ(document.NewReal(0.1).ToText(), "0.1");
  EXPECT_EQ(document.NewStringW(u"x\"").ToText(), R"("x\"")");
  EXPECT_EQ(document.NewString("\xD6\xD0").GetString(), "\xD6\xD0");
  EXPECT_EQ(document.NewNull().GetParent().GetRootNode(), nullptr);
  EXPECT_EQ(document.ToText(), R"({"a":1})");
  EXPECT_EQ(JsonDocument().NewInteger(3).GetInteger(), 3);
}

TEST(Edits, SetIntegerBuildsThePath) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  ASSERT_TRUE(document.SetInteger("list[0].size", 5));
  EXPECT_EQ(document.ToText(), R"({"list":[{"size":5}]})");
}

TEST(Edits, SettersKeepIdentityAndPlace) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":[1,2],"b":2,"c":3})"));
  JsonDocument a = document.GetNode("a");
  ASSERT_TRUE(document.SetString("a", "x"));
  EXPECT_EQ(a.GetString(), "x");
  ASSERT_TRUE(document.SetNull("b"));
  ASSERT_TRUE(document.SetBoolean("c", true));
  EXPECT_EQ(document.ToText(), R"({"a":"x","b":null,"c":true})");
  ASSERT_TRUE(document.SetRealW(u"b", 2.5));
  EXPECT_EQ(document.GetSourceText("b"), "2.5");
  ASSERT_TRUE(document.SetIntegerW(u"b", -7));
  EXPECT_EQ(document.GetSourceTextW(u"b"), u"-7");
  ASSERT_TRUE(document.SetString({}, "all"));
  EXPECT_EQ(document.GetCount(), 0);
  EXPECT_EQ(document.ToText(), R"("all")");
  EXPECT_EQ(a.GetString(), "x");  // the old member lives on through its handle
  EXPECT_EQ(a.GetParent().GetRootNode(), nullptr);
}

TEST(Edits, EmptyValueKeepsKind) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"list":[1,2],"n":7,"s":"x","o":{"a":1}})"));
  document.EmptyValue("list");
  document.EmptyValue("n");
  document.EmptyValueW(u"s");
  document.EmptyValue("o");
  EXPECT_EQ(document.ToText(), R"({"list":[],"n":0,"s":"","o":{}})");
  EXPECT_EQ(document.GetSourceText("n"), "");
  EXPECT_EQ(document.GetKind("n"), static_cast<int>(NodeKind::Integer));
  ASSERT_TRUE(document.SetInteger("o.b", 1));
  EXPECT_EQ(document.ToText("o"), R"({"b":1})");
}

TEST(Edits, SetMemberSharesAndKeepsPosition) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1,"b":2})"));
  JsonDocument value = document.NewObject();
  ASSERT_TRUE(document.SetMember({}, "a", value));
  ASSERT_TRUE(document.SetMemberW({}, u"c", document.NewInteger(3)));
  EXPECT_EQ(document.ToText(), R"({"a":{},"b":2,"c":3})");
  ASSERT_TRUE(value.SetInteger("x", 1));
  EXPECT_EQ(document.ToText("a"), R"({"x":1})");
  EXPECT_EQ(value.GetParent().GetRootNode(), document.GetRootNode());
  EXPECT_FALSE(document.SetMember({}, "d", JsonDocument()));
  EXPECT_EQ(document.GetCount(), 3);
}

TEST(Edits, SetMemberOnScalarMakesObject) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1})"));
  ASSERT_TRUE(document.SetMember("a", "k", document.NewNull()));
  EXPECT_EQ(document.ToText(), R"({"a":{"k":null}})");
}

TEST(Edits, AppendCopies) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"list":[1]})"));
  JsonDocument value = document.NewObject();
  ASSERT_TRUE(value.SetInteger("x", 1));
  ASSERT_TRUE(document.Append("list", value));
  ASSERT_TRUE(value.SetInteger("x", 2));
  EXPECT_EQ(document.ToText(), R"({"list":[1,{"x":1}]})");
  ASSERT_TRUE(document.AppendW(u"list", document));  // a copy of the whole tree, made first
  EXPECT_EQ(document.ToText(), R"({"list":[1,{"x":1},{"list":[1,{"x":1}]}]})");
  EXPECT_FALSE(document.Append("list", JsonDocument()));
  ASSERT_TRUE(document.Append("n", document.NewNull()));
  EXPECT_EQ(document.ToText("n"), "[null]");
}

TEST(Edits, SetItemReplacesPadsOrRefuses) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"e":[],"xy":["x","y"]})"));
  JsonDocument value = document.NewString("c");
  ASSERT_TRUE(document.SetItem("e", 2, value));
  EXPECT_EQ(document.ToText("e"), R"([null,null,"c"])");
  ASSERT_TRUE(document.SetItemW(u"xy", 0, value));
  EXPECT_EQ(document.ToText("xy"), R"(["c","y"])");
  EXPECT_FALSE(document.SetItem("xy", -1, value));
  ASSERT_TRUE(document.SetInteger("s", 1));
  EXPECT_FALSE(document.SetItem("s", -1, value));
  EXPECT_EQ(document.ToText("s"), "[]");  // already turned into an Array
}

TEST(Edits, SetItemOverItemHeldElsewhere) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"(["x","y"])"));
  JsonDocument held = document.GetNode("[0]");
  ASSERT_TRUE(document.SetItem({}, 0, document.NewString("c")));
  EXPECT_EQ(document.ToText(), R"(["c","y"])");
  EXPECT_EQ(held.GetString(), "x");
  EXPECT_EQ(held.GetParent().GetRootNode(), nullptr);
}

TEST(Edits, RemoveMemberAndItem) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"errno":0,"list":[1,2,3],"s":"x"})"));
  JsonDocument errnoNode = document.GetNode("errno");
  ASSERT_TRUE(document.RemoveMember({}, "errno"));
  EXPECT_EQ(errnoNode.GetInteger(), 0);
  EXPECT_EQ(errnoNode.GetParent().GetRootNode(), nullptr);
  EXPECT_FALSE(document.RemoveMember({}, "errno"));
  ASSERT_TRUE(document.RemoveItem("list", 1));
  EXPECT_FALSE(document.RemoveItemW(u"list", 2));
  EXPECT_FALSE(document.RemoveItem("list", -1));
  EXPECT_FALSE(document.RemoveItem("s", 0));
  EXPECT_FALSE(document.RemoveMemberW(u"s", u"x"));
  EXPECT_EQ(document.ToText(), R"({"list":[1,3],"s":"x"})");
}

TEST(Edits, DetachTakesNodeOutOfItsContainer) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"errno":-9,"b":[1,2]})"));
  JsonDocument errnoNode = document.GetNode("errno");
  errnoNode.Detach();
  EXPECT_EQ(document.ToText(), R"({"b":[1,2]})");
  EXPECT_EQ(errnoNode.GetInteger(), -9);
  JsonDocument item = document.GetNode("b[0]");
  item.Detach();
  EXPECT_EQ(document.ToText(), R"({"b":[2]})");
  document.Detach();  // a root without a container stays as it is
  EXPECT_EQ(document.ToText(), R"({"b":[2]})");
}

TEST(Edits, ManyMembersStayReachableInOrder) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(document.SetInteger("k" + std::to_string(i), i));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(document.GetInteger("k" + std::to_string(i)), i);
  ASSERT_EQ(document.GetCount(), 100);
  ASSERT_TRUE(document.RemoveMember({}, "k3"));
  ASSERT_TRUE(document.SetInteger("k50", -1));
  std::vector<Text> keys;
  ASSERT_EQ(document.GetKeys({}, keys), 99);
  EXPECT_EQ(keys[3], "k4");
  EXPECT_EQ(keys[49], "k50");
  for (int i = 0; i < 100; ++i) EXPECT_EQ(document.Exists("k" + std::to_string(i)), i != 3);
  EXPECT_EQ(document.GetInteger("k50"), -1);
  EXPECT_EQ(document.GetInteger("k99"), 99);
}

}  // namespace
}  // namespace corvelle
