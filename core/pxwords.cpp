#include "core/pxwords.h"

#include <array>
#include <cstdlib>

#include "core/pxsettings.h"
#include "platform/rtl/SysUtils.h"
#include "words/pxwords.h"

namespace {

// An entry is a view: of compiled-in text (the English and the further languages' tables, so a
// switch copies no text) or of the entry's own copy (texts set by callers and overrides).
struct TWordStore {
  std::recursive_mutex lock;
  std::array<std::string_view, PXWordCount> words;
  std::array<std::string, PXWordCount> owned;
  uint8_t loaded = PXNoWordLanguage;
  bool system_language_read = false;
  TPXSystemLanguage system_language;
};

TWordStore& Store() {
  static TWordStore store;
  return store;
}

void StoreWord(uint16_t Index, std::string_view Text) {
  if (Text.empty() || Index >= PXWordCount) return;
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  st.owned[Index].assign(Text);
  st.words[Index] = st.owned[Index];
}

struct TIsoLanguage {
  const char* Code;
  uint16_t Primary;
};

// The languages the word tables know, by their ISO 639 codes.
constexpr TIsoLanguage kIsoLanguages[] = {
    {"ar", 0x01}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A},
    {"fi", 0x0B}, {"fr", 0x0C}, {"hu", 0x0E}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13},
    {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ru", 0x19}, {"sr", 0x1A},
    {"hr", 0x1A}, {"bs", 0x1A}, {"sv", 0x1D}, {"tr", 0x1F}, {"fa", 0x29}, {"zh", 0x04},
};

struct TLanguageNumber {
  uint16_t Primary;
  uint8_t Number;
};

constexpr TLanguageNumber kLanguageNumbers[] = {
    {0x09, 1},  {0x10, 2},  {0x07, 3},  {0x0A, 4},  {0x0C, 5},  {0x16, 6},  {0x08, 7},  {0x19, 8},
    {0x13, 9},  {0x1D, 10}, {0x15, 11}, {0x11, 12}, {0x05, 13}, {0x0B, 14}, {0x29, 15}, {0x06, 18},
    {0x1F, 19}, {0x12, 20}, {0x0E, 21}, {0x01, 22}, {0x1A, 23}, {0x14, 24},
};

std::string EnvironmentLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
  }
  return {};
}

}  // namespace

std::unique_lock<std::recursive_mutex> LockWordTable() { return std::unique_lock(Store().lock); }

void SetLanguageWord(uint16_t Index, std::string_view Text) { StoreWord(Index, Text); }

void SetEnglishOrCustomWord(uint16_t Index, std::string_view Text) { StoreWord(Index, Text); }

void SetConstantWords(uint16_t First, std::span<const std::string_view> Texts) {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  for (size_t k = 0; k < Texts.size() && First + k < PXWordCount; ++k)
    if (!Texts[k].empty()) st.words[First + k] = Texts[k];
}

uint8_t LoadedWordLanguage() {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  return st.loaded;
}

void SetLoadedWordLanguage(uint8_t Language) {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  st.loaded = Language;
}

void ResetWordTable() { SetLoadedWordLanguage(PXNoWordLanguage); }

void FreeWordTable() {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  st.words.fill({});
  for (std::string& w : st.owned) std::string().swap(w);
  st.loaded = PXNoWordLanguage;
  ClearCustomizedWords();
}

uint8_t ResolveUILanguage() {
  const uint8_t language = GlobalSettingsInstance()->FLanguage;
  if (language != 0) return language;
  return LanguageFromSystemLanguage(SystemLanguageId());
}

std::string GetLanguageWord(uint16_t Index) {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  const uint8_t language = ResolveUILanguage();
  if (language != st.loaded) SelectWordLanguage(language);
  if (Index >= PXWordCount) return {};
  return std::string(st.words[Index]);
}

TPXSystemLanguage ParseLocaleName(std::string_view Name) {
  const size_t end = Name.find_first_of(".@");
  if (end != std::string_view::npos) Name = Name.substr(0, end);
  if (Name.empty() || Name == "C" || Name == "POSIX") return {};
  const size_t split = Name.find_first_of("_-");
  const std::string language = LowerCase(Name.substr(0, split));
  const std::string territory = split == std::string_view::npos ? std::string() : UpperCase(Name.substr(split + 1));
  for (const TIsoLanguage& l : kIsoLanguages) {
    if (language != l.Code) continue;
    if (l.Primary != 0x04) return {l.Primary, 0x01};
    // Chinese sublanguages: 1 Taiwan, 2 PRC, 3 Hong Kong, 4 Singapore, 5 Macao.
    uint16_t sub = 0;
    if (territory == "TW") sub = 1;
    else if (territory == "CN") sub = 2;
    else if (territory == "HK") sub = 3;
    else if (territory == "SG") sub = 4;
    else if (territory == "MO") sub = 5;
    return {0x04, sub};
  }
  return {0, 0};  // a language the library does not know
}

TPXSystemLanguage SystemLanguageId() {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  if (!st.system_language_read) {
    st.system_language = ParseLocaleName(EnvironmentLocale());
    st.system_language_read = true;
  }
  return st.system_language;
}

void SetSystemLocaleName(std::string_view Name) {
  TWordStore& st = Store();
  std::lock_guard guard(st.lock);
  st.system_language = ParseLocaleName(Name);
  st.system_language_read = true;
}

uint8_t LanguageFromSystemLanguage(TPXSystemLanguage Id) {
  if (Id.Primary == 0x04) return Id.Sub == 2 ? 16 : (Id.Sub == 1 ? 17 : 0);
  for (const TLanguageNumber& l : kLanguageNumbers)
    if (l.Primary == Id.Primary) return l.Number;
  return 1;
}
