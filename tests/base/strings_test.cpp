#include "base/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"

namespace {

std::vector<std::string> Texts(const VRN_stringArray& a) {
  std::vector<std::string> out;
  for (int i = 0; i < a.GetSize(); ++i) {
    out.push_back(a.Get(i) == nullptr ? "<null>" : a.Get(i));
  }
  return out;
}

TEST(IdentifierTest, RuleAcceptsLettersDigitsUnderscoreAndHighBytes) {
  for (const char* good : {"A1_b", "\xC3\xA9t\xC3\xA9"}) {
    EXPECT_TRUE(VRN_IsValidId(good)) << good;
  }
  for (const char* bad : {"1A", "_a", "a b", "", "a-b"}) {
    EXPECT_FALSE(VRN_IsValidId(bad)) << bad;
  }
  EXPECT_FALSE(VRN_IsValidId(nullptr));
  EXPECT_FALSE(VRN_IsValidIdChar('7', true));
  EXPECT_TRUE(VRN_IsValidIdChar('7', false));
}

TEST(IdentifierTest, RepairsInPlace) {
  char text[] = "1a-b";
  EXPECT_TRUE(VRN_MakeValidId(text));
  EXPECT_STREQ(text, "xa_b");
  char empty[] = "";
  EXPECT_FALSE(VRN_MakeValidId(empty));
  EXPECT_FALSE(VRN_MakeValidId(nullptr));
  char other[] = "_ok";
  EXPECT_EQ(VRN_MakeValidIdInPlace(other), 1);
  EXPECT_STREQ(other, "xok");
  EXPECT_EQ(VRN_MakeValidIdInPlace(empty), 0);
}

TEST(IdentifierTest, OutcomeIdRepair) {
  struct Case {
    const char* text;
    int index;
    bool changed;
    const char* repaired;
  };
  for (const Case& c : std::vector<Case>{
           {"3 kg", 2, true, "o__2__3_kg"},
           {"3 kg", -1, true, "3_kg"},
           {"fine", 4, false, "fine"},
           {"", 0, true, "o__0__"},
           {"\xC3\xA9 1", 1, true, "o__1_____1"}}) {  // high bytes too
    std::string text = c.text;
    EXPECT_EQ(VRN_MakeValidOutcomeId(text, c.index), c.changed) << c.text;
    EXPECT_EQ(text, c.repaired);
  }
}

TEST(IdentifierTest, MakeValidIdentifiersRepairsEveryName) {
  VRN_idArray out;
  out.Add("stale");
  VRN_MakeValidIdentifiers(std::vector<std::string>{"ok", "2x", "", "ok"}, out);
  EXPECT_EQ(Texts(out), (std::vector<std::string>{"ok", "x2x", "x2", "ok"}));

  VRN_stringArray names;
  names.Add("a b");
  names.Add(nullptr);
  VRN_MakeValidIdentifiers(names, out);
  EXPECT_EQ(Texts(out), (std::vector<std::string>{"a_b", "x2"}));
}

TEST(IdentifierTest, MakeValidIdentifiersNeverMakesTwoEqual) {
  VRN_idArray out;
  VRN_MakeValidIdentifiers(std::vector<std::string>{"0", "1", "2"}, out);
  EXPECT_EQ(Texts(out), (std::vector<std::string>{"x0", "x1", "x2"}));

  // Repairs that meet each other, or a valid name anywhere in the list.
  VRN_MakeValidIdentifiers(
      std::vector<std::string>{"a b", "a-b", "a_b_2", "a_b", "5-12", "", ""},
      out);
  EXPECT_EQ(Texts(out),
            (std::vector<std::string>{"a_b_3", "a_b_4", "a_b_2", "a_b",
                                      "x5_12", "x2", "x2_2"}));
  for (int i = 0; i < out.GetSize(); ++i) {
    EXPECT_TRUE(VRN_IsValidId(out.Get(i)));
    for (int j = 0; j < i; ++j) EXPECT_STRNE(out.Get(i), out.Get(j));
  }
}

TEST(StringArrayTest, EditsOwnCopies) {
  VRN_stringArray a;
  char source[] = "one";
  EXPECT_EQ(a.Add(source), qelta::kOk);
  source[0] = 'X';
  EXPECT_STREQ(a.Get(0), "one");
  EXPECT_EQ(a.Add(nullptr), qelta::kOk);
  EXPECT_EQ(a.Get(1), nullptr);
  EXPECT_EQ(a.Insert(0, "zero"), qelta::kOk);
  EXPECT_EQ(a.Insert(a.GetSize(), "end"), qelta::kOk);
  EXPECT_EQ(a.Insert(7, "bad"), qelta::kErrOutOfRange);
  EXPECT_EQ(a.Insert(-1, "bad"), qelta::kErrOutOfRange);
  EXPECT_EQ(Texts(a), (std::vector<std::string>{"zero", "one", "<null>", "end"}));
  EXPECT_EQ(a.SetString(2, "two"), qelta::kOk);
  EXPECT_EQ(a.SetString(4, "x"), qelta::kErrOutOfRange);
  EXPECT_EQ(a.Get(4), nullptr);
  EXPECT_EQ(a.Get(-1), nullptr);
  EXPECT_EQ(a.Delete(0), qelta::kOk);
  EXPECT_EQ(a.Delete(3), qelta::kErrOutOfRange);
  EXPECT_EQ(Texts(a), (std::vector<std::string>{"one", "two", "end"}));
  a.Flush();
  EXPECT_EQ(a.GetSize(), 0);
}

TEST(StringArrayTest, FindStringSkipsNullEntries) {
  VRN_stringArray a;
  EXPECT_EQ(a.FindString("x"), qelta::kErrOutOfRange);
  a.Add(nullptr);
  a.Add("Abc");
  a.Add("abc");
  EXPECT_EQ(a.FindString("abc"), 2);
  EXPECT_EQ(a.FindString("Abc"), 1);
  EXPECT_EQ(a.FindString(nullptr), qelta::kErrOutOfRange);
  EXPECT_EQ(a.FindString("ab"), qelta::kErrOutOfRange);
}

TEST(StringArrayTest, ChangeOrderAndDeepCopies) {
  VRN_stringArray a;
  a.Add("a");
  a.Add("b");
  a.Add("c");
  VRN_intArray order;
  order.Add(2);
  order.Add(0);
  order.Add(1);
  EXPECT_EQ(a.ChangeOrder(order), qelta::kOk);
  EXPECT_EQ(Texts(a), (std::vector<std::string>{"c", "a", "b"}));
  order[1] = 2;
  EXPECT_EQ(a.ChangeOrder(order), qelta::kErrOutOfRange);
  EXPECT_EQ(Texts(a), (std::vector<std::string>{"c", "a", "b"}));

  VRN_stringArray copy(a);
  EXPECT_NE(copy.Get(0), a.Get(0));
  EXPECT_EQ(copy.SetString(0, "z"), qelta::kOk);
  EXPECT_STREQ(a.Get(0), "c");
  copy = a;
  EXPECT_EQ(Texts(copy), Texts(a));
  VRN_stringArray& self = copy;
  copy = self;
  EXPECT_EQ(Texts(copy), Texts(a));
}

TEST(IdArrayTest, RefusesNonIdentifiersAndDuplicatesOnSet) {
  VRN_idArray ids;
  EXPECT_EQ(ids.Add(""), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.Add(nullptr), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.Add("1x"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.Add("a"), qelta::kOk);
  EXPECT_EQ(ids.Add("b"), qelta::kOk);
  EXPECT_EQ(ids.SetString(1, "a"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.SetString(0, "a"), qelta::kOk);
  EXPECT_EQ(ids.SetString(0, "bad id"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.SetString(5, "c"), qelta::kErrOutOfRange);
  // Inserting at the end goes through Add and its identifier check.
  EXPECT_EQ(ids.Insert(ids.GetSize(), "no good"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.Insert(ids.GetSize(), "c"), qelta::kOk);
  EXPECT_EQ(ids.Insert(0, "9"), qelta::kErrOutOfRange);
  EXPECT_EQ(Texts(ids), (std::vector<std::string>{"a", "b", "c"}));
  // Add does not test duplicates, but SetString sees any other holder.
  EXPECT_EQ(ids.Add("a"), qelta::kOk);
  EXPECT_EQ(ids.SetString(0, "a"), qelta::kErrOutOfRange);
}

// The first index of text in model (-2 when absent), as FindString answers.
int ModelFind(const std::vector<std::string>& model, const std::string& text) {
  const auto it = std::find(model.begin(), model.end(), text);
  return it == model.end() ? qelta::kErrOutOfRange : static_cast<int>(it - model.begin());
}

// Long lists are searched through an index: every kind of edit, in random
// order and with repeated texts, must leave searches answering as a scan of
// the entries would, across the length at which the index starts.
TEST(StringArrayTest, SearchesOfLongListsFollowEveryEdit) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 20; ++trial) {
    VRN_stringArray a;
    std::vector<std::string> model;
    auto text = [&] { return "t" + std::to_string(rng() % 60); };
    for (int step = 0; step < 600; ++step) {
      const int n = static_cast<int>(model.size());
      const int kind = static_cast<int>(rng() % 10);
      const int i = n > 0 ? static_cast<int>(rng() % n) : 0;
      const std::string t = text();
      if (kind < 4 || n < 2) {
        ASSERT_EQ(a.Add(t.c_str()), qelta::kOk);
        model.push_back(t);
      } else if (kind < 6) {
        ASSERT_EQ(a.SetString(i, t.c_str()), qelta::kOk);
        model[i] = t;
      } else if (kind == 6) {
        ASSERT_EQ(a.Insert(i, t.c_str()), qelta::kOk);
        model.insert(model.begin() + i, t);
      } else if (kind == 7) {
        // Mostly the last entry, which the index follows without a rebuild.
        const int at = rng() % 2 == 0 ? n - 1 : i;
        ASSERT_EQ(a.Delete(at), qelta::kOk);
        model.erase(model.begin() + at);
      } else if (kind == 8) {
        VRN_intArray order(n);
        for (int k = 0; k < n; ++k) order[k] = n - 1 - k;
        ASSERT_EQ(a.ChangeOrder(order), qelta::kOk);
        std::reverse(model.begin(), model.end());
      } else {
        VRN_stringArray copy(a);
        a = copy;
      }
      for (int probe = 0; probe < 3; ++probe) {
        const std::string p = text();
        ASSERT_EQ(a.FindString(p.c_str()), ModelFind(model, p))
            << "trial " << trial << " step " << step << " text " << p;
      }
    }
  }
}

TEST(IdArrayTest, DuplicateTestOfLongListsSeesEveryOtherHolder) {
  VRN_idArray ids;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(ids.Add(("s" + std::to_string(i)).c_str()), qelta::kOk);
  }
  EXPECT_EQ(ids.SetString(5, "s70"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.SetString(5, "s5"), qelta::kOk);
  EXPECT_EQ(ids.SetString(5, "fresh"), qelta::kOk);
  EXPECT_EQ(ids.FindString("s5"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.FindString("fresh"), 5);
  EXPECT_EQ(ids.SetString(6, "s5"), qelta::kOk);  // the old text is free
  // A repeated text (Add does not test) blocks setting it anywhere.
  ASSERT_EQ(ids.Add("s90"), qelta::kOk);
  EXPECT_EQ(ids.SetString(90, "s90"), qelta::kErrOutOfRange);
  EXPECT_EQ(ids.FindString("s90"), 90);
  ASSERT_EQ(ids.Delete(ids.GetSize() - 1), qelta::kOk);
  EXPECT_EQ(ids.SetString(90, "s90"), qelta::kOk);
}

TEST(IdArrayTest, FillEmptyAllowsEmptyEntries) {
  VRN_idArray ids;
  ids.Add("a");
  ids.FillEmpty(3);
  EXPECT_TRUE(ids.GetAllowEmpty());
  EXPECT_EQ(Texts(ids), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(ids.Add(""), qelta::kOk);
  EXPECT_EQ(ids.SetString(0, "q"), qelta::kOk);
  EXPECT_EQ(ids.SetString(1, ""), qelta::kOk);  // empties are not duplicates
  ids.FillEmpty(-1);
  EXPECT_EQ(Texts(ids), (std::vector<std::string>{"", "", "", ""}));

  VRN_idArray copy(ids);
  EXPECT_TRUE(copy.GetAllowEmpty());
  VRN_idArray assigned;
  assigned = ids;
  EXPECT_TRUE(assigned.GetAllowEmpty());
}

TEST(IdArrayTest, NumberedIds) {
  EXPECT_EQ(VRN_idArray::MakeNumberedId("State", 0), "State0");
  EXPECT_EQ(VRN_idArray::MakeNumberedId(nullptr, 3), "x3");
  EXPECT_EQ(VRN_idArray::MakeNumberedId("", -1), "x");
  EXPECT_EQ(VRN_idArray::MakeNumberedId("2 b", -1), "x_b");
  EXPECT_EQ(VRN_idArray::MakeNumberedId("n", 12), "n12");

  // Long names are kept whole, multi-byte characters too.
  std::string longname(2000, 'a');
  EXPECT_EQ(VRN_idArray::MakeNumberedId(longname.c_str(), 7), longname + "7");
  std::string wide = "a";
  for (int i = 0; i < 700; ++i) wide += "\xC3\xA9";
  EXPECT_EQ(VRN_idArray::MakeNumberedId(wide.c_str(), -1), wide);

  VRN_idArray ids;
  EXPECT_EQ(ids.AddNumbered("s", 1), qelta::kOk);
  EXPECT_EQ(ids.InsertNumbered("s", 0, 0), qelta::kOk);
  EXPECT_EQ(Texts(ids), (std::vector<std::string>{"s0", "s1"}));
}

TEST(HeaderTest, IdIsCheckedNameAndCommentAreNot) {
  VRN_header h("Node1");
  EXPECT_STREQ(h.GetName(), "Node1");
  EXPECT_EQ(h.SetId("bad id"), qelta::kErrIllegalIdentifier);
  EXPECT_EQ(h.SetId(nullptr), qelta::kErrIllegalIdentifier);
  EXPECT_EQ(h.SetId("Node2"), qelta::kOk);
  EXPECT_STREQ(h.GetName(), "Node1");
  EXPECT_EQ(h.SetName("any text: 1 2 3"), qelta::kOk);
  EXPECT_EQ(h.SetComment("note"), qelta::kOk);
  VRN_header copy(h);
  EXPECT_STREQ(copy.GetComment(), "note");
  EXPECT_NE(copy.GetComment(), h.GetComment());
  EXPECT_EQ(h.SetComment(nullptr), qelta::kOk);
  EXPECT_EQ(h.GetComment(), nullptr);
}

TEST(UserPropertiesTest, ReAddingMovesThePairToTheEnd) {
  VRN_userProperties props;
  EXPECT_EQ(props.AddProperty("p", "1"), qelta::kOk);
  EXPECT_EQ(props.AddProperty("q", "2"), qelta::kOk);
  EXPECT_EQ(props.AddProperty("p", "3"), qelta::kOk);
  EXPECT_EQ(props.AddProperty("bad name", "x"), qelta::kErrOutOfRange);
  EXPECT_EQ(Texts(props.GetNames()), (std::vector<std::string>{"q", "p"}));
  EXPECT_EQ(Texts(props.GetValues()), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(props.FindProperty("z"), qelta::kErrOutOfRange);
  EXPECT_EQ(props.ChangeValue(2, "x"), qelta::kErrOutOfRange);
  EXPECT_EQ(props.DeleteProperty(0), qelta::kOk);
  EXPECT_EQ(props.DeleteProperty(5), qelta::kErrOutOfRange);
  EXPECT_EQ(props.GetValues().GetSize(), 1);
}

}  // namespace
