// The word lookup with its English table, and the language chosen by the system locale.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxwords.h"

namespace {

// Every row the library looks up, the first and last row of each group, and the rows other
// parts of the library quote.
const std::pair<uint16_t, const char*> kFixedRows[] = {
    {0, "Preview"}, {1, "Original"}, {2, "Result"}, {3, "OK"}, {4, "Cancel"}, {5, "Lock preview"},
    {6, "Copy Result to Original"}, {7, "Contrast"}, {29, "Left"}, {30, "Top"}, {31, "Width"}, {32, "Height"},
    {36, "Refraction"}, {37, "Parameter Preview"}, {38, "Quality"}, {39, "DCT method"}, {40, "Smoothing"},
    {42, "Optimal Huffman"}, {43, "Original size"}, {44, "Compressed size"}, {45, "Advanced"},
    {46, "Progressive"}, {47, "Compression"}, {48, "Image index"}, {49, "Photometric"}, {50, "Document Info"},
    {51, "Name"}, {52, "Description"}, {53, "Page name"}, {54, "Page number"}, {55, "of"}, {56, "inch"},
    {57, "Colors"}, {58, "Transparent"}, {59, "Transparent color"}, {60, "Interlaced"}, {61, "Background"},
    {62, "Horz. Position"}, {63, "Vert. Position"}, {64, "Delay time"}, {65, "Filter"}, {66, "Wave"},
    {78, "Rotate"}, {80, "Horizontal"}, {81, "Vertical"}, {84, "Clear"}, {86, "Animate"}, {89, "Bump Map"},
    {90, "Print"}, {93, "Right"}, {94, "Bottom"}, {95, "Position"}, {96, "Size"}, {97, "Normal"},
    {112, "Center"}, {118, "Apply"}, {121, "Rate"}, {122, "All graphics"}, {123, "Windows Video"},
    {124, "File"}, {125, "Mem"}, {129, "All Image Files"}, {130, "All Files"}, {131, "HSV"}, {137, "pixels"},
    {138, "frames"}, {143, "Fit"}, {147, "Style"}, {148, "Spacing"}, {149, "Select Acquire Device"},
    {151, "Page %d of %d"}, {153, "Previous"}, {154, "Next"}, {155, "Thumbnails"}, {156, "Add Inner Shadow"},
    {165, "Alpha Fill"}, {166, "Flood Fill"}, {172, "Convert to Palette"}, {180, "Feather Edges"},
    {181, "Fill"}, {184, "Intensity"}, {191, "Monochrome"}, {203, "Resize Canvas to %dx%d"},
    {205, "Convert to %d colors"}, {223, "Soft Shadow"}, {230, "General"}, {236, "Crop Image"},
    {241, "Resize Image"}, {242, "Convert to Gray"}, {250, "Cut"}, {251, "Cut Selection"}, {253, "Paste"},
    {254, "Filename"}, {255, "Folder"}, {256, "Dimensions"}, {257, "Type"}, {258, "Date Created"},
    {259, "Date Modified"}, {260, "Properties"}, {261, "Caption"}, {265, "Pages Down"},
    {266, "Edit points of layer lines"}, {267, "Rotate Layers"}, {268, "Move Layers"}, {269, "Resize Layers"},
    {270, "Remove Layer"}, {271, "Arrange Layers"}, {272, "Layer Properties"}, {273, "Convert to Image Layer"},
    {274, "Convert to Polyline Layer"}, {275, "Merge Layers"}, {279, "Edit Layer Text"}, {280, "Paint Brush"},
    {281, "Eraser"}, {282, "Clone Brush"}, {283, "Rotate and Crop"}, {287, "Add Image Layer"},
    {288, "Add Shape Layer"}, {289, "Add Line Layer"}, {290, "Add Polyline Layer"}, {291, "Add Angle Layer"},
    {292, "Add Text Layer"}, {297, "Flip Horizontal"}, {298, "Flip Vertical"}, {299, "Save Contact Sheets"},
    {306, "Border"}, {307, "Font"}, {308, "Font Size"}, {309, "Font Color"}, {311, "Mask"}, {312, "Zoom In"},
    {313, "Zoom Out"}, {314, "Delete Selection"}, {315, "Image"}, {323, "Align Text Left"},
    {324, "Align Text Right"}, {325, "Center Text"}, {326, "Justify Text"}, {327, "Select Font"}, {328, "Bold"},
    {329, "Italic"}, {330, "Underline"}, {331, "Bullets"}, {332, "Numbering"}, {333, "Alignment"},
    {334, "Acquire"}, {685, "Measure Distance"}, {686, "Above"}, {687, "At End"}, {688, "At Start"},
    {689, "Above (Auto)"}, {690, "Below (Auto)"}, {691, "Auto-Size"}, {692, "Below"},
    {693, "Click to set the border color"}, {694, "Click to set the fill color"},
    {695, "Click to set the gradient color"}, {696, "Diagonal"}, {697, "Diag. Center"}, {698, "Gradient"},
    {699, "Hide"}, {700, "Horz. Center"}, {701, "Layer"}, {702, "Use as Mask"},
    {704, "Use layer to mask content of the layer below"}, {705, "Layout"}, {706, "Line"}, {707, "None"},
    {708, "Opacity"}, {709, "Operation"}, {710, "Points"}, {711, "Polyline"}, {712, "Polyline Closed"},
    {713, "Read-Only"}, {714, "Shape"}, {715, "Update"}, {716, "Vert. Center"}, {717, "Word Wrap"},
    {718, "Ruler Mode"}, {719, "Rotation"}, {720, "End Shapes"}, {721, "Line Label"}, {722, "Background Layer"},
    {723, "Allow multi-line text"}, {724, "Caption displays length/area of layer"},
    {725, "Soften the edges of the layer with transparent feathering"},
    {726, "Automatically size the layer to fit the content"}, {727, "Set the rotation of the layer"},
    {728, "Text"}, {729, "Select the shape of the the layer"}, {731, "Visible"}, {732, "Reset Size"},
    {733, "Prevent resizing from affecting the aspect ratio of the selected layer"},
    {734, "Prevent movement of the selected layer"},
    {735, "Restore the original aspect ratio of the selected layer"}, {737, "Add a soft shadow to the layer"},
    {738, "Crop to Background"}, {739, "Hide any part of the selected layer outside the background"},
    {740, "Lock Aspect Ratio"}, {741, "Lock Position"},
    {742, "Join the first and last points of the polyline to create a polygon"},
    {743, "Restore the original size of the selected layer"}, {744, "Select new font for layer text"},
    {745, "Restore Aspect Ratio"}, {746, "Layer %d"}, {747, "Inverted"}, {748, "Arrow"}, {749, "Circle"},
    {750, "Diamond"}, {751, "Reverse Arrow"}, {752, "Bar"}, {753, "Dot"}, {754, "Angle"}, {755, "Invert Angle"},
    {756, "Start Angle"},
};

class Words : public ::testing::Test {
 protected:
  void SetUp() override { GlobalSettingsInstance()->FLanguage = 1; }
  void TearDown() override {
    GlobalSettingsInstance()->FLanguage = 0;
    SetSystemLocaleName("C");
    ResetWordTable();
  }
};

TEST_F(Words, EnglishTableHasAll757Rows) {
  for (auto [index, text] : kFixedRows) EXPECT_EQ(GetLanguageWord(index), text) << index;
  for (uint16_t i = 0; i < PXWordCount; ++i) {
    const std::string w = GetLanguageWord(i);
    EXPECT_FALSE(w.empty()) << i;
    for (char c : w) EXPECT_TRUE(c >= 32 && c < 127) << i;  // plain 7-bit text
  }
  EXPECT_EQ(GetLanguageWord(757), "");
  EXPECT_EQ(GetLanguageWord(65535), "");
  EXPECT_EQ(LoadedWordLanguage(), 1);
}

TEST_F(Words, SetWordIgnoresEmptyTextAndBadIndexes) {
  GetLanguageWord(0);
  SetLanguageWord(4, "");
  EXPECT_EQ(GetLanguageWord(4), "Cancel");
  SetLanguageWord(757, "beyond");  // no entry there: nothing happens
  SetEnglishOrCustomWord(4, "Stop");
  EXPECT_EQ(GetLanguageWord(4), "Stop");
  ResetWordTable();  // the next lookup loads English again
  EXPECT_EQ(GetLanguageWord(4), "Cancel");
}

TEST_F(Words, SystemLocaleChoosesTheLanguage) {
  struct Case {
    const char* locale;
    uint16_t primary, sub;
    uint8_t language;
  } cases[] = {
      {"", 0x09, 1, 1},           {"C", 0x09, 1, 1},          {"C.UTF-8", 0x09, 1, 1},  {"POSIX", 0x09, 1, 1},
      {"en_GB.UTF-8", 0x09, 1, 1}, {"de_DE.UTF-8", 0x07, 1, 3}, {"fr_CA", 0x0C, 1, 5},   {"pt_BR.UTF-8", 0x16, 1, 6},
      {"sr_RS@latin", 0x1A, 1, 23}, {"nb_NO", 0x14, 1, 24},     {"fa_IR", 0x29, 1, 15},  {"zh_CN.UTF-8", 0x04, 2, 16},
      {"zh_TW", 0x04, 1, 17},      {"zh_HK", 0x04, 3, 0},      {"zh_SG", 0x04, 4, 0},   {"th_TH.UTF-8", 0, 0, 1},
  };
  for (const Case& c : cases) {
    const TPXSystemLanguage id = ParseLocaleName(c.locale);
    EXPECT_EQ(id.Primary, c.primary) << c.locale;
    EXPECT_EQ(id.Sub, c.sub) << c.locale;
    EXPECT_EQ(LanguageFromSystemLanguage(id), c.language) << c.locale;
  }
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  s->FLanguage = 0;
  SetSystemLocaleName("zh_CN.UTF-8");
  EXPECT_EQ(ResolveUILanguage(), 16);
  EXPECT_FALSE(s->IsEnglishLanguage());
  SetSystemLocaleName("zh_TW.UTF-8");
  EXPECT_EQ(ResolveUILanguage(), 17);
  SetSystemLocaleName("zh_HK.UTF-8");  // another Chinese: English words, loaded number 0
  EXPECT_EQ(GetLanguageWord(4), "Cancel");
  EXPECT_EQ(LoadedWordLanguage(), 0);
  SetSystemLocaleName("en_US.UTF-8");
  EXPECT_TRUE(s->IsEnglishLanguage());
  s->FLanguage = 7;  // the setting wins over the locale
  EXPECT_EQ(ResolveUILanguage(), 7);
  EXPECT_FALSE(s->IsEnglishLanguage());
}

TEST_F(Words, EveryIndexHasTextAfterAnyLoad) {
  for (int language : {0, 1, 2, 3, 7, 16, 17, 24, 25, 30, 127, 130, 200, 254}) {
    GlobalSettingsInstance()->FLanguage = static_cast<uint8_t>(language);
    GetLanguageWord(0);
    EXPECT_EQ(LoadedWordLanguage(), ResolveUILanguage());
    for (uint16_t i = 0; i < PXWordCount; ++i) ASSERT_FALSE(GetLanguageWord(i).empty()) << language << " " << i;
  }
}

TEST_F(Words, LookupsNeverSeeAReloadHalfDone) {
  std::atomic<bool> stop{false};
  std::atomic<int> empty{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&, t] {
      for (int n = 0; !stop; ++n)
        if (GetLanguageWord(static_cast<uint16_t>((n * 7 + t) % PXWordCount)).empty()) ++empty;
    });
  for (int i = 0; i < 200; ++i) {
    ResetWordTable();  // forces a reload at the next lookup
    GetLanguageWord(3);
  }
  stop = true;
  for (std::thread& r : readers) r.join();
  EXPECT_EQ(empty, 0);
}

}  // namespace
