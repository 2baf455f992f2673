// The word lookup: every visible text of the image library is fetched by its index from one
// library-wide table of 757 words (UTF-8), in the language in effect. English is loaded first
// and the chosen language over it (words/pxwords.h), so every index holds a text after any load.
// The table, the loaded language number and the customised words are guarded by one lock: a
// lookup never reads an entry while a reload replaces it.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

inline constexpr int32_t PXWordCount = 757;
// The loaded language number before anything is loaded (no resolved number is ever 255).
inline constexpr uint8_t PXNoWordLanguage = 255;

// The word at Index in the language in effect, reloading the table first when that language is
// not the loaded one; empty for an index above 756.
std::string GetLanguageWord(uint16_t Index);
// The settings' FLanguage when not 0, else the number chosen by the system locale.
uint8_t ResolveUILanguage();

// Store a copy of Text at Index; an empty Text or an index above 756 leaves the table
// unchanged. A language's words go through the first, the customised words through the second.
void SetLanguageWord(uint16_t Index, std::string_view Text);
void SetEnglishOrCustomWord(uint16_t Index, std::string_view Text);
// Stores compiled-in texts, which the table keeps without copying (they must stay valid as long
// as the program runs): Texts[k] at index First + k, under one lock; an empty text leaves its
// entry unchanged. The English and the further languages' tables load this way.
void SetConstantWords(uint16_t First, std::span<const std::string_view> Texts);
// Stores the 757 English words.
void LoadEnglishWords();

// The language whose words the table holds (PXNoWordLanguage: none); set by the language switch.
uint8_t LoadedWordLanguage();
void SetLoadedWordLanguage(uint8_t Language);
// Marks the table as not loaded, so that the next lookup loads it.
void ResetWordTable();
// Releases the 757 words and the customised words; the next lookup loads again.
void FreeWordTable();
// The lock of the table; taken by the lookup around a reload (re-entrant).
std::unique_lock<std::recursive_mutex> LockWordTable();

// The system language as the platform numbers it: the primary language id (0x09 English, 0x07
// German...; 0 for a language the library does not know) and the sublanguage id.
struct TPXSystemLanguage {
  uint16_t Primary = 0x09;
  uint16_t Sub = 0x01;
};
// The system language, read once from LC_ALL, LC_MESSAGES or LANG (the first that is set);
// unset, "C" and "POSIX" are English.
TPXSystemLanguage SystemLanguageId();
// A POSIX locale name such as "de_DE.UTF-8" or "zh_TW" as the platform's language ids.
TPXSystemLanguage ParseLocaleName(std::string_view Name);
// Replaces the system language read at start by that of a locale name (hosts and tests).
void SetSystemLocaleName(std::string_view Name);
// The library's language number for a system language: the word tables' numbers, 1 (English)
// for any language without one; Chinese by sublanguage: 2 gives 16, 1 gives 17, others 0.
uint8_t LanguageFromSystemLanguage(TPXSystemLanguage Id);
