// Icons and cursors: ICO/CUR directories, the AND/XOR drawing rule, alpha icons, handles,
// resources, TIcon, and TPicture's formats.
#include <cstring>

#include "platform/gdi/WinIcons.h"
#include "tests/gdi/GraphicsTestSupport.h"

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// One icon image: a DIB of bpp 1 or 32 with doubled height and the AND mask. xorPx(x, y) is a
// palette index (1 bit) or 0xAARRGGBB (32 bits); andPx(x, y) 1 for transparent.
std::vector<uint8_t> IconImage(int32_t w, int32_t h, int32_t bpp, const std::function<uint32_t(int32_t, int32_t)>& xorPx,
                               const std::function<int(int32_t, int32_t)>& andPx) {
  std::vector<uint8_t> v;
  const uint32_t xorRow = static_cast<uint32_t>(SurfaceRowBytes(w, bpp)), andRow = static_cast<uint32_t>(SurfaceRowBytes(w, 1));
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(w));
  Put32(v, static_cast<uint32_t>(h * 2));
  Put16(v, 1);
  Put16(v, static_cast<uint32_t>(bpp));
  Put32(v, 0);
  Put32(v, (xorRow + andRow) * static_cast<uint32_t>(h));
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, bpp == 1 ? 2 : 0);
  Put32(v, 0);
  if (bpp == 1) {
    Put32(v, 0x000000);
    Put32(v, 0xFFFFFF);
  }
  for (int32_t y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(xorRow, 0);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = xorPx(x, y);
      if (bpp == 1) {
        if (p) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else {
        std::memcpy(&row[x * 4], &p, 4);
      }
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  for (int32_t y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(andRow, 0);
    for (int32_t x = 0; x < w; ++x)
      if (andPx(x, y)) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

struct Entry {
  int32_t w, h, bpp;
  std::vector<uint8_t> data;
  int32_t hotX = 0, hotY = 0;
};

std::vector<uint8_t> IcoFile(const std::vector<Entry>& entries, uint16_t type = 1) {
  std::vector<uint8_t> v;
  Put16(v, 0);
  Put16(v, type);
  Put16(v, static_cast<uint32_t>(entries.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (const Entry& e : entries) {
    v.push_back(static_cast<uint8_t>(e.w));
    v.push_back(static_cast<uint8_t>(e.h));
    v.push_back(0);
    v.push_back(0);
    Put16(v, type == 1 ? 1 : static_cast<uint32_t>(e.hotX));
    Put16(v, type == 1 ? static_cast<uint32_t>(e.bpp) : static_cast<uint32_t>(e.hotY));
    Put32(v, static_cast<uint32_t>(e.data.size()));
    Put32(v, offset);
    offset += static_cast<uint32_t>(e.data.size());
  }
  for (const Entry& e : entries) v.insert(v.end(), e.data.begin(), e.data.end());
  return v;
}

// A 4x1 monochrome icon with the four AND/XOR combinations: (0,0) (0,1) (1,0) (1,1).
std::vector<uint8_t> FourCombinations() {
  return IcoFile({{4, 1, 1, IconImage(4, 1, 1, [](int32_t x, int32_t) { return x % 2; }, [](int32_t x, int32_t) { return x / 2; })}});
}

}  // namespace

TEST(IconsDirectory, EverySizeAndOffsetIsChecked) {
  const std::vector<uint8_t> good = FourCombinations();
  uint16_t type = 0;
  std::vector<TIconDirEntry> entries;
  ASSERT_TRUE(ParseIconDirectory(good.data(), good.size(), &type, &entries));
  EXPECT_EQ(type, 1);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Width, 4);
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> mutate;
  };
  const std::vector<Case> cases = {
      {"reserved", [](auto& v) { v[0] = 1; }},
      {"type", [](auto& v) { v[2] = 3; }},
      {"no images", [](auto& v) { v[4] = 0; }},
      {"more images than fit", [](auto& v) { v[4] = 200; }},
      {"image past the end", [](auto& v) { v[14] += 1; }},
      {"offset in the directory", [](auto& v) { v[18] = 4; }},
      {"offset past the end", [](auto& v) { v[21] = 0x7F; }},
      {"short", [](auto& v) { v.resize(5); }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> v = good;
    c.mutate(v);
    EXPECT_FALSE(ParseIconDirectory(v.data(), v.size(), nullptr, nullptr)) << c.name;
    EXPECT_EQ(CreateIconFromFileData(v.data(), v.size(), 1, 0, 0), nullptr) << c.name;
  }
  // Every truncation of a valid file is refused or read, never read past.
  std::vector<uint8_t> big = IcoFile({{4, 1, 1, FourCombinations()},
                                      {3, 2, 32, IconImage(3, 2, 32, [](int32_t, int32_t) { return 0x80FF0000u; }, [](int32_t, int32_t) { return 0; })}});
  for (size_t n = 0; n < big.size(); ++n) {
    HICON h = CreateIconFromFileData(big.data(), n, 1, 0, 0);
    if (h) DestroyIcon(h);
  }
}

TEST(IconsDraw, MaskAndThenImageXor) {
  const std::vector<uint8_t> ico = FourCombinations();
  HICON h = CreateIconFromFileData(ico.data(), ico.size(), 1, 0, 0);
  ASSERT_NE(h, nullptr);
  TestCanvas c(4, 1);
  c.Clear(0x0000FF);  // red
  SetTextColor(c.dc(), 0x00FF00);  // the draw does not depend on the DC's colours
  SetBkColor(c.dc(), 0xFF0000);
  ASSERT_TRUE(DrawIconEx(c.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_NORMAL));
  // AND 0: black xor image; AND 1: the canvas, inverted where the image bit is 1.
  EXPECT_EQ(c.At(0, 0), 0x000000u);
  EXPECT_EQ(c.At(1, 0), 0xFFFFFFu);
  EXPECT_EQ(c.At(2, 0), 0x0000FFu);
  EXPECT_EQ(c.At(3, 0), 0xFFFF00u);
  EXPECT_EQ(GetTextColor(c.dc()), 0x00FF00u);
  // DI_MASK and DI_IMAGE alone copy that half.
  c.Clear(0x0000FF);
  DrawIconEx(c.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_MASK);
  EXPECT_EQ(c.Map(), Rows({"##.."}));
  DrawIconEx(c.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_IMAGE);
  EXPECT_EQ(c.Map(), Rows({"#.#."}));
  // Stretched with a flicker-free brush: the area is filled first.
  TestCanvas s(8, 2);
  HBRUSH green = CreateSolidBrush(0x00FF00);
  DrawIconEx(s.dc(), 0, 0, h, 8, 2, 0, green, DI_NORMAL);
  EXPECT_EQ(s.Map(), Rows({"##..gg??", "##..gg??"}));
  EXPECT_EQ(s.At(6, 0), 0xFF00FFu) << "inverted green";
  DeleteObject(green);
  EXPECT_TRUE(DestroyIcon(h));
  EXPECT_FALSE(DestroyIcon(h)) << "a destroyed handle is refused";
  EXPECT_FALSE(DrawIconEx(c.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_NORMAL));
}

TEST(IconsDraw, AlphaIconsAreBlendedAndColourIconsUseTheirMask) {
  // Opaque red, half-transparent blue, fully transparent; the AND mask says opaque everywhere but
  // is ignored for an image with alpha.
  const uint32_t px[3] = {0xFFFF0000u, 0x800000FFu, 0x00000000u};
  const std::vector<uint8_t> alpha = IcoFile({{3, 1, 32, IconImage(3, 1, 32, [&](int32_t x, int32_t) { return px[x]; }, [](int32_t, int32_t) { return 0; })}});
  HICON h = CreateIconFromFileData(alpha.data(), alpha.size(), 1, 0, 0);
  ASSERT_NE(h, nullptr);
  TestCanvas c(3, 1);
  DrawIconEx(c.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(c.At(0, 0), static_cast<uint32_t>(RGB(255, 0, 0)));
  EXPECT_EQ(c.At(1, 0), static_cast<uint32_t>(RGB(127, 127, 255)));
  EXPECT_EQ(c.At(2, 0), 0xFFFFFFu);
  DestroyIcon(h);
  // Without alpha: AND 1 with a black image keeps the canvas, AND 0 shows the colour.
  const std::vector<uint8_t> plain = IcoFile({{2, 1, 32, IconImage(2, 1, 32, [](int32_t x, int32_t) { return x ? 0u : 0x0000FF00u; }, [](int32_t x, int32_t) { return x; })}});
  h = CreateIconFromFileData(plain.data(), plain.size(), 1, 0, 0);
  c.Clear(0x0000FF);
  DrawIconEx(c.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(c.Map(), Rows({"grr"}));
  DrawIcon(c.dc(), 0, 0, h);  // the default icon size: the first pixel stretched over 16
  EXPECT_EQ(c.Map(), Rows({"ggg"}));
  DestroyIcon(h);
}

TEST(IconsInfo, GetIconInfoAndCreateIconIndirectRoundTrip) {
  const std::vector<uint8_t> ico = FourCombinations();
  HICON h = CreateIconFromFileData(ico.data(), ico.size(), 1, 0, 0);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(h, &info));
  EXPECT_TRUE(info.fIcon);
  EXPECT_EQ(info.hbmColor, nullptr) << "a monochrome icon";
  BITMAP bm;
  ASSERT_GT(GetObject(info.hbmMask, sizeof bm, &bm), 0);
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(bm.bmHeight, 2) << "AND and XOR halves";
  HICON copy = CreateIconIndirect(&info);
  DeleteObject(info.hbmMask);
  ASSERT_NE(copy, nullptr);
  TestCanvas a(4, 1), b(4, 1);
  a.Clear(0x123456);
  b.Clear(0x123456);
  DrawIconEx(a.dc(), 0, 0, h, 0, 0, 0, nullptr, DI_NORMAL);
  DrawIconEx(b.dc(), 0, 0, copy, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(a.Bytes(), b.Bytes());
  HICON copy2 = CopyIcon(copy);
  DestroyIcon(copy);
  int32_t w = 0, hh = 0;
  EXPECT_TRUE(GetIconSize(copy2, &w, &hh));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(hh, 1);
  DestroyIcon(copy2);
  DestroyIcon(h);
  ICONINFO bad;
  EXPECT_FALSE(GetIconInfo(h, &bad));
}

TEST(IconsResources, CursorsIconsAndBitmapsLoadByName) {
  UseTestResources();
  HCURSOR cur = LoadCursor(HInstance, "PXTESTCURSOR");
  ASSERT_NE(cur, nullptr);
  EXPECT_EQ(LoadCursor(HInstance, "pxtestcursor"), cur) << "shared";
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(cur, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 3u);
  EXPECT_EQ(info.yHotspot, 5u);
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  TestCanvas c(16, 16);
  DrawIconEx(c.dc(), 0, 0, cur, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(c.At(3, 5), 0u);
  EXPECT_EQ(c.At(6, 8), 0u);
  EXPECT_EQ(c.At(7, 8), 0xFFFFFFu);
  EXPECT_TRUE(DestroyCursor(cur));
  EXPECT_TRUE(GetIconSize(cur, nullptr, nullptr)) << "shared cursors stay";
  EXPECT_EQ(LoadCursor(HInstance, "NOSUCHCURSOR"), nullptr);

  HCURSOR arrow = LoadCursor(0, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursor(0, IDC_ARROW), arrow);
  EXPECT_EQ(GetSystemIconId(arrow), IDC_ARROW);
  EXPECT_NE(LoadCursor(0, IDC_IBEAM), arrow);

  HICON icon = static_cast<HICON>(LoadImage(HInstance, "PXTESTICON", IMAGE_ICON, 16, 16, 0));
  int32_t w = 0, h = 0;
  ASSERT_TRUE(GetIconSize(icon, &w, &h));
  EXPECT_EQ(w, 16);
  DestroyIcon(icon);

  HBITMAP bmp = LoadBitmap(HInstance, "PXTESTBMP");
  BITMAP bm;
  ASSERT_GT(GetObject(bmp, sizeof bm, &bm), 0);
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  DeleteObject(bmp);
  HBITMAP dib = static_cast<HBITMAP>(LoadImage(HInstance, "PXTESTBMP", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  DIBSECTION ds;
  ASSERT_EQ(GetObject(dib, sizeof ds, &ds), static_cast<int32_t>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  DeleteObject(dib);
}

TEST(IconsTIcon, PicksTheFirstImageOrTheSizeAskedForAndSavesWhatItLoaded) {
  UseTestResources();
  TIcon icon;
  EXPECT_TRUE(icon.Empty());
  EXPECT_TRUE(icon.Transparent());
  icon.LoadFromResourceName(HInstance, "PXTESTICON");
  EXPECT_EQ(icon.Width(), 8) << "the first image";
  icon.SetSize(16, 16);
  EXPECT_EQ(icon.Width(), 16);
  TMemoryStream saved;
  icon.SaveToStream(&saved);
  const TResourceEntry* e = FindResourceData("PXTESTICON", RT_ICON);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(StreamBytes(saved), std::vector<uint8_t>(e->Data, e->Data + e->Size));

  // Drawn through a canvas: the 16x16 image is green with a transparent 4x4 corner.
  TestCanvas c(16, 16);
  c.Clear(0xFF0000);
  TCanvas canvas;
  canvas.SetHandle(c.dc());
  canvas.Draw(0, 0, &icon);
  canvas.SetHandle(nullptr);
  EXPECT_EQ(c.At(1, 1), 0xFF0000u);
  EXPECT_EQ(c.At(8, 8), static_cast<uint32_t>(RGB(0, 200, 0)));

  TIcon copy;
  copy.Assign(&icon);
  EXPECT_EQ(copy.Width(), 16);
  EXPECT_NE(copy.Handle(), icon.Handle());
  TBitmap bmp;
  EXPECT_THROW(copy.Assign(&bmp), EConvertError);
  // A bitmap takes an icon by drawing it; drawn with an opacity, the corner stays transparent.
  bmp.SetPixelFormat(pf24bit);
  bmp.Assign(&icon);
  EXPECT_EQ(bmp.Width(), 16);
  EXPECT_EQ(bmp.Canvas()->Pixels(8, 8), static_cast<TColor>(RGB(0, 200, 0)));
  c.Clear(0xFFFFFF);
  canvas.SetHandle(c.dc());
  canvas.Draw(0, 0, &icon, 128);
  canvas.SetHandle(nullptr);
  EXPECT_EQ(c.At(1, 1), 0xFFFFFFu);
  EXPECT_EQ(c.At(8, 8), static_cast<uint32_t>(RGB(127, 227, 127)));

  std::vector<uint8_t> junk = {0, 0, 1, 0, 1, 0, 1, 2, 3};
  TCustomMemoryStream js(junk.data(), static_cast<int64_t>(junk.size()));
  try {
    copy.LoadFromStream(&js);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Icon image is not valid");
  }
}

TEST(IconsTIcon, IconsMadeFromHandlesAreReadByPillow) {
  if (!ToolExists(kPython)) GTEST_SKIP() << "no python3";
  const uint32_t px[3] = {0xFFFF0000u, 0x800000FFu, 0x00000000u};
  const std::vector<uint8_t> ico =
      IcoFile({{3, 2, 32, IconImage(3, 2, 32, [&](int32_t x, int32_t) { return px[x]; }, [](int32_t x, int32_t) { return x == 2; })}});
  TIcon icon;
  icon.SetHandle(CreateIconFromFileData(ico.data(), ico.size(), 1, 0, 0));
  TestTempDir dir;
  const std::string file = dir.File("handle.ico");
  icon.SaveToFile(file);
  const std::vector<std::string> pixels = PillowPixels(file, dir, true);
  ASSERT_EQ(pixels.size(), 7u);
  EXPECT_EQ(pixels[0], "3 2");
  EXPECT_EQ(pixels[1], "255,0,0,255");
  EXPECT_EQ(pixels[2], "0,0,255,128");
  EXPECT_EQ(pixels[3].substr(pixels[3].rfind(',')), ",0");
  TIcon back;
  back.LoadFromFile(file);
  EXPECT_EQ(back.Width(), 3);
  EXPECT_EQ(back.Height(), 2);
}

// ---------------------------------------------------------------------------------------------
// TPicture

namespace {
class TTestGraphic : public TBitmap {
 public:
  static int created;
  TTestGraphic() { ++created; }
};
int TTestGraphic::created = 0;
}  // namespace

TEST(GraphicsPicture, LoadsByExtensionAndBySignature) {
  TestTempDir dir;
  TBitmap b(2, 2);
  b.SetPixelFormat(pf24bit);
  b.SaveToFile(dir.File("a.BMP"));
  UseTestResources();
  TIcon i;
  i.LoadFromResourceName(HInstance, "PXTESTICON");
  i.SaveToFile(dir.File("b.ico"));

  TPicture p;
  int changes = 0;
  p.SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  p.LoadFromFile(dir.File("a.BMP"));
  ASSERT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 2);
  p.LoadFromFile(dir.File("b.ico"));
  ASSERT_NE(dynamic_cast<TIcon*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Height(), 8);
  EXPECT_EQ(changes, 2);
  p.Graphic()->SetModified(true);
  EXPECT_EQ(changes, 3) << "the graphic's changes reach the picture";
  try {
    p.LoadFromFile(dir.File("c.xyz"));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
  }
  TFileStream fs(dir.File("a.BMP"), fmOpenRead);
  p.LoadFromStream(&fs);
  EXPECT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);

  // Bitmap replaces another kind of graphic, as the class library does.
  p.LoadFromFile(dir.File("b.ico"));
  TBitmap* bmp = p.Bitmap();
  EXPECT_TRUE(bmp->Empty());
  EXPECT_EQ(p.Bitmap(), bmp);

  TPicture q;
  q.Assign(&p);
  EXPECT_NE(q.Graphic(), p.Graphic());
  EXPECT_NE(dynamic_cast<TBitmap*>(q.Graphic()), nullptr);
  q.Assign(nullptr);
  EXPECT_EQ(q.Graphic(), nullptr);

  TPicture::RegisterFileFormat("tst", "Test",
                               []() -> std::unique_ptr<TGraphic> { return std::make_unique<TTestGraphic>(); });
  b.SaveToFile(dir.File("d.tst"));
  q.LoadFromFile(dir.File("d.tst"));
  EXPECT_EQ(TTestGraphic::created, 1);
  TPicture::UnregisterFileFormat("tst");
  EXPECT_THROW(q.LoadFromFile(dir.File("d.tst")), EInvalidGraphic);
}
