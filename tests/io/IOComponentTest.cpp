// The I/O component itself: attachment to bitmaps, views and TImage, the parameters rule, the
// background, the bitmap check, the common steps after a load, safe file writing, the text
// export and the choice of a type for saving.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/pxsettings.h"
#include "io/pixoranio.h"
#include "platform/forms/ExtCtrls.h"
#include "tests/common/TestSupport.h"
#include "tests/io/FakeIOView.h"
#include "tests/io/IOTestComponent.h"

namespace {

std::string ReadFile(const std::string& Name) {
  std::ifstream f(Name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string TextOf(TMemoryStream& S) { return std::string(static_cast<const char*>(S.Memory()), S.Size()); }

// ---------------------------------------------------------------------------------------------
// Attachment and parameters

TEST(IOComponent, OwnBitmapAndParametersRule) {
  TPixoranIO io(nullptr);
  ASSERT_NE(io.WorkingBitmap(), nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
  EXPECT_EQ(io.Params()->DpiX, 300);

  TPXBitmap bmp;
  auto forBitmap = TPixoranIO::CreateForBitmap(&bmp);
  EXPECT_EQ(forBitmap->WorkingBitmap(), &bmp);
  EXPECT_FALSE(forBitmap->OwnsBitmap());
  TIOParams* own = forBitmap->Params();
  // A bitmap that carries parameters keeps them across components.
  bmp.SetHasParams(true);
  ASSERT_NE(bmp.GetParams(), nullptr);
  EXPECT_EQ(forBitmap->Params(), bmp.GetParams());
  bmp.GetParams()->JPEG_Quality = 55;
  auto other = TPixoranIO::CreateForBitmap(&bmp);
  EXPECT_EQ(other->Params()->JPEG_Quality, 55);
  bmp.SetHasParams(false);
  EXPECT_EQ(forBitmap->Params(), own);

  // A nil bitmap with nothing attached leaves the component without one.
  forBitmap->SetAttachedBitmap(nullptr);
  EXPECT_EQ(forBitmap->WorkingBitmap(), nullptr);
  EXPECT_EQ(MessageOf<EPXException>([&] { forBitmap->CheckBitmap(); }), "Active layer does not contain bitmap");
}

TEST(IOComponent, FollowsTheAttachedView) {
  FakeIOView view;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  EXPECT_EQ(view.RegisteredCount(), 1);
  EXPECT_EQ(io.WorkingBitmap(), view.Bitmap());
  EXPECT_FALSE(io.OwnsBitmap());

  // Code 0: the view's picture was replaced.
  TPXBitmap* replaced = view.ReplaceBitmap();
  EXPECT_EQ(io.WorkingBitmap(), replaced);
  // Code 2 changes nothing.
  view.Fire(pxbcImageChanged);
  EXPECT_EQ(io.WorkingBitmap(), replaced);

  // Code 1: the view goes away; the component continues on a new own bitmap.
  view.Fire(pxbcViewDestroyed);
  EXPECT_EQ(io.AttachedPixoran(), nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
  ASSERT_NE(io.WorkingBitmap(), nullptr);
  EXPECT_NE(io.WorkingBitmap(), replaced);
}

TEST(IOComponent, DetachingAndDestroyingViews) {
  TPixoranIO io(nullptr);
  {
    FakeIOView view;
    io.SetAttachedPixoran(&view);
    io.SetAttachedPixoran(nullptr);
    EXPECT_EQ(view.RegisteredCount(), 0);
    EXPECT_TRUE(io.OwnsBitmap());
    io.SetAttachedPixoran(&view);
  }
  // The view was destroyed while attached.
  EXPECT_EQ(io.AttachedPixoran(), nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
  io.CheckBitmap();

  // A component destroyed first leaves the view without its registration.
  FakeIOView view;
  {
    TPixoranIO shortLived(nullptr);
    shortLived.SetAttachedPixoran(&view);
    TPXBitmap bmp;
    shortLived.SetAttachedBitmap(&bmp);
    EXPECT_EQ(view.RegisteredCount(), 0);
    EXPECT_EQ(shortLived.AttachedPixoran(), nullptr);
    shortLived.SetAttachedPixoran(&view);
  }
  EXPECT_EQ(view.RegisteredCount(), 0);
}

TEST(IOComponent, ViewWithOnlyAPlatformBitmap) {
  TBitmap platform;
  platform.SetPixelFormat(pf24bit);
  platform.SetSize(5, 4);
  FakeIOView view;
  view.platformOnly = true;
  view.platformBitmap = &platform;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  ASSERT_NE(io.WorkingBitmap(), nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
  EXPECT_EQ(io.WorkingBitmap()->Width(), 5);
  EXPECT_EQ(io.GetTBitmap(), &platform);

  TBitmap second;
  second.SetPixelFormat(pf24bit);
  second.SetSize(7, 2);
  view.platformBitmap = &second;
  view.Fire(pxbcBitmapReplaced);
  EXPECT_EQ(io.AttachedTBitmap(), &second);
  EXPECT_EQ(io.WorkingBitmap()->Width(), 7);
}

TEST(IOComponent, AttachedTImage) {
  auto image = std::make_unique<TImage>(nullptr);
  image->Picture()->Bitmap()->SetPixelFormat(pf24bit);
  image->Picture()->Bitmap()->SetSize(6, 3);
  TestIO io(nullptr);
  io.SetAttachedTImage(image.get());
  EXPECT_EQ(io.AttachedTImage(), image.get());
  EXPECT_EQ(io.WorkingBitmap()->Width(), 6);
  EXPECT_EQ(io.GetTBitmap(), image->Picture()->Bitmap());
  // After a load the platform bitmap is marked changed and the alpha channel dropped.
  io.WorkingBitmap()->GetAlphaChannel();
  image->Picture()->Bitmap()->SetModified(false);
  io.UpdateAttached();
  EXPECT_FALSE(io.WorkingBitmap()->HasAlphaChannel());
  EXPECT_TRUE(image->Picture()->Bitmap()->Modified());
  // The image goes away: the component forgets it.
  image.reset();
  EXPECT_EQ(io.AttachedTImage(), nullptr);
  EXPECT_EQ(io.AttachedTBitmap(), nullptr);
}

TEST(IOComponent, CheckBitmapMakesLayerZeroCurrentFirst) {
  FakeIOView view;
  view.currentHasBitmap = false;
  view.layer0HasBitmap = true;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.CheckBitmap();
  EXPECT_EQ(view.TakeLog(), std::vector<std::string>{"SetLayersCurrent 0"});

  view.currentHasBitmap = false;
  view.layer0HasBitmap = false;
  EXPECT_EQ(MessageOf<EPXException>([&] { io.CheckBitmap(); }), "Active layer does not contain bitmap");
  EXPECT_EQ(view.TakeLog(), std::vector<std::string>{"SetLayersCurrent 0"});
}

TEST(IOComponent, BackgroundWithAViewAttachedChangesNothing) {
  TPixoranIO io(nullptr);
  io.SetBackground(0x00FF00);
  EXPECT_EQ(io.Background(), 0x00FF00);
  FakeIOView view;
  io.SetAttachedPixoran(&view);
  EXPECT_EQ(io.Background(), 0x123456);
  io.SetBackground(0x0000FF);
  EXPECT_EQ(view.backgroundWrites, 0);
  EXPECT_EQ(io.Background(), 0x123456);
  io.SetAttachedPixoran(nullptr);
  EXPECT_EQ(io.Background(), 0x00FF00);
}

// ---------------------------------------------------------------------------------------------
// Common steps

TEST(IOComponent, FinishWorkReportsProgress100ThenTheEvent) {
  TPixoranIO io(nullptr);
  std::vector<std::string> events;
  io.SetOnProgress([&](TObject* Sender, int32_t per) {
    EXPECT_EQ(Sender, &io);
    events.push_back("progress " + std::to_string(per));
  });
  io.SetOnFinishWork([&](TObject* Sender) {
    EXPECT_EQ(Sender, &io);
    events.push_back("finish");
  });
  io.DoFinishWork();
  EXPECT_EQ(events, (std::vector<std::string>{"progress 100", "finish"}));
}

TEST(IOComponent, UpdateAttachedAndClearModifiedOnTheCallersThread) {
  FakeIOView view;
  view.layers = 2;
  TestIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.WorkingBitmap()->SetModified(true);
  io.UpdateAttached();
  io.ClearModified(false);
  EXPECT_FALSE(io.WorkingBitmap()->Modified());
  // Two layers and no keep-layers: the view keeps its modified state.
  EXPECT_EQ(view.TakeLog(), (std::vector<std::string>{"reason 6", "Update", "ImageChange 0"}));
  io.ClearModified(true);
  EXPECT_EQ(view.TakeLog(), std::vector<std::string>{"SetModified 0"});
  view.layers = 1;
  io.ClearModified(false);
  EXPECT_EQ(view.TakeLog(), std::vector<std::string>{"SetModified 0"});
}

TEST(IOComponent, DefaultResolutionBelowTwo) {
  TestIO io(nullptr);
  struct Case {
    int32_t inX, inY, outX, outY;
  };
  for (const Case& c : {Case{0, 150, 300, 150}, Case{1, 1, 300, 300}, Case{2, 72, 2, 72}}) {
    io.Params()->SetDpiX(c.inX);
    io.Params()->SetDpiY(c.inY);
    io.ApplyDefaultDPI();
    EXPECT_EQ(io.Params()->DpiX, c.outX);
    EXPECT_EQ(io.Params()->DpiY, c.outY);
  }
}

TEST(IOComponent, AdjustDpiMakesPixelsSquare) {
  // Landscape: 100 x 50 at 200 x 100 DPI becomes 100 x 100 at 200 x 200, nearest neighbour,
  // alpha channel along.
  TestIO io(nullptr);
  TPXBitmap* bmp = io.WorkingBitmap();
  bmp->Allocate(100, 50, px8g);
  for (int32_t y = 0; y < 50; ++y)
    for (int32_t x = 0; x < 100; ++x) bmp->SetPixel8(x, y, static_cast<uint8_t>(y));
  bmp->GetAlphaChannel()->Fill(0);
  bmp->SetAlpha(3, 10, 200);
  TIOParams* p = io.Params();
  p->Width = 100, p->Height = 50;
  p->SetDpiX(200), p->SetDpiY(100);
  io.AdjustDPI();
  ASSERT_EQ(bmp->Width(), 100);
  ASSERT_EQ(bmp->Height(), 100);
  EXPECT_EQ(bmp->PixelFormat(), px8g);
  EXPECT_EQ(p->DpiY, 200);
  EXPECT_EQ(p->Height, 100);
  EXPECT_EQ(bmp->GetPixel8(7, 40), 20);
  EXPECT_EQ(bmp->GetPixel8(7, 41), 20);
  ASSERT_TRUE(bmp->HasAlphaChannel());
  EXPECT_EQ(bmp->GetAlpha(3, 20), 200);
  EXPECT_EQ(bmp->GetAlpha(3, 21), 200);
  EXPECT_EQ(bmp->GetAlpha(4, 20), 0);

  // Portrait with the resampler: the width grows, the result is 24-bit.
  io.SetFilteredAdjustDPI(true);
  bmp->Allocate(10, 20, px8g);
  bmp->Fill(128);
  p->Width = 10, p->Height = 20;
  p->SetDpiX(100), p->SetDpiY(300);
  io.AdjustDPI();
  EXPECT_EQ(bmp->Width(), 30);
  EXPECT_EQ(bmp->Height(), 20);
  EXPECT_EQ(bmp->PixelFormat(), px24RGB);
  EXPECT_EQ(p->DpiX, 300);
  EXPECT_EQ(p->Width, 30);

  // Equal resolutions or no stored size: nothing happens.
  p->Width = 0;
  p->SetDpiX(72);
  io.AdjustDPI();
  EXPECT_EQ(bmp->Width(), 30);
}

// ---------------------------------------------------------------------------------------------
// Safe file writing

TEST(IOComponent, WriteFileSafelyReplacesOnlyOnSuccess) {
  TestTempDir dir;
  const std::string name = dir.File("out.bin");
  {
    std::ofstream f(name);
    f << "old";
  }
  ::chmod(name.c_str(), 0640);
  TestIO io(nullptr);
  auto write = [](const char* text) {
    return [text](TStream* s) { s->WriteBuffer(text, static_cast<int64_t>(std::strlen(text))); };
  };
  // The writer reports failure: the old file stays, no temporary file is left.
  io.WriteFileSafely(name, [&](TStream* s) {
    write("partial")(s);
    io.SetAborting(true);
  });
  EXPECT_EQ(ReadFile(name), "old");
  // The writer raises: the same, and the exception reaches the caller.
  EXPECT_THROW(io.WriteFileSafely(name, [&](TStream*) { throw EWriteError("disk full"); }), EWriteError);
  EXPECT_EQ(ReadFile(name), "old");
  // Success replaces the file and keeps its permissions.
  io.SetAborting(false);
  io.WriteFileSafely(name, write("new"));
  EXPECT_EQ(ReadFile(name), "new");
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
  // A folder that does not exist: the stream's error.
  EXPECT_THROW(io.WriteFileSafely(dir.File("missing/x.bin"), write("x")), EFCreateError);
}

// ---------------------------------------------------------------------------------------------
// Text export

struct TextCase {
  uint8_t Format;
  int Count;  // bytes 0, 1, 2, ...
  std::string Expected;
};

TEST(IOComponent, TextExportIsByteExact) {
  const std::vector<TextCase> cases = {
      {0, 4,
       "const\r\n  pic_png_Size = 4;\r\n  pic_png : array [0..pic_png_Size - 1] of byte = (\r\n"
       "    $00,$01,$02,$03);\r\n"},
      // The line buffer is written once it is longer than 70 characters (18 entries of 4).
      {0, 20,
       "const\r\n  pic_png_Size = 20;\r\n  pic_png : array [0..pic_png_Size - 1] of byte = (\r\n"
       "    $00,$01,$02,$03,$04,$05,$06,$07,$08,$09,$0A,$0B,$0C,$0D,$0E,$0F,$10,$11,\r\n"
       "    $12,$13);\r\n"},
      {0, 1,
       "const\r\n  pic_png_Size = 1;\r\n  pic_png : array [0..pic_png_Size - 1] of byte = (\r\n    $00);\r\n"},
      {1, 3, "\\\\ Size=3\r\n0x00,0x01,0x02\r\n"},
      // 15 entries of 5 characters pass 70.
      {1, 17,
       "\\\\ Size=17\r\n0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0A,0x0B,0x0C,0x0D,0x0E,\r\n"
       "0x0F,0x10\r\n"},
      {2, 4, "AAECAw==\r\n"},
  };
  for (const TextCase& c : cases) {
    TestIO io(nullptr);
    io.WorkingBitmap()->Allocate(1, 1, px24RGB);
    for (int i = 0; i < c.Count; ++i) io.Encoded.push_back(static_cast<uint8_t>(i));
    io.Params()->FileName = "pic.png";
    TMemoryStream out;
    io.SaveToTextStream(&out, pxftPNG, c.Format);
    EXPECT_EQ(TextOf(out), c.Expected) << "format " << int(c.Format) << ", " << c.Count << " bytes";
    EXPECT_FALSE(io.Aborting());
  }
}

TEST(IOComponent, Base64TextAgreesWithCoreutils) {
  if (!ToolExists("/usr/bin/base64")) GTEST_SKIP() << "base64 missing";
  TestTempDir dir;
  TestIO io(nullptr);
  io.WorkingBitmap()->Allocate(1, 1, px24RGB);
  for (int i = 0; i < 500; ++i) io.Encoded.push_back(static_cast<uint8_t>(i * 37 + i / 7));
  const std::string raw = dir.File("raw.bin"), expected = dir.File("expected.txt");
  std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(io.Encoded.data()),
                                             static_cast<std::streamsize>(io.Encoded.size()));
  ASSERT_EQ(RunTool({"/usr/bin/base64", "-w", "76", raw}, expected), 0);
  TMemoryStream out;
  io.SaveToTextStream(&out, pxftPNG, 2);
  std::string ours = TextOf(out);
  std::string crlf;
  for (char ch : ReadFile(expected)) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  EXPECT_EQ(ours, crlf);
}

TEST(IOComponent, TextExportWritesNothingAfterAFailedOrEmptyEncoding) {
  {
    TestIO io(nullptr);
    io.WorkingBitmap()->Allocate(1, 1, px24RGB);
    io.Encoded = {1};
    TMemoryStream out;
    io.SaveToTextStream(&out, pxftPNG, 4);  // no such form
    EXPECT_EQ(out.Size(), 0);
    EXPECT_TRUE(io.Aborting());
  }
  for (bool fail : {true, false}) {
    TestIO io(nullptr);
    io.WorkingBitmap()->Allocate(1, 1, px24RGB);
    if (fail) io.Encoded = {1, 2, 3};
    io.FailEncode = fail;
    TMemoryStream out;
    io.SaveToTextStream(&out, pxftPNG, 0);
    EXPECT_EQ(out.Size(), 0);
    EXPECT_TRUE(io.Aborting());
  }
}

TEST(IOComponent, CharacterPicture) {
  TestIO io(nullptr);
  TPXBitmap* bmp = io.WorkingBitmap();
  bmp->Allocate(4, 2, px8g);
  const uint8_t levels[2][4] = {{0, 128, 255, 29}, {57, 86, 180, 200}};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) bmp->SetPixel8(x, y, levels[y][x]);
  TMemoryStream out;
  io.SaveToTextStream(&out, pxftUnknown, 3);
  // trunc(grey / 255 x 9) into "W@#*+:.,  ".
  EXPECT_EQ(TextOf(out), "W+ @\r\n#*.,\r\n");
  // The caller's picture keeps its format.
  EXPECT_EQ(bmp->PixelFormat(), px8g);

  // Grey weights adding up to more than 100 stay on the ramp.
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved[3] = {s->FGrayWeightRed, s->FGrayWeightGreen, s->FGrayWeightBlue};
  s->FGrayWeightRed = s->FGrayWeightGreen = s->FGrayWeightBlue = 60;
  TMemoryStream bright;
  io.SaveToTextStream(&bright, pxftUnknown, 3);
  s->FGrayWeightRed = saved[0], s->FGrayWeightGreen = saved[1], s->FGrayWeightBlue = saved[2];
  EXPECT_EQ(TextOf(bright), "W  @\r\n*:  \r\n");
}

TEST(IOComponent, SaveToTextFile) {
  TestTempDir dir;
  TestIO io(nullptr);
  io.WorkingBitmap()->Allocate(1, 1, px24RGB);
  io.Encoded = {0xAB, 0xCD};
  const std::string name = dir.File("a.b.txt");
  io.SaveToText(name, pxftPNG, 1);
  EXPECT_EQ(ReadFile(name), "\\\\ Size=2\r\n0xAB,0xCD\r\n");
  EXPECT_EQ(io.Params()->FileName, name);

  // A failed encoding leaves the earlier file as it was.
  io.FailEncode = true;
  io.SaveToText(name, pxftPNG, 0);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(ReadFile(name), "\\\\ Size=2\r\n0xAB,0xCD\r\n");
  io.SaveToText(dir.File("new.txt"), pxftPNG, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("new.txt")));

  // Without a picture: the bitmap check, and no file.
  io.SetAttachedBitmap(nullptr);
  EXPECT_EQ(MessageOf<EPXException>([&] { io.SaveToText(dir.File("none.txt"), pxftPNG, 3); }),
            "Active layer does not contain bitmap");
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.txt")));
}

// ---------------------------------------------------------------------------------------------
// Type for saving

TEST(IOComponent, FileTypeForSaving) {
  struct Case {
    const char* Name;
    bool AllowVideo;
    TPXFileType Type;
  };
  const Case cases[] = {
      {"x.avi", false, 0},       {"x.avi", true, 15},       {"x.xif", false, 1},     {"x.pix", false, 11},
      {"X.JPG", false, 3},       {"x.jif", false, 3},       {"x.tif", false, 1},     {"x.win", false, 11},
      {"x.pdf", false, 18},      {"x.cur", false, 7},       {"x.nef", false, 20},    {"x.lyr", false, 26},
      {"x.svg", false, 31},      {"x.webp", false, 34},     {"x.dcm", false, 28},    {"x.all", false, 27},
      {"noext", false, 0},       {"x.unknown", true, 0},    {"dir.png/x", false, 0}, {"", false, 0},
      {"a.b/x.pxv", false, 25},
  };
  for (const Case& c : cases) EXPECT_EQ(FileTypeForSaving(c.Name, c.AllowVideo), c.Type) << c.Name;
}

}  // namespace
