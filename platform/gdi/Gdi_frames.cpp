// The classic frame routines: DrawEdge, DrawFrameControl and the class library's
// DrawButtonFace, in the classic colours of the system colour table.
#include "platform/gdi/GdiInternal.h"

namespace {

// Paints a device rectangle in a system colour (copy, through the clip).
void Fill(GdiDC& dc, const TRect& r, int32_t sysColor) {
  if (!r.IsEmpty()) GdiFillDeviceRect(dc, r, GetSysColor(sysColor));
}
void FillColor(GdiDC& dc, const TRect& r, COLORREF c) {
  if (!r.IsEmpty()) GdiFillDeviceRect(dc, r, c);
}

// One ring: left and top in tl, then right and bottom in br (which own the top-right and
// bottom-left corners). Shrinks r on the sides drawn.
void Ring(GdiDC& dc, TRect& r, UINT sides, int32_t tl, int32_t br) {
  if (r.IsEmpty()) return;
  if (tl >= 0) {
    if (sides & BF_LEFT) Fill(dc, TRect(r.Left, r.Top, r.Left + 1, r.Bottom), tl);
    if (sides & BF_TOP) Fill(dc, TRect(r.Left, r.Top, r.Right, r.Top + 1), tl);
  }
  if (br >= 0) {
    if (sides & BF_RIGHT) Fill(dc, TRect(r.Right - 1, r.Top, r.Right, r.Bottom), br);
    if (sides & BF_BOTTOM) Fill(dc, TRect(r.Left, r.Bottom - 1, r.Right, r.Bottom), br);
  }
  if (sides & BF_LEFT) ++r.Left;
  if (sides & BF_TOP) ++r.Top;
  if (sides & BF_RIGHT) --r.Right;
  if (sides & BF_BOTTOM) --r.Bottom;
}

struct RingColors {
  int32_t tl, br;
};

// Colours of the outer and inner rings (-1: ring absent).
void EdgeColors(UINT edge, UINT flags, RingColors& outer, RingColors& inner) {
  outer = {-1, -1};
  inner = {-1, -1};
  const bool soft = flags & BF_SOFT;
  if (flags & BF_MONO) {
    if (edge & BDR_OUTER) outer = {COLOR_WINDOWFRAME, COLOR_WINDOWFRAME};
    if (edge & BDR_INNER) inner = {COLOR_WINDOW, COLOR_WINDOW};
    return;
  }
  if (flags & BF_FLAT) {
    if (edge & BDR_OUTER) outer = {COLOR_BTNSHADOW, COLOR_BTNSHADOW};
    if (edge & BDR_INNER) inner = {COLOR_BTNFACE, COLOR_BTNFACE};
    return;
  }
  if (edge & BDR_RAISEDOUTER) outer = {soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW};
  else if (edge & BDR_SUNKENOUTER) outer = {soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
  if (edge & BDR_RAISEDINNER) inner = {soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
  else if (edge & BDR_SUNKENINNER) inner = {soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW, COLOR_3DLIGHT};
}

TRect DeviceRect(GdiDC& dc, const TRect& r) { return GdiLPtoDPRect(dc, r); }

// Draws the rings in device space; returns the number of rings drawn.
int32_t DrawRings(GdiDC& dc, TRect& d, UINT edge, UINT flags) {
  RingColors outer, inner;
  EdgeColors(edge, flags, outer, inner);
  const UINT sides = flags & BF_RECT;
  int32_t rings = 0;
  for (const RingColors& rc : {outer, inner}) {
    if (rc.tl < 0 && rc.br < 0) continue;
    Ring(dc, d, sides, rc.tl, rc.br);
    ++rings;
  }
  return rings;
}

void DiagonalEdge(GdiDC& dc, const TRect& d, UINT edge, UINT flags) {
  RingColors outer, inner;
  EdgeColors(edge, flags, outer, inner);
  if (d.IsEmpty()) return;
  // The outer ring is the line from the opposite corner to the corner named by the side flags
  // (both corner pixels drawn, the cosmetic line rule between them); the inner ring is the same
  // line one pixel up (towards the top) or down, kept inside the box.
  const bool toTop = flags & BF_TOP, toRight = flags & BF_RIGHT;
  const TPoint from{toRight ? d.Left : d.Right - 1, toTop ? d.Bottom - 1 : d.Top};
  const TPoint to{toRight ? d.Right - 1 : d.Left, toTop ? d.Top : d.Bottom - 1};
  int32_t shift = 0;
  for (const RingColors& rc : {outer, inner}) {
    if (rc.tl < 0) continue;
    const COLORREF col = GetSysColor(toTop == toRight ? rc.br : rc.tl);
    auto dot = [&](int32_t x, int32_t y) {
      if (d.Contains({x, y})) FillColor(dc, TRect(x, y, x + 1, y + 1), col);
    };
    // Only the steps that land in the visible part of the box are walked.
    TRect seen;
    if (!IntersectRect(seen, d, dc.ClipBox())) return;
    const TRect lim{seen.Left, seen.Top - shift, seen.Right, seen.Bottom - shift};
    GdiWalkLine(from.X, from.Y, to.X, to.Y, lim, [&](int32_t x, int32_t y, int64_t) { dot(x, y + shift); });
    dot(to.X, to.Y + shift);
    shift = toTop ? -1 : 1;
  }
}

// Checks/radio glyph helpers: a 13x13 cell centred in r.
TRect CenterSquare(const TRect& r, int32_t size) {
  const int32_t x = r.Left + (r.Width() - size) / 2, y = r.Top + (r.Height() - size) / 2;
  return TRect(x, y, x + size, y + size);
}

void PaintCheckMark(GdiDC& dc, const TRect& box, COLORREF c) {
  // Seven columns of three pixels, relative to a 13x13 box.
  static const int8_t kTop[7] = {5, 6, 7, 6, 5, 4, 3};
  const int32_t ox = box.Left + (box.Width() - 13) / 2, oy = box.Top + (box.Height() - 13) / 2;
  for (int32_t i = 0; i < 7; ++i) {
    const int32_t x = ox + 3 + i, y = oy + kTop[i];
    FillColor(dc, TRect(x, y, x + 1, y + 3), c);
  }
}

void CheckBox(GdiDC& dc, const TRect& d, UINT state) {
  const int32_t s = std::min(d.Width(), d.Height());
  if (s <= 0) return;
  TRect box = CenterSquare(d, s);
  if (state & DFCS_MONO) {
    Ring(dc, box, BF_RECT, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
  } else if (state & DFCS_FLAT) {
    Ring(dc, box, BF_RECT, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
  } else {
    DrawRings(dc, box, EDGE_SUNKEN, BF_RECT);
  }
  const bool threeState = (state & DFCS_BUTTON3STATE) && (state & DFCS_CHECKED);
  const bool grey = state & (DFCS_PUSHED | DFCS_INACTIVE);
  Fill(dc, box, grey || threeState ? COLOR_BTNFACE : COLOR_WINDOW);
  if (state & DFCS_CHECKED) {
    const bool dim = (state & DFCS_INACTIVE) || threeState;
    PaintCheckMark(dc, CenterSquare(d, s), GetSysColor(dim ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT));
  }
}

void RadioButton(GdiDC& dc, const TRect& d, UINT state) {
  const int32_t s = 12;
  const TRect c = CenterSquare(d, std::min({s, d.Width(), d.Height()}) == s ? s : std::min(d.Width(), d.Height()));
  const int32_t n = c.Width();
  if (n <= 0) return;
  auto shape = [&](int32_t inset) {
    GdiRegionData::Builder b;
    GdiScanEllipse(c.Left + inset, c.Top + inset, c.Right - inset, c.Bottom - inset, c,
                   [&](int32_t y, int32_t x0, int32_t x1) { b.Add(y, x0, x1); });
    return b.Finish();
  };
  const GdiRegionData outer = shape(0), inner = shape(1), inside = shape(2);
  if (state & DFCS_BUTTONRADIOMASK) {
    Fill(dc, c, COLOR_WINDOW);
    for (const TRect& r : outer.Rects()) FillColor(dc, r, 0);
    return;
  }
  const GdiRegionData ring1 = GdiRegionData::Combine(outer, inner, GdiRegionData::Op::Diff);
  const GdiRegionData ring2 = GdiRegionData::Combine(inner, inside, GdiRegionData::Op::Diff);
  int32_t o1 = COLOR_BTNSHADOW, o2 = COLOR_BTNHIGHLIGHT, i1 = COLOR_3DDKSHADOW, i2 = COLOR_3DLIGHT;
  if (state & DFCS_MONO) o1 = o2 = COLOR_WINDOWFRAME, i1 = i2 = COLOR_WINDOW;
  else if (state & DFCS_FLAT) o1 = o2 = COLOR_BTNSHADOW, i1 = i2 = COLOR_BTNFACE;
  // Upper-left half (x + y below the anti-diagonal) in the first colour of each ring.
  auto paintRing = [&](const GdiRegionData& ring, int32_t first, int32_t second) {
    for (const TRect& r : ring.Rects())
      for (int32_t y = r.Top; y < r.Bottom; ++y)
        for (int32_t x = r.Left; x < r.Right; ++x)
          Fill(dc, TRect(x, y, x + 1, y + 1), (x - c.Left) + (y - c.Top) < n - 1 ? first : second);
  };
  paintRing(ring1, o1, o2);
  paintRing(ring2, i1, i2);
  const int32_t face = state & (DFCS_PUSHED | DFCS_INACTIVE) ? COLOR_BTNFACE : COLOR_WINDOW;
  for (const TRect& r : inside.Rects()) Fill(dc, r, face);
  if (state & DFCS_CHECKED) {
    const int32_t m = n / 3;
    GdiRegionData::Builder b;
    GdiScanEllipse(c.Left + m, c.Top + m, c.Right - m, c.Bottom - m, c,
                   [&](int32_t y, int32_t x0, int32_t x1) { b.Add(y, x0, x1); });
    const COLORREF dot = GetSysColor(state & DFCS_INACTIVE ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT);
    const GdiRegionData dotRgn = b.Finish();
    for (const TRect& r : dotRgn.Rects()) FillColor(dc, r, dot);
  }
}

// A push-button frame with the face; returns the face rectangle.
TRect ButtonFrame(GdiDC& dc, TRect d, UINT state) {
  if (state & DFCS_MONO) {
    DrawRings(dc, d, EDGE_RAISED, BF_RECT | BF_MONO);
  } else if (state & DFCS_FLAT) {
    DrawRings(dc, d, EDGE_RAISED, BF_RECT | BF_FLAT);
  } else if (state & DFCS_PUSHED) {
    Ring(dc, d, BF_RECT, COLOR_3DDKSHADOW, COLOR_3DDKSHADOW);
    Ring(dc, d, BF_RECT, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
  } else if (state & DFCS_CHECKED) {
    DrawRings(dc, d, EDGE_SUNKEN, BF_RECT);
  } else {
    DrawRings(dc, d, EDGE_RAISED, BF_RECT | BF_SOFT);
  }
  if ((state & DFCS_CHECKED) && !(state & DFCS_PUSHED)) {
    // The checked face: a checkerboard of highlight and face.
    const COLORREF a = GetSysColor(COLOR_BTNHIGHLIGHT), b = GetSysColor(COLOR_BTNFACE);
    for (int32_t y = d.Top; y < d.Bottom; ++y)
      for (int32_t x = d.Left; x < d.Right; ++x) FillColor(dc, TRect(x, y, x + 1, y + 1), ((x + y) & 1) ? b : a);
  } else {
    Fill(dc, d, state & DFCS_MONO ? COLOR_WINDOW : COLOR_BTNFACE);
  }
  return d;
}

// A filled arrow triangle (dir: 0 up, 1 down, 2 left, 3 right) centred in r, sized by the
// whole button (a 16-pixel button has a 7x4 arrow).
void Arrow(GdiDC& dc, const TRect& r, int32_t size, int32_t dir, bool pushed, bool inactive) {
  const int32_t th = std::max(1, (size - 4) / 4 + 1), base = 2 * th - 1;
  const bool vertical = dir <= 1;
  const int32_t w = vertical ? base : th, h = vertical ? th : base;
  int32_t x0 = r.Left + (r.Width() - w) / 2, y0 = r.Top + (r.Height() - h) / 2;
  if (pushed) { ++x0; ++y0; }
  auto paint = [&](int32_t ox, int32_t oy, COLORREF c) {
    for (int32_t i = 0; i < th; ++i) {
      // Row i of the triangle from its base: length base - 2 i.
      const int32_t len = base - 2 * i;
      switch (dir) {
        case 0: FillColor(dc, TRect(ox + i, oy + th - 1 - i, ox + i + len, oy + th - i), c); break;
        case 1: FillColor(dc, TRect(ox + i, oy + i, ox + i + len, oy + i + 1), c); break;
        case 2: FillColor(dc, TRect(ox + th - 1 - i, oy + i, ox + th - i, oy + i + len), c); break;
        default: FillColor(dc, TRect(ox + i, oy + i, ox + i + 1, oy + i + len), c); break;
      }
    }
  };
  if (inactive) {
    paint(x0 + 1, y0 + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    paint(x0, y0, GetSysColor(COLOR_BTNSHADOW));
  } else {
    paint(x0, y0, GetSysColor(COLOR_BTNTEXT));
  }
}

}  // namespace

BOOL DrawEdge(HDC hdc, TRect& r, UINT edge, UINT flags) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  TRect d = DeviceRect(*dc, r);
  if (flags & BF_DIAGONAL) {
    DiagonalEdge(*dc, d, edge, flags);
    return 1;
  }
  const int32_t rings = DrawRings(*dc, d, edge, flags);
  if (flags & BF_MIDDLE) Fill(*dc, d, flags & BF_MONO ? COLOR_WINDOW : COLOR_BTNFACE);
  if (flags & BF_ADJUST) {
    auto mv = [](int32_t v, int32_t d) {
      return static_cast<int32_t>(std::clamp<int64_t>(int64_t(v) + d, INT32_MIN, INT32_MAX));
    };
    if (flags & BF_LEFT) r.Left = mv(r.Left, rings);
    if (flags & BF_TOP) r.Top = mv(r.Top, rings);
    if (flags & BF_RIGHT) r.Right = mv(r.Right, -rings);
    if (flags & BF_BOTTOM) r.Bottom = mv(r.Bottom, -rings);
  }
  return 1;
}

BOOL DrawFrameControl(HDC hdc, TRect& r, UINT type, UINT state) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TRect d = DeviceRect(*dc, r);
  switch (type) {
    case DFC_BUTTON: {
      if (state & DFCS_BUTTONPUSH) {
        ButtonFrame(*dc, d, state);
        if (state & DFCS_ADJUSTRECT) r.Inflate(-2, -2);
      } else if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
        RadioButton(*dc, d, state);
      } else {
        CheckBox(*dc, d, state);
      }
      return 1;
    }
    case DFC_SCROLL: {
      const UINT kind = state & 0xFF;
      const TRect face = ButtonFrame(*dc, d, state & ~DFCS_CHECKED);
      const bool pushed = state & DFCS_PUSHED, inactive = state & DFCS_INACTIVE;
      const int32_t size = std::min(d.Width(), d.Height());
      switch (kind) {
        case DFCS_SCROLLUP: Arrow(*dc, face, size, 0, pushed, inactive); break;
        case DFCS_SCROLLDOWN:
        case DFCS_SCROLLCOMBOBOX: Arrow(*dc, face, size, 1, pushed, inactive); break;
        case DFCS_SCROLLLEFT: Arrow(*dc, face, size, 2, pushed, inactive); break;
        case DFCS_SCROLLRIGHT: Arrow(*dc, face, size, 3, pushed, inactive); break;
        default: break;
      }
      return 1;
    }
    default: return 0;
  }
}

TRect DrawButtonFace(HDC hdc, const TRect& client, int32_t bevelWidth, TButtonStyle style, bool isRounded, bool isDown,
                     bool isFocused) {
  TRect result(client.Left + 1, client.Top + 1, client.Right - 2, client.Bottom - 2);
  if (isDown) result.Offset(1, 1);
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return result;
  TRect d = DeviceRect(*dc, client);
  if (style != TButtonStyle::bsWin31) {
    if (isDown) {
      Ring(*dc, d, BF_TOPLEFT, COLOR_3DDKSHADOW, -1);
      d = DeviceRect(*dc, client);
      Ring(*dc, d, BF_BOTTOMRIGHT, -1, COLOR_BTNHIGHLIGHT);
      d = DeviceRect(*dc, client);
      d = TRect(d.Left + 1, d.Top + 1, d.Right - 1, d.Bottom - 1);
      Ring(*dc, d, BF_TOPLEFT, COLOR_BTNSHADOW, -1);
      Fill(*dc, d, COLOR_BTNFACE);
    } else {
      Ring(*dc, d, BF_BOTTOMRIGHT, -1, COLOR_3DDKSHADOW);
      Ring(*dc, d, BF_TOPLEFT, COLOR_BTNHIGHLIGHT, -1);
      Ring(*dc, d, BF_BOTTOMRIGHT, -1, COLOR_BTNSHADOW);
      Fill(*dc, d, COLOR_BTNFACE);
    }
    return result;
  }
  // The old style: a black frame on the face, rounded corners, a second frame when focused,
  // then a bevel (up) or a shadow line (down).
  Ring(*dc, d, BF_RECT, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
  Fill(*dc, d, COLOR_BTNFACE);
  d = DeviceRect(*dc, client);
  if (isRounded && !d.IsEmpty()) {
    for (const TPoint p : {TPoint(d.Left, d.Top), TPoint(d.Left, d.Bottom - 1), TPoint(d.Right - 1, d.Top),
                           TPoint(d.Right - 1, d.Bottom - 1)})
      Fill(*dc, TRect(p.X, p.Y, p.X + 1, p.Y + 1), COLOR_BTNFACE);
  }
  if (isFocused) {
    d.Inflate(-1, -1);
    TRect f = d;
    Ring(*dc, f, BF_RECT, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
  }
  d.Inflate(-1, -1);
  if (!isDown) {
    for (int32_t i = 0; i < bevelWidth && !d.IsEmpty(); ++i) Ring(*dc, d, BF_RECT, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
  } else if (!d.IsEmpty()) {
    Fill(*dc, TRect(d.Left, d.Top, d.Left + 1, d.Bottom), COLOR_BTNSHADOW);
    Fill(*dc, TRect(d.Left, d.Top, d.Right, d.Top + 1), COLOR_BTNSHADOW);
  }
  return result;
}
