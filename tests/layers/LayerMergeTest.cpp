// Merging, copying and swapping layers: BlendLayerPair against a straightforward reference of its
// arithmetic and against Pillow's alpha_composite, the layers left untouched on every path,
// Assign between layers and SwapLayerContents.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers.h"
#include "tests/common/PillowComposite.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

// A picture as plain arrays; Alpha empty: no alpha channel.
struct Pic {
  int32_t W = 0, H = 0;
  std::vector<TRGB> Px;
  std::vector<uint8_t> Alpha;
  TRGB At(int32_t X, int32_t Y) const { return Px[static_cast<size_t>(Y) * W + X]; }
  int32_t AlphaAt(int32_t X, int32_t Y) const { return Alpha.empty() ? 255 : Alpha[static_cast<size_t>(Y) * W + X]; }
};

// Random pixels; the alpha favours 0 and 255 as real pictures do, with Runs in runs of up to 40
// equal kinds (whole opaque or clear stretches).
Pic RandomPic(std::mt19937& Rng, int32_t W, int32_t H, bool WithAlpha, bool Runs = false) {
  Pic p;
  p.W = W;
  p.H = H;
  std::uniform_int_distribution<int> byte(0, 255), pick(0, 3), runLength(1, 40);
  for (int32_t i = 0; i < W * H; ++i)
    p.Px.push_back(TRGB{uint8_t(byte(Rng)), uint8_t(byte(Rng)), uint8_t(byte(Rng))});
  int k = 0, run = 0;
  if (WithAlpha)
    for (int32_t i = 0; i < W * H; ++i) {
      if (!Runs || --run <= 0) {
        k = pick(Rng);
        run = runLength(Rng);
      }
      p.Alpha.push_back(uint8_t(k == 0 ? 0 : k == 1 ? 255 : byte(Rng)));
    }
  return p;
}

std::unique_ptr<TPXBitmap> ToBitmap(const Pic& P) {
  auto bmp = TPXBitmap::CreateAllocated(P.W, P.H, px24RGB);
  for (int32_t y = 0; y < P.H; ++y)
    std::memcpy(bmp->Scanline(y), &P.Px[static_cast<size_t>(y) * P.W], static_cast<size_t>(P.W) * 3);
  if (!P.Alpha.empty()) {
    TPXBitmap* a = bmp->GetAlphaChannel();
    for (int32_t y = 0; y < P.H; ++y)
      std::memcpy(a->Scanline(y), &P.Alpha[static_cast<size_t>(y) * P.W], static_cast<size_t>(P.W));
    a->UpdateFull();
  }
  bmp->SetModified(false);
  return bmp;
}

Pic FromBitmap(TPXBitmap* B) {
  Pic p;
  p.W = B->Width();
  p.H = B->Height();
  for (int32_t y = 0; y < p.H; ++y) {
    const auto* row = reinterpret_cast<const TRGB*>(B->Scanline(y));
    p.Px.insert(p.Px.end(), row, row + p.W);
  }
  if (B->HasAlphaChannel())
    for (int32_t y = 0; y < p.H; ++y) {
      const uint8_t* row = B->GetAlphaChannel()->Scanline(y);
      p.Alpha.insert(p.Alpha.end(), row, row + p.W);
    }
  return p;
}

// One layer's part in the reference.
struct Side {
  const Pic* P = nullptr;
  int32_t X = 0, Y = 0;
  bool Visible = true;
  int32_t Transparency = 255;
  double Opacity = 1.0;
  bool Covers(int32_t Col) const { return Col >= 0 && Col < P->W; }
  bool HasRow(int32_t Row) const { return Row >= 0 && Row < P->H; }
  int32_t AlphaValue(int32_t Col, int32_t Row) const {
    if (!HasRow(Row)) return 0;
    if (!Visible) return 0;
    return P->AlphaAt(Col, Row);
  }
};

// The merge written out pixel by pixel, with doubles, as the operation is defined (no cropping;
// positions already non-negative with one of them at 0).
Pic Reference(const Side& A, const Side& B, const Side* M, uint8_t Operation, TRGB Background) {
  Pic out;
  const int32_t left = std::min(A.X, B.X), top = std::min(A.Y, B.Y);
  out.W = std::max(A.X + A.P->W, B.X + B.P->W) - left;
  out.H = std::max(A.Y + A.P->H, B.Y + B.P->H) - top;
  for (int32_t y = top; y < top + out.H; ++y)
    for (int32_t x = left; x < left + out.W; ++x) {
      const int32_t ac = x - A.X, ar = y - A.Y, bc = x - B.X, br = y - B.Y;
      const TRGB ap = A.HasRow(ar) && A.Covers(ac) ? A.P->At(ac, ar) : Background;
      const TRGB bp = B.HasRow(br) && B.Covers(bc) ? B.P->At(bc, br) : Background;
      const int32_t av = A.Covers(ac) ? A.AlphaValue(ac, ar) : 0;
      int32_t bv = B.Covers(bc) ? B.AlphaValue(bc, br) : 0;
      bool outsideMask = false;
      if (M) {
        const int32_t mc = x - M->X, mr = y - M->Y;
        if (M->Covers(mc) && M->HasRow(mr)) bv = std::min<int32_t>(bv, M->P->At(mc, mr).r);
        else outsideMask = true;
      }
      TRGB o;
      int32_t alpha = 0;
      if (A.Covers(ac) && B.Covers(bc)) {
        const double alphaA = std::min(av, A.Transparency) / 255.0 * A.Opacity;
        const double alphaB = outsideMask ? 0 : std::min(bv, B.Transparency) / 255.0 * B.Opacity;
        const double rest = (1 - alphaB) * alphaA, total = alphaB + rest;
        TRGB c = bp;
        if (Operation != 0) {
          c = ap;
          CombinePixels(bp, c, static_cast<TPXBlendOperation>(Operation), y);
        }
        o = c;
        if (total != 0) {
          o.r = ClampByte(int32_t(Round((c.r * alphaB + ap.r * rest) / total)));
          o.g = ClampByte(int32_t(Round((c.g * alphaB + ap.g * rest) / total)));
          o.b = ClampByte(int32_t(Round((c.b * alphaB + ap.b * rest) / total)));
        }
        alpha = ClampInt(int32_t(Round(total * 255)), 0, 255);
      } else if (A.Covers(ac)) {
        o = ap;
        alpha = int32_t(Trunc(std::min(av, A.Transparency) * A.Opacity));
      } else if (B.Covers(bc)) {
        o = bp;
        alpha = outsideMask ? 0 : int32_t(Trunc(std::min(bv, B.Transparency) * B.Opacity));
      } else {
        o = Background;
      }
      out.Px.push_back(o);
      out.Alpha.push_back(uint8_t(ClampInt(alpha, 0, 255)));
    }
  return out;
}

void ExpectSame(const Pic& Got, const Pic& Want) {
  ASSERT_EQ(Got.W, Want.W);
  ASSERT_EQ(Got.H, Want.H);
  int bad = 0;
  for (int32_t y = 0; y < Want.H && bad < 5; ++y)
    for (int32_t x = 0; x < Want.W && bad < 5; ++x) {
      const TRGB g = Got.At(x, y), w = Want.At(x, y);
      if (g == w && Got.AlphaAt(x, y) == Want.AlphaAt(x, y)) continue;
      ++bad;
      ADD_FAILURE() << "at " << x << "," << y << " got " << int(g.r) << "/" << int(g.g) << "/" << int(g.b) << " a "
                    << Got.AlphaAt(x, y) << ", want " << int(w.r) << "/" << int(w.g) << "/" << int(w.b) << " a "
                    << Want.AlphaAt(x, y);
    }
}

class LayerMergeTest : public ::testing::Test {
 protected:
  FakeLayerOwner owner;
  std::mt19937 rng{20261210};

  TPXImageLayer* Layer(const Pic& P, int32_t X = 0, int32_t Y = 0) {
    auto* l = owner.Add(std::make_unique<TPXImageLayer>(&owner, ToBitmap(P)));
    l->SetPosX(X);
    l->SetPosY(Y);
    return l;
  }
  // The options of the formula tests: background 0x204060 and, WithMask, a grey random mask
  // layer of W x H at X, Y whose picture goes into Pm.
  TPXBlendLayerOptions MaskOptions(bool WithMask, Pic& Pm, int32_t W, int32_t H, int32_t X, int32_t Y) {
    TPXBlendLayerOptions options;
    options.Background = TColor(0x204060);
    if (WithMask) {
      Pm = RandomPic(rng, W, H, false);
      for (TRGB& px : Pm.Px) px.g = px.b = px.r;  // grey: the mask value is any channel
      options.Mask = Layer(Pm, X, Y);
    }
    return options;
  }
  TPXImageLayer* Solid(int32_t W, int32_t H, TRGB C, int32_t X = 0, int32_t Y = 0) {
    Pic p;
    p.W = W;
    p.H = H;
    p.Px.assign(static_cast<size_t>(W) * H, C);
    return Layer(p, X, Y);
  }
};

// ---------------------------------------------------------------------------------------------
// The arithmetic

// Every path (opaque A, integer weights, fractional opacity, masks, blend operations) gives
// exactly what the formula written out with doubles gives.
TEST_F(LayerMergeTest, EqualsTheFormulaOverManyRandomPixels) {
  struct Case {
    bool AlphaA, AlphaB;
    int32_t TransA, TransB;
    double OpacityA, OpacityB;
    uint8_t Operation;
    bool WithMask, InvisibleA;
    bool Runs = false;
  };
  const Case cases[] = {
      {false, true, 255, 255, 1.0, 1.0, 0, false, false},   // A opaque: the byte kernel
      {false, true, 255, 255, 1.0, 1.0, 0, false, false, true},  // ... with opaque and clear runs
      {false, true, 255, 200, 1.0, 1.0, 0, true, false, true},   // ... limited by T and a mask
      {true, true, 255, 255, 1.0, 1.0, 0, false, false},    // integer weights with exact halves
      {true, true, 200, 90, 1.0, 1.0, 0, false, false},     // Transparency limits
      {true, true, 255, 255, 0.5, 0.7, 0, false, false},    // opacity: the double formula
      {true, false, 255, 300, 0.3, 1.0, 0, false, false},   // Transparency beyond a byte
      {true, true, 255, 255, 1.0, 1.0, 1, false, false},    // Add
      {false, true, 255, 128, 1.0, 1.0, 15, false, false},  // Hard light over opaque A
      {true, true, 255, 255, 1.0, 1.0, 0, true, false},     // mask
      {true, true, 180, 255, 0.8, 1.0, 0, true, false},     // mask with opacity
      {true, true, 255, 255, 1.0, 1.0, 0, false, true},     // invisible A
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case op " << int(c.Operation) << " opacity " << c.OpacityA << "/"
                                    << c.OpacityB << " mask " << c.WithMask);
    owner.Layers.clear();
    const Pic pa = RandomPic(rng, 97, 61, c.AlphaA), pb = RandomPic(rng, 83, 70, c.AlphaB, c.Runs);
    TPXImageLayer* a = Layer(pa, 0, 5);
    TPXImageLayer* b = Layer(pb, 30, 0);
    a->SetTransparency(c.TransA);
    a->SetOpacity(c.OpacityA);
    a->SetVisible(!c.InvisibleA);
    b->SetTransparency(c.TransB);
    b->SetOpacity(c.OpacityB);
    b->SetOperation(c.Operation);
    Pic pm;
    const TPXBlendLayerOptions options = MaskOptions(c.WithMask, pm, 40, 30, 50, 20);
    TPXBitmap dest;
    BlendLayerPair(a, b, &dest, options);

    const Side sa{&pa, 0, 5, !c.InvisibleA, c.TransA, c.OpacityA};
    const Side sb{&pb, 30, 0, true, c.TransB, c.OpacityB};
    const Side sm{&pm, 50, 20};
    ExpectSame(FromBitmap(&dest), Reference(sa, sb, c.WithMask ? &sm : nullptr, c.Operation, TRGB{0x20, 0x40, 0x60}));
  }
}

// A's own picture as Dest: in place where the result has A's box (B inside it), through a
// scratch picture otherwise; the result is the formula's either way, and B is left alone.
TEST_F(LayerMergeTest, IntoAsOwnPictureEqualsTheFormula) {
  struct Case {
    bool AlphaA, Runs;
    double OpacityB;
    uint8_t Operation;
    bool WithMask;
    int32_t BX, BY;  // B's place: inside A's box, or reaching past it
  };
  const Case cases[] = {
      {false, true, 1.0, 0, false, 10, 4},  {true, true, 1.0, 0, false, 10, 4},  {false, false, 1.0, 0, true, 3, 2},
      {true, false, 0.6, 0, false, 10, 4},  {false, false, 1.0, 15, false, 0, 0}, {true, true, 1.0, 0, false, 50, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "alpha " << c.AlphaA << " at " << c.BX << "," << c.BY);
    owner.Layers.clear();
    const Pic pa = RandomPic(rng, 97, 61, c.AlphaA), pb = RandomPic(rng, 70, 50, true, c.Runs);
    TPXImageLayer* a = Layer(pa);
    TPXImageLayer* b = Layer(pb, c.BX, c.BY);
    b->SetOpacity(c.OpacityB);
    b->SetOperation(c.Operation);
    Pic pm;
    const TPXBlendLayerOptions options = MaskOptions(c.WithMask, pm, 60, 40, 5, 3);
    BlendLayerPair(a, b, a->Bitmap(), options);
    const Side sa{&pa};
    const Side sb{&pb, c.BX, c.BY, true, 255, c.OpacityB};
    const Side sm{&pm, 5, 3};
    ExpectSame(FromBitmap(a->Bitmap()),
               Reference(sa, sb, c.WithMask ? &sm : nullptr, c.Operation, TRGB{0x20, 0x40, 0x60}));
    ExpectSame(FromBitmap(b->Bitmap()), pb);
  }
}

// The integer fast path over every pair of alpha values and many colours, against the formula.
TEST_F(LayerMergeTest, IntegerWeightsMatchTheFormulaForEveryAlphaPair) {
  Pic pa, pb;
  pa.W = pb.W = 256;
  pa.H = pb.H = 256;
  std::uniform_int_distribution<int> byte(0, 255);
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) {
      pa.Px.push_back(TRGB{uint8_t(byte(rng)), uint8_t(x), uint8_t(y)});
      pb.Px.push_back(TRGB{uint8_t(byte(rng)), uint8_t(255 - y), uint8_t(byte(rng))});
      pa.Alpha.push_back(uint8_t(x));
      pb.Alpha.push_back(uint8_t(y));
    }
  TPXImageLayer* a = Layer(pa);
  TPXImageLayer* b = Layer(pb);
  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, {});
  ExpectSame(FromBitmap(&dest), Reference(Side{&pa}, Side{&pb}, nullptr, 0, TRGB{}));

  // Over an opaque A (the vectorised path): every weight of B in every column against channel
  // values that sweep all pairs of extremes and middles, into a new picture and in place.
  pa.Alpha.clear();
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) {
      const size_t i = static_cast<size_t>(y) * 256 + x;
      pa.Px[i] = TRGB{uint8_t(y), uint8_t(255 - y), uint8_t(byte(rng))};
      pb.Px[i] = TRGB{uint8_t(255 - (y * 7 & 255)), uint8_t(y * 7), uint8_t(byte(rng))};
      pb.Alpha[i] = uint8_t(x);
    }
  owner.Layers.clear();
  a = Layer(pa);
  b = Layer(pb);
  const Pic expected = Reference(Side{&pa}, Side{&pb}, nullptr, 0, TRGB{});
  BlendLayerPair(a, b, &dest, {});
  ExpectSame(FromBitmap(&dest), expected);
  BlendLayerPair(a, b, a->Bitmap(), {});
  ExpectSame(FromBitmap(a->Bitmap()), expected);
}

// ---------------------------------------------------------------------------------------------
// Behaviour

TEST_F(LayerMergeTest, OpaqueBReplacesAAndLeavesNoAlphaChannel) {
  TPXImageLayer* a = Solid(10, 8, TRGB{1, 2, 3});
  TPXImageLayer* b = Solid(4, 3, TRGB{200, 100, 50}, 2, 2);
  TPXBitmap dest;
  dest.GetAlphaChannel();  // a leftover alpha channel goes too
  BlendLayerPair(a, b, &dest, {});
  ASSERT_EQ(dest.Width(), 10);
  ASSERT_EQ(dest.Height(), 8);
  EXPECT_EQ(dest.PixelFormat(), px24RGB);
  EXPECT_FALSE(dest.HasAlphaChannel());
  EXPECT_EQ(dest.GetPixelRGB(3, 3), (TRGB{200, 100, 50}));
  EXPECT_EQ(dest.GetPixelRGB(6, 3), (TRGB{1, 2, 3}));
}

TEST_F(LayerMergeTest, HalfOpacityAveragesHalfToEven) {
  TPXImageLayer* a = Solid(2, 1, TRGB{10, 10, 10});
  Pic pb;
  pb.W = 2;
  pb.H = 1;
  pb.Px = {TRGB{13, 15, 11}, TRGB{14, 16, 10}};  // 11.5 -> 12, 12.5 -> 12, 10.5 -> 10
  TPXImageLayer* b = Layer(pb);
  b->SetOpacity(0.5);
  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, {});
  EXPECT_EQ(dest.GetPixelRGB(0, 0), (TRGB{12, 12, 10}));
  EXPECT_EQ(dest.GetPixelRGB(1, 0), (TRGB{12, 13, 10}));
  EXPECT_FALSE(dest.HasAlphaChannel());  // alpha 255 throughout
}

TEST_F(LayerMergeTest, InvisibleBLeavesAAndUncoveredAreasTakeTheBackground) {
  const Pic pa = RandomPic(rng, 6, 5, true);
  TPXImageLayer* a = Layer(pa, 0, 0);
  TPXImageLayer* b = Solid(3, 3, TRGB{9, 9, 9}, 8, 4);
  b->SetVisible(false);
  TPXBlendLayerOptions options;
  options.Background = TColor(0x0000FF);  // red
  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, options);
  ASSERT_EQ(dest.Width(), 11);
  ASSERT_EQ(dest.Height(), 7);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      EXPECT_EQ(dest.GetPixelRGB(x, y), pa.At(x, y));
      EXPECT_EQ(dest.GetAlpha(x, y), pa.AlphaAt(x, y));
    }
  EXPECT_EQ(dest.GetPixelRGB(7, 1), (TRGB{0, 0, 255}));  // neither covers
  EXPECT_EQ(dest.GetAlpha(7, 1), 0);
  EXPECT_EQ(dest.GetAlpha(9, 5), 0);  // the invisible B alone
}

TEST_F(LayerMergeTest, CroppedBIsCutToLayerZeroUnlessIgnored) {
  TPXImageLayer* a = Solid(10, 10, TRGB{1, 1, 1}, 0, 0);
  TPXImageLayer* b = Solid(6, 6, TRGB{2, 2, 2}, -3, 7);
  b->SetCropped(true);
  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, {});
  EXPECT_EQ(dest.Width(), 10);
  EXPECT_EQ(dest.Height(), 10);
  EXPECT_EQ(dest.GetPixelRGB(0, 9), (TRGB{2, 2, 2}));
  EXPECT_EQ(dest.GetPixelRGB(3, 6), (TRGB{1, 1, 1}));

  TPXBlendLayerOptions ignore;
  ignore.IgnoreCropped = true;
  BlendLayerPair(a, b, &dest, ignore);
  EXPECT_EQ(dest.Width(), 13);
  EXPECT_EQ(dest.Height(), 13);
  EXPECT_EQ(dest.GetPixelRGB(0, 12), (TRGB{2, 2, 2}));
  EXPECT_EQ(dest.GetPixelRGB(3, 0), (TRGB{1, 1, 1}));
  EXPECT_EQ(dest.GetAlpha(0, 0), 0);
}

TEST_F(LayerMergeTest, ASmallerMaskLetsOnlyBUnderItThrough) {
  TPXImageLayer* a = Solid(8, 8, TRGB{10, 10, 10});
  TPXImageLayer* b = Solid(8, 8, TRGB{250, 250, 250});
  TPXImageLayer* m = Solid(2, 2, TRGB{255, 255, 255}, 3, 3);
  // The mask's bitmap is 1 x 1 grey, stretched to its 2 x 2 box.
  m->Bitmap()->Allocate(1, 1, px24RGB);
  m->Bitmap()->SetPixel24(0, 0, TRGB{255, 255, 255});
  m->SetWidth(2);
  m->SetHeight(2);
  TPXBlendLayerOptions options;
  options.Mask = m;
  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, options);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool under = x >= 3 && x < 5 && y >= 3 && y < 5;
      EXPECT_EQ(dest.GetPixelRGB(x, y).g, under ? 250 : 10) << x << "," << y;
    }
}

// The layers keep format, pixels, alpha and modified flag whatever the merge did to its copies,
// also when it ends in an exception.
TEST_F(LayerMergeTest, LayersKeepTheirPicturesOnEveryPath) {
  auto deep = TPXBitmap::CreateAllocated(5, 4, pxRGB48);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x)
      deep->SetPixel48(x, y, TRGB48{uint16_t(x * 1001 + 7), uint16_t(y * 3001 + 5), uint16_t(x * y * 777 + 1)});
  deep->SetModified(false);
  TPXImageLayer* a = owner.Add(std::make_unique<TPXImageLayer>(&owner, std::move(deep)));
  const Pic pb = RandomPic(rng, 6, 6, true);
  TPXImageLayer* b = Layer(pb, 1, 1);
  // Resampled, bordered, feathered and shadowed on the way.
  b->SetWidth(9);
  b->SetHeight(7);
  b->SetBorderColor(TColor(0x00FF00));
  b->SetBorderWidth(2);
  b->SetAlphaEdgeFeathering(2);
  b->SoftShadow()->Enabled = 1;
  b->Bitmap()->SetModified(false);

  auto snapshot = [](TPXImageLayer* L) {
    TPXBitmap* bmp = L->Bitmap();
    std::string s = std::to_string(int(bmp->PixelFormat())) + "/" + std::to_string(bmp->Modified()) + "/";
    for (int32_t y = 0; y < bmp->Height(); ++y)
      s.append(reinterpret_cast<const char*>(bmp->Scanline(y)), static_cast<size_t>(bmp->RowLen()));
    if (bmp->HasAlphaChannel())
      for (int32_t y = 0; y < bmp->Height(); ++y)
        s.append(reinterpret_cast<const char*>(bmp->GetAlphaChannel()->Scanline(y)), static_cast<size_t>(bmp->Width()));
    return s;
  };
  const std::string beforeA = snapshot(a), beforeB = snapshot(b);

  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, {});
  EXPECT_GT(dest.Width(), 9);  // the shadow grew B
  EXPECT_EQ(a->Bitmap()->PixelFormat(), pxRGB48);
  EXPECT_EQ(snapshot(a), beforeA);
  EXPECT_EQ(snapshot(b), beforeB);
  // A's 16-bit pixels read through their high bytes.
  TPXImageLayer* hidden = Solid(1, 1, TRGB{});
  hidden->SetVisible(false);
  BlendLayerPair(a, hidden, &dest, {});
  const TRGB48 p = a->Bitmap()->GetPixel48(4, 3);
  EXPECT_EQ(dest.GetPixelRGB(4, 3), (TRGB{uint8_t(p.b >> 8), uint8_t(p.g >> 8), uint8_t(p.r >> 8)}));
  EXPECT_EQ(snapshot(a), beforeA);

  b->SetPosX(0x7FFFFFF0);  // an output box beyond any picture
  EXPECT_THROW(BlendLayerPair(a, b, &dest, {}), EPXException);
  EXPECT_EQ(snapshot(a), beforeA);
  EXPECT_EQ(snapshot(b), beforeB);
}

TEST_F(LayerMergeTest, OtherKindsMergeThroughARenderedCopy) {
  TPXImageLayer* a = Solid(6, 6, TRGB{5, 5, 5});
  auto* other = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  other->SetWidth(4);
  other->SetHeight(4);
  TPXBitmap dest;
  BlendLayerPair(a, other, &dest, {});  // renders nothing: A alone
  EXPECT_FALSE(other->RenderModes.empty());
  EXPECT_EQ(dest.Width(), 6);
  EXPECT_EQ(dest.GetPixelRGB(2, 2), (TRGB{5, 5, 5}));
}

// ---------------------------------------------------------------------------------------------
// Pillow's alpha_composite of the same two RGBA pictures

TEST_F(LayerMergeTest, AgreesWithPillowAlphaComposite) {
  TestTempDir dir;
  const std::string want = PillowAlphaComposite(dir, 61, 37, 7, 2);
  if (want.empty()) GTEST_SKIP() << "Pillow is not available";
  ASSERT_EQ(want.size(), 61u * 37u * 4u);

  auto load = [&](const char* Name) {
    auto bmp = std::make_unique<TPXBitmap>();
    auto io = TPixoranIO::CreateForBitmap(bmp.get());
    EXPECT_TRUE(io->LoadFromFilePng(dir.File(Name)));
    return owner.Add(std::make_unique<TPXImageLayer>(&owner, std::move(bmp)));
  };
  TPXImageLayer* a = load("a.png");
  TPXImageLayer* b = load("b.png");
  TPXBitmap dest;
  BlendLayerPair(a, b, &dest, {});
  ASSERT_EQ(dest.Width(), 61);
  ASSERT_EQ(dest.Height(), 37);
  const int worst = WorstRgbaDifference(dest, want);
  EXPECT_LE(worst, 1);
}

// ---------------------------------------------------------------------------------------------
// Assign and SwapLayerContents

TEST_F(LayerMergeTest, AssignCopiesPixelsAndPropertiesButNotIdentity) {
  const Pic ps = RandomPic(rng, 7, 5, true);
  TPXImageLayer* s = Layer(ps, 3, 4);
  s->SetName("source");
  s->SetTag(11);
  s->SetOpacity(0.25);
  s->SetRotate(30);
  s->SetGroupIndex(0);
  s->SetMagnifierZoom(3.5);
  s->SetImageResampleFilter(rfLanczos3);
  s->SetImageUseResampleFilter(true);
  s->SoftShadow()->Enabled = 1;
  s->SoftShadow()->Radius = 7;
  const uint8_t data[] = {1, 2, 3};
  s->SetUserData(data, 3);
  s->Bitmap()->SetHasParams(true);
  s->Bitmap()->GetParams()->DpiX = 72;

  TPXImageLayer* t = Solid(2, 2, TRGB{1, 1, 1});
  t->SetTag(22);
  t->SetUserData(data, 2);
  t->Bitmap()->SetHasParams(true);
  t->Bitmap()->GetParams()->DpiX = 150;
  const TGUID guid = t->GUID();
  owner.ClearRecords();

  t->Assign(s);
  EXPECT_EQ(FromBitmap(t->Bitmap()).Px, ps.Px);
  EXPECT_EQ(FromBitmap(t->Bitmap()).Alpha, ps.Alpha);
  EXPECT_EQ(t->Bitmap()->GetParams()->DpiX, 150);
  EXPECT_EQ(t->GetPosX(), 3);
  EXPECT_EQ(t->GetPosY(), 4);
  EXPECT_EQ(t->Name(), "source");
  EXPECT_EQ(t->Opacity(), 0.25);
  EXPECT_EQ(t->Rotate(), 30);
  EXPECT_EQ(t->MagnifierZoom(), 3.5);
  EXPECT_EQ(t->ImageResampleFilter(), rfLanczos3);
  EXPECT_TRUE(t->ImageUseResampleFilter());
  EXPECT_TRUE(t->SoftShadow()->Enabled);
  EXPECT_EQ(t->SoftShadow()->Radius, 7);
  EXPECT_EQ(t->Tag(), 22);
  EXPECT_TRUE(t->GUID() == guid);
  EXPECT_EQ(t->UserDataLen(), 0);
  EXPECT_EQ(owner.ImageChanges.size(), 1u);

  // From another kind only the common properties pass; the picture stays.
  auto* other = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  other->SetName("shape");
  other->SetPosXD(9);
  t->Assign(other);
  EXPECT_EQ(t->Name(), "shape");
  EXPECT_EQ(t->GetPosX(), 9);
  EXPECT_EQ(t->Bitmap()->Width(), 7);
  EXPECT_EQ(t->Kind(), pxlkImage);
}

TEST_F(LayerMergeTest, SwapHandsOverTheStorageAndRepointsTheCurrentPicture) {
  TPXImageLayer* l = Solid(3, 3, TRGB{1, 1, 1});
  const Pic pr = RandomPic(rng, 5, 4, true);
  TPXImageLayer* r = Layer(pr, 2, 2);
  l->SetName("left");
  r->SetName("right");
  r->SetTag(5);
  r->SetMagnifierEnabled(true);
  const TGUID gl = l->GUID(), gr = r->GUID();
  TPXBitmap* lBitmap = l->Bitmap();
  owner.Picture = r->Bitmap();

  SwapLayerContents(l, r);
  EXPECT_EQ(l->Bitmap(), lBitmap);  // the object stays, the storage moved
  EXPECT_EQ(FromBitmap(l->Bitmap()).Px, pr.Px);
  EXPECT_EQ(FromBitmap(l->Bitmap()).Alpha, pr.Alpha);
  EXPECT_TRUE(r->Bitmap()->IsEmpty());
  EXPECT_EQ(owner.Picture, l->Bitmap());
  EXPECT_TRUE(l->GUID() == gr);
  EXPECT_TRUE(r->GUID() == gl);
  EXPECT_EQ(l->Name(), "right");
  EXPECT_EQ(r->Name(), "left");
  EXPECT_EQ(l->Tag(), 5);
  EXPECT_EQ(l->GetPosX(), 2);
  EXPECT_TRUE(l->MagnifierEnabled());
  EXPECT_FALSE(r->MagnifierEnabled());
}

TEST_F(LayerMergeTest, SwapOfDifferentKindsRaisesAndChangesNothing) {
  TPXImageLayer* l = Solid(3, 3, TRGB{1, 1, 1});
  auto* r = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  l->SetName("image");
  r->SetName("shape");
  const TGUID gl = l->GUID();
  EXPECT_EQ(MessageOf<EPXException>([&] { SwapLayerContents(l, r); }), "Layers must be of same type");
  EXPECT_EQ(l->Name(), "image");
  EXPECT_EQ(r->Name(), "shape");
  EXPECT_TRUE(l->GUID() == gl);
  EXPECT_EQ(l->Bitmap()->Width(), 3);
}

// A layer over a bitmap lent to it (as the view lends its picture).
class BorrowingImageLayer : public TPXImageLayer {
 public:
  BorrowingImageLayer(IPXLayerOwner* Owner, TPXBitmap* Bitmap)
      : TPXImageLayer(Owner, std::unique_ptr<TPXBitmap>(Bitmap)) {
    FOwnsBitmap = 0;
  }
};

// A layer over a lent bitmap keeps not owning it, so nothing is freed twice.
TEST_F(LayerMergeTest, SwapKeepsBitmapOwnershipWithTheBitmap) {
  TPXBitmap lent;
  lent.Allocate(2, 2, px24RGB);
  {
    BorrowingImageLayer l(&owner, &lent);
    TPXImageLayer* r = Solid(4, 4, TRGB{7, 7, 7});
    SwapLayerContents(&l, r);
    EXPECT_FALSE(l.OwnsBitmap());
    EXPECT_TRUE(r->OwnsBitmap());
  }
  EXPECT_EQ(lent.Width(), 4);
  EXPECT_EQ(lent.GetPixelRGB(3, 3), (TRGB{7, 7, 7}));
}

}  // namespace
