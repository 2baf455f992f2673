// The language switch: English first, then the chosen language, then a host's overrides.
#include <gtest/gtest.h>

#include <string>

#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "words/pxwords.h"

namespace {

int g_german_loads = 0;

// Fake tables: German stores indexes 0..10, French only 0..5, Italian only 0.
void FakeGerman() {
  ++g_german_loads;
  for (uint16_t i = 0; i <= 10; ++i) SetLanguageWord(i, "DE " + std::to_string(i));
  SetLanguageWord(4, "Abbruch");
}
void FakeFrench() {
  for (uint16_t i = 0; i <= 5; ++i) SetLanguageWord(i, "FR " + std::to_string(i));
  SetLanguageWord(4, "Annuler");
}
void FakeItalian() { SetLanguageWord(0, "Anteprima"); }

class WordLanguages : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_[0] = SetLanguageWordsLoader(2, &FakeItalian);
    saved_[1] = SetLanguageWordsLoader(3, &FakeGerman);
    saved_[2] = SetLanguageWordsLoader(5, &FakeFrench);
    g_german_loads = 0;
  }
  void TearDown() override {
    SetLanguageWordsLoader(2, saved_[0]);
    SetLanguageWordsLoader(3, saved_[1]);
    SetLanguageWordsLoader(5, saved_[2]);
    ClearCustomizedWords();
    GlobalSettingsInstance()->FLanguage = 0;
    ResetWordTable();
  }
  static std::string Word(uint8_t Language, uint16_t Index) {
    GlobalSettingsInstance()->FLanguage = Language;
    return GetLanguageWord(Index);
  }
  TPXLoadWordsProc saved_[3] = {};
};

TEST_F(WordLanguages, SwitchReloadsEnglishThenTheLanguage) {
  EXPECT_EQ(Word(3, 4), "Abbruch");
  EXPECT_EQ(Word(3, 7), "DE 7");
  EXPECT_EQ(Word(3, 11), "Value");  // beyond the table: English
  EXPECT_EQ(g_german_loads, 1);
  EXPECT_EQ(Word(3, 0), "DE 0");  // the same language: loaded once
  EXPECT_EQ(g_german_loads, 1);
  // 3 -> 5: English first, so German words French lacks do not stay behind.
  EXPECT_EQ(Word(5, 4), "Annuler");
  EXPECT_EQ(Word(5, 7), "Contrast");
  EXPECT_EQ(LoadedWordLanguage(), 5);
  EXPECT_EQ(Word(3, 7), "DE 7");
  EXPECT_EQ(g_german_loads, 2);
}

TEST_F(WordLanguages, NumbersAreTakenModulo128) {
  EXPECT_EQ(Word(130, 0), "Anteprima");  // 130 loads Italian
  EXPECT_EQ(LoadedWordLanguage(), 130);  // and keeps its full number
  EXPECT_EQ(Word(30, 0), "Preview");     // no table: English only
  EXPECT_EQ(Word(4, 4), "Cancel");       // not registered yet: English only
  SelectWordLanguage(3);
  EXPECT_EQ(LoadedWordLanguage(), 3);
  LoadLanguageWords(128 + 5);
  EXPECT_EQ(LoadedWordLanguage(), 3);  // loading does not switch
  EXPECT_THROW(SetLanguageWordsLoader(1, &FakeFrench), EPXException);
  EXPECT_THROW(SetLanguageWordsLoader(25, &FakeFrench), EPXException);
}

TEST_F(WordLanguages, OverridesApplyToTheirLanguageOnly) {
  SetCustomizedWords({{3, 4, "Abbrechen"}, {5, 3, ""}, {3, 2, "first"}, {3, 2, "second"}, {1, 0, "Show"}});
  EXPECT_EQ(Word(3, 4), "Abbrechen");
  EXPECT_EQ(Word(3, 2), "second");  // a later entry for the same index wins
  EXPECT_EQ(Word(5, 4), "Annuler");
  EXPECT_EQ(Word(5, 3), "FR 3");  // an empty override leaves the word
  EXPECT_EQ(Word(3, 4), "Abbrechen");  // switching back applies it again
  EXPECT_EQ(Word(1, 0), "Show");
  EXPECT_EQ(CustomizedWords().size(), 5u);
  ClearCustomizedWords();
  ResetWordTable();
  EXPECT_EQ(Word(3, 4), "Abbruch");
}

TEST_F(WordLanguages, TearDownReleasesTheTableAndTheOverrides) {
  SetCustomizedWords({{1, 4, "Stop"}});
  EXPECT_EQ(Word(1, 4), "Stop");
  FreeWordTable();
  EXPECT_TRUE(CustomizedWords().empty());
  EXPECT_EQ(LoadedWordLanguage(), PXNoWordLanguage);
  EXPECT_EQ(Word(1, 4), "Cancel");
}

}  // namespace
