// Device-context state: objects and handles, the save stack, mapping modes and transforms.
#include "tests/gdi/GdiTestSupport.h"

TEST(GdiObjects, HandlesAreCheckedByGenerationAndKind) {
  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  HBRUSH brush = CreateSolidBrush(0);
  EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
  EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
  TestCanvas c(2, 2);
  // A brush handle cast to a pen selects as what it is; a region handle as a DC fails.
  EXPECT_TRUE(SelectObject(c.dc(), brush));
  HRGN rgn = CreateRectRgn(0, 0, 1, 1);
  EXPECT_FALSE(GetBkColor(reinterpret_cast<HDC>(rgn)) != CLR_INVALID);
  EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(rgn)));
  // Selected objects cannot be deleted; after deselection they can, once.
  EXPECT_FALSE(DeleteObject(brush));
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_FALSE(SelectObject(c.dc(), brush));
  EXPECT_EQ(GetObjectType(brush), 0u);
  // A new object reusing the slot does not revive the old handle.
  HBRUSH again = CreateSolidBrush(0x00FF00);
  EXPECT_NE(again, brush);
  EXPECT_EQ(GetObjectType(brush), 0u);
  LOGBRUSH lb;
  EXPECT_EQ(GetObject(brush, sizeof(lb), &lb), 0);
  EXPECT_EQ(GetObject(again, sizeof(lb), &lb), static_cast<int32_t>(sizeof(lb)));
  EXPECT_EQ(lb.lbColor, 0x00FF00u);
  LOGPEN lp;
  EXPECT_EQ(GetObject(pen, sizeof(lp), &lp), static_cast<int32_t>(sizeof(lp)));
  EXPECT_EQ(GetObject(pen, sizeof(lp) - 1, &lp), 0);
  // Stock objects survive DeleteObject.
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));
  EXPECT_EQ(GetStockObject(99), nullptr);
  LOGFONT lf;
  EXPECT_EQ(GetObject(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf), static_cast<int32_t>(sizeof(lf)));
  EXPECT_STREQ(lf.lfFaceName, "Tahoma");
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(uintptr_t(0xDEADBEEF))));
  DeleteObject(again);
  DeleteObject(pen);
  DeleteObject(rgn);
  // Bad creation arguments.
  EXPECT_FALSE(CreatePen(42, 1, 0));
  EXPECT_FALSE(CreateHatchBrush(9, 0));
  EXPECT_FALSE(CreateBitmap(-1, 5, 1, 1, nullptr));
  EXPECT_FALSE(CreateBitmap(5, 5, 1, 3, nullptr));
  EXPECT_FALSE(CreateBitmap(1 << 20, 1 << 20, 1, 32, nullptr));
  EXPECT_FALSE(CreateCompatibleBitmap(c.dc(), -1, 1));
  EXPECT_FALSE(CreatePatternBrush(nullptr));
}

TEST(GdiObjects, ABitmapLivesInOneMemoryDCAtATime) {
  HBITMAP bm = CreateBitmap(4, 4, 1, 32, nullptr);
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HGDIOBJ oldA = SelectObject(a, bm);
  EXPECT_EQ(GetObjectType(oldA), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(SelectObject(b, bm), nullptr);
  EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), bm);
  EXPECT_FALSE(DeleteObject(bm));
  EXPECT_EQ(GetDeviceCaps(a, HORZRES), 4);
  SelectObject(a, oldA);
  EXPECT_TRUE(SelectObject(b, bm));
  // Deleting the DC releases the bitmap.
  EXPECT_TRUE(DeleteDC(b));
  EXPECT_FALSE(DeleteDC(b));
  EXPECT_TRUE(DeleteObject(bm));
  DeleteDC(a);
  // A DC over a surface holds no bitmap.
  TestCanvas c(2, 2);
  HBITMAP other = CreateBitmap(2, 2, 1, 32, nullptr);
  EXPECT_EQ(SelectObject(c.dc(), other), nullptr);
  DeleteObject(other);
}

TEST(GdiState, SetterReturnPreviousValuesAndSaveRestoreByLevel) {
  TestCanvas c(4, 4);
  HDC dc = c.dc();
  EXPECT_EQ(SetBkColor(dc, 0x123456), 0xFFFFFFu);
  EXPECT_EQ(SetTextColor(dc, 0x654321), 0u);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc, 7), 0);
  EXPECT_EQ(SetTextAlign(dc, TA_BASELINE | TA_CENTER), static_cast<UINT>(TA_LEFT | TA_TOP));
  const int32_t one = SaveDC(dc);
  EXPECT_EQ(one, 1);
  SetBkColor(dc, 1);
  MoveToEx(dc, 3, 3, nullptr);
  const int32_t two = SaveDC(dc);
  EXPECT_EQ(two, 2);
  SetBkColor(dc, 2);
  SetViewportOrgEx(dc, 5, 5, nullptr);
  EXPECT_EQ(SaveDC(dc), 3);
  SetBkColor(dc, 3);
  EXPECT_TRUE(RestoreDC(dc, -2));  // back to the state saved as level 2
  EXPECT_EQ(GetBkColor(dc), 1u);
  TPoint p;
  GetViewportOrgEx(dc, &p);
  EXPECT_EQ(p, TPoint(0, 0));
  GetCurrentPositionEx(dc, &p);
  EXPECT_EQ(p, TPoint(3, 3));
  EXPECT_FALSE(RestoreDC(dc, 2));  // gone
  EXPECT_TRUE(RestoreDC(dc, 1));
  EXPECT_EQ(GetBkColor(dc), 0x123456u);
  EXPECT_EQ(GetTextAlign(dc), static_cast<UINT>(TA_BASELINE | TA_CENTER));
  EXPECT_FALSE(RestoreDC(dc, -1));
  EXPECT_FALSE(RestoreDC(dc, 0));
  // Objects selected at save time come back, and stay deletable only when deselected.
  HPEN pen = CreatePen(PS_SOLID, 1, 0x0000FF);
  HGDIOBJ old = SelectObject(dc, pen);
  const int32_t s = SaveDC(dc);
  SelectObject(dc, old);
  EXPECT_FALSE(DeleteObject(pen));  // held by the saved state
  RestoreDC(dc, s);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(pen));
  // Deleting a DC with saved states releases what they hold.
  HBRUSH brush = CreateSolidBrush(0);
  HDC mem = CreateCompatibleDC(nullptr);
  SelectObject(mem, brush);
  SaveDC(mem);
  SelectObject(mem, GetStockObject(WHITE_BRUSH));
  EXPECT_FALSE(DeleteObject(brush));
  DeleteDC(mem);
  EXPECT_TRUE(DeleteObject(brush));
}

TEST(GdiState, ViewportWindowAndZoomedMapping) {
  TestCanvas c(12, 12);
  HDC dc = c.dc();
  SetViewportOrgEx(dc, 2, 1, nullptr);
  SetWindowOrgEx(dc, 1, 0, nullptr);
  TPoint pts[2] = {{1, 0}, {5, 5}};
  LPtoDP(dc, pts, 2);
  EXPECT_EQ(pts[0], TPoint(2, 1));
  EXPECT_EQ(pts[1], TPoint(6, 6));
  DPtoLP(dc, pts, 2);
  EXPECT_EQ(pts[1], TPoint(5, 5));
  // Extents are ignored in MM_TEXT.
  EXPECT_TRUE(SetWindowExtEx(dc, 2, 2, nullptr));
  TSize ext;
  GetWindowExtEx(dc, &ext);
  EXPECT_EQ(ext, TSize(1, 1));
  // A 3x zoom: logical to device = (l - windowOrg) * 3 + viewportOrg.
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  EXPECT_EQ(SetMapMode(dc, MM_ANISOTROPIC), MM_TEXT);
  SetWindowExtEx(dc, 1, 1, nullptr);
  SetViewportExtEx(dc, 3, 3, nullptr);
  HBRUSH black = CreateSolidBrush(0);
  FillRect(dc, TRect(1, 1, 3, 2), black);
  EXPECT_EQ(c.Map(), Rows({"............", "............", "............", "...######...", "...######...",
                           "...######...", "............", "............", "............", "............",
                           "............", "............"}));
  // Pens scale with the zoom; a width-0 pen stays one pixel.
  c.Clear(0xFFFFFF);
  HPEN one = CreatePen(PS_SOLID, 1, 0);
  SelectObject(dc, one);
  MoveToEx(dc, 0, 2, nullptr);
  LineTo(dc, 4, 2);
  int32_t dark = 0;
  for (int32_t y = 0; y < 12; ++y) dark += c.At(5, y) == 0;
  EXPECT_EQ(dark, 3);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  DeleteObject(one);
  // Isotropic mapping keeps equal scales.
  SetMapMode(dc, MM_ISOTROPIC);
  SetWindowExtEx(dc, 10, 10, nullptr);
  SetViewportExtEx(dc, 40, 20, nullptr);
  GetViewportExtEx(dc, &ext);
  EXPECT_EQ(ext, TSize(20, 20));
  EXPECT_EQ(SetMapMode(dc, MM_TEXT), MM_ISOTROPIC);
  DeleteObject(black);
}

TEST(GdiState, WorldTransform) {
  TestCanvas c(8, 8);
  HDC dc = c.dc();
  XFORM x;
  x.eM11 = 2;
  x.eM22 = 2;
  x.eDx = 1;
  EXPECT_FALSE(SetWorldTransform(dc, x));  // needs GM_ADVANCED
  EXPECT_EQ(SetGraphicsMode(dc, GM_ADVANCED), GM_COMPATIBLE);
  EXPECT_TRUE(SetWorldTransform(dc, x));
  TPoint p{1, 1};
  LPtoDP(dc, &p, 1);
  EXPECT_EQ(p, TPoint(3, 2));
  XFORM shift;
  shift.eDy = 1;
  EXPECT_TRUE(ModifyWorldTransform(dc, &shift, MWT_RIGHTMULTIPLY));
  p = {1, 1};
  LPtoDP(dc, &p, 1);
  EXPECT_EQ(p, TPoint(3, 3));
  XFORM got;
  GetWorldTransform(dc, &got);
  EXPECT_EQ(got.eDy, 1.0f);
  EXPECT_EQ(SetGraphicsMode(dc, GM_COMPATIBLE), 0);  // not with a transform set
  XFORM singular;
  singular.eM11 = 0;
  singular.eM22 = 0;
  EXPECT_FALSE(SetWorldTransform(dc, singular));
  // A rotation by 90 degrees: shapes go through device-space polygons.
  XFORM rot;
  rot.eM11 = 0;
  rot.eM12 = 1;
  rot.eM21 = -1;
  rot.eM22 = 0;
  rot.eDx = 8;
  EXPECT_TRUE(SetWorldTransform(dc, rot));
  SelectObject(dc, GetStockObject(NULL_PEN));
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  Rectangle(dc, 0, 0, 4, 3);  // device x 5..8, y 0..4
  EXPECT_EQ(c.At(6, 1), 0u);
  EXPECT_EQ(c.At(2, 1), 0xFFFFFFu);
  EXPECT_TRUE(ModifyWorldTransform(dc, nullptr, MWT_IDENTITY));
  EXPECT_EQ(SetGraphicsMode(dc, GM_COMPATIBLE), GM_ADVANCED);
}

TEST(GdiState, DeviceCapsAndTheScreenDC) {
  HDC screen = GetDC(nullptr);
  ASSERT_TRUE(screen);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
  EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), -1);
  EXPECT_TRUE(GetDeviceCaps(screen, RASTERCAPS) & RC_STRETCHBLT);
  EXPECT_GT(GetDeviceCaps(screen, HORZRES), 0);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 0);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(uintptr_t(5))), nullptr);
  TestCanvas c(7, 3);
  EXPECT_EQ(GetDeviceCaps(c.dc(), HORZRES), 7);
  EXPECT_EQ(GetDeviceCaps(c.dc(), VERTRES), 3);
  EXPECT_EQ(CreateSurfaceDC(nullptr), nullptr);
}

TEST(GdiState, StaleAndWrongHandlesFailEverywhere) {
  TSurface s(4, 4, 32);
  HDC dead = CreateSurfaceDC(&s);
  ASSERT_TRUE(DeleteDC(dead));
  HBRUSH brush = CreateSolidBrush(0);
  HRGN rgn = CreateRectRgn(0, 0, 2, 2);
  HDC wrong = reinterpret_cast<HDC>(brush);  // a live handle of another kind
  const TPoint pts[3] = {{0, 0}, {3, 0}, {3, 3}};
  TRect r(0, 0, 2, 2);
  for (HDC dc : {dead, wrong, static_cast<HDC>(nullptr)}) {
    EXPECT_FALSE(LineTo(dc, 1, 1));
    EXPECT_FALSE(Rectangle(dc, 0, 0, 2, 2));
    EXPECT_FALSE(Ellipse(dc, 0, 0, 2, 2));
    EXPECT_FALSE(Polygon(dc, pts, 3));
    EXPECT_FALSE(FillRect(dc, r, brush));
    EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, PATCOPY));
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, 0, 0, 0), CLR_INVALID);
    EXPECT_FALSE(SelectObject(dc, brush));
    EXPECT_EQ(SelectClipRgn(dc, rgn), ERROR);
    EXPECT_EQ(SaveDC(dc), 0);
    EXPECT_FALSE(DrawEdge(dc, r, EDGE_RAISED, BF_RECT));
    EXPECT_FALSE(FillRgn(dc, rgn, brush));
    if (dc) {
      EXPECT_EQ(CreateCompatibleDC(dc), nullptr);  // null means the screen: allowed
    }
    EXPECT_FALSE(CreateCompatibleBitmap(dc, 2, 2));
    EXPECT_EQ(SetBkMode(dc, OPAQUE), 0);
    EXPECT_FALSE(DeleteDC(dc));
  }
  EXPECT_TRUE(DeleteObject(rgn));
  HDC screen = GetDC(nullptr);
  EXPECT_FALSE(FillRgn(screen, rgn, brush));  // stale region
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(CombineRgn(rgn, rgn, rgn, RGN_OR), ERROR);
  DeleteObject(brush);
}
