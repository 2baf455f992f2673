#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/common/TestSupport.h"

namespace {

std::vector<std::string> Items(const TStrings& s) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < s.Count(); ++i) out.push_back(s[i]);
  return out;
}

void Fill(TStrings& s, const std::vector<std::string>& items) {
  s.Clear();
  for (const auto& i : items) s.Add(i);
}


class TCounted : public TObject {
 public:
  explicit TCounted(int* c) : c_(c) {}
  ~TCounted() override { ++*c_; }

 private:
  int* c_;
};

}  // namespace

TEST(StringList, EditingAndObjects) {
  TStringList l;
  TObject a, b;
  l.Add("one");
  l.AddObject("two", &a);
  l.Insert(0, "zero");
  l.InsertObject(3, "three", &b);
  l.Exchange(0, 3);  // three one two zero
  l.Move(0, 2);      // one two three zero
  l.Delete(3);
  l.SetStrings(0, "ONE");
  EXPECT_EQ(Items(l), (std::vector<std::string>{"ONE", "two", "three"}));
  EXPECT_EQ(l.Objects(1), &a);
  EXPECT_EQ(l.Objects(2), &b);
  EXPECT_EQ(l.IndexOfObject(&b), 2);
  EXPECT_EQ(l.IndexOf("TWO"), 1);  // case-insensitive by default
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.IndexOf("TWO"), -1);

  const std::string index = "List index out of bounds (%d)";
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.Strings(3); }), Format(index, 3));
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.Delete(-1); }), Format(index, -1));
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.Insert(4, "x"); }), Format(index, 4));
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.SetObjects(9, nullptr); }), Format(index, 9));
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.Move(0, 3); }), Format(index, 3));
}

TEST(StringList, SortedListsAndDuplicates) {
  struct Case { TDuplicates dup; std::vector<std::string> want; bool raises; };
  const Case cases[] = {
      {dupIgnore, {"a", "B", "c"}, false},
      {dupAccept, {"a", "b", "B", "c"}, false},  // before the equal one
      {dupError, {"a", "B", "c"}, true},
  };
  for (const Case& c : cases) {
    TStringList l;
    l.SetDuplicates(c.dup);
    l.SetSorted(true);
    for (const char* s : {"c", "a", "B"}) l.Add(s);
    std::string msg;
    try {
      l.Add("b");
    } catch (const EStringListError& e) {
      msg = e.Message();
    }
    EXPECT_EQ(Items(l), c.want);
    EXPECT_EQ(msg, c.raises ? "String list does not allow duplicates" : "");
  }

  TStringList l;
  for (const char* s : {"delta", "Alpha", "charlie", "bravo"}) l.Add(s);
  l.SetSorted(true);
  EXPECT_EQ(Items(l), (std::vector<std::string>{"Alpha", "bravo", "charlie", "delta"}));
  int32_t at = -1;
  EXPECT_TRUE(l.Find("CHARLIE", at));
  EXPECT_EQ(at, 2);
  EXPECT_FALSE(l.Find("c", at));
  EXPECT_EQ(at, 2);  // where it would go
  EXPECT_FALSE(l.Find("zulu", at));
  EXPECT_EQ(at, 4);
  EXPECT_EQ(l.IndexOf("BRAVO"), 1);
  // Case-sensitive order puts upper case first; the list re-sorts when the rule changes.
  l.Add("Echo");
  l.SetCaseSensitive(true);
  EXPECT_EQ(Items(l), (std::vector<std::string>{"Alpha", "Echo", "bravo", "charlie", "delta"}));
  // Positional edits would break the order; a refused Move leaves the list as it was.
  const std::string sorted = "Operation not allowed on sorted list";
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.Insert(0, "x"); }), sorted);
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.SetStrings(0, "x"); }), sorted);
  EXPECT_EQ(MessageOf<EStringListError>([&] { l.Move(0, 4); }), sorted);
  EXPECT_EQ(l.Count(), 5);
}

TEST(StringList, CustomSortAndAnInconsistentComparison) {
  TStringList l;
  Fill(l, {"ccc", "a", "dddd", "bb", ""});
  l.CustomSort([](TStringList* s, int32_t i, int32_t j) {
    return static_cast<int>(s->Strings(i).size()) - static_cast<int>(s->Strings(j).size());
  });
  EXPECT_EQ(Items(l), (std::vector<std::string>{"", "a", "bb", "ccc", "dddd"}));
  l.CustomSort([](TStringList*, int32_t, int32_t) { return -1; });
  l.Sort();
  EXPECT_EQ(Items(l), (std::vector<std::string>{"", "a", "bb", "ccc", "dddd"}));
}

TEST(StringList, NamesAndValues) {
  TStringList l;
  Fill(l, {"Width=10", "name=a=b", "plain", "=empty", "Height="});
  struct Case { int index; const char* name; const char* valueFromIndex; };
  const Case cases[] = {
      {0, "Width", "10"}, {1, "name", "a=b"}, {2, "", ""}, {3, "", "empty"}, {4, "Height", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(l.Names(c.index), c.name) << c.index;
    EXPECT_EQ(l.ValueFromIndex(c.index), c.valueFromIndex) << c.index;
  }
  EXPECT_EQ(l.Values("WIDTH"), "10");
  EXPECT_EQ(l.Values("NAME"), "a=b");
  EXPECT_EQ(l.Values("plain"), "");
  EXPECT_EQ(l.IndexOfName("height"), 4);
  EXPECT_EQ(l.IndexOfName("plain"), -1);

  l.SetValues("width", "20");    // replaces the line
  l.SetValues("Depth", "3");     // adds one
  l.SetValues("name", "");       // deletes the line
  l.SetValueFromIndex(0, "30");
  EXPECT_EQ(Items(l), (std::vector<std::string>{"width=30", "plain", "=empty", "Height=", "Depth=3"}));

  l.SetNameValueSeparator(':');
  Fill(l, {"a:1", "b=2"});
  EXPECT_EQ(l.Values("a"), "1");
  EXPECT_EQ(l.Values("b"), "");
}

TEST(StringList, Text) {
  struct Case { std::string in; std::vector<std::string> lines; };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\n\nb\r\n\r\n", {"a", "", "b", ""}},
      {"\r\n", {""}},
      {"\n\r", {"", ""}},
      {std::string("x\0y\nz", 5), {std::string("x\0y", 3), "z"}},
  };
  TStringList l;
  for (const Case& c : cases) {
    l.SetText(c.in);
    EXPECT_EQ(Items(l), c.lines) << c.in;
  }
  Fill(l, {"a", "", "b"});
  EXPECT_EQ(l.Text(), "a\r\n\r\nb\r\n");
  l.Clear();
  EXPECT_EQ(l.Text(), "");
}

TEST(StringList, CommaAndDelimitedText) {
  struct Write { std::vector<std::string> items; std::string comma; };
  const Write writes[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"a", "b"}, "a,b"},
      {{"a b", "c,d", "e\"f", "", "g"}, "\"a b\",\"c,d\",\"e\"\"f\",,g"},
      {{"tab\there"}, "\"tab\there\""},
  };
  TStringList l;
  for (const Write& w : writes) {
    Fill(l, w.items);
    EXPECT_EQ(l.CommaText(), w.comma);
    l.SetCommaText(w.comma);
    EXPECT_EQ(Items(l), w.items) << w.comma;
  }

  struct Read { std::string text; std::vector<std::string> items; };
  const Read reads[] = {
      {"  a ,  b  ", {"a", "b"}},
      {"a b", {"a", "b"}},                      // blanks separate too
      {"a,,b,", {"a", "", "b", ""}},
      {"\"x\"\"y\" z", {"x\"y", "z"}},
      {"\"unterminated, text", {"unterminated, text"}},
      {"\"ab\"cd,e", {"ab", "cd", "e"}},
      {",", {"", ""}},
  };
  for (const Read& r : reads) {
    l.SetCommaText(r.text);
    EXPECT_EQ(Items(l), r.items) << r.text;
  }

  // Another delimiter and quote; with StrictDelimiter blanks belong to the items.
  l.SetDelimiter(';');
  l.SetQuoteChar('\'');
  l.SetDelimitedText("a b;'c;d';' e '");
  EXPECT_EQ(Items(l), (std::vector<std::string>{"a", "b", "c;d", " e "}));
  l.SetStrictDelimiter(true);
  l.SetDelimitedText(" a b ;c");
  EXPECT_EQ(Items(l), (std::vector<std::string>{" a b ", "c"}));
  EXPECT_EQ(l.DelimitedText(), " a b ;c");
  Fill(l, {"it's", "x;y"});
  EXPECT_EQ(l.DelimitedText(), "'it''s';'x;y'");
}

TEST(StringList, DelimitedTextRoundTripsAnyItems) {
  // Items of random bytes (blanks, quotes, delimiters, NULs included) survive both forms.
  uint32_t seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  const char alphabet[] = {'a', 'b', ' ', '\t', ',', ';', '"', '\'', '\0', '\r', '\n', '\xC3', '\xA9'};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> items(1 + next() % 5);
    for (auto& s : items)
      for (unsigned n = next() % 6; n > 0; --n) s += alphabet[next() % sizeof alphabet];
    for (bool strict : {false, true}) {
      TStringList a, b;
      Fill(a, items);
      a.SetDelimiter(';');
      a.SetStrictDelimiter(strict);
      b.SetDelimiter(';');
      b.SetStrictDelimiter(strict);
      b.SetDelimitedText(a.DelimitedText());
      EXPECT_EQ(Items(b), items) << a.DelimitedText();
      b.SetCommaText(a.CommaText());
      EXPECT_EQ(Items(b), items) << a.CommaText();
    }
  }
}

TEST(StringList, AssignAndAddStrings) {
  TObject o;
  TStringList src, dst;
  src.AddObject("x", &o);
  src.Add("y");
  src.SetDelimiter(';');
  dst.Add("old");
  dst.Assign(&src);
  EXPECT_EQ(Items(dst), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(dst.Objects(0), &o);
  EXPECT_EQ(dst.Delimiter(), ';');
  EXPECT_TRUE(dst.Equals(&src));
  dst.Assign(&dst);  // assigning a list to itself keeps it
  EXPECT_EQ(dst.Count(), 2);
  dst.AddStrings(&dst);
  EXPECT_EQ(Items(dst), (std::vector<std::string>{"x", "y", "x", "y"}));
  EXPECT_FALSE(dst.Equals(&src));

  EXPECT_EQ(MessageOf<EConvertError>([&] { dst.Assign(nullptr); }), "Cannot assign a nil to a TStringList");
  TPersistent other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { dst.Assign(&other); }), "Cannot assign a TPersistent to a TStringList");
}

TEST(StringList, ChangeEventsAndUpdates) {
  TStringList l;
  std::string log;
  l.SetOnChanging([&](TObject* sender) { EXPECT_EQ(sender, &l); log += '<'; });
  l.SetOnChange([&](TObject*) { log += '>'; });
  l.Add("a");
  l.Delete(0);
  EXPECT_EQ(log, "<><>");
  log.clear();
  l.BeginUpdate();
  l.BeginUpdate();
  l.Add("a");
  l.Add("b");
  l.EndUpdate();
  EXPECT_EQ(log, "<");
  l.EndUpdate();
  EXPECT_EQ(log, "<>");
  log.clear();
  l.SetText("x\ny\nz");  // one change for the whole text
  EXPECT_EQ(log, "<>");
  log.clear();
  l.SetSorted(true);
  EXPECT_EQ(log, "<>");
}

TEST(StringList, OwnedObjectsAreFreed) {
  int freed = 0;
  {
    TStringList l(true);
    for (int i = 0; i < 4; ++i) l.AddObject("o", new TCounted(&freed));
    l.Delete(0);
    EXPECT_EQ(freed, 1);
    l.Move(0, 2);  // moving frees nothing
    l.Exchange(0, 1);
    EXPECT_EQ(freed, 1);
    l.Clear();
    EXPECT_EQ(freed, 4);
    l.AddObject("o", new TCounted(&freed));
  }
  EXPECT_EQ(freed, 5);
}

TEST(StringList, LoadDecodesEncodings) {
  struct Case { std::string bytes; std::vector<std::string> lines; };
  const Case cases[] = {
      {"caf\xC3\xA9\r\nb", {"caf\xC3\xA9", "b"}},                         // UTF-8
      {"\xEF\xBB\xBFx\ny", {"x", "y"}},                                    // UTF-8 BOM skipped
      {"caf\xE9\n\x80", {"caf\xC3\xA9", "\xE2\x82\xAC"}},                  // Windows-1252
      {std::string("\xFF\xFEh\0\xE9\0\n\0i\0", 10), {"h\xC3\xA9", "i"}},   // UTF-16 LE
      {std::string("\xFE\xFF\0h\0\xE9\0\r\0\n\xD8\x3D\xDE\x00", 14), {"h\xC3\xA9", "\xF0\x9F\x98\x80"}},  // UTF-16 BE
      {std::string("\xFF\xFE\x00\xD8x", 5), {"\xEF\xBF\xBD"}},           // lone surrogate, odd byte
  };
  for (const Case& c : cases) {
    TStringStream in(c.bytes);
    TStringList l;
    l.LoadFromStream(&in);
    EXPECT_EQ(Items(l), c.lines);
  }
}

TEST(StringList, FilesAndStreams) {
  TestTempDir dir;
  TStringList l;
  Fill(l, {"caf\xC3\xA9", "", "z"});
  TStringStream out;
  l.SaveToStream(&out);
  EXPECT_EQ(out.DataString(), "caf\xC3\xA9\r\n\r\nz\r\n");

  const std::string name = dir.File("list.txt");
  l.SaveToFile(name);
  TStringList back;
  back.LoadFromFile(name);
  EXPECT_EQ(Items(back), Items(l));

  const std::string missing = dir.File("missing.txt");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { back.LoadFromFile(missing); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(Items(back), Items(l));
  EXPECT_THROW(l.SaveToFile(dir.File("no/such/folder.txt")), EFCreateError);
}
