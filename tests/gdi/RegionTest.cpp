// Regions: arithmetic, the region-data layout, painting and clipping.
#include <cstring>

#include "tests/gdi/GdiTestSupport.h"

namespace {

std::vector<TRect> RectsOf(HRGN rgn) {
  const DWORD n = GetRegionData(rgn, 0, nullptr);
  std::vector<uint8_t> buf(n);
  if (!n || GetRegionData(rgn, n, reinterpret_cast<RGNDATA*>(buf.data())) != n) return {};
  RGNDATAHEADER h;
  std::memcpy(static_cast<void*>(&h), buf.data(), sizeof(h));
  std::vector<TRect> r(h.nCount);
  if (h.nCount) std::memcpy(static_cast<void*>(r.data()), buf.data() + sizeof(h), h.nCount * sizeof(TRect));
  return r;
}

std::vector<uint8_t> RegionBytes(DWORD dwSize, DWORD type, DWORD count, const std::vector<TRect>& rects) {
  RGNDATAHEADER h;
  h.dwSize = dwSize;
  h.iType = type;
  h.nCount = count;
  h.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(TRect));
  std::vector<uint8_t> out(sizeof(h) + rects.size() * sizeof(TRect));
  std::memcpy(out.data(), &h, sizeof(h));
  if (!rects.empty()) std::memcpy(out.data() + sizeof(h), rects.data(), rects.size() * sizeof(TRect));
  return out;
}

}  // namespace

TEST(GdiRegion, CombineModesAndBandedResults) {
  struct Case {
    int32_t mode;
    int32_t type;
    std::vector<TRect> rects;
  } cases[] = {
      {RGN_AND, SIMPLEREGION, {{2, 2, 4, 4}}},
      {RGN_OR, COMPLEXREGION, {{0, 0, 4, 2}, {0, 2, 6, 4}, {2, 4, 6, 6}}},
      {RGN_XOR, COMPLEXREGION, {{0, 0, 4, 2}, {0, 2, 2, 4}, {4, 2, 6, 4}, {2, 4, 6, 6}}},
      {RGN_DIFF, COMPLEXREGION, {{0, 0, 4, 2}, {0, 2, 2, 4}}},
      {RGN_COPY, SIMPLEREGION, {{0, 0, 4, 4}}},
  };
  for (const Case& k : cases) {
    HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 6, 6), d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, k.mode), k.type) << k.mode;
    EXPECT_EQ(RectsOf(d), k.rects) << k.mode;
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(d);
  }
  // Results into one of the sources; empty results; touching bands merge.
  HRGN a = CreateRectRgn(0, 0, 4, 2), b = CreateRectRgn(0, 2, 4, 5);
  EXPECT_EQ(CombineRgn(a, a, b, RGN_OR), SIMPLEREGION);
  TRect box;
  EXPECT_EQ(GetRgnBox(a, &box), SIMPLEREGION);
  EXPECT_EQ(box, TRect(0, 0, 4, 5));
  EXPECT_EQ(CombineRgn(a, b, b, RGN_DIFF), NULLREGION);
  EXPECT_EQ(GetRgnBox(a, &box), NULLREGION);
  EXPECT_EQ(box, TRect());
  EXPECT_EQ(CombineRgn(a, b, nullptr, RGN_AND), ERROR);
  EXPECT_EQ(CombineRgn(a, b, b, 9), ERROR);
  DeleteObject(a);
  DeleteObject(b);
}

TEST(GdiRegion, QueriesAndOffsets) {
  HRGN r = CreateRectRgn(6, 5, 1, 2);  // normalised
  EXPECT_TRUE(PtInRegion(r, 1, 2));
  EXPECT_FALSE(PtInRegion(r, 6, 2));
  EXPECT_TRUE(RectInRegion(r, TRect(5, 4, 9, 9)));
  EXPECT_FALSE(RectInRegion(r, TRect(6, 0, 9, 9)));
  EXPECT_EQ(OffsetRgn(r, -1, 3), SIMPLEREGION);
  TRect box;
  GetRgnBox(r, &box);
  EXPECT_EQ(box, TRect(0, 5, 5, 8));
  HRGN s = CreateRectRgnIndirect(TRect(0, 5, 5, 8));
  EXPECT_TRUE(EqualRgn(r, s));
  SetRectRgn(s, 0, 0, 1, 1);
  EXPECT_FALSE(EqualRgn(r, s));
  EXPECT_TRUE(DeleteObject(r));
  EXPECT_FALSE(PtInRegion(r, 1, 5));  // stale
  EXPECT_EQ(OffsetRgn(r, 1, 1), ERROR);
  EXPECT_FALSE(DeleteObject(r));
  DeleteObject(s);
  // Offsets past the end of the coordinate range squeeze the region against it; what collapses
  // there goes, and the rest stays well formed (no empty rectangles, one band per row range).
  HRGN far = CreateRectRgn(0, 0, 4, 4);
  HRGN two = CreateRectRgn(2, 2, 8, 8);
  CombineRgn(far, far, two, RGN_OR);
  EXPECT_EQ(OffsetRgn(far, -0x61FFFFFD, -2), NULLREGION);
  EXPECT_TRUE(RectsOf(far).empty());
  SetRectRgn(far, 0, 0, 4, 4);
  CombineRgn(far, far, two, RGN_OR);
  constexpr int32_t kEnd = 1 << 30;
  EXPECT_EQ(OffsetRgn(far, 0, kEnd - 3), COMPLEXREGION);
  EXPECT_EQ(RectsOf(far), (std::vector<TRect>{{0, kEnd - 3, 4, kEnd - 1}, {0, kEnd - 1, 8, kEnd}}));
  DeleteObject(far);
  DeleteObject(two);
  // Round rectangles and ellipses are banded like any region.
  HRGN rr = CreateRoundRectRgn(0, 0, 10, 8, 4, 4);
  EXPECT_FALSE(PtInRegion(rr, 0, 0));
  EXPECT_TRUE(PtInRegion(rr, 5, 0));
  EXPECT_TRUE(PtInRegion(rr, 0, 4));
  EXPECT_FALSE(PtInRegion(rr, 10, 4));
  DeleteObject(rr);
}

TEST(GdiRegion, RegionDataLayoutIsCheckedAndNormalised) {
  const auto good = RegionBytes(32, RDH_RECTANGLES, 2, {{5, 1, 2, 3}, {0, 3, 4, 4}});
  HRGN r = ExtCreateRegion(nullptr, static_cast<DWORD>(good.size()), reinterpret_cast<const RGNDATA*>(good.data()));
  ASSERT_TRUE(r);
  EXPECT_EQ(RectsOf(r), (std::vector<TRect>{{2, 1, 5, 3}, {0, 3, 4, 4}}));
  const DWORD need = GetRegionData(r, 0, nullptr);
  EXPECT_EQ(need, 32u + 2 * 16);
  std::vector<uint8_t> small(need - 1);
  EXPECT_EQ(GetRegionData(r, need - 1, reinterpret_cast<RGNDATA*>(small.data())), 0u);
  // Round trip.
  std::vector<uint8_t> out(need);
  GetRegionData(r, need, reinterpret_cast<RGNDATA*>(out.data()));
  HRGN r2 = ExtCreateRegion(nullptr, need, reinterpret_cast<const RGNDATA*>(out.data()));
  EXPECT_TRUE(EqualRgn(r, r2));
  DeleteObject(r);
  DeleteObject(r2);
  struct Bad {
    const char* name;
    std::vector<uint8_t> data;
    DWORD size;
  } bad[] = {
      {"header size", RegionBytes(40, 1, 2, {{0, 0, 1, 1}, {0, 0, 1, 1}}), 64},
      {"type", RegionBytes(32, 2, 2, {{0, 0, 1, 1}, {0, 0, 1, 1}}), 64},
      {"count past the data", RegionBytes(32, 1, 3, {{0, 0, 1, 1}, {0, 0, 1, 1}}), 64},
      {"huge count", RegionBytes(32, 1, 0xFFFFFFFF, {{0, 0, 1, 1}}), 48},
      {"short buffer", RegionBytes(32, 1, 1, {{0, 0, 1, 1}}), 31},
  };
  for (const Bad& b : bad)
    EXPECT_FALSE(ExtCreateRegion(nullptr, b.size, reinterpret_cast<const RGNDATA*>(b.data.data()))) << b.name;
  EXPECT_FALSE(ExtCreateRegion(nullptr, 100, nullptr));
  // An empty list is an empty region.
  const auto none = RegionBytes(32, 1, 0, {});
  HRGN e = ExtCreateRegion(nullptr, 32, reinterpret_cast<const RGNDATA*>(none.data()));
  ASSERT_TRUE(e);
  TRect box;
  EXPECT_EQ(GetRgnBox(e, &box), NULLREGION);
  DeleteObject(e);
}

TEST(GdiRegion, PaintingRegions) {
  TestCanvas c(6, 4);
  HRGN a = CreateRectRgn(0, 0, 3, 2), b = CreateRectRgn(2, 1, 6, 4);
  CombineRgn(a, a, b, RGN_OR);
  HBRUSH red = CreateSolidBrush(0x0000FF);
  EXPECT_TRUE(FillRgn(c.dc(), a, red));
  EXPECT_EQ(c.Map(), Rows({"rrr...", "rrrrrr", "..rrrr", "..rrrr"}));
  EXPECT_TRUE(InvertRgn(c.dc(), b));
  InvertRgn(c.dc(), b);
  EXPECT_EQ(c.Map(), Rows({"rrr...", "rrrrrr", "..rrrr", "..rrrr"}));
  c.Clear(0xFFFFFF);
  HBRUSH black = CreateSolidBrush(0);
  EXPECT_TRUE(FrameRgn(c.dc(), a, black, 1, 1));
  EXPECT_EQ(c.Map(), Rows({"###...", "##.###", "..#..#", "..####"}));
  EXPECT_FALSE(FrameRgn(c.dc(), a, black, 0, 1));
  SelectObject(c.dc(), red);
  c.Clear(0xFFFFFF);
  EXPECT_TRUE(PaintRgn(c.dc(), b));
  EXPECT_EQ(c.Map(), Rows({"......", "..rrrr", "..rrrr", "..rrrr"}));
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
  DeleteObject(red);
  DeleteObject(black);
  DeleteObject(a);
  DeleteObject(b);
}

TEST(GdiRegion, ClippingAppliesToEveryCall) {
  TestCanvas c(6, 4);
  EXPECT_EQ(IntersectClipRect(c.dc(), 1, 0, 5, 4), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(c.dc(), 2, 1, 4, 3), COMPLEXREGION);
  TRect box;
  EXPECT_EQ(GetClipBox(c.dc(), &box), COMPLEXREGION);
  EXPECT_EQ(box, TRect(1, 0, 5, 4));
  HBRUSH black = CreateSolidBrush(0);
  FillRect(c.dc(), TRect(0, 0, 6, 4), black);
  const std::string framed = Rows({".####.", ".#..#.", ".#..#.", ".####."});
  EXPECT_EQ(c.Map(), framed);
  // Lines, shapes, pixels and blits are clipped too.
  c.Clear(0xFFFFFF);
  MoveToEx(c.dc(), 0, 1, nullptr);
  LineTo(c.dc(), 6, 1);
  SetPixel(c.dc(), 2, 2, 0);
  SetPixel(c.dc(), 0, 2, 0);
  EXPECT_EQ(GetPixel(c.dc(), 0, 2), CLR_INVALID);
  EXPECT_EQ(c.Map(), Rows({"......", ".#..#.", "......", "......"}));
  EXPECT_FALSE(PtVisible(c.dc(), 2, 1));
  EXPECT_TRUE(PtVisible(c.dc(), 1, 1));
  EXPECT_TRUE(RectVisible(c.dc(), TRect(0, 0, 2, 1)));
  EXPECT_FALSE(RectVisible(c.dc(), TRect(2, 1, 4, 3)));
  // The clip region is copied and returned; offsetting moves it; null removes it.
  HRGN got = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(c.dc(), got), 1);
  EXPECT_TRUE(PtInRegion(got, 1, 1));
  EXPECT_FALSE(PtInRegion(got, 2, 1));
  EXPECT_EQ(OffsetClipRgn(c.dc(), 1, 0), COMPLEXREGION);
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(box, TRect(2, 0, 6, 4));
  EXPECT_EQ(SelectClipRgn(c.dc(), nullptr), SIMPLEREGION);
  EXPECT_EQ(GetClipRgn(c.dc(), got), 0);
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(box, TRect(0, 0, 6, 4));
  // SelectClipRgn copies: changing the region later does not change the clip.
  HRGN sel = CreateRectRgn(0, 0, 1, 1);
  SelectClipRgn(c.dc(), sel);
  SetRectRgn(sel, 0, 0, 6, 4);
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(box, TRect(0, 0, 1, 1));
  EXPECT_EQ(ExtSelectClipRgn(c.dc(), sel, RGN_OR), SIMPLEREGION);
  EXPECT_EQ(ExtSelectClipRgn(c.dc(), nullptr, RGN_AND), ERROR);
  // The clip region is saved and restored with the DC.
  const int32_t saved = SaveDC(c.dc());
  IntersectClipRect(c.dc(), 0, 0, 2, 2);
  EXPECT_TRUE(RestoreDC(c.dc(), saved));
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(box, TRect(0, 0, 6, 4));
  // A clip outside the surface leaves nothing visible.
  IntersectClipRect(c.dc(), 10, 10, 20, 20);
  EXPECT_EQ(GetClipBox(c.dc(), &box), NULLREGION);
  DeleteObject(sel);
  DeleteObject(got);
  DeleteObject(black);
}

TEST(GdiRegion, ClipRectangleCallsAgreeWithRegionArithmetic) {
  // IntersectClipRect and ExcludeClipRect give the clip CombineRgn gives, for clips of none,
  // one and several rectangles and rectangles inside, around, across and apart from them.
  auto makeClip = [](int32_t kind) -> HRGN {
    if (kind == 0) return nullptr;
    HRGN r = CreateRectRgn(2, 1, 10, 8);
    if (kind == 2) {
      HRGN hole = CreateRectRgn(4, 3, 6, 5);
      CombineRgn(r, r, hole, RGN_DIFF);
      DeleteObject(hole);
    }
    return r;
  };
  const TRect rects[] = {TRect(3, 2, 9, 7), TRect(0, 0, 12, 10), TRect(1, 4, 7, 12), TRect(11, 0, 12, 10),
                         TRect(5, 5, 5, 9), TRect(4, 3, 6, 5)};
  for (int32_t kind = 0; kind < 3; ++kind) {
    for (const TRect& r : rects) {
      for (bool exclude : {false, true}) {
        TestCanvas c(12, 10);
        HRGN clip = makeClip(kind);
        SelectClipRgn(c.dc(), clip);
        const int32_t got = exclude ? ExcludeClipRect(c.dc(), r.Left, r.Top, r.Right, r.Bottom)
                                    : IntersectClipRect(c.dc(), r.Left, r.Top, r.Right, r.Bottom);
        // Without a clip the rectangle itself becomes the clip, or the surface less it.
        HRGN want = clip ? clip : CreateRectRgn(0, 0, 12, 10);
        HRGN cut = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
        const int32_t type = !clip && !exclude ? CombineRgn(want, cut, nullptr, RGN_COPY)
                                               : CombineRgn(want, want, cut, exclude ? RGN_DIFF : RGN_AND);
        HRGN have = CreateRectRgn(0, 0, 0, 0);
        ASSERT_EQ(GetClipRgn(c.dc(), have), 1);
        EXPECT_EQ(got, type) << "clip " << kind << " exclude " << exclude << " at " << r.Left << "," << r.Top;
        EXPECT_TRUE(EqualRgn(have, want)) << "clip " << kind << " exclude " << exclude << " at " << r.Left << ","
                                          << r.Top;
        DeleteObject(have);
        DeleteObject(cut);
        DeleteObject(want);
      }
    }
  }
}
