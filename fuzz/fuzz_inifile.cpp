// Arbitrary bytes as an INI file: every read must give an answer, and the in-memory editor
// must keep what it writes. Also feeds the bytes to the string list's text decoding.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/rtl/Classes.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/SysUtils.h"

namespace {

// One file per process, removed at exit.
const std::string& InputFile() {
  static const std::string name = [] {
    std::string dir = GetTempDir() + "pxfuzz-ini-XXXXXX";
    if (!::mkdtemp(dir.data())) ::abort();
    static std::string folder = dir;
    std::atexit([] {
      ::unlink((folder + "/input.ini").c_str());
      ::rmdir(folder.c_str());
    });
    return dir + "/input.ini";
  }();
  return name;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Reads the first `limit` sections and `limit` keys of each.
void ReadEverything(TCustomIniFile& ini, int32_t limit) {
  TStringList sections, keys, values;
  ini.ReadSections(&sections);
  for (int32_t s = 0; s < sections.Count(); ++s) {
    const std::string section = sections[s];
    Check(ini.SectionExists(section));
    ini.ReadSection(section, &keys);
    ini.ReadSectionValues(section, &values);
    Check(values.Count() == keys.Count());
    if (s >= limit) break;
    for (int32_t k = 0; k < keys.Count() && k < limit; ++k) {
      const std::string v = ini.ReadString(section, keys[k], "");
      Check(ini.ValueExists(section, keys[k]));
      Check(values.ValueFromIndex(k) == v);
      ini.ReadInteger(section, keys[k], 0);
      ini.ReadBool(section, keys[k], false);
      ini.ReadFloat(section, keys[k], 0);
    }
  }
  ini.ReadString("", "", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    FILE* f = std::fopen(InputFile().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  // The file is read again for every call: a few keys are enough here.
  TIniFile ini(InputFile());
  ReadEverything(ini, 4);

  TMemIniFile mem(InputFile());
  ReadEverything(mem, 64);
  // Edits keep what they write, whatever the file held.
  TStringList sections;
  mem.ReadSections(&sections);
  if (sections.Count() > 0) {
    const std::string first = sections[0];
    mem.WriteString(first, "Added", "1");
    Check(mem.ReadInteger(first, "added", 0) == 1);
    mem.DeleteKey(first, "Added");
    Check(!mem.ValueExists(first, "Added"));
    mem.EraseSection(first);
    Check(!mem.SectionExists(first));
  }
  mem.WriteString("Fuzz", "Key", "value");
  Check(mem.ReadString("fuzz", "key", "") == "value");
  TStringList lines;
  mem.GetStrings(&lines);
  mem.SetStrings(&lines);
  Check(mem.ReadString("Fuzz", "Key", "") == "value");

  // The same bytes as a text file and as comma text.
  TStringStream stream(bytes);
  TStringList list;
  list.LoadFromStream(&stream);
  list.SetCommaText(list.Text());
  return 0;
}
