#include "words/pxwords.h"

#include <array>
#include <utility>

#include "core/hypxdefs.h"
#include "core/pxwords.h"

namespace {

// Loaders by language number (index 1 is English, fixed); guarded by the word table's lock.
std::array<TPXLoadWordsProc, 25> g_loaders{nullptr, &LoadEnglishWords};

std::vector<TCustomizedWord>& Overrides() {
  static std::vector<TCustomizedWord> overrides;
  return overrides;
}

}  // namespace

void SelectWordLanguage(uint8_t Language) {
  auto guard = LockWordTable();
  SetLoadedWordLanguage(Language);
  LoadLanguageWords(1);
  if (Language != 1) LoadLanguageWords(Language);
  ApplyCustomizedWords();
}

void LoadLanguageWords(uint8_t Language) {
  auto guard = LockWordTable();
  const uint8_t n = Language & 0x7F;
  if (n < g_loaders.size() && g_loaders[n]) g_loaders[n]();
}

void ApplyCustomizedWords() {
  auto guard = LockWordTable();
  const uint8_t language = LoadedWordLanguage();
  for (const TCustomizedWord& w : Overrides())
    if (w.Language == language) SetEnglishOrCustomWord(w.Index, w.Text);
}

void RegisterWordLanguages() {
  struct TLoader {
    uint8_t Language;
    TPXLoadWordsProc Load;
  };
  static constexpr TLoader kLoaders[] = {
      {2, &LoadItalianWords},
      {3, &LoadGermanWords},
      {4, &LoadSpanishWords},
      {5, &LoadFrenchWords},
      {6, &LoadPortugueseWords},
      {7, &LoadGreekWords},
      {8, &LoadRussianWords},
      {9, &LoadDutchWords},
      {10, &LoadSwedishWords},
      {11, &LoadPolishWords},
      {12, &LoadJapaneseWords},
      {13, &LoadCzechWords},
      {14, &LoadFinnishWords},
      {15, &LoadFarsiWords},
      {16, &LoadChineseSimplifiedWords},
      {17, &LoadChineseTraditionalWords},
      {18, &LoadDanishWords},
      {19, &LoadTurkishWords},
      {20, &LoadKoreanWords},
      {21, &LoadHungarianWords},
      {22, &LoadArabicWords},
      {23, &LoadSerbianWords},
      {24, &LoadNorwegianWords},
  };
  for (const TLoader& l : kLoaders) SetLanguageWordsLoader(l.Language, l.Load);
}

TPXLoadWordsProc SetLanguageWordsLoader(uint8_t Language, TPXLoadWordsProc Loader) {
  if (Language < 2 || Language >= g_loaders.size()) throw EPXException("Invalid word language");
  auto guard = LockWordTable();
  TPXLoadWordsProc old = g_loaders[Language];
  g_loaders[Language] = Loader;
  ResetWordTable();
  return old;
}

void SetCustomizedWords(std::vector<TCustomizedWord> Words) {
  auto guard = LockWordTable();
  Overrides() = std::move(Words);
  ResetWordTable();
}

std::vector<TCustomizedWord> CustomizedWords() {
  auto guard = LockWordTable();
  return Overrides();
}

void ClearCustomizedWords() {
  auto guard = LockWordTable();
  std::vector<TCustomizedWord>().swap(Overrides());
}
