// The reflection pipeline against an independent reference computed in Python (Pillow + numpy)
// from the formulas: fixtures made by Pillow, loaded through the library's I/O, built headless,
// each layer and the merged picture compared with the reference's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "io/pixoranio.h"
#include "tests/app/ReflectFixtures.h"
#include "tests/app/ReflectTestSupport.h"
#include "tests/common/TestSupport.h"

namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string ReferenceScript() { return TestDataPath("../app/reflect_reference.py"); }

struct OptionSet {
  const char* Name;
  int32_t Position = ReflectBottom;
  int32_t Spacing = 0;
  int32_t SpacingInWidths = 0;  // added: that many times the picture's width
  int32_t Size = 100;
  int32_t AlphaBegin = 255, AlphaEnd = 0;
  int32_t ColourMode = ColorModeColor;
  bool Wave = false;
  int32_t Amplitude = 10, WaveLength = 30, Phase = 0;
  bool RemoveAlpha = false;
  uint32_t Background = 0xFFFFFF;  // RRGGBB
};

const OptionSet kOptionSets[] = {
    {.Name = "left", .Position = ReflectLeft},
    {.Name = "top", .Position = ReflectTop},
    {.Name = "right", .Position = ReflectRight},
    {.Name = "bottom"},
    {.Name = "spacing 7", .Spacing = 7},
    {.Name = "right spacing -W", .Position = ReflectRight, .SpacingInWidths = -1},
    {.Name = "left spacing -2W", .Position = ReflectLeft, .SpacingInWidths = -2},
    {.Name = "bottom spacing -W", .SpacingInWidths = -1},
    {.Name = "size and transparencies", .Position = ReflectTop, .Size = 60, .AlphaBegin = 178, .AlphaEnd = 26},
    {.Name = "size 0 right", .Position = ReflectRight, .Size = 0, .AlphaBegin = 200},
    {.Name = "grey", .ColourMode = ColorModeGray},
    {.Name = "black and white", .Position = ReflectLeft, .ColourMode = ColorModeBlackWhite},
    {.Name = "black and white waved", .ColourMode = ColorModeBlackWhite, .Wave = true},
    {.Name = "wave", .Position = ReflectRight, .Wave = true, .Amplitude = 4, .WaveLength = 7, .Phase = 90},
    {.Name = "wave default", .Position = ReflectTop, .Wave = true},
    {.Name = "remove alpha", .Spacing = 3, .RemoveAlpha = true, .Background = 0x204080},
    {.Name = "remove alpha black and white", .Position = ReflectRight, .ColourMode = ColorModeBlackWhite,
     .RemoveAlpha = true, .Background = 0xFFFF00},
    {.Name = "remove alpha grey waved", .Position = ReflectTop, .Size = 80, .ColourMode = ColorModeGray, .Wave = true,
     .Amplitude = 3, .WaveLength = 11, .Phase = 200, .RemoveAlpha = true, .Background = 0x000000},
};

// How far two pictures of the same size lie apart.
struct Difference {
  int32_t Colour = 0, Alpha = 0;
  std::string Where;
};

class ReflectOracleTest : public ReflectTestBase {
 protected:
  void SetUp() override {
    ReflectTestBase::SetUp();
    if (!ToolExists(kPython)) GTEST_SKIP() << "no python3";
    ASSERT_EQ(RunTool({kPython, "-c", kMakeReflectFixtures, dir_.Path()}, dir_.File("fixtures.log")), 0);
  }

  // Native: the reader keeps the file's own pixel format (a palette stays a palette).
  static std::unique_ptr<TPixoran> Load(const std::string& File, bool Native = false) {
    auto s = std::make_unique<TPixoran>(nullptr);
    s->IO()->Params()->NativePixelFormat = Native;
    EXPECT_TRUE(s->IO()->LoadFromFileByExtension(File, true)) << File;
    return s;
  }

  // The reference's arguments for one option set (its layers and merged picture go to Out...).
  static std::string ReferenceJob(const std::string& Input, const OptionSet& O, int32_t Spacing,
                                  const std::string& Out) {
    char bg[8];
    std::snprintf(bg, sizeof bg, "%06X", O.Background & 0xFFFFFF);
    std::string job = "'" + Input + "' '" + Out + ".png' --layers '" + Out + "_layer'";
    for (const auto& [name, value] : std::vector<std::pair<const char*, int32_t>>{
             {"position", O.Position}, {"spacing", Spacing}, {"size", O.Size}, {"alpha-begin", O.AlphaBegin},
             {"alpha-end", O.AlphaEnd}, {"colour-mode", O.ColourMode}, {"amplitude", O.Amplitude},
             {"wave-length", O.WaveLength}, {"phase", O.Phase}})
      job += std::string(" --") + name + " " + std::to_string(value);
    job += std::string(" --background ") + bg;
    if (O.Wave) job += " --wave";
    if (O.RemoveAlpha) job += " --remove-alpha";
    return job + "\n";
  }

  // Compares a picture (alpha 255 where it has none) with an RGBA file of the reference, offset
  // by (Dx, Dy) into it. Alpha-0 pixels' colours are not compared when IgnoreHidden is set.
  static Difference Compare(TPXBitmap* Ours, const std::string& RefFile, bool IgnoreHidden) {
    Difference d;
    auto ref = Load(RefFile);
    TPXBitmap* r = ref->GetPXBitmap();
    if (Ours->Width() != r->Width() || Ours->Height() != r->Height()) {
      d.Colour = d.Alpha = 999;
      d.Where = "size " + std::to_string(Ours->Width()) + "x" + std::to_string(Ours->Height()) + " against " +
                std::to_string(r->Width()) + "x" + std::to_string(r->Height());
      return d;
    }
    for (int32_t y = 0; y < r->Height(); ++y)
      for (int32_t x = 0; x < r->Width(); ++x) {
        const int32_t oa = Ours->HasAlphaChannel() ? Ours->GetAlpha(x, y) : 255;
        const int32_t ra = r->HasAlphaChannel() ? r->GetAlpha(x, y) : 255;
        const TRGB oc = Ours->GetPixelRGB(x, y), rc = r->GetPixelRGB(x, y);
        int32_t dc = std::max({std::abs(oc.r - rc.r), std::abs(oc.g - rc.g), std::abs(oc.b - rc.b)});
        if (IgnoreHidden && (oa == 0 || ra == 0)) dc = 0;
        const int32_t da = std::abs(oa - ra);
        if (dc > d.Colour || da > d.Alpha) {
          d.Where = "(" + std::to_string(x) + ", " + std::to_string(y) + ") ours " + std::to_string(oc.r) + " " +
                    std::to_string(oc.g) + " " + std::to_string(oc.b) + " " + std::to_string(oa) + ", reference " +
                    std::to_string(rc.r) + " " + std::to_string(rc.g) + " " + std::to_string(rc.b) + " " +
                    std::to_string(ra);
        }
        d.Colour = std::max(d.Colour, dc);
        d.Alpha = std::max(d.Alpha, da);
      }
    return d;
  }

  // The picture a save makes of V: with alpha kept the two layers merged by their alpha; without
  // it copies of the layers without alpha merged onto the background colour, so that every pixel
  // is the colour of the topmost layer covering it.
  static void Merge(TPixoran& V, bool KeepAlpha, TColor Background, TPXBitmap& Out) {
    TPXBlendLayerOptions options;
    options.Background = Background;
    if (KeepAlpha) {
      BlendLayerPair(V.Layers(0), V.Layers(1), &Out, options);
      return;
    }
    TPixoran T(nullptr);
    T.SetBackground(Background);
    T.GetPXBitmap()->Assign(V.Layers(0)->GetBitmap());
    T.GetPXBitmap()->RemoveAlphaChannel(false, Background);
    const int32_t r = T.LayersAdd(pxlkImage, V.Layers(1)->GetPosX(), V.Layers(1)->GetPosY(), 0, 0);
    T.SetLayersCurrent(r);
    T.GetPXBitmap()->Assign(V.Layers(1)->GetBitmap());
    T.GetPXBitmap()->RemoveAlphaChannel(false, Background);
    T.Layers(r)->SetPosX(V.Layers(1)->GetPosX());
    T.Layers(r)->SetPosY(V.Layers(1)->GetPosY());
    BlendLayerPair(T.Layers(0), T.Layers(1), &Out, options);
  }

  TestTempDir dir_;
};

TEST_F(ReflectOracleTest, EveryFixtureAndOptionSetMatchesTheReference) {
  struct Fixture {
    const char* File;
    bool Native;
    TPXPixelFormat Format;  // as the reader delivers it
    int32_t Width;
    int32_t Tolerance;  // colour levels our decoder may differ from Pillow's (same library here)
  } fixtures[] = {{"hole.png", false, px24RGB, 40, 0},   {"photo.jpg", false, px24RGB, 37, 2},
                  {"palette.bmp", false, px24RGB, 21, 0}, {"palette.bmp", true, px8p, 21, 0},
                  {"mono.png", false, px1g, 35, 0}};
  auto spacingOf = [](const Fixture& F, const OptionSet& O) { return O.Spacing + O.SpacingInWidths * F.Width; };
  auto outOf = [this](int32_t Run) { return dir_.File("ref" + std::to_string(Run)); };

  // The reference runs once over every fixture and option set.
  {
    std::ofstream jobs(dir_.File("jobs.txt"));
    int32_t run = 0;
    for (const Fixture& f : fixtures)
      for (const OptionSet& o : kOptionSets) jobs << ReferenceJob(dir_.File(f.File), o, spacingOf(f, o), outOf(run++));
  }
  ASSERT_EQ(RunTool({kPython, ReferenceScript(), "--batch", dir_.File("jobs.txt")}, dir_.File("reference.log")), 0);

  int32_t run = 0;
  for (const Fixture& f : fixtures) {
    const std::string input = dir_.File(f.File);
    auto S = Load(input, f.Native);
    ASSERT_EQ(S->GetPXBitmap()->PixelFormat(), f.Format) << f.File;
    for (const OptionSet& o : kOptionSets) {
      SCOPED_TRACE(std::string(f.File) + (f.Native ? " (native)" : "") + ": " + o.Name);
      const int32_t spacing = spacingOf(f, o);
      const std::string out = outOf(run++);

      auto V = NewDisplayView(clBtnFace);
      TReflectionParams p;
      p.Position = o.Position;
      p.Spacing = spacing;
      p.Size = o.Size;
      p.AlphaBegin = o.AlphaBegin;
      p.AlphaEnd = o.AlphaEnd;
      p.ColourMode = o.ColourMode;
      p.Wave = o.Wave;
      p.Amplitude = o.Amplitude;
      p.WaveLength = o.WaveLength;
      p.Phase = o.Phase;
      // The swatch colour as a platform colour value (blue in the high byte).
      const uint32_t bg = o.Background;
      p.Background = static_cast<TColor>(((bg & 0xFF) << 16) | (bg & 0xFF00) | ((bg >> 16) & 0xFF));
      p.KeepAlpha = !o.RemoveAlpha;
      p.R = 1;
      BuildReflection(*V, *S, p);

      // The reflection layer's place, as the reference has it.
      std::ifstream places(out + "_layer.txt");
      int32_t x0 = -1, y0 = -1, x1 = -1, y1 = -1;
      places >> x0 >> y0 >> x1 >> y1;
      EXPECT_EQ(V->Layers(1)->GetPosX(), x1);
      EXPECT_EQ(V->Layers(1)->GetPosY(), y1);

      // Each layer exact, up to the decoders' difference and one level where the wave samples
      // between pixels (sines and their rounding may differ in the last place).
      const int32_t waveSlack = o.Wave ? 1 : 0;
      const Difference base = Compare(V->Layers(0)->GetBitmap(), out + "_layer0.png", !o.RemoveAlpha);
      EXPECT_LE(base.Colour, f.Tolerance) << "layer 0 " << base.Where;
      EXPECT_EQ(base.Alpha, 0) << "layer 0 " << base.Where;
      // Black and white dithers the decoded colours, so a decoder's difference may flip a bit.
      const int32_t refTolerance = (o.ColourMode == ColorModeBlackWhite && f.Tolerance > 0) ? 255 : f.Tolerance;
      const Difference ref = Compare(V->Layers(1)->GetBitmap(), out + "_layer1.png", !o.RemoveAlpha);
      EXPECT_LE(ref.Colour, refTolerance + waveSlack) << "reflection " << ref.Where;
      EXPECT_LE(ref.Alpha, waveSlack) << "reflection " << ref.Where;

      // The merged picture as Pillow's alpha_composite makes it (plus the differences above);
      // colours under alpha 0 are not compared.
      if (refTolerance > 2) continue;
      TPXBitmap merged;
      Merge(*V, p.KeepAlpha, p.Background, merged);
      const Difference all = Compare(&merged, out + ".png", !o.RemoveAlpha);
      EXPECT_LE(all.Colour, f.Tolerance + waveSlack) << "merged " << all.Where;
      EXPECT_LE(all.Alpha, waveSlack) << "merged " << all.Where;
    }
  }
}

}  // namespace
