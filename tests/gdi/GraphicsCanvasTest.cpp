// Fonts, pens, brushes and the canvas: properties by name, handle life, state selection, and
// pixels drawn through TCanvas against the same GDI calls made directly.
#include <atomic>
#include <thread>

#include "platform/gdi/WinGdi_text.h"
#include "tests/gdi/GraphicsTestSupport.h"

// ---------------------------------------------------------------------------------------------
// Graphics objects

TEST(GraphicsFont, SizeAndHeightFollowThePlatformRounding) {
  TFont f;
  EXPECT_EQ(f.Name(), "Tahoma");
  EXPECT_EQ(f.Height(), -11);
  EXPECT_EQ(f.Size(), 8);
  EXPECT_EQ(f.Color(), clWindowText);
  EXPECT_EQ(f.Charset(), DEFAULT_CHARSET);
  struct Case {
    int32_t ppi, size, height;
  } cases[] = {{96, 8, -11}, {96, 9, -12}, {96, 10, -13}, {96, 12, -16}, {96, 7, -9}, {120, 10, -17}, {96, -15, 20}};
  for (const Case& c : cases) {
    TFont g;
    g.SetPixelsPerInch(c.ppi);
    g.SetSize(c.size);
    EXPECT_EQ(g.Height(), c.height) << c.ppi << " " << c.size;
    EXPECT_EQ(g.Size(), c.size) << c.ppi << " " << c.height;
  }
}

TEST(GraphicsFont, HandleIsMadeFromTheLogFontAndFreedOnChange) {
  TFont f;
  int changes = 0;
  f.SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  f.SetStyle({fsBold, fsUnderline});
  f.SetOrientation(900);
  f.SetQuality(fqNonAntialiased);
  f.SetPitch(fpFixed);
  EXPECT_EQ(changes, 4);
  HFONT h = f.Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(f.Handle(), h);  // kept while nothing changes
  LOGFONT lf;
  ASSERT_EQ(GetObject(h, sizeof lf, &lf), static_cast<int32_t>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfEscapement, 900);
  EXPECT_EQ(lf.lfQuality, NONANTIALIASED_QUALITY);
  EXPECT_EQ(lf.lfPitchAndFamily & 3, FIXED_PITCH);
  EXPECT_STREQ(lf.lfFaceName, "Tahoma");
  f.SetColor(clRed);  // not part of the GDI font
  EXPECT_EQ(f.Handle(), h);
  f.SetName("Arial");
  EXPECT_EQ(GetObjectType(h), 0u) << "the old font is deleted";
  EXPECT_NE(f.Handle(), nullptr);
  EXPECT_EQ(changes, 6);
}

TEST(GraphicsFont, AssignCopiesAndKeepsThePointSizeAcrossResolutions) {
  TFont a, b;
  a.SetName("Courier New");
  a.SetSize(12);
  a.SetColor(clBlue);
  a.SetStyle({fsItalic});
  b.SetPixelsPerInch(120);
  b.Assign(&a);
  EXPECT_EQ(b.Name(), "Courier New");
  EXPECT_EQ(b.Size(), 12);
  EXPECT_EQ(b.Height(), -20);
  EXPECT_EQ(b.Color(), clBlue);
  EXPECT_EQ(b.Style(), TFontStyles{fsItalic});
  TPen p;
  EXPECT_THROW(b.Assign(&p), EConvertError);
}

TEST(GraphicsObjects, PublishedPropertiesAreSetByName) {
  TFont f;
  SetStrProp(&f, "Name", "Times New Roman");
  SetSetProp(&f, "Style", "[fsBold, fsStrikeOut]");
  SetEnumProp(&f, "Pitch", "fpVariable");
  SetEnumProp(&f, "Quality", "fqClearType");
  SetOrdProp(&f, "Size", 14);
  SetOrdProp(&f, "Color", clRed);
  SetOrdProp(&f, "Charset", 238);
  EXPECT_EQ(f.Name(), "Times New Roman");
  EXPECT_EQ(f.Style(), (TFontStyles{fsBold, fsStrikeOut}));
  EXPECT_EQ(f.Pitch(), fpVariable);
  EXPECT_EQ(f.Quality(), fqClearType);
  EXPECT_EQ(f.Height(), -19);
  EXPECT_EQ(GetSetProp(&f, "Style"), "[fsBold,fsStrikeOut]");
  EXPECT_FALSE(IsStoredProp(&f, "Size"));
  EXPECT_THROW(SetSetProp(&f, "Style", "[fsBlink]"), EPropertyConvertError);
  EXPECT_THROW(SetOrdProp(&f, "Charset", 256), ERangeError);

  TPen p;
  SetEnumProp(&p, "Mode", "pmXor");
  SetEnumProp(&p, "Style", "psDot");
  SetOrdProp(&p, "Width", 3);
  EXPECT_EQ(p.Mode(), pmXor);
  EXPECT_EQ(p.Style(), psDot);
  EXPECT_EQ(p.Width(), 3);
  EXPECT_EQ(GetPropInfo(&p, "Color")->Default, clBlack);

  TBrush b;
  SetEnumProp(&b, "Style", "bsDiagCross");
  EXPECT_EQ(b.Style(), bsDiagCross);
  EXPECT_EQ(GetEnumProp(&b, "Style"), "bsDiagCross");
}

TEST(GraphicsObjects, PenAndBrushHandlesDescribeTheirProperties) {
  TPen p;
  p.SetColor(clBtnFace);
  p.SetWidth(4);
  p.SetStyle(psInsideFrame);
  LOGPEN lp;
  ASSERT_EQ(GetObject(p.Handle(), sizeof lp, &lp), static_cast<int32_t>(sizeof lp));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_INSIDEFRAME));
  EXPECT_EQ(lp.lopnWidth.X, 4);
  EXPECT_EQ(lp.lopnColor, GetSysColor(COLOR_BTNFACE));
  p.SetStyle(psClear);
  ASSERT_EQ(GetObject(p.Handle(), sizeof lp, &lp), static_cast<int32_t>(sizeof lp));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_NULL));

  struct Case {
    TBrushStyle style;
    UINT lbStyle;
    ULONG_PTR hatch;
  } cases[] = {{bsSolid, BS_SOLID, 0},           {bsClear, BS_NULL, 0},         {bsHorizontal, BS_HATCHED, HS_HORIZONTAL},
               {bsVertical, BS_HATCHED, HS_VERTICAL}, {bsFDiagonal, BS_HATCHED, HS_FDIAGONAL},
               {bsBDiagonal, BS_HATCHED, HS_BDIAGONAL}, {bsCross, BS_HATCHED, HS_CROSS},
               {bsDiagCross, BS_HATCHED, HS_DIAGCROSS}};
  for (const Case& c : cases) {
    TBrush b;
    b.SetColor(clRed);
    b.SetStyle(c.style);
    LOGBRUSH lb;
    ASSERT_EQ(GetObject(b.Handle(), sizeof lb, &lb), static_cast<int32_t>(sizeof lb));
    EXPECT_EQ(lb.lbStyle, c.lbStyle) << static_cast<int>(c.style);
    if (c.lbStyle == BS_HATCHED) {
      EXPECT_EQ(lb.lbHatch, c.hatch);
    }
  }
  // As in the class library: a clear brush reads white, and a colour makes it solid again.
  TBrush b;
  b.SetColor(clRed);
  b.SetStyle(bsClear);
  EXPECT_EQ(b.Color(), clWhite);
  b.SetColor(clLime);
  EXPECT_EQ(b.Style(), bsSolid);
}

TEST(GraphicsObjects, PlainPensAndBrushesShareHandlesThatOutliveEachUser) {
  auto a = std::make_unique<TBrush>();
  a->SetColor(clRed);
  TBrush b;
  b.SetColor(clRed);
  const HBRUSH red = b.Handle();
  EXPECT_EQ(a->Handle(), red);
  a.reset();  // b keeps the handle
  LOGBRUSH lb;
  ASSERT_EQ(GetObject(red, sizeof lb, &lb), static_cast<int32_t>(sizeof lb));
  EXPECT_EQ(lb.lbColor, 0x0000FFu);
  b.SetColor(clBlue);
  ASSERT_EQ(GetObject(b.Handle(), sizeof lb, &lb), static_cast<int32_t>(sizeof lb));
  EXPECT_EQ(lb.lbColor, 0xFF0000u);
  // A handle still selected when the list lets it go is refused by DeleteObject and stays usable
  // there; the many colours of a gradient never fail to get a handle.
  TestCanvas c(4, 1);
  TPen p;
  p.SetColor(clLime);
  SelectObject(c.dc(), p.Handle());
  p.SetColor(clBlack);
  for (int32_t i = 0; i < 300; ++i) {
    TBrush t;
    t.SetColor(static_cast<TColor>(RGB(i & 255, i >> 8, 7)));
    ASSERT_NE(t.Handle(), nullptr) << i;
    TPen q;
    q.SetColor(static_cast<TColor>(RGB(i & 255, i >> 8, 9)));
    ASSERT_NE(q.Handle(), nullptr) << i;
  }
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 4, 0);
  EXPECT_EQ(c.Map(), Rows({"gggg"}));
  SelectObject(c.dc(), GetStockObject(BLACK_PEN));
}

// ---------------------------------------------------------------------------------------------
// Canvas

namespace {

// A canvas over a white 32-bit surface.
struct CanvasOver {
  TestCanvas surface;
  TCanvas canvas;
  explicit CanvasOver(int32_t w = 16, int32_t h = 16) : surface(w, h) { canvas.SetHandle(surface.dc()); }
  ~CanvasOver() { canvas.SetHandle(nullptr); }
};

}  // namespace

TEST(GraphicsCanvas, DrawingCallsMatchTheGdiCallsWithTheSameObjects) {
  struct Case {
    const char* name;
    std::function<void(TCanvas&)> viaCanvas;
    std::function<void(HDC)> direct;
  };
  const TPoint pts[] = {{1, 1}, {12, 3}, {7, 13}, {2, 9}};
  const std::vector<Case> cases = {
      {"Rectangle", [](TCanvas& c) { c.Rectangle(1, 2, 11, 12); }, [](HDC dc) { Rectangle(dc, 1, 2, 11, 12); }},
      {"Ellipse", [](TCanvas& c) { c.Ellipse(TRect(0, 1, 15, 12)); }, [](HDC dc) { Ellipse(dc, 0, 1, 15, 12); }},
      {"RoundRect", [](TCanvas& c) { c.RoundRect(1, 1, 14, 13, 6, 5); }, [](HDC dc) { RoundRect(dc, 1, 1, 14, 13, 6, 5); }},
      {"Pie", [](TCanvas& c) { c.Pie(1, 1, 15, 15, 15, 8, 8, 0); }, [](HDC dc) { Pie(dc, 1, 1, 15, 15, 15, 8, 8, 0); }},
      {"Chord", [](TCanvas& c) { c.Chord(1, 1, 15, 15, 15, 8, 8, 0); }, [](HDC dc) { Chord(dc, 1, 1, 15, 15, 15, 8, 8, 0); }},
      {"Arc", [](TCanvas& c) { c.Arc(1, 1, 15, 15, 15, 8, 8, 0); }, [](HDC dc) { Arc(dc, 1, 1, 15, 15, 15, 8, 8, 0); }},
      {"Polygon", [&](TCanvas& c) { c.Polygon(pts); }, [&](HDC dc) { Polygon(dc, pts, 4); }},
      {"Polyline", [&](TCanvas& c) { c.Polyline(pts); }, [&](HDC dc) { Polyline(dc, pts, 4); }},
      {"Lines", [](TCanvas& c) { c.MoveTo(0, 0); c.LineTo(15, 6); c.LineTo(3, 14); },
       [](HDC dc) { MoveToEx(dc, 0, 0, nullptr); LineTo(dc, 15, 6); LineTo(dc, 3, 14); }},
      {"FillRect", [](TCanvas& c) { c.FillRect(TRect(2, 3, 9, 7)); },
       [](HDC dc) { FillRect(dc, TRect(2, 3, 9, 7), static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH))); }},
      {"FrameRect", [](TCanvas& c) { c.FrameRect(TRect(2, 3, 9, 7)); },
       [](HDC dc) { FrameRect(dc, TRect(2, 3, 9, 7), static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH))); }},
      {"Pixels", [](TCanvas& c) { c.SetPixels(3, 4, clRed); }, [](HDC dc) { SetPixel(dc, 3, 4, 0x0000FF); }},
      {"FocusRect", [](TCanvas& c) { c.DrawFocusRect(TRect(1, 1, 12, 9)); }, [](HDC dc) { DrawFocusRect(dc, TRect(1, 1, 12, 9)); }},
  };
  struct Tools {
    int32_t width;
    TPenStyle pen;
    TPenMode mode;
    TBrushStyle brush;
  } tools[] = {{1, psSolid, pmCopy, bsSolid}, {3, psSolid, pmNotXor, bsClear}, {1, psDash, pmCopy, bsCross},
               {1, psSolid, pmNot, bsSolid}};
  for (const Tools& t : tools) {
    for (const Case& k : cases) {
      CanvasOver a;
      a.canvas.Pen()->SetColor(clNavy);
      a.canvas.Pen()->SetWidth(t.width);
      a.canvas.Pen()->SetStyle(t.pen);
      a.canvas.Pen()->SetMode(t.mode);
      a.canvas.Brush()->SetColor(clOlive);
      a.canvas.Brush()->SetStyle(t.brush);
      k.viaCanvas(a.canvas);

      TestCanvas b(16, 16);
      static constexpr int32_t kStyles[] = {PS_SOLID, PS_DASH};
      HPEN pen = CreatePen(kStyles[t.pen == psDash ? 1 : 0], t.width, 0x800000);
      LOGBRUSH lb;
      lb.lbColor = 0x008080;
      lb.lbStyle = t.brush == bsSolid ? BS_SOLID : t.brush == bsClear ? BS_NULL : BS_HATCHED;
      lb.lbHatch = HS_CROSS;
      PenBrush pb(b.dc(), pen, CreateBrushIndirect(lb));
      SetROP2(b.dc(), PenModeToROP2(t.mode));
      SetBkMode(b.dc(), t.brush == bsSolid ? OPAQUE : TRANSPARENT);
      SetBkColor(b.dc(), t.brush == bsSolid ? 0x008080 : ~0x008080u & 0xFFFFFF);
      k.direct(b.dc());
      EXPECT_EQ(a.surface.Map({{0x800000, 'n'}, {0x008080, 'o'}}), b.Map({{0x800000, 'n'}, {0x008080, 'o'}}))
          << k.name << " width " << t.width << " mode " << static_cast<int>(t.mode);
      const bool nothing = t.brush == bsClear && std::string(k.name).find("Rect") != std::string::npos &&
                           std::string(k.name) != "Rectangle";
      if (!nothing) {
        EXPECT_NE(a.surface.Bytes(), TestCanvas(16, 16).Bytes()) << k.name << " drew nothing";
      }
    }
  }
}

TEST(GraphicsCanvas, PenModesSelectTheirRop2) {
  const int32_t expected[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,        R2_COPYPEN,  R2_NOTCOPYPEN,
                              R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                              R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
  CanvasOver a;
  for (int i = 0; i < 16; ++i) {
    a.canvas.Pen()->SetMode(static_cast<TPenMode>(i));
    a.canvas.LineTo(1, 1);
    EXPECT_EQ(GetROP2(a.surface.dc()), expected[i]) << i;
  }
}

TEST(GraphicsCanvas, TextSelectsColoursAndBackgroundModeAndMovesThePen) {
  CanvasOver a(60, 20);
  a.canvas.Font()->SetColor(clRed);
  a.canvas.Brush()->SetColor(clYellow);
  a.canvas.TextOut(2, 3, "Hi!");
  EXPECT_EQ(GetTextColor(a.surface.dc()), 0x0000FFu);
  EXPECT_EQ(GetBkColor(a.surface.dc()), 0x00FFFFu);
  EXPECT_EQ(GetBkMode(a.surface.dc()), OPAQUE);
  const int32_t w = a.canvas.TextWidth("Hi!");
  EXPECT_GT(w, 0);
  EXPECT_EQ(a.canvas.PenPos(), TPoint(2 + w, 3));
  // The same text drawn directly with the font's handle gives the same pixels.
  TestCanvas b(60, 20);
  TFont f;
  HGDIOBJ old = SelectObject(b.dc(), f.Handle());
  SetTextColor(b.dc(), 0x0000FF);
  SetBkColor(b.dc(), 0x00FFFF);
  SetBkMode(b.dc(), OPAQUE);
  ExtTextOut(b.dc(), 2, 3, 0, nullptr, "Hi!");
  SelectObject(b.dc(), old);
  EXPECT_EQ(a.surface.Bytes(), b.Bytes());

  // A changed font colour and a clear brush are selected at the next call.
  a.canvas.Font()->SetColor(clBlue);
  a.canvas.Brush()->SetStyle(bsClear);
  a.canvas.TextOut(2, 3, "x");
  EXPECT_EQ(GetTextColor(a.surface.dc()), 0xFF0000u);
  EXPECT_EQ(GetBkMode(a.surface.dc()), TRANSPARENT);
  EXPECT_EQ(a.canvas.TextExtent("Hi!").cy, a.canvas.TextHeight("Hi!"));
}

TEST(GraphicsCanvas, TextRectClipsAndTheFormatFormMeasures) {
  CanvasOver a(40, 20);
  a.canvas.Brush()->SetColor(clLime);
  a.canvas.TextRect(TRect(5, 5, 10, 12), 0, 0, "WWWWWW");
  // Outside the rectangle nothing was painted; inside the background is opaque.
  EXPECT_EQ(a.surface.At(4, 6), 0xFFFFFFu);
  EXPECT_EQ(a.surface.At(10, 6), 0xFFFFFFu);
  EXPECT_EQ(a.surface.At(5, 11), 0x00FF00u);
  TRect r(0, 0, 200, 0);
  std::string text = "Two words";
  a.canvas.TextRect(r, text, {tfCalcRect, tfSingleLine});
  TRect expect(0, 0, 200, 0);
  DrawText(a.surface.dc(), "Two words", &expect, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r, expect);
  EXPECT_EQ(r.Width(), a.canvas.TextWidth("Two words"));
  EXPECT_EQ(TextFormatToFlags({tfCenter, tfVerticalCenter, tfWordBreak, tfEndEllipsis, tfNoPrefix}),
            static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX));
}

TEST(GraphicsCanvas, WithoutAHandleDrawingRaises) {
  TCanvas c;
  EXPECT_FALSE(c.HandleAllocated());
  try {
    c.Rectangle(0, 0, 1, 1);
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Canvas does not allow drawing");
  }
}

TEST(GraphicsCanvas, ChangeEventsAndObjectsLeaveTheDeviceContext) {
  CanvasOver a;
  int changing = 0, changed = 0;
  a.canvas.SetOnChanging(TNotifyEvent([&](TObject*) { ++changing; }));
  a.canvas.SetOnChange(TNotifyEvent([&](TObject*) { ++changed; }));
  a.canvas.Rectangle(0, 0, 4, 4);
  a.canvas.FillRect(TRect(0, 0, 2, 2));
  a.canvas.MoveTo(3, 3);  // moving draws nothing
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  HPEN pen = a.canvas.Pen()->Handle();
  EXPECT_EQ(GetCurrentObject(a.surface.dc(), OBJ_PEN), pen);
  a.canvas.Refresh();
  EXPECT_NE(GetCurrentObject(a.surface.dc(), OBJ_PEN), pen);
  // A pen changed while selected is deselected first, so its old handle really goes: it waits
  // among the unused shared handles and is deleted once enough others came and went, which
  // DeleteObject refuses for a handle still selected.
  a.canvas.Pen()->SetColor(static_cast<TColor>(RGB(1, 2, 3)));  // a pen no other object holds
  a.canvas.Rectangle(0, 0, 4, 4);
  const HPEN used = a.canvas.Pen()->Handle();
  a.canvas.Pen()->SetColor(clRed);
  EXPECT_NE(GetCurrentObject(a.surface.dc(), OBJ_PEN), used);
  for (int32_t i = 0; i < 200; ++i) {
    TPen other;
    other.SetColor(static_cast<TColor>(RGB(i, 200, 100)));
    ASSERT_NE(other.Handle(), nullptr);
  }
  EXPECT_EQ(GetObjectType(used), 0u);
}

TEST(GraphicsCanvas, PixelsAndClipRect) {
  CanvasOver a(8, 6);
  a.canvas.SetPixels(2, 3, clBtnShadow);
  EXPECT_EQ(a.canvas.Pixels(2, 3), static_cast<TColor>(GetSysColor(COLOR_BTNSHADOW)));
  EXPECT_EQ(a.canvas.ClipRect(), TRect(0, 0, 8, 6));
  IntersectClipRect(a.surface.dc(), 1, 1, 4, 5);
  EXPECT_EQ(a.canvas.ClipRect(), TRect(1, 1, 4, 5));
  EXPECT_EQ(static_cast<uint32_t>(a.canvas.Pixels(20, 20)), CLR_INVALID);
}

TEST(GraphicsCanvas, CopyRectUsesTheCopyMode) {
  CanvasOver src(4, 4), dst(4, 4);
  src.canvas.Brush()->SetColor(clBlack);
  src.canvas.FillRect(TRect(0, 0, 2, 4));
  dst.canvas.Brush()->SetColor(clRed);
  dst.canvas.FillRect(TRect(0, 0, 4, 4));
  dst.canvas.SetCopyMode(cmSrcAnd);
  dst.canvas.CopyRect(TRect(0, 0, 4, 4), &src.canvas, TRect(0, 0, 4, 4));
  EXPECT_EQ(dst.surface.Map(), Rows({"##rr", "##rr", "##rr", "##rr"}));
  dst.canvas.SetCopyMode(cmSrcInvert);
  dst.canvas.CopyRect(TRect(0, 0, 2, 2), &src.canvas, TRect(2, 0, 4, 2));  // white source inverts
  EXPECT_EQ(dst.surface.At(0, 0), 0xFFFFFFu);
  EXPECT_EQ(dst.surface.At(2, 0), 0x0000FFu);
}

TEST(GraphicsCanvas, LockIsReentrantAndTryLockFailsWhileHeld) {
  TCanvas c;
  c.Lock();
  c.Lock();
  EXPECT_EQ(c.LockCount(), 2);
  EXPECT_FALSE(c.TryLock());
  std::atomic<bool> other{true};
  std::thread([&] { other = c.TryLock(); }).join();
  EXPECT_FALSE(other.load());
  c.Unlock();
  c.Unlock();
  EXPECT_EQ(c.LockCount(), 0);
  std::thread([&] {
    other = c.TryLock();
    if (other) c.Unlock();
  }).join();
  EXPECT_TRUE(other.load());
}

TEST(GraphicsCanvas, BrushCopyReplacesTheColourWithTheBrushOrLeavesTheCanvas) {
  TBitmap bmp(3, 1);
  bmp.SetPixelFormat(pf24bit);
  bmp.Canvas()->SetPixels(0, 0, clFuchsia);
  bmp.Canvas()->SetPixels(1, 0, clBlue);
  bmp.Canvas()->SetPixels(2, 0, clFuchsia);
  CanvasOver a(3, 2);
  a.canvas.Brush()->SetColor(clLime);
  a.canvas.BrushCopy(TRect(0, 0, 3, 1), &bmp, TRect(0, 0, 3, 1), clFuchsia);
  a.canvas.Brush()->SetStyle(bsClear);
  a.canvas.BrushCopy(TRect(0, 1, 3, 2), &bmp, TRect(0, 0, 3, 1), clFuchsia);
  EXPECT_EQ(a.surface.Map(), Rows({"gbg", ".b."}));
}

TEST(GraphicsCanvas, PatternBrushesTileTheBitmap) {
  TBitmap pattern(2, 2);
  pattern.SetPixelFormat(pf24bit);
  FillPixels(pattern, [](int32_t x, int32_t y) { return x == y ? clRed : clBlue; });
  CanvasOver a(5, 3);
  a.canvas.Brush()->SetBitmap(&pattern);
  LOGBRUSH lb;
  ASSERT_EQ(GetObject(a.canvas.Brush()->Handle(), sizeof lb, &lb), static_cast<int32_t>(sizeof lb));
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_PATTERN));
  a.canvas.FillRect(TRect(0, 0, 5, 3));
  EXPECT_EQ(a.surface.Map(), Rows({"rbrbr", "brbrb", "rbrbr"}));
  a.canvas.Brush()->SetBitmap(nullptr);
}
