// TImageList: adding, editing, drawing styles, the disabled look, icons and change links.
#include <cstring>

#include "platform/gdi/ImgList.h"
#include "tests/gdi/GraphicsTestSupport.h"

namespace {

// A bitmap of rows of characters: '.' white, '#' black, 'r' red, 'g' green, 'b' blue,
// 'm' fuchsia (the mask colour in these tests).
std::unique_ptr<TBitmap> Picture(std::initializer_list<const char*> rows) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(static_cast<int32_t>(std::strlen(*rows.begin())), static_cast<int32_t>(rows.size()));
  int32_t y = 0;
  for (const char* r : rows) {
    for (int32_t x = 0; r[x]; ++x) {
      TColor c = clWhite;
      switch (r[x]) {
        case '#': c = clBlack; break;
        case 'r': c = clRed; break;
        case 'g': c = clLime; break;
        case 'b': c = clBlue; break;
        case 'm': c = clFuchsia; break;
        default: break;
      }
      b->Canvas()->SetPixels(x, y, c);
    }
    ++y;
  }
  return b;
}

struct Target {
  TestCanvas surface;
  TCanvas canvas;
  Target(int32_t w, int32_t h, COLORREF fill) : surface(w, h) {
    surface.Clear(fill);
    canvas.SetHandle(surface.dc());
  }
  ~Target() { canvas.SetHandle(nullptr); }
  // clBtnHighlight is white in the classic colour table: it shows as '.'.
  std::string Map() { return surface.Map({{GetSysColor(COLOR_BTNSHADOW), 's'}}); }
};

}  // namespace

TEST(ImgList, AddCutsTheImageIntoCellsAndAddMaskedMakesTheColourTransparent) {
  TImageList list(3, 2);
  EXPECT_EQ(list.Count(), 0);
  auto strip = Picture({"rrmbbmgg.", "rmmbmmg.."});
  EXPECT_EQ(list.AddMasked(strip.get(), clFuchsia), 0);
  EXPECT_EQ(list.Count(), 3);
  auto mask = Picture({"..#", "##."});
  auto one = Picture({"rgb", "bgr"});
  EXPECT_EQ(list.Add(one.get(), mask.get()), 3);
  EXPECT_EQ(list.Add(nullptr, nullptr), -1);
  auto small = Picture({"rg", "gr"});
  EXPECT_THROW(list.Add(small.get(), nullptr), EInvalidOperation);

  Target t(12, 2, 0x00FF00);
  for (int i = 0; i < 4; ++i) list.Draw(&t.canvas, i * 3, 0, i);
  EXPECT_EQ(t.Map(), Rows({"rrgbbggg.ggb", "rggbggg..bgg"}));
  // With a background colour the masked pixels take it; dsTransparent ignores it.
  list.SetBkColor(clBlack);
  list.Draw(&t.canvas, 0, 0, 0);
  list.Draw(&t.canvas, 3, 0, 1, dsTransparent, itImage);
  EXPECT_EQ(t.Map(), Rows({"rr#bbggg.ggb", "r##bggg..bgg"}));
  // The mask itself, and an unmasked list drawing the stored (blackened) pixels.
  list.Draw(&t.canvas, 0, 0, 0, dsNormal, itMask);
  EXPECT_EQ(t.Map().substr(0, 3), "##.");
  list.SetBkColor(clNone);
  list.SetMasked(false);
  list.Draw(&t.canvas, 6, 0, 0);
  EXPECT_EQ(t.Map().substr(6, 3), "rr#");
  EXPECT_EQ(t.Map().substr(13 + 6, 3), "r##");
  // Bad indexes draw nothing.
  const auto before = t.surface.Bytes();
  list.Draw(&t.canvas, 0, 0, 4);
  list.Draw(&t.canvas, 0, 0, -1);
  EXPECT_EQ(t.surface.Bytes(), before);
}

TEST(ImgList, DisabledImagesAreEmbossedInHighlightAndShadow) {
  TImageList list(4, 3);
  auto img = Picture({"m#mm", "mr.m", "mmmm"});
  list.AddMasked(img.get(), clFuchsia);
  Target t(6, 5, 0x00FF00);
  list.Draw(&t.canvas, 1, 1, 0, false);
  // Non-background pixels ('#' and 'r'; white counts as background) in clBtnShadow at their
  // place and in clBtnHighlight (white) one down and right where the shadow does not cover them.
  ASSERT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), 0xFFFFFFu);
  EXPECT_EQ(t.Map(), Rows({"gggggg", "ggsggg", "ggs.gg", "ggg.gg", "gggggg"}));
}

TEST(ImgList, SelectedAndFocusedStylesBlend) {
  TImageList list(2, 1);
  auto img = Picture({"#m"});
  list.AddMasked(img.get(), clFuchsia);
  list.SetBlendColor(clWhite);
  Target t(2, 1, 0x00FF00);
  list.Draw(&t.canvas, 0, 0, 0, dsSelected, itImage);
  EXPECT_EQ(t.surface.At(0, 0), static_cast<uint32_t>(RGB(128, 128, 128)));
  EXPECT_EQ(t.surface.At(1, 0), 0x00FF00u) << "masked pixels stay transparent";
  list.Draw(&t.canvas, 0, 0, 0, dsFocus, itImage);
  EXPECT_EQ(t.surface.At(0, 0), static_cast<uint32_t>(RGB(64, 64, 64)));
  // Without a blend colour the image is blended with what lies below.
  list.SetBlendColor(clNone);
  t.surface.Clear(0xFFFFFF);
  list.Draw(&t.canvas, 0, 0, 0, dsSelected, itImage);
  EXPECT_EQ(t.surface.At(0, 0), static_cast<uint32_t>(RGB(127, 127, 127)));
  EXPECT_EQ(t.surface.At(1, 0), 0xFFFFFFu);
}

TEST(ImgList, InsertReplaceDeleteMoveAndTheirErrors) {
  TImageList list(1, 1);
  auto r = Picture({"r"}), g = Picture({"g"}), b = Picture({"b"}), rgb = Picture({"rgb"});
  list.Add(rgb.get(), nullptr);
  list.Insert(1, b.get(), nullptr);  // r b g b
  list.Move(0, 3);                   // b g b r
  list.Replace(1, r.get(), nullptr); // b r b r
  list.Delete(2);                    // b r r
  ASSERT_EQ(list.Count(), 3);
  Target t(3, 1, 0xFFFFFF);
  for (int i = 0; i < 3; ++i) list.Draw(&t.canvas, i, 0, i);
  EXPECT_EQ(t.Map(), Rows({"brr"}));
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const EInvalidOperation& e) {
      return e.Message();
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { list.Insert(4, g.get(), nullptr); }), "Invalid ImageList Index");
  EXPECT_EQ(message([&] { list.Delete(3); }), "Invalid ImageList Index");
  EXPECT_EQ(message([&] { list.Move(0, 3); }), "Invalid ImageList Index");
  EXPECT_EQ(message([&] { list.Replace(3, g.get(), nullptr); }), "Unable to Replace Image");
  list.Delete(-1);
  EXPECT_EQ(list.Count(), 0);
  list.Add(rgb.get(), nullptr);
  list.SetWidth(2);  // a new size empties the list
  EXPECT_EQ(list.Count(), 0);
}

TEST(ImgList, BitmapsAndIconsComeBackOut) {
  TImageList list(3, 2);
  auto img = Picture({"rm#", "bgm"});
  list.AddMasked(img.get(), clFuchsia);
  TBitmap out;
  out.Canvas()->Brush()->SetColor(clWhite);
  ASSERT_TRUE(list.GetBitmap(0, &out));
  EXPECT_FALSE(list.GetBitmap(1, &out));
  EXPECT_EQ(out.Width(), 3);
  EXPECT_EQ(out.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(out.Canvas()->Pixels(1, 0), clWhite) << "transparent pixels keep the bitmap's";

  TIcon icon;
  list.GetIcon(0, &icon);
  ASSERT_FALSE(icon.Empty());
  EXPECT_EQ(icon.Width(), 3);
  EXPECT_EQ(list.AddIcon(&icon), 1);
  Target t(6, 2, 0x00FF00);
  list.Draw(&t.canvas, 0, 0, 0);
  list.Draw(&t.canvas, 3, 0, 1);
  EXPECT_EQ(t.Map(), Rows({"rg#rg#", "bggbgg"}));
}

TEST(ImgList, EveryChangeReachesEachLinkAndUpdatesAreCoalesced) {
  int a = 0, b = 0, own = 0;
  TObject* sender = nullptr;
  TChangeLink la, lb;
  la.SetOnChange(TNotifyEvent([&](TObject* s) { ++a; sender = s; }));
  lb.SetOnChange(TNotifyEvent([&](TObject*) { ++b; }));
  auto list = std::make_unique<TImageList>(2, 2);
  list->SetOnChange(TNotifyEvent([&](TObject*) { ++own; }));
  list->RegisterChanges(&la);
  list->RegisterChanges(&lb);
  EXPECT_EQ(la.Sender(), list.get());
  auto img = Picture({"rg", "gr"});
  list->Add(img.get(), nullptr);
  list->SetBkColor(clRed);
  list->SetDrawingStyle(dsFocus);
  list->Delete(0);
  EXPECT_EQ(a, 4);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(own, 4);
  EXPECT_EQ(sender, list.get());
  list->BeginUpdate();
  list->Add(img.get(), nullptr);
  list->Add(img.get(), nullptr);
  list->BeginUpdate();
  list->Clear();
  list->EndUpdate();
  EXPECT_EQ(a, 4);
  list->EndUpdate();
  EXPECT_EQ(a, 5);
  list->UnRegisterChanges(&lb);
  EXPECT_EQ(lb.Sender(), nullptr);
  list->Add(img.get(), nullptr);
  EXPECT_EQ(a, 6);
  EXPECT_EQ(b, 5);
  {
    TChangeLink gone;
    list->RegisterChanges(&gone);
  }  // unregisters itself
  list->Add(img.get(), nullptr);
  EXPECT_EQ(a, 7);
  list.reset();
  EXPECT_EQ(la.Sender(), nullptr) << "a destroyed list lets go of its links";
}

TEST(ImgList, PublishedPropertiesAndOwnership) {
  TComponent owner(nullptr);
  auto* list = new TImageList(&owner);  // owned by owner
  EXPECT_EQ(list->Width(), 16);
  EXPECT_EQ(list->Height(), 16);
  EXPECT_EQ(list->BkColor(), clNone);
  EXPECT_TRUE(list->Masked());
  SetOrdProp(list, "Width", 24);
  SetEnumProp(list, "DrawingStyle", "dsSelected");
  SetOrdProp(list, "BkColor", clBtnFace);
  EXPECT_EQ(list->Width(), 24);
  EXPECT_EQ(list->DrawingStyle(), dsSelected);
  EXPECT_EQ(list->BkColor(), clBtnFace);
  EXPECT_EQ(GetPropInfo(list, "Height")->Default, 16);
  TImageList copy(1, 1);
  copy.Assign(list);
  EXPECT_EQ(copy.Width(), 24);
  EXPECT_EQ(copy.DrawingStyle(), dsSelected);
}
