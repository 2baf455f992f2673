// The owner-drawn main menu, its item routines and stylers, on real forms and surfaces.
#include <gtest/gtest.h>

#include <memory>

#include "controls/CvMenuStylers.h"
#include "controls/CvMenuUtil.h"
#include "controls/CvMenus.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/controls/MenuTestSupport.h"

namespace {

using enum CvMenus::TGradientDirection;

const TColorRef kFrame = Rgb(48, 129, 208);

class CvMenusTest : public ControlsFormTest {
 protected:
  // Opens the File menu by its mnemonic (its first item is selected).
  HWND OpenFile(AppMenu& M) {
    form_->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
    Pump();
    return MenuWindowFromMenu(M.File->Handle());
  }
  // The client rectangle of an item of an open drop-down.
  static TRect ItemRect(HWND Drop, TMenuItem* Item) {
    TRect r;
    const int32_t index = Item->Parent()->IndexOf(Item);
    EXPECT_TRUE(GetMenuItemRect(Drop, Item->Parent()->Handle(), static_cast<UINT>(index), &r));
    TPoint o(0, 0);
    ClientToScreen(Drop, &o);
    r.Offset(-o.X, -o.Y);
    return r;
  }
  static int32_t Count(HWND Wnd, const TRect& R, TColorRef C) {
    int32_t n = 0;
    for (int32_t y = R.Top; y < R.Bottom; ++y)
      for (int32_t x = R.Left; x < R.Right; ++x) n += ClientPixel(Wnd, x, y) == C;
    return n;
  }
  void TearDown() override {
    EndMenu();
    ControlsFormTest::TearDown();
  }
};

// =============================================================================================
// The menu component

TEST_F(CvMenusTest, StylersAndHandlers) {
  auto* menu = new TCvMainMenu(form_.get());  // owned by the form
  EXPECT_EQ(menu->MenuStyler(), nullptr);
  ASSERT_NE(menu->InternalStyler(), nullptr);
  EXPECT_EQ(menu->InternalStyler()->Name(), "InternalMenuStyler");
  EXPECT_TRUE(menu->InternalStyler()->ComponentStyle().Contains(csSubComponent));
  EXPECT_EQ(menu->GetCurrentStyler(), menu->InternalStyler());
  EXPECT_TRUE(menu->OwnerDraw());
  // An assigned styler replaces the internal one; freeing it brings a new internal one.
  auto* styler = new TCvMenuStyler(form_.get());  // owned by the form
  menu->SetMenuStyler(styler);
  EXPECT_EQ(menu->InternalStyler(), nullptr);
  EXPECT_EQ(menu->GetCurrentStyler(), styler);
  EXPECT_EQ(styler->Menu(), static_cast<ICvMenu*>(menu));
  delete styler;  // owned by the form
  EXPECT_EQ(menu->MenuStyler(), nullptr);
  ASSERT_NE(menu->InternalStyler(), nullptr);
  EXPECT_EQ(menu->GetCurrentStyler(), menu->InternalStyler());
  // Items added while updating get the handlers at the end; an item's own drawing stays.
  const TAdvancedMenuDrawItemEvent ours(menu, &TCvMainMenu::MenuItemDrawHandler);
  auto* own = new TMenuItem(form_.get());  // owned by the form
  bool ownDrew = false;
  own->SetOnAdvancedDrawItem([&](TObject*, TCanvas*, const TRect&, TOwnerDrawState) { ownDrew = true; });
  const TAdvancedMenuDrawItemEvent ownHandler = own->OnAdvancedDrawItem();
  menu->BeginMenuUpdate();
  auto* plain = new TMenuItem(form_.get());  // owned by the form
  plain->SetCaption("Plain");
  menu->Items()->Add(plain);
  menu->Items()->Add(own);
  menu->BeginMenuUpdate();
  menu->EndMenuUpdate();
  EXPECT_TRUE(menu->Updating());
  menu->EndMenuUpdate();
  EXPECT_FALSE(menu->Updating());
  EXPECT_TRUE(plain->OnAdvancedDrawItem() == ours);
  EXPECT_TRUE(plain->OnMeasureItem() == TMenuMeasureItemEvent(menu, &TCvMainMenu::MenuItemMeasureHandler));
  EXPECT_TRUE(own->OnAdvancedDrawItem() == ownHandler);
  // The version is fixed.
  menu->SetVersion("9.9");
  EXPECT_EQ(menu->Version(), "2.0.0.0");
  SetStrProp(menu, "Version", "1.0");
  EXPECT_EQ(GetStrProp(menu, "Version"), "2.0.0.0");
}

TEST_F(CvMenusTest, NoDesktopSettingChanges) {
  BOOL before = 2, during = 2, after = 2;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETMENUANIMATION, 0, &before, 0));
  {
    auto form = NewForm(300, 200);
    AppMenu m(form.get());
    Pump();
    SystemParametersInfo(SPI_GETMENUANIMATION, 0, &during, 0);
  }
  Pump();
  SystemParametersInfo(SPI_GETMENUANIMATION, 0, &after, 0);
  EXPECT_EQ(during, before);
  EXPECT_EQ(after, before);
}

// =============================================================================================
// Measuring

TEST_F(CvMenusTest, Measuring) {
  AppMenu m(form_.get());
  TestSurface s(10, 10);
  s.Canvas()->Font()->Assign(Screen()->MenuFont());
  int32_t w = 0, h = 17;
  MeasureMenuItem(m.Sep, s.Canvas(), false, w, h);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(w, -2);
  // Without the system font an item is as high as its text plus 6, rounded up to even: the
  // 16-pixel image does not raise it.
  w = 0, h = 17;
  MeasureMenuItem(m.Open, s.Canvas(), false, w, h);
  EXPECT_EQ(h, 20);
  // A shortcut with the Windows-key flag is written with "Win+" before it.
  m.Open->SetShortCut('O');
  w = 0, h = 17;
  MeasureMenuItem(m.Open, s.Canvas(), false, w, h);
  const int32_t plain = w;
  m.Open->SetShortCut(static_cast<TShortCut>('O' | 0x0200));
  EXPECT_EQ(MenuShortCutText(m.Open), "Win+O");
  w = 0, h = 17;
  MeasureMenuItem(m.Open, s.Canvas(), false, w, h);
  s.Canvas()->Font()->Assign(m.Styler->Font());
  EXPECT_EQ(w - plain, 2 * s.Canvas()->TextWidth("Win+"));
  // Menu-bar items start from the desktop's menu button size.
  int32_t mw = 0, mh = 0;
  ASSERT_TRUE(ReadMenuMetrics(mw, mh));
  w = 0, h = 0;
  MeasureMenuItem(m.File, s.Canvas(), false, w, h);
  EXPECT_EQ(h, s.Canvas()->TextHeight("A") + 6);
  // Items of other menus are left alone.
  TMainMenu other(form_.get());
  auto* foreign = new TMenuItem(form_.get());  // owned by the form
  other.Items()->Add(foreign);
  w = 5, h = 6;
  MeasureMenuItem(foreign, s.Canvas(), false, w, h);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 6);
  other.Items()->Remove(foreign);
}

// =============================================================================================
// Gradients

TEST_F(CvMenusTest, Gradients) {
  for (bool direct : {false, true}) {
    SCOPED_TRACE(direct);
    TestSurface s(6, 20, clFuchsia);
    s.Bitmap.SetPixelFormat(pf32bit);
    TBitmap* bitmap = direct ? &s.Bitmap : nullptr;
    // Black to white over 4 rows, one step short of white.
    FillMenuGradient(bitmap, s.Canvas(), TRect(0, 0, 2, 4), gdVertical, clWhite, clBlack);
    const int want[] = {0, 63, 127, 191};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(s.At(1, y), Rgb(want[y], want[y], want[y])) << y;
    // Nothing for a height of 0.
    FillMenuGradient(bitmap, s.Canvas(), TRect(2, 0, 4, 0), gdVertical, clWhite, clBlack);
    EXPECT_EQ(s.At(2, 0), Rgb(clFuchsia));
    // Horizontal, and ColorTo clNone meaning one colour.
    FillMenuGradient(bitmap, s.Canvas(), TRect(2, 4, 6, 6), gdHorizontal, clWhite, clBlack);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(2 + x, 5), Rgb(want[x], want[x], want[x])) << x;
    FillMenuGradient(bitmap, s.Canvas(), TRect(0, 6, 6, 7), gdVertical, clNone, clRed);
    EXPECT_EQ(s.At(5, 6), Rgb(clRed));
    // A slice continues the gradient of the whole rectangle.
    const TRect whole(0, 7, 1, 19);
    FillMenuGradient(bitmap, s.Canvas(), whole, gdVertical, clWhite, clBlack);
    FillMenuGradientSlice(bitmap, s.Canvas(), TRect(1, 7, 2, 19), gdVertical, clWhite, clBlack, TRect(0, 10, 3, 15));
    for (int y = 10; y < 15; ++y) EXPECT_NEAR(GetRValue(s.At(1, y)), GetRValue(s.At(0, y)), 1) << y;
    EXPECT_EQ(s.At(1, 10), s.At(0, 10));
    EXPECT_EQ(s.At(1, 9), Rgb(clFuchsia));
    EXPECT_EQ(s.At(1, 15), Rgb(clFuchsia));
  }
}

TEST_F(CvMenusTest, BoxesSeparatorsAndBackgrounds) {
  TestSurface s(40, 30, clFuchsia);
  // A mirror box: the upper half from Color, the lower from Mirror, framed.
  FillMenuMirrorBox(nullptr, s.Canvas(), TRect(0, 0, 10, 10), true, clBlue, gdVertical, clLime, clLime, clRed,
                    clRed);
  EXPECT_EQ(s.At(0, 0), Rgb(clBlue));
  EXPECT_EQ(s.At(5, 3), Rgb(clRed));
  EXPECT_EQ(s.At(5, 7), Rgb(clLime));
  // A box with clNone colour: the frame only.
  FillMenuBox(nullptr, s.Canvas(), TRect(10, 0, 20, 10), true, clBlue, gdVertical, clNone, clNone);
  EXPECT_EQ(s.At(15, 5), Rgb(clFuchsia));
  EXPECT_EQ(s.At(10, 5), Rgb(clBlue));
  // Separators: solid middle, gradients at the ends.
  DrawMenuSeparator(nullptr, s.Canvas(), TRect(0, 12, 40, 13), 2, 4, gtBoth, gdHorizontal, clWhite, clBlack);
  EXPECT_EQ(s.At(1, 12), Rgb(clFuchsia));
  EXPECT_EQ(s.At(2, 12), Rgb(clWhite));
  EXPECT_EQ(s.At(20, 12), Rgb(clBlack));
  EXPECT_EQ(s.At(37, 12), Rgb(191, 191, 191));
  DrawMenuSeparator(nullptr, s.Canvas(), TRect(0, 14, 40, 15), 0, 0, gtLeft, gdHorizontal, clNone, clRed);
  EXPECT_EQ(s.At(0, 14), Rgb(clRed));
  EXPECT_EQ(s.At(39, 14), Rgb(clRed));
  // A tiled background with an empty picture draws its colours and no picture.
  TBackground back;
  back.SetColor(clYellow);
  back.SetPosition(bpTiled);
  TBitmap empty;
  back.Image()->SetGraphic(&empty);
  DrawMenuBackground(s.Canvas(), TRect(0, 16, 40, 30), &back, true);
  EXPECT_EQ(s.At(20, 20), Rgb(clYellow));
  // A tiled picture repeats from the corner, transparent where it has its bottom-left colour.
  TBitmap tile;
  tile.SetSize(3, 3);
  tile.Canvas()->Brush()->SetColor(clNavy);
  tile.Canvas()->FillRect(TRect(0, 0, 3, 3));
  tile.Canvas()->SetPixels(1, 1, clRed);
  tile.Canvas()->SetPixels(0, 2, clLime);
  back.Image()->SetGraphic(&tile);
  DrawMenuBackground(s.Canvas(), TRect(0, 16, 40, 30), &back, true);
  EXPECT_EQ(s.At(4, 17), Rgb(clRed));
  EXPECT_EQ(s.At(4, 16), Rgb(clNavy));
  EXPECT_EQ(s.At(3, 18), Rgb(clYellow));
}

// =============================================================================================
// Painting on the menu windows

TEST_F(CvMenusTest, TheApplicationsMenuPaintsWithItsStyler) {
  AppMenu m(form_.get());
  Pump();
  TWinControl* bar = form_->MenuBar();
  ASSERT_NE(bar, nullptr);
  // An idle bar item starts its gradient in the root colour.
  TRect fr;
  GetWindowRect(form_->Handle(), &fr);
  TRect file;
  ASSERT_TRUE(GetMenuItemRect(form_->Handle(), m.Menu->Handle(), 0, &file));
  const TPoint o = bar->ClientToScreen(TPoint(0, 0));
  EXPECT_EQ(Pixel(bar, file.Left - o.X + 8, file.Top - o.Y), Rgb(141, 210, 243));
  HWND drop = OpenFile(m);
  ASSERT_NE(drop, nullptr);
  // The selected first item: its frame, then the gradient's second row.
  const TRect open = ItemRect(drop, m.Open);
  EXPECT_EQ(open.Height(), 20);
  EXPECT_EQ(ClientPixel(drop, open.Left + 40, open.Top), kFrame);
  EXPECT_EQ(ClientPixel(drop, open.Left + 40, open.Top + 1), Rgb(137, 209, 243));
  // The image on the icon bar; the next item on white, the icon bar from white.
  const TRect save = ItemRect(drop, m.SaveAs);
  EXPECT_EQ(ClientPixel(drop, save.Left + 12, (save.Top + save.Bottom) / 2), Rgb(clBlue));
  EXPECT_EQ(ClientPixel(drop, save.Left + 60, save.Top + 1), Rgb(clWhite));
  // The separator in its colour right of the icon bar.
  const TRect sep = ItemRect(drop, m.Sep);
  EXPECT_EQ(ClientPixel(drop, sep.Left + 60, (sep.Top + sep.Bottom) / 2), Rgb(176, 224, 230));
  // The open bar item joins its drop-down: its bottom row is the background colour.
  const TRect sel(file.Left - o.X, file.Top - o.Y, file.Right - o.X, file.Bottom - o.Y);
  EXPECT_EQ(Pixel(bar, sel.Left, sel.Top + 3), kFrame);
  EXPECT_EQ(Pixel(bar, sel.Left + 5, sel.Bottom - 1), Rgb(clWhite));
}

TEST_F(CvMenusTest, ChecksRadiosImagesAndDisabledItems) {
  AppMenu m(form_.get());
  // A grey background: white can only be the highlight of embossed text.
  m.Styler->Background()->SetColor(0x00E0E0E0);
  m.Menu->BeginMenuUpdate();
  TMenuItem* radio = m.Item(m.File, "Radio");
  radio->SetRadioItem(true);
  radio->SetChecked(true);
  TMenuItem* disabled = m.Item(m.File, "Disabled");
  disabled->SetEnabled(false);
  m.Menu->EndMenuUpdate();
  m.Open->SetChecked(true);
  Pump();
  HWND drop = OpenFile(m);
  ASSERT_NE(drop, nullptr);
  // The checked image on the check colours (the selected item's while selected).
  const TRect open = ItemRect(drop, m.Open);
  const int32_t openMid = (open.Top + open.Bottom) / 2;
  EXPECT_EQ(ClientPixel(drop, open.Left + 12, openMid), Rgb(clRed));
  EXPECT_EQ(ClientPixel(drop, open.Left + 3, openMid), kFrame);
  // The radio glyph on the radio colours of the icon bar.
  const TRect r = ItemRect(drop, radio);
  TRect box(r.Left, r.Top + 1, r.Left + 24, r.Bottom - 1);
  CenterRectOfSize(box, std::min(box.Width(), box.Height()), std::min(box.Width(), box.Height()));
  CenterRectOfSize(box, 16, 16);
  EXPECT_EQ(ClientPixel(drop, box.Left + 7, box.Top + 7), Rgb(clBlack));
  EXPECT_EQ(ClientPixel(drop, box.Left + 7, box.Top), Rgb(255, 237, 167));
  // A disabled item: embossed when not selected, grey when selected.
  const TRect d = ItemRect(drop, disabled);
  const TRect text(d.Left + 32, d.Top, d.Left + 100, d.Bottom);
  EXPECT_GT(Count(drop, text, Rgb(clWhite)), 0);
  EXPECT_GT(Count(drop, text, Rgb(128, 128, 128)), 0);
  for (int32_t i = 0; i < 4; ++i) Press(VK_DOWN);
  Pump();
  EXPECT_EQ(Count(drop, text, Rgb(clWhite)), 0);
  EXPECT_GT(Count(drop, text, Rgb(128, 128, 128)), 0);
}

// =============================================================================================
// Stylers

TEST_F(CvMenusTest, StylerOptions) {
  TCvMenuStyler styler(nullptr);
  styler.IconBar()->SetSize(10);
  EXPECT_EQ(styler.IconBar()->Size(), 16);
  EXPECT_EQ(styler.RootItem()->HoverColors(3), styler.RootItem()->HoverColorMirrorTo());
  try {
    styler.RootItem()->SetHoverColors(4, clRed);
    ADD_FAILURE();
  } catch (const EInvalidPropertyIndex& e) {
    EXPECT_EQ(e.Message(), "Invalid property index 4.");
  }
  EXPECT_THROW(styler.IconBar()->IndexedColor(2), EInvalidPropertyIndex);
  EXPECT_THROW(styler.SelectedItem()->RadioColors(-1), EInvalidPropertyIndex);
  // The glyphs are the compiled-in pictures, drawn transparent.
  TMenuGlyphs* g = styler.Glyphs();
  EXPECT_EQ(g->Check()->Width(), 16);
  EXPECT_EQ(g->SubMenu()->Width(), 4);
  EXPECT_EQ(g->SubMenu()->Height(), 7);
  EXPECT_TRUE(g->Radio()->Transparent());
  EXPECT_EQ(g->Check()->Canvas()->Pixels(11, 4), clBlack);
  EXPECT_EQ(g->Check()->Canvas()->Pixels(10, 4), clWhite);
  EXPECT_EQ(g->Radio()->Canvas()->Pixels(5, 7), clBlack);
  EXPECT_EQ(g->Radio()->Canvas()->Pixels(5, 5), clWhite);
  // Assign copies every option but the border colour.
  TCvMenuStyler copy(nullptr);
  styler.SetMenuBorderColor(clRed);
  styler.Separator()->SetWidth(3);
  copy.Assign(&styler);
  EXPECT_EQ(copy.Separator()->Width(), 3);
  EXPECT_EQ(copy.IconBar()->Size(), 16);
  EXPECT_NE(copy.MenuBorderColor(), clRed);
}

TEST_F(CvMenusTest, FantasyStyles) {
  using enum TFantasyStyle;
  TCvMenuFantasyStyler s(nullptr);
  // Lines of the style tables: background, border, root item, selected item, icon bar, separator.
  struct Row {
    TFantasyStyle Style;
    TColor Back, Border, Root, RootHover, Sel, SelText, Icon, Sep;
    bool SideBar;
  };
  const Row rows[] = {
      {fsArctic, clWindow, 0x00C0C0C0, 0x00FFFFFF, clNone, 0x00FFFFFF, 0x00808080, 0x00EFEFEF, 0x00C0C0C0, false},
      {fsAquaBlue, 0x00FFFFFF, clNone, 0x00D08130, 0x00E6E0B0, 0x00FEF17E, 0x00FFFFFF, 0x00E6E0B0, 0x00E6E0B0, false},
      {fsChocolate, clWindow, 0x00808080, clBtnFace, 0x00D9FFFF, 0x00C1FFFE, 0x007A868A, 0x00D7EDED, 0x007A868A, false},
      {fsMacOS, 0x00FFFFFF, 0x00808080, 0x00FFFFFF, 0x00C0C0C0, 0x00F19546, 0x00FFFFFF, 0x00F3F3F3, 0x00FFFFFF, false},
      {fsSilverFox, 0x00D1C9C8, 0x00666666, 0x00FFFFFF, 0x00D2BDB5, 0x00D2BDB5, 0x000000B0, 0x00FFFFFF, 0x00A6A6A6, false},
      {fsSoftSand, 0x00E7F7FF, 0x00000000, 0x00E7F7FF, 0x00E7F7FF, 0x00B5DEF7, 0x000884BD, 0x00B5DEF7, 0x000884BD, false},
      {fsTerminalGreen, clWindow, 0x0000C000, 0x00F7FFF7, 0x00F7FFF7, 0x00F7FFF7, 0x00008000, 0x0000A000, 0x0000C000,
       false},
      {fsTextured, clNone, 0x000000B0, 0x00CFD5F3, clNone, clNone, 0x000000FF, 0x00CFD5F3, 0x00FFFFFF, false},
      {fsWindowsClassic, clMenu, 0x00000000, clMenu, 0x00A1684A, 0x00A1684A, 0x00FFFFFF, clMenu, 0x00000000, true},
      {fsWhidbey, 0x00F9FCFC, 0x007A868A, 0x00D9E6E7, 0x00EFD3C6, 0x00EED2C1, 0x00FFFFFF, 0x00FBFEFE, 0x00B8C2C5, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.Style));
    s.RootItem()->SetHoverColorMirror(clRed);
    s.SetStyle(r.Style);
    EXPECT_EQ(s.Style(), r.Style);
    EXPECT_EQ(s.Background()->Color(), r.Back);
    EXPECT_EQ(s.MenuBorderColor(), r.Border);
    EXPECT_EQ(s.RootItem()->Color(), r.Root);
    EXPECT_EQ(s.RootItem()->HoverColor(), r.RootHover);
    EXPECT_EQ(s.SelectedItem()->Color(), r.Sel);
    EXPECT_EQ(s.SelectedItem()->Font()->Color(), r.SelText);
    EXPECT_EQ(s.IconBar()->Color(), r.Icon);
    EXPECT_EQ(s.IconBar()->Size(), 24);
    EXPECT_EQ(s.Separator()->Color(), r.Sep);
    EXPECT_EQ(s.SideBar()->Visible(), r.SideBar);
    EXPECT_EQ(s.RootItem()->HoverColorMirror(), clNone);
  }
  // fsTextured tiles the texture; fsArctic removes it.
  s.SetStyle(fsTextured);
  ASSERT_TRUE(s.Background()->HasImage());
  EXPECT_EQ(s.Background()->Image()->Width(), 52);
  EXPECT_EQ(s.Background()->Image()->Height(), 54);
  EXPECT_EQ(s.Background()->Position(), bpTiled);
  EXPECT_EQ(s.RootItem()->Font()->Size(), 10);
  s.SetStyle(fsArctic);
  EXPECT_FALSE(s.Background()->HasImage());
  // fsCustom keeps the colours of the style before and clears the mirror colours.
  s.SetStyle(fsWindowsClassic);
  s.SelectedItem()->SetColorMirror(clRed);
  s.SetStyle(fsCustom);
  EXPECT_EQ(s.SelectedItem()->Color(), 0x00A1684A);
  EXPECT_EQ(s.RootItem()->SelectedColor(), 0x00A1684A);
  EXPECT_EQ(s.SelectedItem()->ColorMirror(), clNone);
}

TEST_F(CvMenusTest, TexturedDropDown) {
  AppMenu m(form_.get());
  m.Styler->SetStyle(TFantasyStyle::fsTextured);
  Pump();
  HWND drop = OpenFile(m);
  ASSERT_NE(drop, nullptr);
  // The texture shows right of the icon bar on unselected items, tiled every 52 pixels.
  const TRect save = ItemRect(drop, m.SaveAs);
  TBitmap texture;
  texture.LoadFromResourceName(HInstance, "MENUTEXTURE");
  const TColor clear = texture.Canvas()->Pixels(0, texture.Height() - 1);
  const int32_t y = save.Top + 2;
  int32_t checked = 0;
  for (int32_t x = save.Left + 30; x < save.Right - 17; ++x) {
    const TColor t = texture.Canvas()->Pixels((x - 24) % 52, y % 54);
    if (t == clear) continue;  // the texture's transparent colour
    EXPECT_EQ(ClientPixel(drop, x, y), Rgb(t)) << x;
    ++checked;
  }
  EXPECT_GT(checked, 30);
}

}  // namespace
