// Arbitrary bytes as region data (the 32-byte header and its rectangles): ExtCreateRegion refuses
// it or makes a region whose own data is well formed (banded, non-empty rectangles inside the
// bounds) and makes an equal region again; combining, offsetting and hit-testing agree with the
// rectangles. The first 8 bytes choose the offset; the region data follows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/gdi/WinGdi.h"

namespace {

int32_t Rd32s(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}

// The region's rectangles, checked to be in y-x banded form.
std::vector<TRect> Rects(HRGN rgn) {
  const DWORD need = GetRegionData(rgn, 0, nullptr);
  Check(need >= sizeof(RGNDATAHEADER));
  std::vector<uint8_t> buf(need);
  Check(GetRegionData(rgn, need, reinterpret_cast<RGNDATA*>(buf.data())) != 0);
  RGNDATAHEADER h;
  std::memcpy(static_cast<void*>(&h), buf.data(), sizeof(h));
  Check(h.nCount == (need - sizeof(h)) / sizeof(TRect));
  std::vector<TRect> rs(h.nCount);
  if (h.nCount) std::memcpy(static_cast<void*>(rs.data()), buf.data() + sizeof(h), h.nCount * sizeof(TRect));
  for (size_t i = 0; i < rs.size(); ++i) {
    const TRect& r = rs[i];
    Check(r.Left < r.Right && r.Top < r.Bottom);
    Check(r.Left >= h.rcBound.Left && r.Right <= h.rcBound.Right && r.Top >= h.rcBound.Top &&
          r.Bottom <= h.rcBound.Bottom);
    if (i == 0) continue;
    const TRect& p = rs[i - 1];
    if (p.Top == r.Top) Check(p.Bottom == r.Bottom && p.Right < r.Left);  // one band, spans apart
    else Check(p.Bottom <= r.Top);
  }
  return rs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const int32_t dx = Rd32s(data), dy = Rd32s(data + 4);
  // An aligned copy of exactly the data's size.
  std::vector<uint8_t> bytes(data + 8, data + size);
  HRGN rgn = ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()), reinterpret_cast<const RGNDATA*>(bytes.data()));
  if (!rgn) return 0;
  const std::vector<TRect> rs = Rects(rgn);

  // Its own data makes an equal region.
  {
    std::vector<uint8_t> buf(GetRegionData(rgn, 0, nullptr));
    GetRegionData(rgn, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA*>(buf.data()));
    HRGN again = ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), reinterpret_cast<const RGNDATA*>(buf.data()));
    Check(again && EqualRgn(rgn, again));
    DeleteObject(again);
  }

  // Hit tests: every rectangle's corners inside, the pixels just outside the bounds not.
  TRect box;
  GetRgnBox(rgn, &box);
  for (const TRect& r : rs) {
    Check(PtInRegion(rgn, r.Left, r.Top) && PtInRegion(rgn, r.Right - 1, r.Bottom - 1));
    Check(RectInRegion(rgn, r));
  }
  if (!rs.empty()) Check(!PtInRegion(rgn, box.Left - 1, box.Top) && !PtInRegion(rgn, box.Right, box.Bottom - 1));

  // Combined with an offset copy of itself: the results stay well formed, and A and A is A.
  HRGN moved = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(moved, rgn, nullptr, RGN_COPY);
  OffsetRgn(moved, dx, dy);
  Rects(moved);
  HRGN out = CreateRectRgn(0, 0, 0, 0);
  for (int32_t mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF}) {
    Check(CombineRgn(out, rgn, moved, mode) != ERROR);
    Rects(out);
  }
  CombineRgn(out, rgn, rgn, RGN_AND);
  Check(EqualRgn(out, rgn));
  CombineRgn(out, rgn, rgn, RGN_DIFF);
  Check(Rects(out).empty());

  // Painted and selected as a clip on a small surface.
  TSurface target(16, 16, 32);
  HDC dc = CreateSurfaceDC(&target);
  FillRgn(dc, moved, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SelectClipRgn(dc, rgn);
  PatBlt(dc, 0, 0, 16, 16, DSTINVERT);
  DeleteDC(dc);
  DeleteObject(out);
  DeleteObject(moved);
  DeleteObject(rgn);
  return 0;
}
