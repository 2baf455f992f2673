// The reflection pipeline on tiny pictures, headless: placement, mirroring, colour modes, wave,
// the fade, flattening, and what the handlers' subsets leave behind.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/app/ReflectTestSupport.h"

namespace {

class ReflectPipelineTest : public ReflectTestBase {
 protected:
  // Background of the display view in these tests: red 16, green 32, blue 48.
  static constexpr TColor kViewBackground = 0x302010;
  static constexpr TRGB kViewBackgroundRgb{48, 32, 16};

  TReflectionParams Params(int32_t Position, bool KeepAlpha = true) {
    TReflectionParams p;
    p.Position = Position;
    p.R = 1;
    p.KeepAlpha = KeepAlpha;
    return p;
  }

  static std::vector<uint8_t> Pixels(TPXBitmap* B) {
    std::vector<uint8_t> out;
    const int64_t used = (static_cast<int64_t>(B->Width()) * B->BitCount() + 7) / 8;
    for (int32_t y = 0; y < B->Height(); ++y) {
      const auto* row = static_cast<const uint8_t*>(B->GetScanline(y));
      out.insert(out.end(), row, row + used);
    }
    if (B->HasAlphaChannel()) {
      std::vector<uint8_t> a = Pixels(B->PeekAlphaChannel());
      out.insert(out.end(), a.begin(), a.end());
    }
    return out;
  }
};

TEST_F(ReflectPipelineTest, TransparencyToAlphaHalvesToEven) {
  const std::array<std::array<int32_t, 2>, 8> cases{{{0, 255}, {50, 128}, {100, 0}, {30, 178}, {10, 230}, {1, 252},
                                                     {-10, 255}, {110, 0}}};
  for (const auto& [t, a] : cases) EXPECT_EQ(TransparencyToAlpha(t), a) << t;
}

// Steps 2 and 3 over every position and four spacings with a 10 x 6 picture without alpha.
TEST_F(ReflectPipelineTest, CanvasAndReflectionPlacement) {
  struct Case {
    int32_t Position, Spacing;
    int32_t CanvasW, CanvasH;  // layer 0 after step 2
    int32_t PicX, PicY;        // where the picture's pixel (0, 0) lies on the canvas
    int32_t RefX, RefY;        // the reflection layer's position
  };
  const Case cases[] = {
      {0, 0, 10, 6, 0, 0, 10, 6},     {0, 3, 10, 6, 0, 0, 13, 9},       {0, -10, 10, 6, 0, 0, 0, -4},
      {0, -20, 10, 6, 0, 0, -10, -14},
      {1, 0, 20, 6, 10, 0, 0, 0},     {1, 3, 23, 6, 13, 0, 0, 0},       {1, -10, 10, 6, 0, 0, 0, 0},
      {1, -20, 10, 6, 0, 0, 0, 0},
      {2, 0, 10, 12, 0, 6, 0, 0},     {2, 3, 10, 15, 0, 9, 0, 0},       {2, -10, 10, 2, 0, -4, 0, 0},
      {2, -20, 10, 6, 0, 0, 0, 0},
      {3, 0, 20, 6, 0, 0, 10, 0},     {3, 3, 23, 6, 0, 0, 13, 0},       {3, -10, 10, 6, 0, 0, 0, 0},
      {3, -20, 10, 6, 0, 0, -10, 0},
      {4, 0, 10, 12, 0, 0, 0, 6},     {4, 3, 10, 15, 0, 0, 0, 9},       {4, -10, 10, 2, 0, 0, 0, -4},
      {4, -20, 10, 6, 0, 0, 0, -14},
  };
  auto picture = MakePicture(10, 6, Distinct);
  auto S = NewSourceView(*picture);
  for (const Case& c : cases) {
    SCOPED_TRACE("position " + std::to_string(c.Position) + " spacing " + std::to_string(c.Spacing));
    auto V = NewDisplayView(kViewBackground);
    CopySourceToBaseLayer(*V, *S);
    ResizeCanvasForReflection(*V, *S, c.Position, c.Spacing);
    PlaceReflectionLayer(*V, *S, c.Position, 1, c.Spacing);

    TPXLayer* ref = V->Layers(1);
    EXPECT_EQ(ref->GetPosX(), c.RefX);
    EXPECT_EQ(ref->GetPosY(), c.RefY);
    EXPECT_EQ(ref->GetWidth(), 10);
    EXPECT_EQ(ref->GetHeight(), 6);
    EXPECT_EQ(V->LayersCurrent(), 1);

    TPXBitmap* base = V->Layers(0)->GetBitmap();
    ASSERT_EQ(base->Width(), c.CanvasW);
    ASSERT_EQ(base->Height(), c.CanvasH);
    ASSERT_EQ(base->PixelFormat(), px24RGB);
    const bool resized = c.CanvasW != 10 || c.CanvasH != 6;
    // A canvas that keeps its size gets no alpha channel; a changed one has the new area
    // transparent in the view's background colour.
    ASSERT_EQ(base->HasAlphaChannel(), resized);
    int32_t mismatches = 0;
    for (int32_t y = 0; y < c.CanvasH; ++y)
      for (int32_t x = 0; x < c.CanvasW; ++x) {
        const int32_t sx = x - c.PicX, sy = y - c.PicY;
        const bool inside = sx >= 0 && sx < 10 && sy >= 0 && sy < 6;
        const TRGB want = inside ? Distinct(sx, sy) : kViewBackgroundRgb;
        const uint8_t wantAlpha = inside ? 255 : 0;
        mismatches += !(base->GetPixelRGB(x, y) == want);
        if (resized) mismatches += base->GetAlpha(x, y) != wantAlpha;
      }
    EXPECT_EQ(mismatches, 0);

    if (!resized) {
      // Step 8 without alpha to flatten leaves layer 0 as it is.
      const std::vector<uint8_t> before = Pixels(base);
      FlattenBaseLayers(*V, clBlack, 1, false);
      EXPECT_EQ(Pixels(V->Layers(0)->GetBitmap()), before);
      EXPECT_FALSE(V->Layers(0)->GetBitmap()->HasAlphaChannel());
    }
  }
}

// Step 4 mirrors sideways for left and right, upside down otherwise, alpha with the colours.
TEST_F(ReflectPipelineTest, ReflectionIsTheMirroredPicture) {
  auto picture = MakePicture(10, 6, Distinct, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x * 20 + y); });
  auto S = NewSourceView(*picture);
  for (int32_t pos = 0; pos <= 4; ++pos) {
    SCOPED_TRACE(pos);
    auto V = NewDisplayView();
    CopyAndFlipReflection(*V, *S, pos, 1);
    TPXBitmap* ref = V->Layers(1)->GetBitmap();
    ASSERT_EQ(ref->Width(), 10);
    ASSERT_EQ(ref->Height(), 6);
    const bool sideways = pos == ReflectLeft || pos == ReflectRight;
    int32_t mismatches = 0;
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const int32_t sx = sideways ? 9 - x : x, sy = sideways ? y : 5 - y;
        mismatches += !(ref->GetPixelRGB(x, y) == Distinct(sx, sy));
        mismatches += ref->GetAlpha(x, y) != sx * 20 + sy;
      }
    EXPECT_EQ(mismatches, 0);
    // The source keeps its picture.
    EXPECT_TRUE(S->GetPXBitmap()->GetPixelRGB(0, 0) == Distinct(0, 0));
  }
  // Without a reflection layer nothing happens.
  auto V = NewDisplayView();
  const std::vector<uint8_t> before = Pixels(V->Layers(1)->GetBitmap());
  CopyAndFlipReflection(*V, *S, ReflectBottom, -1);
  CopyAndFlipReflection(*V, *S, ReflectBottom, 5);
  EXPECT_EQ(Pixels(V->Layers(1)->GetBitmap()), before);
}

TEST_F(ReflectPipelineTest, ColourModes) {
  // Grey: (21 R + 71 G + 8 B) div 100 in all three channels, still 24-bit.
  auto colours = MakePicture(3, 1, [](int32_t x, int32_t) {
    const TRGB c[] = {Rgb(255, 0, 0), Rgb(10, 200, 99), Rgb(255, 255, 255)};
    return c[x];
  });
  auto S = NewSourceView(*colours);
  auto V = NewDisplayView();
  CopyAndFlipReflection(*V, *S, ReflectRight, 1);
  ApplyColorMode(*V, ColorModeGray, 1);
  TPXBitmap* ref = V->Layers(1)->GetBitmap();
  ASSERT_EQ(ref->PixelFormat(), px24RGB);
  // Mirrored: white, (10, 200, 99), red.
  EXPECT_TRUE(ref->GetPixelRGB(0, 0) == Rgb(255, 255, 255));
  EXPECT_TRUE(ref->GetPixelRGB(1, 0) == Rgb(152, 152, 152));  // (210 + 14200 + 792) div 100
  EXPECT_TRUE(ref->GetPixelRGB(2, 0) == Rgb(53, 53, 53));     // 5355 div 100

  // Colour leaves the pixels alone.
  CopyAndFlipReflection(*V, *S, ReflectRight, 1);
  ApplyColorMode(*V, ColorModeColor, 1);
  EXPECT_TRUE(V->Layers(1)->GetBitmap()->GetPixelRGB(1, 0) == Rgb(10, 200, 99));

  // Black and white: 1 bit by an 8 x 8 ordered dither; grey 128 (level 32) is white in half of
  // the cells, grey 250 (level 62) in all but two, near-white 251 everywhere, grey 0 nowhere.
  for (const auto& [level, whites] : std::vector<std::pair<uint8_t, int32_t>>{{128, 32}, {250, 62}, {251, 64}, {0, 0}}) {
    SCOPED_TRACE(level);
    auto grey = MakePicture(8, 8, [level](int32_t, int32_t) { return Rgb(level, level, level); },
                            [](int32_t, int32_t) { return uint8_t{200}; });
    auto S8 = NewSourceView(*grey);
    auto V8 = NewDisplayView();
    CopyAndFlipReflection(*V8, *S8, ReflectBottom, 1);
    ApplyColorMode(*V8, ColorModeBlackWhite, 1);
    TPXBitmap* bw = V8->Layers(1)->GetBitmap();
    ASSERT_EQ(bw->PixelFormat(), px1g);
    int32_t white = 0;
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) {
        white += bw->GetPixelRGB(x, y) == Rgb(255, 255, 255);
        EXPECT_EQ(bw->GetAlpha(x, y), 200);  // the alpha channel stays
      }
    EXPECT_EQ(white, whites);
  }
}

TEST_F(ReflectPipelineTest, WaveRunsOnlyWhenSetAndWithAmplitudeAndLength) {
  auto picture = MakePicture(16, 12, Distinct);
  auto S = NewSourceView(*picture);
  struct Case {
    bool Wave;
    int32_t Amplitude, Length;
    bool Changes;
  } cases[] = {{false, 10, 30, false}, {true, 10, 30, true}, {true, 0, 30, false}, {true, 10, 0, false},
               {true, 3, 5, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Wave) + " " + std::to_string(c.Amplitude) + " " + std::to_string(c.Length));
    auto V = NewDisplayView();
    CopyAndFlipReflection(*V, *S, ReflectBottom, 1);
    const std::vector<uint8_t> before = Pixels(V->Layers(1)->GetBitmap());
    ApplyWave(*V, c.Amplitude, c.Length, c.Wave, 1, 0);
    EXPECT_EQ(Pixels(V->Layers(1)->GetBitmap()) != before, c.Changes);
  }
}

// The fade as pinned: one line of L = 100 pixels per test, opaque unless said otherwise.
class ReflectFadeTest : public ReflectPipelineTest {
 protected:
  // The alpha of each line after fading a 100-line reflection at Position.
  std::vector<int32_t> Fade(int32_t Position, int32_t A, int32_t B, int32_t Z, uint8_t Start = 255,
                            bool* FullAfter = nullptr) {
    const bool columns = Position == ReflectLeft || Position == ReflectRight;
    const int32_t w = columns ? 100 : 3, h = columns ? 3 : 100;
    auto picture = MakePicture(w, h, Distinct);
    if (Start != 255) picture->GetAlphaChannel()->Fill(Start);
    auto V = NewDisplayView();
    V->SetLayersCurrent(1);
    V->GetPXBitmap()->Assign(picture.get());
    FadeReflectionAlpha(*V, A, B, Z, Position);
    TPXBitmap* ref = V->GetPXBitmap();
    std::vector<int32_t> lines;
    for (int32_t i = 0; i < 100; ++i) {
      const int32_t x = columns ? i : 1, y = columns ? 1 : i;
      lines.push_back(ref->GetAlpha(x, y));
      // Every pixel of a line alike.
      EXPECT_EQ(ref->GetAlpha(columns ? i : 0, columns ? 0 : i), lines.back());
    }
    if (FullAfter) *FullAfter = ref->PeekAlphaChannel()->FFull != 0;
    return lines;
  }
};

TEST_F(ReflectFadeTest, LinearFromTheLineTouchingThePicture) {
  // Right: line 0 touches the picture. s = 2.55.
  std::vector<int32_t> right = Fade(ReflectRight, 255, 0, 100);
  EXPECT_EQ(right[0], 255);
  EXPECT_EQ(right[1], 252);
  EXPECT_EQ(right[2], 250);  // 249.9 rounded
  EXPECT_EQ(right[20], 204);
  EXPECT_EQ(right[99], 3);
  // Bottom is the same along rows; left and top count from the far end.
  EXPECT_EQ(Fade(ReflectBottom, 255, 0, 100), right);
  std::vector<int32_t> mirrored(right.rbegin(), right.rend());
  EXPECT_EQ(Fade(ReflectLeft, 255, 0, 100), mirrored);
  EXPECT_EQ(Fade(ReflectTop, 255, 0, 100), mirrored);
  // A partly transparent pixel loses the same 255 - h.
  std::vector<int32_t> half = Fade(ReflectRight, 255, 0, 100, 100);
  EXPECT_EQ(half[0], 100);
  EXPECT_EQ(half[1], 97);
  EXPECT_EQ(half[61], 0);  // h = 99.45 -> 99 loses 156
}

TEST_F(ReflectFadeTest, SizeKeepsLinesAsymmetrically) {
  auto kept = [](const std::vector<int32_t>& Lines) {
    int32_t n = 0;
    for (int32_t v : Lines) n += v != 0;
    return n;
  };
  // With equal ends every kept line has the same h.
  for (int32_t pos : {ReflectLeft, ReflectTop, ReflectRight, ReflectBottom}) {
    SCOPED_TRACE(pos);
    const bool far = pos == ReflectLeft || pos == ReflectTop;
    std::vector<int32_t> half = Fade(pos, 200, 200, 50);
    EXPECT_EQ(kept(half), far ? 50 : 51);
    for (int32_t i = 0; i < 100; ++i) {
      const bool keptLine = far ? i >= 50 : i <= 50;
      EXPECT_EQ(half[i], keptLine ? 200 : 0) << i;
    }
    // Size 0: nothing left at the left or top, the touching line at h = a at the right or bottom.
    std::vector<int32_t> none = Fade(pos, 180, 20, 0);
    EXPECT_EQ(kept(none), far ? 0 : 1);
    if (!far) {
      EXPECT_EQ(none[0], 180);
    }
    // Size 100 keeps all.
    EXPECT_EQ(kept(Fade(pos, 200, 200, 100)), 100);
  }
  // At the right and bottom the last kept line reaches b when z L / 100 is whole.
  std::vector<int32_t> z50 = Fade(ReflectRight, 255, 55, 50);
  EXPECT_EQ(z50[0], 255);
  EXPECT_EQ(z50[50], 55);
  EXPECT_EQ(z50[51], 0);
}

TEST_F(ReflectFadeTest, OpaqueMarkOfTheAlphaChannel) {
  bool full = true;
  // Nothing lowered: left, top and right keep the mark, bottom drops it regardless.
  for (int32_t pos : {ReflectLeft, ReflectTop, ReflectRight}) {
    Fade(pos, 255, 255, 100, 255, &full);
    EXPECT_TRUE(full) << pos;
  }
  Fade(ReflectBottom, 255, 255, 100, 255, &full);
  EXPECT_FALSE(full);
  Fade(ReflectTop, 255, 0, 100, 255, &full);
  EXPECT_FALSE(full);
  // No position: nothing at all.
  std::vector<int32_t> none = Fade(ReflectNone, 255, 0, 50);
  EXPECT_EQ(none, std::vector<int32_t>(100, 255));
}

TEST_F(ReflectPipelineTest, FlattenAlphaOnColorRule) {
  struct Case {
    TRGB Colour;
    uint8_t Alpha;
    TColor Background;
    TRGB Want;
  } cases[] = {
      {Rgb(255, 255, 255), 255, clBlack, Rgb(254, 254, 254)},  // above the background: one lower
      {Rgb(0, 0, 0), 255, clWhite, Rgb(0, 0, 0)},              // below it: unchanged
      {Rgb(0, 0, 0), 128, clWhite, Rgb(127, 127, 127)},        // floor(-127.5) = -128
      {Rgb(200, 10, 77), 0, 0x00FF8040, Rgb(0x40, 0x80, 0xFF)},
      {Rgb(200, 10, 77), 100, 0x00FF8040, Rgb(117, 81, 185)},  // 64 + 53, 128 - 47, 255 - 70
      {Rgb(212, 208, 200), 255, clBtnFace, Rgb(212, 208, 200)},  // a system colour resolved
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Alpha));
    auto b = MakePicture(2, 1, [&](int32_t, int32_t) { return c.Colour; }, [&](int32_t, int32_t) { return c.Alpha; });
    FlattenAlphaOnColor(*b, c.Background);
    EXPECT_TRUE(b->GetPixelRGB(1, 0) == c.Want) << int(b->GetPixelRGB(1, 0).r) << " " << int(b->GetPixelRGB(1, 0).g)
                                                << " " << int(b->GetPixelRGB(1, 0).b);
    EXPECT_EQ(b->GetAlpha(1, 0), c.Alpha);  // the alpha bytes stay
  }
  // Without alpha nothing changes (and none is made).
  auto plain = MakePicture(2, 1, [](int32_t, int32_t) { return Rgb(255, 255, 255); });
  FlattenAlphaOnColor(*plain, clBlack);
  EXPECT_TRUE(plain->GetPixelRGB(0, 0) == Rgb(255, 255, 255));
  EXPECT_FALSE(plain->HasAlphaChannel());
}

// Pictures the readers deliver in other formats, and the 1-bit reflection of black and white,
// are made 24-bit before they are flattened.
TEST_F(ReflectPipelineTest, OtherPixelFormatsAreFlattenedAs24Bit) {
  constexpr int32_t W = 13, H = 5;  // rows of odd length in every format
  auto make = [](TPXPixelFormat Format) {
    auto b = TPXBitmap::CreateAllocated(W, H, Format);
    if (Format == px8p) {
      b->SetPaletteColor(0, Rgb(0, 0, 0));
      b->SetPaletteColor(1, Rgb(255, 255, 255));
      b->SetPaletteUsed(2);
    }
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        const bool white = (x + y) % 2 == 0;
        switch (Format) {
          case px1g: {
            auto* row = static_cast<uint8_t*>(b->GetScanline(y));
            if (white) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            else row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
            break;
          }
          case px8p: b->SetPixel8(x, y, white ? 1 : 0); break;
          case px8g: b->SetPixel8(x, y, white ? 255 : 0); break;
          case px16g: b->SetPixel16(x, y, white ? 65535 : 0); break;
          case pxRGB48: b->SetPixel48(x, y, white ? TRGB48{65535, 65535, 65535} : TRGB48{0, 0, 0}); break;
          default: break;
        }
      }
    b->GetAlphaChannel()->Fill(128);
    return b;
  };
  const TPXPixelFormat formats[] = {px1g, px8p, px8g, px16g, pxRGB48};
  for (TPXPixelFormat f : formats) {
    SCOPED_TRACE(static_cast<int>(f));
    auto picture = make(f);
    ASSERT_EQ(picture->PixelFormat(), f);
    // Directly: white over a grey background (100) at A = 128 gives 177, black 50.
    auto direct = make(f);
    FlattenAlphaOnColor(*direct, 0x646464);
    ASSERT_EQ(direct->PixelFormat(), px24RGB);
    EXPECT_TRUE(direct->GetPixelRGB(0, 0) == Rgb(177, 177, 177));
    EXPECT_TRUE(direct->GetPixelRGB(1, 0) == Rgb(50, 50, 50));
    EXPECT_EQ(direct->GetAlpha(0, 0), 128);

    // Through the whole pipeline, colour and black and white, without alpha kept.
    for (int32_t mode : {ColorModeColor, ColorModeBlackWhite}) {
      auto S = NewSourceView(*picture);
      auto V = NewDisplayView();
      TReflectionParams p = Params(ReflectBottom, false);
      p.ColourMode = mode;
      p.Background = 0x646464;
      BuildReflection(*V, *S, p);
      TPXBitmap* base = V->Layers(0)->GetBitmap();
      TPXBitmap* ref = V->Layers(1)->GetBitmap();
      ASSERT_EQ(base->PixelFormat(), px24RGB);
      ASSERT_EQ(ref->PixelFormat(), px24RGB);
      EXPECT_TRUE(base->GetPixelRGB(0, 0) == Rgb(177, 177, 177));
      EXPECT_TRUE(base->GetPixelRGB(0, H) == Rgb(100, 100, 100));  // the new area: the background
      // The reflection's touching row (mirrored row H - 1) at A = 128, faded by h = 255.
      const TRGB want = ((0 + H - 1) % 2 == 0) ? Rgb(177, 177, 177) : Rgb(50, 50, 50);
      if (mode == ColorModeColor) {
        EXPECT_TRUE(ref->GetPixelRGB(0, 0) == want);
      }
      EXPECT_EQ(ref->GetAlpha(0, 0), 128);
    }
  }
}

TEST_F(ReflectPipelineTest, EnableAlphaChannelFollowsKeepAlpha) {
  auto picture = MakePicture(4, 3, [](int32_t, int32_t) { return Rgb(255, 255, 255); },
                             [](int32_t x, int32_t) { return static_cast<uint8_t>(x == 0 ? 0 : 255); });
  auto S = NewSourceView(*picture);
  for (bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    auto V = NewDisplayView();
    TReflectionParams p = Params(ReflectBottom, keep);
    p.Background = clBlack;
    BuildReflection(*V, *S, p);
    EXPECT_EQ(V->EnableAlphaChannel(), keep);
    TPXBitmap* base = V->Layers(0)->GetBitmap();
    TPXBitmap* ref = V->Layers(1)->GetBitmap();
    // Kept: the colours stay; removed: flattened onto black, the alpha bytes kept for the save.
    EXPECT_TRUE(base->GetPixelRGB(1, 0) == (keep ? Rgb(255, 255, 255) : Rgb(254, 254, 254)));
    EXPECT_TRUE(base->GetPixelRGB(0, 0) == (keep ? Rgb(255, 255, 255) : Rgb(0, 0, 0)));
    EXPECT_EQ(base->GetAlpha(0, 0), 0);
    EXPECT_EQ(base->GetAlpha(1, 0), 255);
    EXPECT_TRUE(ref->GetPixelRGB(1, 0) == (keep ? Rgb(255, 255, 255) : Rgb(254, 254, 254)));
    EXPECT_EQ(ref->GetAlpha(1, 0), 255);
  }
}

// The current layer after each handler's subset, with and without alpha kept.
TEST_F(ReflectPipelineTest, CurrentLayerAfterARun) {
  auto picture = MakePicture(6, 4, Distinct);
  auto S = NewSourceView(*picture);
  using Run = void (*)(TPixoran&, TPixoran&, const TReflectionParams&);
  struct Case {
    const char* Name;
    Run Steps;
    int32_t KeepCurrent, RemoveCurrent;
  } cases[] = {{"full", BuildReflection, 1, 1},
               {"track bar", RebuildReflectionLayer, 1, 1},
               {"spacing", RebuildForSpacing, 1, 0},
               {"background", RebuildForBackground, 1, 1}};
  for (const Case& c : cases) {
    for (bool keep : {true, false}) {
      SCOPED_TRACE(std::string(c.Name) + (keep ? " keep" : " remove"));
      auto V = NewDisplayView();
      BuildReflection(*V, *S, Params(ReflectLeft));
      V->SetLayersCurrent(0);
      c.Steps(*V, *S, Params(ReflectLeft, keep));
      EXPECT_EQ(V->LayersCurrent(), keep ? c.KeepCurrent : c.RemoveCurrent);
    }
  }
  // Without a reflection layer the full pipeline does nothing.
  auto V = NewDisplayView();
  TReflectionParams none = Params(ReflectLeft);
  none.R = -1;
  BuildReflection(*V, *S, none);
  EXPECT_TRUE(V->Layers(0)->GetBitmap()->Width() <= 1);
}

TEST_F(ReflectPipelineTest, SubsetsLeaveTheOtherLayer) {
  auto picture = MakePicture(8, 5, Distinct, [](int32_t x, int32_t) { return static_cast<uint8_t>(100 + x * 10); });
  auto S = NewSourceView(*picture);
  auto V = NewDisplayView();
  TReflectionParams p = Params(ReflectRight);
  p.ColourMode = ColorModeGray;
  BuildReflection(*V, *S, p);

  // A spacing change moves the reflection and rebuilds layer 0 but keeps the reflection's pixels
  // (still grey, though the colour mode now says colour).
  const std::vector<uint8_t> reflection = Pixels(V->Layers(1)->GetBitmap());
  p.Spacing = 7;
  p.ColourMode = ColorModeColor;
  RebuildForSpacing(*V, *S, p);
  EXPECT_EQ(Pixels(V->Layers(1)->GetBitmap()), reflection);
  EXPECT_EQ(V->Layers(1)->GetPosX(), 15);
  EXPECT_EQ(V->Layers(0)->GetBitmap()->Width(), 23);

  // A track-bar change rebuilds the reflection and leaves layer 0.
  V->Layers(0)->GetBitmap()->SetPixel24(0, 0, Rgb(1, 2, 3));
  const std::vector<uint8_t> base = Pixels(V->Layers(0)->GetBitmap());
  p.Size = 50;
  RebuildReflectionLayer(*V, *S, p);
  EXPECT_EQ(Pixels(V->Layers(0)->GetBitmap()), base);
  EXPECT_TRUE(V->Layers(1)->GetBitmap()->GetPixelRGB(0, 0) == Distinct(7, 0));  // colour again
  EXPECT_EQ(V->Layers(1)->GetBitmap()->GetAlpha(7, 0), 0);                       // faded away

  // Remove-alpha on and off again: flattened once, then the colours come back from the source.
  p.KeepAlpha = false;
  p.Background = clBlack;
  RebuildForBackground(*V, *S, p);
  RebuildForBackground(*V, *S, p);
  const TRGB c = Distinct(1, 0);
  auto flat = [](uint8_t v, int32_t a) { return static_cast<uint8_t>((v * a) >> 8); };
  EXPECT_TRUE(V->Layers(0)->GetBitmap()->GetPixelRGB(1, 0) == Rgb(flat(c.r, 110), flat(c.g, 110), flat(c.b, 110)));
  p.KeepAlpha = true;
  RebuildForBackground(*V, *S, p);
  EXPECT_TRUE(V->Layers(0)->GetBitmap()->GetPixelRGB(1, 0) == c);
}

// Black and white through the change handler equals the open path's 1-bit reflection.
TEST_F(ReflectPipelineTest, BlackAndWhiteByEitherPath) {
  auto picture = MakePicture(17, 9, Distinct, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x * 15 + y); });
  auto S = NewSourceView(*picture);
  for (bool wave : {false, true}) {
    SCOPED_TRACE(wave);
    TReflectionParams p = Params(ReflectTop);
    p.Wave = wave;
    p.Size = 70;
    auto changed = NewDisplayView();
    BuildReflection(*changed, *S, p);
    p.ColourMode = ColorModeBlackWhite;
    RebuildReflectionLayer(*changed, *S, p);
    auto opened = NewDisplayView();
    BuildReflection(*opened, *S, p);
    TPXBitmap* a = changed->Layers(1)->GetBitmap();
    TPXBitmap* b = opened->Layers(1)->GetBitmap();
    EXPECT_EQ(a->PixelFormat(), wave ? px8g : px1g);  // the wave works on bytes
    EXPECT_EQ(a->PixelFormat(), b->PixelFormat());
    EXPECT_EQ(Pixels(a), Pixels(b));
  }
}

// The reflection layer's complete state after an open and after option changes, pinned as a
// 64-bit FNV-1a hash of its format, size, colour and alpha bytes, the alpha's opaque mark and the
// view's alpha switch and current layer. Sizes with odd widths and heights exercise the
// sixteen-pixel loops' tails; sources with varied alpha, opaque alpha and none.
class ReflectPinnedTest : public ReflectPipelineTest {
 protected:
  static void Mix(uint64_t& H, const void* Data, size_t N) {
    const auto* p = static_cast<const uint8_t*>(Data);
    for (size_t i = 0; i < N; ++i) H = (H ^ p[i]) * 0x100000001B3ULL;
  }
  static void Mix(uint64_t& H, int64_t V) { Mix(H, &V, sizeof V); }

  static uint64_t StateHash(TPixoran& V, int32_t R) {
    uint64_t h = 0xCBF29CE484222325ULL;
    TPXBitmap* b = V.Layers(R)->GetBitmap();
    Mix(h, static_cast<int64_t>(b->PixelFormat()));
    Mix(h, b->Width());
    Mix(h, b->Height());
    const std::vector<uint8_t> px = Pixels(b);
    Mix(h, px.data(), px.size());
    Mix(h, b->HasAlphaChannel() ? b->PeekAlphaChannel()->FFull + 1 : 0);
    Mix(h, V.EnableAlphaChannel());
    Mix(h, V.LayersCurrent());
    return h;
  }
};

TEST_F(ReflectPinnedTest, ReflectionBytesArePinned) {
  enum AlphaKind { Varied, Opaque, NoAlpha };
  struct Case {
    int32_t W, H, Position, Size, A, B;
    AlphaKind Alpha;
    bool Keep;
    TColor Background;
    uint64_t Open, Change, Remove;  // after the open, a track-bar change, remove-alpha toggled
  } cases[] = {
      {37, 23, ReflectBottom, 80, 230, 10, Varied, true, 0xFFFFFF,
       0xC4C437FFCDC92248ULL, 0x3F2094352014D1AEULL, 0x98169D66CF31711AULL},
      {37, 23, ReflectBottom, 80, 230, 10, Varied, false, 0xFFFFFF,
       0xC6AEE4441123DD63ULL, 0x98169D66CF31711AULL, 0x3F2094352014D1AEULL},
      {37, 23, ReflectTop, 55, 255, 0, Varied, false, 0x302010,
       0x9B30782C61314134ULL, 0x7BE539BED7CAC66BULL, 0xB06789D53D312A2CULL},
      {37, 23, ReflectLeft, 37, 200, 90, Varied, true, 0x000000,
       0x0AD8FECB3CE81651ULL, 0x3901C79A548DF41FULL, 0xC1B93D1A5CEBD4D5ULL},
      {37, 23, ReflectRight, 100, 128, 128, Varied, false, 0x0000FF,
       0x123F8360192A4DC4ULL, 0xF1B4F0C206F97643ULL, 0x2984D4DA7BF9BE62ULL},
      {33, 17, ReflectRight, 100, 255, 255, Opaque, true, 0xFFFFFF,
       0x689ECA13021676FDULL, 0x768D3FD6E6E80895ULL, 0xCEC4ECFFBC582397ULL},
      {33, 17, ReflectTop, 100, 255, 255, Opaque, true, 0xFFFFFF,
       0x615FAF9CA28BA14DULL, 0xE338720B7BAAB214ULL, 0x9881BD516FF46704ULL},
      {33, 17, ReflectBottom, 0, 255, 0, Opaque, false, 0x808080,
       0xD0DBF12D050BB432ULL, 0xF4182DA7B95CDD2CULL, 0x2EB74440843D9E97ULL},
      {19, 40, ReflectLeft, 0, 180, 20, NoAlpha, true, 0xFFFFFF,
       0x2A62E3A2D6E451BAULL, 0x2A683459F577951AULL, 0x7F7C8AA7EF8FE13AULL},
      {19, 40, ReflectBottom, 64, 255, 0, NoAlpha, false, 0x00FF00,
       0x5EAFC3556EC152EFULL, 0x95CB8C4F4A1A5CCFULL, 0x6F7FFA8CBB21B2CEULL},
      {1, 1, ReflectRight, 50, 255, 0, Varied, false, 0xFFFFFF,
       0x55C7983C6CF134D1ULL, 0x55C7983C6CF134D1ULL, 0x28F9B4E95BBF54CFULL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " position " << c.Position << " size " << c.Size
                                    << " alpha " << c.Alpha << (c.Keep ? " keep" : " remove"));
    auto picture = MakePicture(c.W, c.H, Distinct);
    if (c.Alpha == Varied) {
      for (int32_t y = 0; y < c.H; ++y)
        for (int32_t x = 0; x < c.W; ++x) picture->SetAlpha(x, y, static_cast<uint8_t>((x * 29 + y * 13) % 7 == 0 ? 0 : x * 11 + y * 7));
    } else if (c.Alpha == Opaque) {
      picture->GetAlphaChannel()->Fill(255);
    }
    auto S = NewSourceView(*picture);
    auto V = NewDisplayView();
    TReflectionParams p = Params(c.Position, c.Keep);
    p.Size = c.Size;
    p.AlphaBegin = c.A;
    p.AlphaEnd = c.B;
    p.Background = c.Background;
    BuildReflection(*V, *S, p);
    const uint64_t open = StateHash(*V, 1);
    p.Size = c.Size == 100 ? 63 : c.Size + 7;
    RebuildReflectionLayer(*V, *S, p);
    const uint64_t change = StateHash(*V, 1);
    p.KeepAlpha = !p.KeepAlpha;
    RebuildForBackground(*V, *S, p);
    const uint64_t remove = StateHash(*V, 1);
    EXPECT_EQ(open, c.Open);
    EXPECT_EQ(change, c.Change);
    EXPECT_EQ(remove, c.Remove);
  }
}

// The undo copy a change stores is the reflection before the change: undoing brings it back,
// whichever way the reflection is mirrored and whether the alpha is kept or flattened.
TEST_F(ReflectPinnedTest, UndoBringsBackThePreviousReflection) {
  auto picture = MakePicture(21, 13, Distinct, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x * 12 + y); });
  auto S = NewSourceView(*picture);
  for (int32_t pos : {ReflectLeft, ReflectBottom}) {
    for (bool keep : {true, false}) {
      SCOPED_TRACE(testing::Message() << "position " << pos << (keep ? " keep" : " remove"));
      auto V = NewDisplayView();
      V->Proc()->SetAutoUndo(true);
      TReflectionParams p = Params(pos, keep);
      p.Size = 60;
      BuildReflection(*V, *S, p);
      const std::vector<uint8_t> before = Pixels(V->Layers(1)->GetBitmap());
      p.Size = 30;
      RebuildReflectionLayer(*V, *S, p);
      ASSERT_NE(Pixels(V->Layers(1)->GetBitmap()), before);
      ASSERT_TRUE(V->Proc()->CanUndo());
      V->Proc()->Undo(true);
      EXPECT_EQ(Pixels(V->Layers(1)->GetBitmap()), before);
    }
  }
}

}  // namespace
