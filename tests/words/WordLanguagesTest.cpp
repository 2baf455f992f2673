// The further languages' word tables as the library loads them: each language stores exactly its
// indexes over the English words, a switch rebuilds from English, overrides follow their
// language, and lookups on other threads never see a switch half done. (The tables' texts are
// checked as data by word_tables.py.)
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "words/pxwords.h"

namespace {

using TWords = std::vector<std::string>;

class WordLanguages : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearCustomizedWords();
    GlobalSettingsInstance()->FLanguage = 0;
    ResetWordTable();
  }
  static std::string Word(uint8_t Language, uint16_t Index) {
    GlobalSettingsInstance()->FLanguage = Language;
    return GetLanguageWord(Index);
  }
  // The whole table as a lookup in Language sees it.
  static TWords Table(uint8_t Language) {
    TWords words;
    for (uint16_t i = 0; i < PXWordCount; ++i) words.push_back(Word(Language, i));
    return words;
  }
};

struct TLanguageRange {
  uint8_t Language;
  uint16_t Last;  // the table stores indexes 0..Last
};

constexpr TLanguageRange kRanges[] = {
    {2, 756},  {3, 756},  {4, 756},  {5, 756},  {6, 756},  {7, 155},  {8, 756},  {9, 756},
    {10, 155}, {11, 136}, {12, 756}, {13, 130}, {14, 143}, {15, 136}, {16, 756}, {17, 756},
    {18, 136}, {19, 756}, {20, 756}, {21, 138}, {22, 756}, {23, 154}, {24, 155},
};

TEST_F(WordLanguages, EachLanguageStoresExactlyItsIndexes) {
  const std::string mark = "\x01";
  for (const TLanguageRange& r : kRanges) {
    // Every entry marked, then only the language's loader: the entries it leaves are marked.
    auto guard = LockWordTable();
    GlobalSettingsInstance()->FLanguage = r.Language;
    SetLoadedWordLanguage(r.Language);
    for (uint16_t i = 0; i < PXWordCount; ++i) SetEnglishOrCustomWord(i, mark);
    LoadLanguageWords(r.Language);
    for (uint16_t i = 0; i < PXWordCount; ++i)
      ASSERT_EQ(GetLanguageWord(i) != mark, i <= r.Last) << "language " << int(r.Language) << " index " << i;
  }
}

TEST_F(WordLanguages, TellingRows) {
  struct TRow {
    uint8_t Language;
    uint16_t Index;
    const char* Text;
  } rows[] = {
      {3, 0, "Vorschau"},          {3, 3, "OK"},  {3, 4, "Abbruch"},  {3, 151, "Seite %d of %d"},  {3, 746, "Schicht %d"},
      {5, 0, "Prévisualisation"},  {5, 3, "Ok"},  {5, 4, "Annuler"},  {5, 151, "Page %d sur %d"},  {5, 746, "Couche %d"},
      {2, 0, "Anteprima"},         {2, 3, "OK"},  {2, 4, "Annulla"},  {2, 151, "Pagina %d di %d"}, {2, 746, "Livello %d"},
      {22, 746, "Layer %d"},
  };
  for (const TRow& r : rows) EXPECT_EQ(Word(r.Language, r.Index), r.Text) << int(r.Language) << " " << r.Index;
}

TEST_F(WordLanguages, TheSystemLanguageChoosesTheTableWhenNoneIsSet) {
  struct TCase {
    const char* Locale;
    const char* Preview;  // word 0
  } cases[] = {
      {"de_DE.UTF-8", "Vorschau"}, {"ja_JP.UTF-8", "プレビュー"}, {"ar_EG.UTF-8", "معاينة"},
      {"zh_TW.UTF-8", "預覽"},     {"fa_IR", "پیش‌نمایش"},        {"th_TH.UTF-8", "Preview"},
  };
  for (const TCase& c : cases) {
    SetSystemLocaleName(c.Locale);
    EXPECT_EQ(Word(0, 0), c.Preview) << c.Locale;
  }
  SetSystemLocaleName("C");
}

TEST_F(WordLanguages, PartialLanguagesShowEnglishAboveTheirRange) {
  const TWords english = Table(1);
  for (const TLanguageRange& r : kRanges) {
    const TWords words = Table(r.Language);
    EXPECT_EQ(LoadedWordLanguage(), r.Language);
    EXPECT_NE(words[0], english[0]) << int(r.Language);
    for (uint16_t i = r.Last + 1; i < PXWordCount; ++i) ASSERT_EQ(words[i], english[i]) << int(r.Language) << " " << i;
  }
  // Greek and Czech at the edges of their ranges.
  EXPECT_NE(Word(7, 155), english[155]);
  EXPECT_EQ(Word(7, 156), english[156]);
  EXPECT_NE(Word(13, 130), english[130]);
  EXPECT_EQ(Word(13, 131), english[131]);
}

TEST_F(WordLanguages, NumbersWithoutATableAndNumbersAbove127) {
  const TWords english = Table(1);
  EXPECT_EQ(Table(30), english);  // no table: English only
  EXPECT_EQ(LoadedWordLanguage(), 30);
  const TWords italian = Table(2);
  EXPECT_EQ(Table(130), italian);  // 130 loads Italian...
  EXPECT_EQ(LoadedWordLanguage(), 130);  // ...and keeps its full number
  EXPECT_EQ(Word(130, 0), "Anteprima");
  EXPECT_THROW(SetLanguageWordsLoader(1, &LoadFrenchWords), EPXException);
  EXPECT_THROW(SetLanguageWordsLoader(25, &LoadFrenchWords), EPXException);
}

TEST_F(WordLanguages, ASwitchRebuildsFromEnglish) {
  const TWords english = Table(1);
  const TWords german = Table(3);
  // Complete German, then partial Greek: nothing German stays behind.
  const TWords greek = Table(7);
  for (uint16_t i = 156; i < PXWordCount; ++i) ASSERT_EQ(greek[i], english[i]) << i;
  EXPECT_EQ(Table(3), german);
}

TEST_F(WordLanguages, OverridesFollowTheirLanguageAcrossSwitches) {
  SetCustomizedWords({{3, 4, "Abbrechen"}, {3, 2, "first"}, {3, 2, "second"}, {5, 3, ""}, {1, 0, "Show"}});
  EXPECT_EQ(Word(3, 4), "Abbrechen");
  EXPECT_EQ(Word(3, 2), "second");  // a later entry for the same index wins
  EXPECT_EQ(Word(3, 0), "Vorschau");
  EXPECT_EQ(Word(5, 4), "Annuler");
  EXPECT_EQ(Word(5, 3), "Ok");  // an empty override leaves the word
  EXPECT_EQ(Word(3, 4), "Abbrechen");  // back to German: applied again
  EXPECT_EQ(Word(1, 0), "Show");
  EXPECT_EQ(Word(2, 0), "Anteprima");
  ClearCustomizedWords();
  ResetWordTable();
  EXPECT_EQ(Word(3, 4), "Abbruch");
}

// The table keeps views of compiled-in texts but copies of everything else: a caller's text
// and an override may be freed as soon as they are stored (a view of either would be read after
// its release, which the sanitizer build reports).
TEST_F(WordLanguages, TextsOfCallersAndOverridesAreKeptAsCopies) {
  const std::string stored = "Vorschau des ganzen Bildes in voller Größe";
  const std::string custom = "Vorgang abbrechen und alle Änderungen verwerfen";
  EXPECT_EQ(Word(3, 0), "Vorschau");
  {
    auto text = std::make_unique<std::string>(stored);
    SetLanguageWord(0, *text);
  }
  EXPECT_EQ(Word(3, 0), stored);

  SetCustomizedWords({{3, 4, custom}});
  EXPECT_EQ(Word(3, 4), custom);
  ClearCustomizedWords();  // frees the override; the table keeps its text until the next switch
  EXPECT_EQ(Word(3, 4), custom);
  EXPECT_EQ(Word(5, 4), "Annuler");
  EXPECT_EQ(Word(3, 4), "Abbruch");
  EXPECT_EQ(Word(3, 0), "Vorschau");  // the switch brought the compiled-in text back
}

TEST_F(WordLanguages, TearDownReleasesTheTableAndTheOverrides) {
  SetCustomizedWords({{1, 4, "Stop"}});
  EXPECT_EQ(Word(1, 4), "Stop");
  FreeWordTable();
  EXPECT_TRUE(CustomizedWords().empty());
  EXPECT_EQ(LoadedWordLanguage(), PXNoWordLanguage);
  EXPECT_EQ(Word(1, 4), "Cancel");
}

TEST_F(WordLanguages, LookupsOnOtherThreadsSeeOneLanguageOrTheOther) {
  const TWords german = Table(3);
  const TWords french = Table(5);
  GlobalSettingsInstance()->FLanguage = 3;  // readers switch back to German when they find French
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0}, reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&, t] {
      for (int n = 0; !stop || n < 1000; ++n) {
        const uint16_t i = static_cast<uint16_t>((n * 31 + t * 7) % PXWordCount);
        const std::string w = GetLanguageWord(i);
        if (w != german[i] && w != french[i]) ++torn;
        ++reads;
      }
    });
  for (int k = 0; k < 300; ++k) SelectWordLanguage(k % 2 ? 3 : 5);
  stop = true;
  for (std::thread& r : readers) r.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(reads, 0);
}

}  // namespace
