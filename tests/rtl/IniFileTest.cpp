#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/SysUtils.h"
#include "tests/common/TestSupport.h"

namespace {

void WriteText(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

std::string ReadText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Items(const TStrings& s) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < s.Count(); ++i) out.push_back(s[i]);
  return out;
}

const char* const kSample =
    "; settings\r\n"
    "orphan=before any section\r\n"
    "[Main]\r\n"
    "  Name  =  Quillane  \r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Mixed=\"x'\r\n"
    "Inner=a \"b\" c\r\n"
    "Eq=a=b\r\n"
    "name=second\r\n"
    "no equals sign\r\n"
    ";Commented=1\r\n"
    "Empty=\r\n"
    "Int=42\r\n"
    "Hex=$FF\r\n"
    "Hex2=0x1f\r\n"
    "Neg= -7 \r\n"
    "Junk=12abc\r\n"
    "Huge=99999999999\r\n"
    "Two=2\r\n"
    "Zero=0\r\n"
    "Yes=yes\r\n"
    "Float=1.5\r\n"
    "\r\n"
    "[ Other ]\r\n"
    "k=other\r\n"
    "[main]\r\n"
    "Name=duplicate section\r\n"
    "OnlyHere=1\r\n";

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name = dir.File("test.ini");
    WriteText(name, kSample);
  }
  TestTempDir dir;
  std::string name;
};

}  // namespace

TEST_F(IniFileTest, ReadsWithThePlatformRules) {
  struct Case { const char* section; const char* key; std::string want; };
  const Case cases[] = {
      {"Main", "Name", "Quillane"},           // blanks around key and value removed
      {"MAIN", "nAmE", "Quillane"},           // names without regard to case; first key wins
      {"Main", "Quoted", "  spaced  "},       // a matching pair of quotes dropped
      {"Main", "Single", "x"},
      {"Main", "Mixed", "\"x'"},              // quotes that do not match stay
      {"Main", "Inner", "a \"b\" c"},
      {"Main", "Eq", "a=b"},
      {"Main", "Empty", ""},
      {"Main", "Commented", "def"},           // comment lines are no keys
      {"Main", "no equals sign", "def"},
      {"Main", "OnlyHere", "def"},            // the first of duplicate sections holds
      {"Main", "orphan", "def"},
      {"Other", "k", "other"},                // blanks inside the brackets removed
      {"Missing", "k", "def"},
  };
  TIniFile ini(name);
  TMemIniFile mem(name);
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadString(c.section, c.key, "def"), c.want) << c.key;
    EXPECT_EQ(mem.ReadString(c.section, c.key, "def"), c.want) << c.key;
  }
}

TEST_F(IniFileTest, NumbersAndBooleans) {
  struct Case { const char* key; int32_t integer; bool boolean; };
  const Case cases[] = {
      {"Int", 42, true},   {"Hex", 255, true},  {"Hex2", 31, true},   {"Neg", -7, true},
      {"Junk", -1, true},  {"Huge", -1, true},  {"Empty", -1, true},  {"Missing", -1, true},
      {"Two", 2, true},    {"Zero", 0, false},  {"Yes", -1, true},
  };
  TIniFile ini(name);
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadInteger("Main", c.key, -1), c.integer) << c.key;
    EXPECT_EQ(ini.ReadBool("Main", c.key, true), c.boolean) << c.key;
  }
  EXPECT_FALSE(ini.ReadBool("Main", "Yes", false));
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Main", "Float", 0), 1.5);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Main", "Junk", 2.5), 2.5);

  ini.WriteInteger("N", "i", -12);
  ini.WriteBool("N", "t", true);
  ini.WriteBool("N", "f", false);
  ini.WriteFloat("N", "x", 0.25);
  TStringList values;
  ini.ReadSectionValues("N", &values);
  EXPECT_EQ(Items(values), (std::vector<std::string>{"i=-12", "t=1", "f=0", "x=0.25"}));
}

TEST_F(IniFileTest, SectionsAndKeys) {
  TIniFile ini(name);
  TStringList list;
  ini.ReadSections(&list);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"Main", "Other"}));
  ini.ReadSection("main", &list);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"Name", "Quoted", "Single", "Mixed", "Inner", "Eq", "Empty", "Int",
                                                   "Hex", "Hex2", "Neg", "Junk", "Huge", "Two", "Zero", "Yes",
                                                   "Float"}));
  ini.ReadSectionValues("Other", &list);
  EXPECT_EQ(Items(list), std::vector<std::string>{"k=other"});
  EXPECT_TRUE(ini.SectionExists("OTHER"));
  EXPECT_FALSE(ini.SectionExists("Missing"));
  EXPECT_TRUE(ini.ValueExists("Main", "empty"));
  EXPECT_FALSE(ini.ValueExists("Main", "OnlyHere"));

  TIniFile none(dir.File("missing.ini"));
  none.ReadSections(&list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(none.ReadInteger("a", "b", 7), 7);
  EXPECT_FALSE(FileExists(dir.File("missing.ini")));
}

TEST_F(IniFileTest, LongValuesAndKeyListsAreCut) {
  std::string text = "[S]\nlong=" + std::string(3000, 'x') + "\nwide=";
  for (int i = 0; i < 3000; ++i) text += "\xC3\xA9";  // cut by characters, not bytes
  text += "\n[Keys]\n";
  for (int i = 0; i < 3000; ++i) text += Format("K%.4d=%d\n", i, i);
  WriteText(name, text);
  TIniFile ini(name);
  EXPECT_EQ(ini.ReadString("S", "long", ""), std::string(2047, 'x'));
  const std::string wide = ini.ReadString("S", "wide", "");
  EXPECT_EQ(wide.size(), 2047u * 2);
  EXPECT_TRUE(IsValidUtf8(wide));
  // Five characters and a NUL per name in a buffer of 16384 characters (one final NUL).
  TStringList keys;
  ini.ReadSection("Keys", &keys);
  EXPECT_EQ(keys.Count(), 2730);
  EXPECT_EQ(keys[2729], "K2729");
  EXPECT_EQ(ini.ReadString("Keys", "K2999", ""), "2999");
  TMemIniFile mem(name);
  mem.ReadSection("Keys", &keys);
  EXPECT_EQ(keys.Count(), 3000);
}

TEST_F(IniFileTest, WritingKeepsEveryOtherLine) {
  const std::string original =
      "; head comment\n"
      "[A]\n"
      "x = 1   ; not a comment here\n"
      "\n"
      "; about B\n"
      "[B]\n"
      "y=2\n"
      "y=3\n"
      "\n";
  struct Step { std::function<void(TIniFile&)> op; std::string want; };
  const Step steps[] = {
      {[](TIniFile& i) { i.WriteString("a", "X", "10"); },
       "; head comment\n[A]\nx=10\n\n; about B\n[B]\ny=2\ny=3\n\n"},
      {[](TIniFile& i) { i.WriteString("A", "new", "v"); },
       "; head comment\n[A]\nx=10\nnew=v\n\n; about B\n[B]\ny=2\ny=3\n\n"},
      {[](TIniFile& i) { i.WriteString("C", "z", "line\r\nbreak"); },
       "; head comment\n[A]\nx=10\nnew=v\n\n; about B\n[B]\ny=2\ny=3\n\n[C]\nz=line  break\n"},
      {[](TIniFile& i) { i.DeleteKey("b", "Y"); },
       "; head comment\n[A]\nx=10\nnew=v\n\n; about B\n[B]\n\n[C]\nz=line  break\n"},
      {[](TIniFile& i) { i.EraseSection("A"); }, "; head comment\n[B]\n\n[C]\nz=line  break\n"},
      {[](TIniFile& i) { i.EraseSection("nothing"); }, "; head comment\n[B]\n\n[C]\nz=line  break\n"},
  };
  WriteText(name, original);
  TIniFile ini(name);
  for (const Step& s : steps) {
    s.op(ini);
    EXPECT_EQ(ReadText(name), s.want);
  }
  EXPECT_EQ(FileSizeOf(name), static_cast<int64_t>(steps[5].want.size()));
}

TEST_F(IniFileTest, CreatesFilesAndReportsFailedWrites) {
  // A file without a final line break gets one before new lines.
  WriteText(name, "[S]\r\na=1");
  TIniFile ini(name);
  ini.WriteString("S", "b", "2");
  EXPECT_EQ(ReadText(name), "[S]\r\na=1\r\nb=2\r\n");

  const std::string fresh = dir.File("fresh.ini");
  TIniFile created(fresh);
  created.WriteString("Sec", "Key", "Value");
  EXPECT_EQ(ReadText(fresh), "[Sec]\r\nKey=Value\r\n");

  const std::string bad = dir.File("no/such/folder.ini");
  TIniFile failing(bad);
  try {
    failing.WriteString("S", "k", "v");
    ADD_FAILURE() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + bad);
  }
  // A folder in place of the file is neither read nor replaced.
  TIniFile folder(dir.Path());
  EXPECT_EQ(folder.ReadString("S", "k", "d"), "d");
  EXPECT_THROW(folder.WriteString("S", "k", "v"), EIniFileException);
  EXPECT_TRUE(DirectoryExists(dir.Path()));
}

TEST_F(IniFileTest, EncodingsAndReadsOfTheCurrentFile) {
  WriteText(name, "[S]\nk=caf\xE9\nother=\x80\n");  // not UTF-8: Windows-1252
  TIniFile ini(name);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "caf\xC3\xA9");
  ini.WriteString("S", "n", "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(ReadText(name), "[S]\nk=caf\xC3\xA9\nother=\xE2\x82\xAC\nn=\xC3\xA9t\xC3\xA9\n");

  WriteText(name, "\xEF\xBB\xBF[S]\nk=1\n");  // a UTF-8 BOM stays
  EXPECT_EQ(ini.ReadInteger("S", "k", 0), 1);  // the file as it is now
  ini.WriteInteger("S", "k", 2);
  EXPECT_EQ(ReadText(name), "\xEF\xBB\xBF[S]\nk=2\n");

  WriteText(name, std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0\n\0", 18));  // UTF-16 LE stays UTF-16 LE
  EXPECT_EQ(ini.ReadString("S", "k", ""), "\xC3\xA9");
  ini.WriteString("S", "k", "x");
  EXPECT_EQ(ReadText(name), std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0x\0\n\0", 18));
}

TEST_F(IniFileTest, MemIniFileWritesOnUpdate) {
  TMemIniFile mem(name);
  mem.WriteString("Main", "Int", "43");
  mem.WriteString("New", "k", "v");
  EXPECT_EQ(mem.ReadInteger("Main", "Int", 0), 43);
  EXPECT_EQ(ReadText(name), kSample);  // untouched so far
  mem.DeleteKey("Main", "Float");
  mem.EraseSection("Other");
  mem.UpdateFile();
  TIniFile ini(name);
  EXPECT_EQ(ini.ReadInteger("Main", "Int", 0), 43);
  EXPECT_EQ(ini.ReadString("New", "k", ""), "v");
  EXPECT_FALSE(ini.ValueExists("Main", "Float"));
  EXPECT_FALSE(ini.SectionExists("Other"));
  EXPECT_EQ(ini.ReadString("Main", "Quoted", ""), "  spaced  ");

  TStringList lines;
  mem.Clear();
  lines.SetText("[X]\ny=1");
  mem.SetStrings(&lines);
  EXPECT_EQ(mem.ReadString("x", "Y", ""), "1");
  mem.GetStrings(&lines);
  EXPECT_EQ(Items(lines), (std::vector<std::string>{"[X]", "y=1"}));

  TMemIniFile failing(dir.File("no/such/folder.ini"));
  failing.WriteString("a", "b", "c");
  EXPECT_THROW(failing.UpdateFile(), EIniFileException);
}
