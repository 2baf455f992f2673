// The language switch of the word lookup (core/pxwords.h): which loader stores the words of a
// language number, the switch that rebuilds the table from English up, and the overrides of
// single words that a host program may set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A host's override of one word of one language.
struct TCustomizedWord {
  uint8_t Language = 0;
  uint16_t Index = 0;
  std::string Text;  // UTF-8; empty leaves the word as loaded
};

// Stores one language's words through SetLanguageWord (or, compiled in, SetConstantWords).
using TPXLoadWordsProc = void (*)();

// Makes Language the loaded language (the full byte is recorded) and rebuilds the table: all
// English words, then, when Language is not 1, the words of Language, then the overrides of
// Language. Called by the lookup when the language in effect changes.
void SelectWordLanguage(uint8_t Language);
// Runs the loader of the language number taken modulo 128: 1 English, 2..24 the further
// languages; a number without a loader loads nothing.
void LoadLanguageWords(uint8_t Language);
// Applies, in array order, every override whose language is the loaded language.
void ApplyCustomizedWords();

// The loader of language 2..24 (nil: none); answers the loader it replaces. A number without a
// loader loads English only.
TPXLoadWordsProc SetLanguageWordsLoader(uint8_t Language, TPXLoadWordsProc Loader);

// The further languages' loaders, each storing its table (words/<Language>.txt, compiled in)
// over the English words. The partial tables store indexes 0..155 (Greek, Swedish, Norwegian),
// 0..154 (Serbian), 0..143 (Finnish), 0..138 (Hungarian), 0..136 (Polish, Farsi, Danish) and
// 0..130 (Czech); the others all 757 words.
void LoadItalianWords();             // 2
void LoadGermanWords();              // 3
void LoadSpanishWords();             // 4
void LoadFrenchWords();              // 5
void LoadPortugueseWords();          // 6
void LoadGreekWords();               // 7
void LoadRussianWords();             // 8
void LoadDutchWords();               // 9
void LoadSwedishWords();             // 10
void LoadPolishWords();              // 11
void LoadJapaneseWords();            // 12
void LoadCzechWords();               // 13
void LoadFinnishWords();             // 14
void LoadFarsiWords();               // 15
void LoadChineseSimplifiedWords();   // 16
void LoadChineseTraditionalWords();  // 17
void LoadDanishWords();              // 18
void LoadTurkishWords();             // 19
void LoadKoreanWords();              // 20
void LoadHungarianWords();           // 21
void LoadArabicWords();              // 22
void LoadSerbianWords();             // 23 (Latin letters)
void LoadNorwegianWords();           // 24

// Registers the 23 loaders above under their numbers. The program and the test mains call it
// once at start-up, before StaticInitialize.
void RegisterWordLanguages();

// The overrides. Setting them marks the table for a reload at the next lookup. They are cleared
// at library tear-down.
void SetCustomizedWords(std::vector<TCustomizedWord> Words);
std::vector<TCustomizedWord> CustomizedWords();
void ClearCustomizedWords();
