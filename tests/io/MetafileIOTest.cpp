// The I/O component's metafile entries and header reads: the size rule, WMF and EMF loads by
// file and stream (with and without transparency), the class library's TMetafile import, the
// asynchronous import, the metafile header read, the companion-library message of header
// reads, and the open prompt under scripted answers.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxopensavedlg.h"
#include "platform/gdiplus/MetafileGraphic.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/DialogTestSupport.h"
#include "tests/gdiplus/MetafileBytes.h"
#include "tests/io/FakeCodecRows.h"
#include "tests/io/FakeIOView.h"
#include "tests/io/IOTestComponent.h"

namespace {

using metafile_bytes::RedRectEmf;
using metafile_bytes::RedRectWmf;

struct Component {
  Component() : io(std::make_unique<TPixoranIO>(nullptr)) {
    io->SetOnFinishWork(TNotifyEvent([this](TObject*) { ++finished; }));
    io->SetBackground(TColor(0x00C08040));  // red 0x40, green 0x80, blue 0xC0
  }
  TPXBitmap* Bitmap() { return io->WorkingBitmap(); }
  std::unique_ptr<TPixoranIO> io;
  int32_t finished = 0;
};

void WriteBytes(const std::string& Name, const std::vector<uint8_t>& B) {
  std::ofstream(Name, std::ios::binary).write(reinterpret_cast<const char*>(B.data()), std::streamsize(B.size()));
}

TRGB Pixel(TPXBitmap* B, int32_t X, int32_t Y) { return reinterpret_cast<const TRGB*>(B->Scanline(Y))[X]; }
uint8_t Alpha(TPXBitmap* B, int32_t X, int32_t Y) { return B->AlphaChannel()->Scanline(Y)[X]; }

const TRGB kRed{0, 0, 255};
const TRGB kBackground{0xC0, 0x80, 0x40};

}  // namespace

TEST(MetafileIO, SizeRule) {
  struct TCase {
    int32_t NaturalW, NaturalH, WantedW, WantedH, W, H;
  };
  for (const TCase& c : {TCase{400, 300, -1, -1, 400, 300}, TCase{400, 300, 200, -1, 200, 150},
                         TCase{400, 300, -1, 100, 133, 100}, TCase{400, 300, 0, 50, 400, 300},
                         TCase{400, 300, 500, 500, 500, 500}, TCase{10000, 5000, -1, -1, 8000, 4000},
                         TCase{5000, 10000, -1, -1, 4000, 8000},
                         // 64-bit products, and a side scaled below one pixel keeps one
                         TCase{100000, 100000, -1, 99999, 8000, 8000}, TCase{1, 100000, -1, -1, 1, 8000},
                         TCase{0, 300, -1, -1, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << c.NaturalW << "x" << c.NaturalH << " " << c.WantedW << "," << c.WantedH);
    int32_t w = -7, h = -7;
    TPixoranIO::MetafileSize(c.NaturalW, c.NaturalH, c.WantedW, c.WantedH, w, h);
    EXPECT_EQ(w, c.W);
    EXPECT_EQ(h, c.H);
  }
}

TEST(MetafileIO, HeaderReadOfWmfAndEmf) {
  TestTempDir dir;
  for (const bool emf : {false, true}) {
    SCOPED_TRACE(emf ? "EMF" : "WMF");
    const std::string name = dir.File(emf ? "a.emf" : "a.wmf");
    WriteBytes(name, emf ? RedRectEmf(400, 300) : RedRectWmf(400, 300));
    Component c;
    c.Bitmap()->Allocate(3, 2, px24RGB);
    c.io->Params()->SetDpiX(77);
    ASSERT_TRUE(c.io->ParamsFromFile(name, pxftUnknown));
    const TIOParams* p = c.io->Params();
    EXPECT_EQ(p->FileType, emf ? pxftEMF : pxftWMF);
    EXPECT_EQ(p->Width, 400);
    EXPECT_EQ(p->Height, 300);
    EXPECT_EQ(p->OriginalWidth, 400);
    EXPECT_EQ(p->BitsPerSample, 8);
    EXPECT_EQ(p->SamplesPerPixel, 3);
    EXPECT_EQ(p->DpiX, GlobalSettingsInstance()->FDefaultDPIX);
    EXPECT_EQ(p->ColorMapCount, 0);
    EXPECT_EQ(p->FileName, name);
    EXPECT_EQ(c.finished, 1);
    EXPECT_EQ(c.Bitmap()->Width(), 3);  // no pixels read
  }
}

TEST(MetafileIO, LoadsByFileAndStream) {
  TestTempDir dir;
  for (const bool emf : {false, true})
    for (const bool byStream : {false, true}) {
      SCOPED_TRACE(std::string(emf ? "EMF" : "WMF") + (byStream ? " stream" : " file"));
      const std::string name = dir.File(emf ? "r.emf" : "r.wmf");
      WriteBytes(name, emf ? RedRectEmf() : RedRectWmf());
      Component c;
      bool ok = false;
      if (byStream) {
        TMemoryStream s;
        s.LoadFromFile(name);
        ok = c.io->LoadFromStream(&s, pxftUnknown);
      } else {
        ok = c.io->LoadFromFile(name, pxftUnknown);
      }
      ASSERT_TRUE(ok);
      EXPECT_EQ(c.finished, 1);
      TPXBitmap* b = c.Bitmap();
      EXPECT_EQ(c.io->Params()->FileType, emf ? pxftEMF : pxftWMF);
      EXPECT_EQ(c.io->Params()->FileName, byStream ? "" : name);
      ASSERT_EQ(b->Width(), 100);
      ASSERT_EQ(b->Height(), 50);
      EXPECT_EQ(b->PixelFormat(), px24RGB);
      ASSERT_TRUE(b->HasAlphaChannel());
      // Inside the rectangle (the EMF converter may be a pixel off at the edges) and outside it.
      EXPECT_EQ(Pixel(b, 50, 25), kRed);
      EXPECT_EQ(Alpha(b, 50, 25), 255);
      EXPECT_EQ(Pixel(b, 5, 5), kBackground);
      EXPECT_EQ(Alpha(b, 5, 5), 0);
      EXPECT_EQ(Alpha(b, 95, 45), 0);
    }
}

TEST(MetafileIO, TransparencyAndTheKeyColour) {
  TestTempDir dir;
  const std::string plain = dir.File("p.wmf"), keyed = dir.File("k.emf");
  WriteBytes(plain, RedRectWmf());
  WriteBytes(keyed, RedRectEmf(100, 50, 0x00FDFEFF));  // red 255, green 254, blue 253
  Component c;
  ASSERT_TRUE(c.io->ImportMetafile(plain, -1, -1, false));
  EXPECT_FALSE(c.Bitmap()->HasAlphaChannel());
  EXPECT_EQ(Pixel(c.Bitmap(), 5, 5), kBackground);
  EXPECT_EQ(Pixel(c.Bitmap(), 50, 25), kRed);
  // A drawn pixel of the key colour cannot be told from an undrawn one: it becomes transparent.
  ASSERT_TRUE(c.io->ImportMetafile(keyed, 200, -1, true));
  EXPECT_EQ(c.Bitmap()->Width(), 200);
  EXPECT_EQ(c.Bitmap()->Height(), 100);
  EXPECT_EQ(Alpha(c.Bitmap(), 100, 50), 0);
  EXPECT_EQ(Pixel(c.Bitmap(), 100, 50), kBackground);
}

TEST(MetafileIO, RefusedSizes) {
  TestTempDir dir;
  const std::string name = dir.File("r.wmf"), empty = dir.File("z.wmf");
  WriteBytes(name, RedRectWmf());
  WriteBytes(empty, RedRectWmf(0, 50));
  Component c;
  c.Bitmap()->Allocate(3, 2, px24RGB);
  // A metafile of no width: Aborting, False, the picture kept.
  EXPECT_FALSE(c.io->ImportMetafile(empty, -1, -1, true));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
  // A wanted size of 0 x 0: False, nothing changed.
  c.io->Params()->FileType = pxftPNG;
  EXPECT_FALSE(c.io->ImportMetafile(name, 0, 0, true));
  EXPECT_FALSE(c.io->Aborting());
  EXPECT_EQ(c.Bitmap()->Width(), 3);
  EXPECT_EQ(c.io->Params()->FileType, pxftPNG);
  // Bytes that are no metafile, by stream.
  TMemoryStream junk;
  junk.WriteBuffer("not a metafile at all", 21);
  junk.SetPosition(0);
  EXPECT_FALSE(c.io->ImportMetafileFromStream(&junk, -1, -1, true));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.Bitmap()->Width(), 3);
}

TEST(MetafileIO, ClassLibraryMetafileImport) {
  TestTempDir dir;
  const std::string name = dir.File("r.wmf");
  WriteBytes(name, RedRectWmf());
  TMetafile m;
  m.LoadFromFile(name);
  ASSERT_FALSE(m.Enhanced());
  Component c;
  ASSERT_TRUE(c.io->ImportTMetafile(&m, -1, 100, true));
  EXPECT_EQ(c.finished, 0);  // no OnFinishWork
  EXPECT_EQ(m.Width(), 200);
  EXPECT_EQ(m.Height(), 100);
  TPXBitmap* b = c.Bitmap();
  ASSERT_EQ(b->Width(), 200);
  EXPECT_EQ(c.io->Params()->FileType, pxftWMF);
  EXPECT_EQ(Pixel(b, 100, 50), kRed);
  EXPECT_EQ(Alpha(b, 100, 50), 255);
  EXPECT_EQ(Pixel(b, 10, 10), kBackground);
  EXPECT_EQ(Alpha(b, 10, 10), 0);
  // Without transparency no alpha channel; a wanted side of 0 answers False.
  ASSERT_TRUE(c.io->ImportTMetafile(&m, 100, 50, false));
  EXPECT_FALSE(b->HasAlphaChannel());
  EXPECT_FALSE(c.io->ImportTMetafile(&m, 0, 50, false));
  TMetafile none;
  EXPECT_FALSE(c.io->ImportTMetafile(&none, -1, -1, true));
  EXPECT_TRUE(c.io->Aborting());
}

TEST(MetafileIO, AsyncImportFinishesOnTheUiThread) {
  TestTempDir dir;
  const std::string name = dir.File("r.wmf");
  WriteBytes(name, RedRectWmf());
  FakeIOView view;
  view.parentWindow = true;
  TestIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.AsyncMode = true;
  io.SetOnFinishWork([](TObject*) { ADD_FAILURE() << "finish event on the worker"; });
  EXPECT_TRUE(io.ImportMetafile(name, -1, -1, true));
  io.WaitThreads(false);
  const std::vector<std::string> log = view.TakeLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "post 7004 0"), log.end());
  EXPECT_EQ(io.WorkingBitmap()->Width(), 100);
}

// A reader raising the companion-library message: the header read passes it on after its one
// OnFinishWork; any other exception is a failed read.
TEST(MetafileIO, HeaderReadPassesOnTheCompanionLibraryMessage) {
  FakeRowsScope rows({pxftRAW});
  rows.Fake(pxftRAW, 'R');
  TestTempDir dir;
  const std::string name = dir.File("x.raw");
  WriteBytes(name, {'F', 'A', 'K', 'E', 'R'});
  for (const bool companion : {true, false}) {
    SCOPED_TRACE(companion);
    FakeLog().ThrowOnDecode = true;
    FakeLog().DecodeMessage = companion ? CompanionLibraryMessage() : "decoder failed";
    Component c;
    c.io->Params()->FileType = pxftPNG;
    if (companion) {
      try {
        c.io->ParamsFromFile(name, pxftRAW);
        ADD_FAILURE() << "no exception";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "A required library file (dovevodi.dll, dovevodi32.dll, pxlib.dll or pxlib32.dll) was not found, "
                  "or is outdated (Version expected: 5.1.1.0)");
      }
      // The file was closed: it can be removed and written again.
      std::remove(name.c_str());
      WriteBytes(name, {'F', 'A', 'K', 'E', 'R'});
    } else {
      EXPECT_FALSE(c.io->ParamsFromFile(name, pxftRAW));
      EXPECT_EQ(c.io->Params()->FileType, pxftUnknown);
    }
    EXPECT_EQ(c.finished, 1);
  }
}

class OpenPrompt : public ScriptedDialogTest {
 protected:
  void TearDown() override {
    GlobalSettingsInstance()->FUseStandardOpenDialog = 0;
    ScriptedDialogTest::TearDown();
  }
};

TEST_F(OpenPrompt, LibraryDialogGetsTheArgumentsAndSetsThePage) {
  Touch("a.png");
  Component c;
  c.io->SetAutoAdjustDPI(true);
  c.io->Params()->SetImageIndex(3);
  TDialogAnswer pick = TDialogAnswer::ChooseFiles({"a.png"});
  pick.WhileOpen = [&](TCommonDialog* d) {
    auto* o = dynamic_cast<TOpenPixoranDialog*>(d);
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(o->AlwaysAnimate());
    EXPECT_TRUE(o->ShowAllFrames());
    EXPECT_FALSE(o->AutoSetFilter());
    EXPECT_EQ(o->Filter(), "Pictures|*.png;*.jpg");
    EXPECT_EQ(o->AutoSetFilterFileType(), pxftJPEG);
    EXPECT_EQ(o->FilterDefault(), pxftPNG);
    EXPECT_EQ(o->ExtraFilter(), "Extra|*.xyz");
    EXPECT_EQ(o->ShowFormats(), pxsfImagesOnly);
    EXPECT_TRUE(o->AutoAdjustDPI());
    EXPECT_FALSE(o->FilteredAdjustDPI());
    EXPECT_TRUE(o->Options().Contains(ofEnableSizing));
  };
  TDialogScript::Push(pick);
  const std::string chosen = c.io->ExecuteOpenDialog(dir.Path(), "", true, 1, "Extra|*.xyz", "Pick one",
                                                     "Pictures|*.png;*.jpg", pxftPNG, pxftJPEG, pxsfImagesOnly);
  EXPECT_EQ(chosen, dir.File("a.png"));
  ASSERT_EQ(TDialogScript::Shown().size(), 1u);
  EXPECT_EQ(TDialogScript::Shown()[0].Title, "Pick one");
  EXPECT_EQ(c.io->Params()->ImageIndex, 0);  // the frame picked in the preview
  EXPECT_EQ(c.io->Params()->TIFF_ImageIndex, 0);

  // Cancelled: "" and the page kept. A default type the filter lists picks its entry; one it
  // does not list leaves the first entry.
  c.io->Params()->SetImageIndex(3);
  for (const auto& [type, entry] : {std::pair<TPXFileType, int32_t>{pxftBMP, 2}, {pxftGIF, 1}}) {
    int32_t shown = -1;
    TDialogAnswer cancel = TDialogAnswer::Cancelled();
    cancel.WhileOpen = [&](TCommonDialog* d) { shown = dynamic_cast<TOpenDialog*>(d)->FilterIndex(); };
    TDialogScript::Push(cancel);
    EXPECT_EQ(c.io->ExecuteOpenDialog(dir.Path(), "", false, 2, "", "", "Pictures|*.png;*.jpg|Bitmaps|*.bmp", type,
                                      -1, pxsfImagesAndVideos),
              "");
    EXPECT_EQ(shown, entry) << type;
  }
  EXPECT_EQ(c.io->Params()->ImageIndex, 3);
}

TEST_F(OpenPrompt, StandardDialogGetsTheRegistryFilter) {
  Touch("b.png");
  GlobalSettingsInstance()->FUseStandardOpenDialog = 1;
  Component c;
  TDialogAnswer pick = TDialogAnswer::ChooseFiles({"b.png"});
  pick.WhileOpen = [&](TCommonDialog* d) {
    EXPECT_EQ(dynamic_cast<TOpenPixoranDialog*>(d), nullptr);
    auto* o = dynamic_cast<TOpenDialog*>(d);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->Filter(), BuildDialogFilter(false, pxsfImagesOnly, pxftPNG, "Extra|*.xyz", false));
    EXPECT_EQ(o->FilterIndex(), 2);
  };
  TDialogScript::Push(pick);
  EXPECT_EQ(c.io->ExecuteOpenDialog(dir.Path(), "", false, 2, "Extra|*.xyz", "", "", -1, pxftPNG, pxsfImagesOnly),
            dir.File("b.png"));
  ASSERT_EQ(TDialogScript::Shown().size(), 1u);
  EXPECT_EQ(TDialogScript::Shown()[0].Kind, "TOpenDialog");
}
