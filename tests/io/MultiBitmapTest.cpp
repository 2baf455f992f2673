#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_multi.h"
#include "io/pxxBitmaps_params.h"
#include "platform/gdi/ImgList.h"
#include "platform/rtl/SysUtils.h"
#include "tests/common/TestSupport.h"
#include "tests/io/LocalServer.h"

namespace {

uint32_t Rgb(const TRGB& C) { return (uint32_t{C.r} << 16) | (uint32_t{C.g} << 8) | C.b; }

std::unique_ptr<TPXBitmap> Filled(int32_t W, int32_t H, uint32_t Rgb) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  b->FillRGBA(Rgb | 0xFF000000u);
  return b;
}

uint32_t PixelOf(TPXCustomMultiBitmap& M, int32_t Index, int32_t X, int32_t Y) {
  TPXBitmap* b = M.GetBitmap(Index);
  if (!b) return 0xDEADBEEF;
  const uint32_t v = Rgb(b->GetPixelRGB(X, Y));
  M.ReleaseBitmap(Index, false);
  return v;
}

// Pictures written by Pillow, the independent writer.
bool Pillow(const std::string& Script) {
  TestTempDir d;
  std::ofstream(d.File("make.py")) << Script;
  return RunTool({"/usr/bin/python3", d.File("make.py")}, d.File("out.txt")) == 0;
}

class MultiBitmap : public ::testing::Test {
 protected:
  TPXMultiBitmap m_;
  TestTempDir dir_;
};

TEST_F(MultiBitmap, InsertsAppendsAndDeletesWithTheirParameterSlots) {
  std::vector<int32_t> changes;
  m_.SetOnChanged(TPXMultiBitmapChangedEvent([&](TObject*, int32_t i) { changes.push_back(i); }));
  for (uint32_t c : {0x110000u, 0x002200u, 0x000033u}) m_.AppendImage(Filled(4, 3, c).get());
  EXPECT_EQ(m_.InsertImage(5), 3);  // past the end: appended
  EXPECT_EQ(m_.GetCount(), 4);
  EXPECT_EQ(m_.Params()->Count(), 4);
  EXPECT_EQ(m_.GetImageInfo(3)->Background, static_cast<TColor>(0xFF000005));
  EXPECT_EQ(m_.GetImageWidth(3), 0);  // no pixels, no file
  EXPECT_EQ(changes.back(), -1);
  m_.DeleteImage(0);
  EXPECT_EQ(m_.GetCount(), 3);
  EXPECT_EQ(m_.Params()->Count(), 3);
  EXPECT_EQ(PixelOf(m_, 0, 1, 1), 0x002200u);
  EXPECT_EQ(m_.GetImageWidth(-1), 0);
  EXPECT_EQ(m_.GetBitmap(9), nullptr);
  EXPECT_TRUE(m_.Modified());
  // Inserting the container into itself takes its count once.
  m_.InsertImage(1, &m_);
  ASSERT_EQ(m_.GetCount(), 6);
  const uint32_t expect[] = {0x002200, 0x002200, 0x000033, 0xDEADBEEF, 0x000033, 0xDEADBEEF};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(PixelOf(m_, i, 0, 0), expect[i]) << i;
}

TEST_F(MultiBitmap, LoadsLazilyAndCountsTinyPicturesAsLoadErrors) {
  auto save = [&](const std::string& name, int32_t w, int32_t h) {
    auto b = Filled(w, h, 0x405060);
    auto io = TPixoranIO::CreateForBitmap(b.get());
    io->SaveToFile(dir_.File(name), 0);
    ASSERT_FALSE(io->Aborting());
  };
  save("a.bmp", 6, 4);
  save("one.bmp", 1, 1);
  save("tall.bmp", 1, 5);
  struct Case {
    std::string file;
    int32_t width;
  };
  const Case cases[] = {{"a.bmp", 6}, {"one.bmp", 0}, {"tall.bmp", 1}, {"missing.bmp", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const int32_t i = m_.AppendImage();
    m_.SetImageFileName(i, dir_.File(c.file));
    EXPECT_EQ(m_.GetImageInfo(i)->Image, nullptr);  // not read yet
    EXPECT_EQ(m_.GetImageWidth(i), c.width);
    EXPECT_EQ(m_.GetImageInfo(i)->Image != nullptr, c.width > 0);
  }
  EXPECT_EQ(PixelOf(m_, 0, 5, 3), 0x405060u);
  EXPECT_EQ(m_.GetImageOriginalWidth(0), 6);
  EXPECT_EQ(MessageOf<EPXException>([&] { m_.FlipImage(1, pxfdHorizontal); }), "Cannot access image");
}

// A container with an outside source: entries with a page index get their pictures from it.
class TSourcedMultiBitmap : public TPXMultiBitmap {
 public:
  bool HasImageSource() override { return true; }
  void GetImageFromSource(int32_t, TIOParams* Params, std::unique_ptr<TPXBitmap>& Bitmap,
                          int32_t SourceIndex) override {
    if (SourceIndex == 0) return;  // nothing to deliver
    Bitmap = Filled(SourceIndex, 2, 0x0A0B0C);
    if (Params) Params->JPEG_Quality = 11;
  }
};

TEST(MultiBitmapSource, LazyLoadsAskTheSourceForEntriesWithAPage) {
  TSourcedMultiBitmap m;
  for (int32_t page : {4, 0}) {
    const int32_t i = m.AppendImage();
    m.GetImageInfo(i)->ImageIndex = page;
  }
  EXPECT_EQ(m.GetImageWidth(0), 4);
  EXPECT_EQ(m.GetParams(0)->JPEG_Quality, 11);
  EXPECT_EQ(m.GetImageWidth(1), 0);
  EXPECT_EQ(m.GetImageInfo(1)->Image, nullptr);
}

TEST_F(MultiBitmap, SavingReleasesRewriteAndOperationsAlwaysGiveTheBitmapBack) {
  m_.AppendImage(Filled(8, 8, 0x000000).get());
  TPXBitmap* a = m_.GetBitmap(0);
  TPXBitmap* b = m_.GetBitmap(0);
  ASSERT_EQ(a, b);
  a->SetPixelRGB(0, 0, 0x0000FF);
  m_.ReleaseBitmap(0, true);
  TPXBitmap copy;
  m_.Cache()->CopyToBitmap(m_.GetImageInfo(0)->Image, &copy);
  EXPECT_EQ(Rgb(copy.GetPixelRGB(0, 0)), 0x0000FFu);
  b->SetPixelRGB(0, 0, 0x00FF00);
  m_.ReleaseBitmap(0, true);
  m_.Cache()->CopyToBitmap(m_.GetImageInfo(0)->Image, &copy);
  EXPECT_EQ(Rgb(copy.GetPixelRGB(0, 0)), 0x00FF00u);
  EXPECT_TRUE(m_.Cache()->FHandedOut.empty());

  m_.ResampleImage(0, 4, 2, rfNearest, false, false);
  EXPECT_EQ(m_.GetImageWidth(0), 4);
  m_.FlipImage(0, pxfdHorizontal);
  // An operation that raises gives the bitmap back unsaved.
  m_.SetOnProgress(TPXProgressEvent([](TObject*, int32_t) { throw EPXException("stop"); }));
  EXPECT_THROW(m_.RotateImage(0, 33, 1, clBlack), EPXException);
  EXPECT_TRUE(m_.Cache()->FHandedOut.empty());
  EXPECT_EQ(m_.GetImageWidth(0), 4);
}

TEST_F(MultiBitmap, StorageChoiceAndMemoryLimit) {
  m_.AppendImage(Filled(2, 2, 1).get());
  m_.SetUseFile(true);
  EXPECT_EQ(m_.GetCount(), 1);
  m_.SetUseFile(false);
  EXPECT_EQ(m_.GetCount(), 0);
  EXPECT_FALSE(m_.Cache()->FUseFile);
  m_.SetMaxImagesInMemory(3);
  EXPECT_EQ(m_.Cache()->MaxMapped(), 3);
  m_.Clear();
  EXPECT_EQ(m_.Cache()->MaxMapped(), 3);
  auto stored = TPXCustomMultiBitmap::CreateWithStorage(false);
  EXPECT_FALSE(stored->Cache()->FUseFile);
}

TEST_F(MultiBitmap, AssignsFromEverySourceKind) {
  // A picture with parameters.
  auto pic = Filled(5, 4, 0x102030);
  pic->SetHasParams(true);
  pic->GetParams()->JPEG_Quality = 50;
  m_.AssignFrom(pic.get(), true);
  ASSERT_EQ(m_.GetCount(), 1);
  EXPECT_EQ(m_.GetParams(0)->JPEG_Quality, 50);
  // A new slot after it starts with its writer options.
  m_.AppendImage();
  EXPECT_EQ(m_.GetParams(1)->JPEG_Quality, 50);

  // A platform bitmap.
  TBitmap platform;
  platform.SetPixelFormat(pf24bit);
  platform.SetSize(7, 3);
  platform.Canvas()->Brush()->SetColor(static_cast<TColor>(0x0000FF));
  platform.Canvas()->FillRect(TRect{0, 0, 7, 3});
  m_.AssignFrom(&platform, false);
  ASSERT_EQ(m_.GetCount(), 1);
  EXPECT_EQ(m_.GetImageWidth(0), 7);
  EXPECT_EQ(PixelOf(m_, 0, 6, 2), 0xFF0000u);  // red: TColor 0x0000FF

  // Another container, with its dictionaries.
  TPXMultiBitmap other;
  other.AppendImage(Filled(3, 3, 0xABCDEF).get());
  other.AppendImage(Filled(2, 6, 0x123456).get());
  other.GetImageDictionary(1)->Parse(R"({"k":"v"})");
  m_.AssignFrom(&other, false);
  ASSERT_EQ(m_.GetCount(), 2);
  EXPECT_EQ(PixelOf(m_, 1, 1, 5), 0x123456u);
  EXPECT_FALSE(m_.GetImageInfo(0)->HasDictionary());
  std::string json;
  m_.GetImageInfo(1)->Dictionary->Dump(0, json);
  EXPECT_NE(json.find("\"k\""), std::string::npos);

  // An image list: one picture per icon.
  TImageList list(nullptr);
  list.SetSize(4, 4);
  for (TColor c : {clRed, clBlue, clLime}) {
    TBitmap icon;
    icon.SetPixelFormat(pf24bit);
    icon.SetSize(4, 4);
    icon.Canvas()->Brush()->SetColor(c);
    icon.Canvas()->FillRect(TRect{0, 0, 4, 4});
    list.Add(&icon, nullptr);
  }
  m_.AssignFrom(&list, false);
  ASSERT_EQ(m_.GetCount(), 3);
  EXPECT_EQ(m_.GetImageWidth(2), 4);
  EXPECT_EQ(PixelOf(m_, 1, 1, 1), 0x0000FFu);

  const int32_t before = m_.GetCount();
  m_.AssignFrom(nullptr, false);
  EXPECT_EQ(m_.GetCount(), before);
  TStringList notAPicture;
  EXPECT_EQ(MessageOf<EPXException>([&] { m_.AssignFrom(&notAPicture, false); }), "Unrecognized source");
  EXPECT_TRUE(m_.GetKeepParams());
}

TEST_F(MultiBitmap, LoadsPagesExifDatesAndDownloads) {
  const std::string tif = dir_.File("three.tif"), jpg = dir_.File("dated.jpg");
  ASSERT_TRUE(Pillow("from PIL import Image\n"
                     "pages = [Image.new('RGB', (10 + 5 * i, 8), (60 * i, 0, 0)) for i in range(3)]\n"
                     "pages[0].save('" + tif + "', save_all=True, append_images=pages[1:])\n"
                     "im = Image.new('RGB', (16, 16), (1, 2, 3))\n"
                     "ex = Image.Exif()\n"
                     "ex[0x8769] = {0x9003: '2021:05:06 07:08:09'}\n"
                     "im.save('" + jpg + "', quality=90, exif=ex.tobytes())\n"));
  const int32_t i = m_.AppendImage();
  ASSERT_TRUE(m_.LoadImage(i, tif, 0, 2));
  EXPECT_EQ(m_.GetImageWidth(i), 20);
  EXPECT_EQ(m_.GetImageOriginalWidth(i), 20);
  EXPECT_EQ(PixelOf(m_, i, 0, 0), 0x780000u);
  EXPECT_EQ(m_.GetParams(i)->TIFF_ImageIndex, 2);
  EXPECT_EQ(m_.GetParams(i)->TIFF_ImageCount, 3);
  EXPECT_EQ(m_.GetImageFileName(i), tif);

  auto* settings = GlobalSettingsInstance();
  settings->FUseExifDate = 1;
  const int32_t j = m_.AppendImage();
  ASSERT_TRUE(m_.LoadImage(j, jpg, 0, 0));
  EXPECT_EQ(m_.GetImageInfo(j)->FileDate, EncodeDate(2021, 5, 6) + EncodeTime(7, 8, 9, 0));
  // Lazily, too.
  const int32_t k = m_.AppendImage();
  m_.SetImageFileName(k, jpg);
  EXPECT_EQ(m_.GetImageWidth(k), 16);
  EXPECT_EQ(m_.GetImageInfo(k)->FileDate, m_.GetImageInfo(j)->FileDate);
  settings->FUseExifDate = 0;
  EXPECT_FALSE(m_.LoadImage(99, jpg, 0, 0));
  EXPECT_FALSE(m_.LoadImage(k, dir_.File("none.png"), 0, 0));

  // From the loopback web server.
  const std::string root = dir_.Path();
  std::ofstream(root + "server.py") << localserver::kServerScript;
  auto png = Filled(3, 2, 0x00AA00);
  auto pngIO = TPixoranIO::CreateForBitmap(png.get());
  pngIO->SaveToFile(root + "pic.png", 0);
  ASSERT_FALSE(pngIO->Aborting());
  localserver::TLocalServer server;
  if (!server.Start(root, "http", 0)) GTEST_SKIP() << "no loopback server";
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
  const int32_t w = m_.AppendImage();
  EXPECT_TRUE(m_.LoadImage(w, url + "pic.png", 0, 0));
  EXPECT_EQ(PixelOf(m_, w, 2, 1), 0x00AA00u);
  EXPECT_FALSE(m_.LoadImage(w, url + "missing.png", 0, 0));
}

// --- per-picture parameters ---------------------------------------------------------------------

// Slots are told apart by their JPEG quality; 0 marks an empty slot.
std::vector<int32_t> Slots(TIOMultiParams& P) {
  std::vector<int32_t> out;
  for (int32_t i = 0; i < P.Count(); ++i) out.push_back(P.PeekParams(i) ? P.PeekParams(i)->JPEG_Quality : 0);
  return out;
}

TEST(MultiParams, ChangesFollowTheirRules) {
  struct Case {
    const char* name;
    int32_t kind, index;
    std::vector<int32_t> indexes;
    int32_t value;
    std::vector<int32_t> expect;
  };
  // Start: qualities 1, 2, an empty slot, 4.
  const Case cases[] = {
      {"insert", 1, 1, {}, 0, {1, 0, 2, 0, 4}},
      {"insert past the end appends", 1, 9, {}, 0, {1, 2, 0, 4, 0}},
      {"delete", 2, 0, {}, 0, {2, 0, 4}},
      {"delete outside", 2, 4, {}, 0, {1, 2, 0, 4}},
      {"move", 3, 0, {}, 2, {2, 0, 1, 4}},
      {"move past the end", 3, 0, {}, 7, {2, 0, 4, 1}},
      {"move to a negative place", 3, 0, {}, -1, {1, 2, 0, 4}},
      {"move from outside", 3, 6, {}, 0, {1, 2, 0, 4}},
      {"exchange", 4, 0, {}, 3, {4, 2, 0, 1}},
      {"move indexes fills first", 5, 0, {3, 0}, 1, {4, 1, 2, 2}},
      {"move indexes to the end", 5, 0, {1}, 9, {1, 2, 4, 2}},
      {"clear", 6, 0, {}, 0, {}},
      {"count grows", 7, 0, {}, 6, {1, 2, 0, 4, 0, 0}},
      {"count never shrinks", 7, 0, {}, 2, {1, 2, 0, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIOMultiParams p;
    p.SetCount(4);
    for (int32_t i : {0, 1, 3}) p.GetParams(i)->JPEG_Quality = i + 1;
    p.ApplyChange(c.kind, c.index, c.indexes, c.value);
    EXPECT_EQ(Slots(p), c.expect);
  }
  // An empty slot is filled on demand with the writer options of a filled slot before it.
  TIOMultiParams p;
  p.SetCount(3);
  p.GetParams(0)->JPEG_Quality = 50;
  EXPECT_EQ(p.GetParams(1)->JPEG_Quality, 50);
  EXPECT_EQ(p.GetParams(5), nullptr);
  p.GetParams(0)->JPEG_Quality = 33;
  p.CopyFirstSaveOptions();
  EXPECT_EQ(Slots(p), (std::vector<int32_t>{33, 33, 33}));
}

// --- the entry stream ---------------------------------------------------------------------------

class TFakeOwnerView : public TObject, public IPXMultiBitmapView {
 public:
  explicit TFakeOwnerView(TPXCustomMultiBitmap* M) : m_(M) {}
  void LoadMultiBitmapImage(int32_t Index) override {
    asked.push_back(Index);
    m_->SetImage(Index, Filled(9, 9, 0x010203).get());
  }
  void RefreshMultiBitmap() override { ++refreshes; }
  TPXCustomMultiBitmap* GetMultiBitmap() override { return m_; }
  std::vector<int32_t> asked;
  int refreshes = 0;

 private:
  TPXCustomMultiBitmap* m_;
};

TEST_F(MultiBitmap, EntriesRoundTripAndOlderVersionsReadThroughTheirGates) {
  m_.AppendImage(Filled(2, 2, 7).get());
  m_.AppendImage(Filled(3, 2, 8).get());
  TPXVirtualImageList view("ICACHE", false);
  auto* thumb = view.AddImage(4, 4, false, false, px24RGB, 24);
  TPXImageInfo* e = m_.GetImageInfo(1);
  e->CacheImage = thumb;
  e->Background = static_cast<TColor>(0x00112233);
  e->FileName = "Bild Ä.jpg";
  e->ImageIndex = 3;
  e->DelayTime = 12.5;
  e->ViewValue = -7;
  e->TopText = "top";
  e->InfoText = "info";
  e->BottomText = "bottom ✓";
  e->ViewFlag = 9;
  e->GetDictionary()->Parse(R"({"a":1})");
  TMemoryStream ms;
  WriteImageInfo(e, &ms, true, &view, m_.Cache());
  ms.SetPosition(0);
  auto r = ReadImageInfo(&m_, &ms, &view, m_.Cache(), true, PXImageInfoVersion);
  EXPECT_EQ(ms.Position(), ms.Size());
  EXPECT_EQ(r->Owner, &m_);
  EXPECT_EQ(r->Image, e->Image);
  EXPECT_EQ(r->CacheImage, thumb);
  EXPECT_EQ(r->Background, e->Background);
  EXPECT_EQ(r->FileName, e->FileName);
  EXPECT_EQ(r->ImageIndex, 3);
  EXPECT_EQ(r->DelayTime, 12.5);
  EXPECT_EQ(r->ViewValue, -7);
  EXPECT_EQ(r->TopText, "top");
  EXPECT_EQ(r->InfoText, "info");
  EXPECT_EQ(r->BottomText, "bottom ✓");
  EXPECT_EQ(r->ViewFlag, 9);
  std::string json;
  r->Dictionary->Dump(0, json);
  EXPECT_EQ(json, R"({"a":1})");

  // Older versions, built by hand.
  auto build = [](int32_t version, int32_t image) {
    auto s = std::make_unique<TMemoryStream>();
    auto i32 = [&](int32_t v) { s->WriteBuffer(&v, 4); };
    auto u8 = [&](uint8_t v) { s->WriteBuffer(&v, 1); };
    auto wide = [&](const std::u16string& t) {
      i32(static_cast<int32_t>(t.size()));
      s->WriteBuffer(t.data(), static_cast<int64_t>(t.size() * 2));
    };
    i32(image);
    i32(0x00FF00);
    if (version == 1) {
      i32(5);
      s->WriteBuffer("caf\xe9.", 5);  // Windows-1252
    } else {
      wide(u"n.png");
    }
    i32(1);
    if (version < 5) i32(250);
    else {
      const double d = 40.0;
      s->WriteBuffer(&d, 8);
    }
    if (version > 5) i32(77);
    for (const char16_t* t : {u"T", u"I", u"B"}) {
      if (version > 7) {
        wide(t);
        continue;
      }
      u8(1);
      wide(t);
      u8(2);
      i32(3);
      i32(4);
      i32(2);
      s->WriteBuffer("xy", 2);
      u8(5);
      u8(6);
      i32(7);
      u8(8);
      u8(9);
      u8(10);
    }
    if (version > 6) u8(4);
    if (version > 8) wide(u"");
    s->SetPosition(0);
    return s;
  };
  struct Case {
    int32_t version;
    std::string name;
    double delay;
    int32_t viewValue;
    uint8_t viewFlag;
  };
  const Case cases[] = {{1, "café.", 250, 0, 0}, {4, "n.png", 250, 0, 0}, {7, "n.png", 40, 77, 4},
                        {8, "n.png", 40, 77, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    auto s = build(c.version, 0);
    auto entry = ReadImageInfo(&m_, s.get(), nullptr, m_.Cache(), false, c.version);
    EXPECT_EQ(s->Position(), s->Size());
    EXPECT_EQ(entry->Image, m_.Cache()->GetImage(0));
    EXPECT_EQ(entry->FileName, c.name);
    EXPECT_EQ(entry->DelayTime, c.delay);
    EXPECT_EQ(entry->ViewValue, c.viewValue);
    EXPECT_EQ(entry->ViewFlag, c.viewFlag);
    EXPECT_EQ(entry->TopText + entry->InfoText + entry->BottomText, "TIB");
    EXPECT_FALSE(entry->HasDictionary());
  }
  // Indexes outside the caches give none; strings running past the data raise.
  auto outside = build(8, 5);
  EXPECT_EQ(ReadImageInfo(&m_, outside.get(), nullptr, m_.Cache(), false, 8)->Image, nullptr);
  auto cut = build(9, 0);
  cut->SetSize(cut->Size() - 3);
  EXPECT_THROW(ReadImageInfo(&m_, cut.get(), nullptr, m_.Cache(), false, 9), EReadError);
  auto huge = build(9, 0);
  huge->SetPosition(8);
  const int32_t big = 0x40000000;
  huge->WriteBuffer(&big, 4);
  huge->SetPosition(0);
  EXPECT_THROW(ReadImageInfo(&m_, huge.get(), nullptr, m_.Cache(), false, 9), EReadError);

  // With an owner view, lazy loading asks the view.
  TFakeOwnerView owner(&m_);
  m_.SetOwnerView(&owner);
  const int32_t i = m_.AppendImage();
  m_.SetImageFileName(i, "/nonexistent.png");
  EXPECT_EQ(m_.GetImageWidth(i), 9);
  EXPECT_EQ(owner.asked, std::vector<int32_t>{i});
  m_.BeginUpdate();
  m_.Update();
  EXPECT_EQ(owner.refreshes, 0);
  m_.EndUpdate();
  EXPECT_EQ(owner.refreshes, 1);
  TPXMultiBitmap copy;
  copy.AssignFrom(&owner, false);
  EXPECT_EQ(copy.GetCount(), m_.GetCount());
  m_.SetOwnerView(nullptr);
}

}  // namespace
