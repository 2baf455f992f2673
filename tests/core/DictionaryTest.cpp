// The key/value dictionary: hashing and order, the JSON and XML forms, the tolerant parser with
// its documented quirks, bad text, and Python's json and xml.etree as independent readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "tests/common/TestSupport.h"

namespace {

std::string Json(const TPXDictionary& d) {
  std::string s;
  d.Dump(0, s);
  return s;
}
std::string Xml(const TPXDictionary& d) {
  std::string s;
  d.Dump(1, s);
  return s;
}

template <class T>
const T* As(const TObject* o) {
  return dynamic_cast<const T*>(o);
}

TEST(Dictionary, BucketsAndOrder) {
  TPXDictionary d(103, false);
  d.InsertInteger("b", 2);
  d.InsertInteger("a", 1);
  EXPECT_EQ(d.BucketOf("a"), 65);
  EXPECT_EQ(d.BucketOf("b"), 66);
  EXPECT_EQ(d.BucketOf("A"), 65);
  EXPECT_EQ(Json(d), "{\"a\":1,\"b\":2}");
  EXPECT_EQ(Xml(d), "<a>1</a><b>2</b>");
  EXPECT_EQ(ElfHashMod("ab", 1000), 650u);  // (97 shl 4) + 98
  // Keys fold a..z only: other text compares as it is.
  d.InsertInteger("\xC3\xA9", 3);
  d.InsertInteger("\xC3\x89", 4);
  d.InsertInteger("B", 5);
  EXPECT_EQ(d.Count(), 4);
  EXPECT_EQ(d.GetString("b"), "5");
  EXPECT_EQ(TPXDictionary(100, false).BucketCount(), 101);

  TPXDictionary cs(103, true);
  cs.InsertInteger("a", 1);
  cs.InsertInteger("A", 2);
  EXPECT_EQ(cs.Count(), 2);
  EXPECT_FALSE(cs.ContainsKey("B"));

  std::vector<std::string> keys;
  TPXStrStrEnumerator e;
  while (d.Next(e)) keys.push_back(e.Current->Key);
  ASSERT_EQ(keys.size(), 4u);
  std::string joined = "{";
  for (const std::string& k : keys) joined += "\"" + k + "\":" + d.GetString(k) + ",";
  joined.back() = '}';
  EXPECT_EQ(joined, Json(d));  // enumeration follows the dump's order
  EXPECT_EQ(e.Current, nullptr);
  EXPECT_EQ(e.BucketIndex, 0);
}

TEST(Dictionary, RepeatedKeysBecomeLists) {
  TPXDictionary d;
  ASSERT_TRUE(d.Parse("{\"a\":1,\"A\":2}"));
  ASSERT_EQ(d.Count(), 1);
  TPXStrStrEnumerator e;
  ASSERT_TRUE(d.Next(e));
  EXPECT_EQ(e.Current->Key, "A");
  EXPECT_EQ(Json(d), "{\"A\":[1,2]}");
  ASSERT_TRUE(d.Parse("{'a':3,}"));  // single quotes and a comma before the brace
  EXPECT_EQ(Json(d), "{\"A\":[1,2,3]}");
}

TEST(Dictionary, ParserOutcomes) {
  struct Case {
    const char* text;
    bool ok;
    const char* json;  // the dictionary afterwards
  };
  const Case cases[] = {
      {"hello", false, "{}"},
      {"", false, "{}"},
      {"{\"a\":1,\t\"b\":2}", false, "{\"a\":1}"},  // a tab is no blank
      {"{\"a\":1\r\n,\b\"b\":2}", true, "{\"a\":1,\"b\":2}"},
      {"{\"a\":[1,[2,{\"c\":true}],\"x\"],\"n\":null}", true, "{\"a\":[1,[2,{\"c\":true}],\"x\"],\"n\":0}"},
      {"{\"a\":1 \"b\":2}", false, "{\"a\":1}"},
      {"{\"a\" 1}", false, "{}"},
      {"{\"s\":\"say \\\"hi\\\"\",\"p\":\"C:\\dir\"}", true, "{\"p\":\"C:\\\\dir\",\"s\":\"say \\\"hi\\\"\"}"},
      {"{\"u\":\"\\u00e9\\ud83d\\ude00\\/\"}", true, "{\"u\":\"\xC3\xA9\xF0\x9F\x98\x80/\"}"},
  };
  for (const Case& c : cases) {
    TPXDictionary d;
    EXPECT_EQ(d.Parse(c.text), c.ok) << c.text;
    EXPECT_EQ(Json(d), c.json) << c.text;
  }
}

TEST(Dictionary, NumberTokens) {
  struct Case {
    const char* token;
    const char* kind;  // "i", "d" or "b"
    double value;
    const char* dumped;
  };
  const Case cases[] = {
      {"2", "i", 2, "2"},
      {"-7", "i", -7, "-7"},
      {"2.0", "d", 2, "2"},
      {"1e-5", "d", 1e-5, "1E-5"},
      {"1E-5", "d", 1e-5, "1E-5"},
      {"0.0001", "d", 0.0001, "0.0001"},
      {"1.5e20", "d", 1.5e20, "1.5E20"},
      {"1e15", "d", 1e15, "1E15"},
      {"1e14", "d", 1e14, "100000000000000"},
      {"-123.25", "d", -123.25, "-123.25"},
      {"0.30000000000000004", "d", 0.30000000000000004, "0.30000000000000004"},
      {"3000000000", "d", 3e9, "3000000000"},
      {"-2147483648", "i", -2147483648.0, "-2147483648"},
      {"null", "i", 0, "0"},
      {"abc", "i", 0, "0"},
      {"true", "b", 1, "true"},
      {"false", "b", 0, "false"},
  };
  for (const Case& c : cases) {
    TPXDictionary d;
    ASSERT_TRUE(d.Parse(std::string("{\"v\":") + c.token + "}")) << c.token;
    const TObject* v = d.GetValue("v");
    if (std::string(c.kind) == "i") {
      ASSERT_NE(As<TPXDictionaryValueInteger>(v), nullptr) << c.token;
      EXPECT_EQ(As<TPXDictionaryValueInteger>(v)->Value, c.value);
    } else if (std::string(c.kind) == "d") {
      ASSERT_NE(As<TPXDictionaryValueDouble>(v), nullptr) << c.token;
      EXPECT_EQ(As<TPXDictionaryValueDouble>(v)->Value, c.value);
    } else {
      ASSERT_NE(As<TPXDictionaryValueBoolean>(v), nullptr) << c.token;
    }
    EXPECT_EQ(Json(d), std::string("{\"v\":") + c.dumped + "}") << c.token;
  }
  // Doubles that 15 digits hold read exactly as the run-time's float text.
  for (double v : {1e-5, 0.0001, 1.5e20, 123.25, 1e15, 1e14, 2.0}) {
    TPXDictionary d;
    d.InsertObject("v", std::make_unique<TPXDictionaryValueDouble>(v));
    EXPECT_EQ(d.GetString("v"), FloatToStr(v));
  }
  // A double 2.0 comes back from a copy as an integer.
  TPXDictionary d, copy;
  d.InsertObject("v", std::make_unique<TPXDictionaryValueDouble>(2.0));
  copy.Assign(&d);
  EXPECT_NE(As<TPXDictionaryValueInteger>(copy.GetValue("v")), nullptr);
}

TEST(Dictionary, XmlElements) {
  TPXDictionary d;
  ASSERT_TRUE(d.Parse("<a x=\"1\">hi<b/></a>"));
  const auto* a = As<TPXDictionary>(d.GetValue("a"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(a->GetString("x"), "1");
  const auto* content = As<TPXDictionary>(a->GetValue("#content"));
  ASSERT_NE(content, nullptr);
  EXPECT_EQ(content->Count(), 2);
  EXPECT_EQ(content->GetString("#text"), "hi");
  const auto* b = As<TPXDictionary>(content->GetValue("b"));
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->IsEmpty());
  EXPECT_EQ(d.GetString("a"), "hi");

  struct Case {
    const char* text;
    bool ok;
    const char* key;
    const char* value;  // GetString(key) searched nested; nullptr: not checked
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\"?><r>x</r>", true, "r", "x"},
      {"<k>a \\\"b\\\" & c</k>", true, "k", "a \"b\" & c"},  // older texts
      {"<k>&lt;&amp;&gt;&quot;&apos;&#233;&#x1F600;&bogus;</k>", true, "k", "<&>\"'\xC3\xA9\xF0\x9F\x98\x80&bogus;"},
      {"<k a='q&amp;'/>", true, "a", "q&"},
      {"<k>  two words \n</k>", true, "k", "two words"},
      {"<a>x</b>", true, "a", "x"},  // a wrong end tag is no error
      {"<a>x", false, "a", "x"},
      {"<a x=1/>", false, "x", nullptr},
      {"<a", false, "a", nullptr},
  };
  for (const Case& c : cases) {
    TPXDictionary x;
    EXPECT_EQ(x.Parse(c.text), c.ok) << c.text;
    if (c.value) {
      EXPECT_EQ(x.GetString(c.key, true), c.value) << c.text;
    }
  }
}

TEST(Dictionary, LookupsAndRemoval) {
  TPXDictionary d;
  EXPECT_EQ(MessageOf<EPXException>([&] { d.GetValue("k"); }), "Key \"k\" not found");
  EXPECT_EQ(d.GetValue("k", true), nullptr);
  ASSERT_TRUE(d.Parse("{\"f\":true,\"l\":[1,{\"deep\":\"found\"}],\"i\":5,\"s\":\"t\"}"));
  EXPECT_THROW(d.GetString("f"), EInvalidCast);
  EXPECT_THROW(d.GetString("l"), EInvalidCast);
  EXPECT_EQ(d.GetString("i"), "5");
  EXPECT_FALSE(d.ContainsKey("deep"));
  EXPECT_TRUE(d.ContainsKey("deep", true));
  EXPECT_EQ(d.GetString("deep", true), "found");
  EXPECT_EQ(MessageOf<EPXException>([&] { d.GetString("none", true); }), "Key \"none\" not found");

  std::unique_ptr<TObject> kept;
  EXPECT_TRUE(d.Remove("S", &kept));
  ASSERT_NE(As<TPXDictionaryValueWideString>(kept.get()), nullptr);
  EXPECT_EQ(As<TPXDictionaryValueWideString>(kept.get())->Value, "t");
  EXPECT_TRUE(d.Remove("i"));
  EXPECT_FALSE(d.Remove("i"));
  EXPECT_EQ(d.Count(), 2);
  d.InsertString("f", "replaced");
  EXPECT_EQ(d.GetString("f"), "replaced");
  d.Clear();
  EXPECT_TRUE(d.IsEmpty());
  EXPECT_EQ(Json(d), "{}");
  EXPECT_EQ(Xml(d), "");
  std::string untouched = "x";
  d.Dump(2, untouched);
  EXPECT_EQ(untouched, "x");
}

// Texts that both forms must carry unchanged.
const std::vector<std::pair<std::string, std::string>>& TrickyStrings() {
  static const std::vector<std::pair<std::string, std::string>> v = {
      {"path", "C:\\dir\\"},
      {"quote", "say \"hi\" 'there'"},
      {"ctrl", "a\tb\nc\rd"},
      {"markup", "<tag attr=\"1\"> & &amp; </tag>"},
      {"utf", "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
      {"padded", "  padded \t"},
      {"json", "{\"a\":[1,2]}\\u0041"},
  };
  return v;
}

void MakeTricky(TPXDictionary& d) {
  for (const auto& [k, v] : TrickyStrings()) d.InsertString(k, v);
  d.InsertString("c0", std::string("x\x01y\x1f", 4));
  d.InsertObject("small", std::make_unique<TPXDictionaryValueDouble>(1e-5));
  d.InsertObject("big", std::make_unique<TPXDictionaryValueDouble>(1.5e20));
  d.InsertObject("third", std::make_unique<TPXDictionaryValueDouble>(0.1 + 0.2));
  d.InsertObject("flag", std::make_unique<TPXDictionaryValueBoolean>(true));
  d.InsertInteger("neg", -7);
  auto nested = std::make_unique<TPXDictionary>();
  nested->InsertString("inner", "x & y");
  d.InsertDictionary("nested", std::move(nested));
  auto list = std::make_unique<TObjectList>(true);
  list->Add(std::make_unique<TPXDictionaryValueInteger>(1).release());  // the list owns its items
  list->Add(std::make_unique<TPXDictionaryValueWideString>("two").release());
  list->Add(std::make_unique<TPXDictionaryValueDouble>(3.5).release());
  d.InsertList("list", std::move(list));
}

TEST(Dictionary, TextFormsRoundTrip) {
  TPXDictionary d;
  MakeTricky(d);
  TPXDictionary j;
  ASSERT_TRUE(j.Parse(Json(d))) << Json(d);
  EXPECT_EQ(Json(j), Json(d));
  for (const auto& [k, v] : TrickyStrings()) EXPECT_EQ(j.GetString(k), v) << k;
  EXPECT_EQ(As<TPXDictionaryValueDouble>(j.GetValue("third"))->Value, 0.1 + 0.2);
  EXPECT_EQ(As<TPXDictionaryValueDouble>(j.GetValue("small"))->Value, 1e-5);

  TPXDictionary x;
  ASSERT_TRUE(x.Parse(Xml(d))) << Xml(d);
  for (const auto& [k, v] : TrickyStrings()) EXPECT_EQ(x.GetString(k), v) << k;
  EXPECT_EQ(x.GetString("c0"), std::string("x\x01y\x1f", 4));
  EXPECT_EQ(x.GetString("small"), "1E-5");
  EXPECT_EQ(x.GetString("nested"), "x & y");  // the first "#text" inside
  EXPECT_EQ(x.GetString("inner", true), "x & y");
  const auto* list = As<TObjectList>(x.GetValue("list"));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ(As<TPXDictionary>(list->Items(1))->GetString("#text", true), "two");

  TPXDictionary copy;
  copy.Assign(&d);
  EXPECT_EQ(Json(copy), Json(d));
}

TEST(Dictionary, BadTextNeverCrashes) {
  TPXDictionary d;
  MakeTricky(d);
  const std::string json = Json(d), xml = Xml(d);
  for (size_t n = 0; n < json.size(); ++n) {
    TPXDictionary t;
    EXPECT_FALSE(t.Parse(std::string_view(json).substr(0, n))) << n;
  }
  for (size_t n = 0; n < xml.size(); ++n) {
    TPXDictionary t;
    t.Parse(std::string_view(xml).substr(0, n));
  }
  for (const std::string& deep : {std::string(100000, '['), "{\"a\":" + std::string(100000, '{'),
                                  "{\"a\":" + std::string(100000, '['), [] {
                                    std::string s;
                                    for (int i = 0; i < 50000; ++i) s += "<a>";
                                    return s;
                                  }(),
                                  "<a>" + std::string(200000, ' ') + "x"}) {
    TPXDictionary t;
    EXPECT_FALSE(t.Parse(deep));
  }
}

// Keys and values of any bytes: invalid UTF-8, control characters, quotes, backslashes, and in
// keys the characters that end an XML name.
const std::vector<std::pair<std::string, std::string>>& AnyBytes() {
  static const std::vector<std::pair<std::string, std::string>> v = {
      {"latin1 \xA6\xE9", "caf\xE9 \xFF\xFE"},
      {"overlong", std::string("\xC0\x80 and \xE0\x80\xAF", 8)},
      {"surrogate \xED\xA0\x80", "cut \xE6\x97"},
      {std::string("ctrl\x01\x7F\b", 7), std::string("\x00\x1B[0m\f", 7)},
      {"q\"uo'te\\", "\\u00e9 \\\"\\"},
      {"a b=c/d?e&f<g>", "  <x> & </y>  "},
      {"", "empty key"},
      {"mixed \xC3\xA9\xC3", "\xF0\x9F\x98\x80\xF0\x9F\x98"},
  };
  return v;
}

TEST(Dictionary, AnyBytesReadBackFromBothForms) {
  TPXDictionary d;
  for (const auto& [k, v] : AnyBytes()) d.InsertString(k, v);
  auto nested = std::make_unique<TPXDictionary>();
  for (const auto& [k, v] : AnyBytes()) nested->InsertString(k, v);
  d.InsertDictionary("nested \xA0", std::move(nested));
  TPXDictionary j;
  ASSERT_TRUE(j.Parse(Json(d))) << Json(d);
  EXPECT_EQ(Json(j), Json(d));
  TPXDictionary x;
  ASSERT_TRUE(x.Parse(Xml(d))) << Xml(d);
  for (const auto& [k, v] : AnyBytes()) {
    EXPECT_EQ(j.GetString(k), v) << k;
    EXPECT_EQ(x.GetString(k), v) << k;
    EXPECT_EQ(As<TPXDictionary>(j.GetValue("nested \xA0"))->GetString(k), v) << k;
  }
  // The JSON form is UTF-8 text throughout (Python reads it as such below).
  EXPECT_NE(Json(d).find("caf\\udce9"), std::string::npos);
}

// A dictionary the fuzzer parsed from XML (repeated elements, that is lists, nested deep) whose
// JSON form was once refused.
TEST(Dictionary, FuzzedXmlReadsBackAsJson) {
  std::ifstream in(TestDataPath("fuzz/dictionary-roundtrip.bin"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  ASSERT_FALSE(text.empty());
  TPXDictionary d;
  d.Parse(text);
  TPXDictionary again;
  ASSERT_TRUE(again.Parse(Json(d))) << Json(d);
  EXPECT_EQ(Json(again), Json(d));
}

// Python's json and xml.etree read our dumps as the values we stored.
TEST(Dictionary, PythonReadsOurDumps) {
  if (std::system("/usr/bin/python3 -c 'import json, xml.etree.ElementTree' 2>/dev/null") != 0)
    GTEST_SKIP() << "no python3";
  TestTempDir dir;
  TPXDictionary d;
  MakeTricky(d);
  auto hex = [](const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
      h += digits[c >> 4];
      h += digits[c & 15];
    }
    return h;
  };
  {
    std::ofstream f(dir.File("expected.txt"));
    for (const auto& [k, v] : TrickyStrings()) f << hex(k) << "\ts\t" << hex(v) << "\n";
    f << hex("c0") << "\tS\t" << hex(std::string("x\x01y\x1f", 4)) << "\n";  // JSON only: XML 1.0 has no such characters
    char buf[64];
    for (const auto& [k, v] : {std::pair{"small", 1e-5}, std::pair{"big", 1.5e20}, std::pair{"third", 0.1 + 0.2}}) {
      std::snprintf(buf, sizeof buf, "%.17g", v);
      f << hex(k) << "\td\t" << hex(buf) << "\n";
    }
    f << hex("flag") << "\tb\t" << hex("true") << "\n" << hex("neg") << "\ti\t" << hex("-7") << "\n";
    std::ofstream(dir.File("dump.json"), std::ios::binary) << Json(d);
    d.Remove("c0");
    std::ofstream(dir.File("dump.xml"), std::ios::binary) << Xml(d);
    std::ofstream(dir.File("check.py")) << R"PY(
import json, sys, xml.etree.ElementTree as ET
d = sys.argv[1]
exp, jsononly = {}, set()
for line in open(d + "expected.txt"):
    k, kind, v = line.rstrip("\n").split("\t")
    k, v = bytes.fromhex(k).decode(), bytes.fromhex(v).decode()
    if kind == "S":
        jsononly.add(k)
    exp[k] = {"s": v, "S": v, "d": float(v) if kind == "d" else 0, "b": v == "true", "i": int(v) if kind == "i" else 0}[kind]
j = json.loads(open(d + "dump.json", encoding="utf-8").read())
assert j.pop("nested") == {"inner": "x & y"}, "json nested"
assert j.pop("list") == [1, "two", 3.5], "json list"
assert j == exp, ("json", j, exp)
root = ET.fromstring("<root>" + open(d + "dump.xml", encoding="utf-8").read() + "</root>")
assert root.find("nested").find("inner").text == "x & y", "xml nested"
assert [e.text for e in root.findall("list")] == ["1", "two", "3.5"], "xml list"
for k, v in exp.items():
    if k in jsononly:
        continue
    els = root.findall(k)
    assert len(els) == 1, k
    t = els[0].text or ""
    if isinstance(v, bool):
        ok = t == ("true" if v else "false")
    elif isinstance(v, (int, float)):
        ok = float(t) == v
    else:
        ok = t == v
    assert ok, (k, t, v)
)PY";
  }
  EXPECT_EQ(std::system(("/usr/bin/python3 " + dir.File("check.py") + " " + dir.Path()).c_str()), 0);

  // Bytes that are no UTF-8 come back to Python's surrogate escapes, and so to the same bytes.
  TPXDictionary any;
  std::ofstream expected(dir.File("any.txt"));
  for (const auto& [k, v] : AnyBytes()) {
    any.InsertString(k, v);
    expected << hex(k) << "\t" << hex(v) << "\n";
  }
  expected.close();
  std::ofstream(dir.File("any.json"), std::ios::binary) << Json(any);
  std::ofstream(dir.File("any.py")) << R"PY(
import json, sys
d = sys.argv[1]
j = json.loads(open(d + "any.json", encoding="utf-8").read())
got = {k.encode("utf-8", "surrogateescape"): v.encode("utf-8", "surrogateescape") for k, v in j.items()}
exp = dict(tuple(bytes.fromhex(f) for f in line.rstrip("\n").split("\t")) for line in open(d + "any.txt"))
assert got == exp, (got, exp)
)PY";
  EXPECT_EQ(std::system(("/usr/bin/python3 " + dir.File("any.py") + " " + dir.Path()).c_str()), 0);
}

}  // namespace
