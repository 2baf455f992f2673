// Open and Save As of the main window, against pictures Pillow makes and reads: the format index
// of a name, the open path and its failures, and every writable format saved from the merged
// layers (Pillow's composition of the view's own layers is the reference).
#include <sys/stat.h>

#include <cstdio>

#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvStatus.h"
#include "controls/CvTrkBar.h"
#include "io/pixoranio.h"
#include "io/pxopensavedlg.h"
#include "platform/forms/Menus.h"
#include "tests/app/QuillaneTestSupport.h"
#include "view/pixoran.h"

namespace {

TEST(FormatIndexOfFile, ExtensionsAsTextInTheLists) {
  const struct {
    const char* Name;
    int32_t Index;
  } cases[] = {
      {"a.png", 7},   {"/x/A.PNG", 7}, {"a.tif", 1},  {"a.fax", 1},  {"a.if", 1},  {"a.f", 1},   {"a.jpe", 3},
      {"a.e", 3},     {"a.rle", 5},    {"a.vst", 8},  {"a.pbm", 9},  {"a.j2c", 12}, {"a.eps", 13}, {"a.dcx", 15},
      {"a.psd", 16},  {"a.pxv", 17},   {"a.lyr", 18}, {"a.all", 19}, {"a.avi", 20}, {"a.g3n", 0},  {"a.xif", 0},
      {"a.jif", 0},   {"noext", 0},    {"a.gif", 2},  {"a.pcx", 4},  {"a.ico", 6},  {"a.wbmp", 10}, {"a.jp2", 11},
      {"a.pdf", 14},  {"dir.png/x", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatIndexOfFile(c.Name), c.Index) << c.Name;
}

class QuillaneFile : public QuillaneTest {
 protected:
  void SetUp() override {
    QuillaneTest::SetUp();
    WriteOptions("[LANGUAGE]\nDefault=7\n");
  }

  // The fixtures: an RGBA picture with a transparent hole and a half-transparent edge, a JPEG,
  // an 8-bit palette BMP and a 1-bit PNG.
  void MakeFixtures() {
    Python("d = sys.argv[0].rsplit('/', 1)[0] + '/'\n"
           "w, h = 64, 48\n"
           "a = np.zeros((h, w, 4), np.uint8)\n"
           "for y in range(h):\n"
           "  for x in range(w):\n"
           "    a[y, x] = (40 + x * 4, 60 + y * 6, 200 - x * 3, 255)\n"
           "a[10:20, 20:32, 3] = 0\n"
           "a[:, w - 3:, 3] = 128\n"
           "Image.fromarray(a, 'RGBA').save(d + 'rgba.png')\n"
           "Image.fromarray(a[:, :, :3], 'RGB').save(d + 'photo.jpg', quality=95)\n"
           "Image.fromarray(a[:, :, :3], 'RGB').convert('P', palette=Image.ADAPTIVE, colors=16).save(d + 'palette.bmp')\n"
           "Image.fromarray((a[:, :, 0] > 80).astype(np.uint8) * 255, 'L').convert('1').save(d + 'bits.png')\n");
  }

  // The view's layer as text for Python: "W H X Y" and W x H RGBA pixels in hex.
  void DumpLayer(int32_t Index, const std::string& File) {
    TPXLayer* layer = form_->PixoranDis->Layers(Index);
    TPXBitmap* b = layer->GetBitmap();
    FILE* f = std::fopen(File.c_str(), "w");
    std::fprintf(f, "%d %d %d %d\n", b->Width(), b->Height(), layer->GetPosX(), layer->GetPosY());
    const bool alpha = b->HasAlphaChannel();
    for (int32_t y = 0; y < b->Height(); ++y) {
      for (int32_t x = 0; x < b->Width(); ++x) {
        const TRGB c = b->GetPixelRGB(x, y);
        std::fprintf(f, "%02x%02x%02x%02x", c.r, c.g, c.b, alpha ? b->GetAlpha(x, y) : 255);
      }
      std::fprintf(f, "\n");
    }
    std::fclose(f);
  }

  TPixoran* View() { return form_->PixoranDis; }
};

// Python: reads layer dumps into (array RGBA, x, y).
const char* kReadLayer =
    "def layer(name):\n"
    "  lines = open(name).read().split()\n"
    "  w, h, x, y = map(int, lines[:4])\n"
    "  px = np.array([[int(r[i:i + 2], 16) for i in range(0, len(r), 2)] for r in lines[4:4 + h]], np.int64)\n"
    "  return px.reshape(h, w, 4), x, y\n";

TEST_F(QuillaneFile, OpensAndBuildsTheReflection) {
  MakeFixtures();
  TFrmQuillane* f = Open();
  // The dialog starts in LastDir; cancelled, nothing happens.
  std::string initial = "?";
  TDialogAnswer cancel = TDialogAnswer::Cancelled();
  cancel.WhileOpen = [&](TCommonDialog* d) { initial = static_cast<TOpenDialog*>(d)->InitialDir(); };
  TDialogScript::Push(cancel);
  f->M_OpenClick(f->BtnOpen);
  EXPECT_EQ(initial, "");
  EXPECT_FALSE(f->ImageLoaded());

  for (const char* name : {"rgba.png", "photo.jpg", "palette.bmp", "bits.png"}) {
    SCOPED_TRACE(name);
    OpenFile(dir_.File(name));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(f->ImageLoaded());
    EXPECT_TRUE(f->BtnSaveAs->Enabled());
    EXPECT_EQ(f->CvStatusPane1->Caption(), dir_.File(name));
    EXPECT_EQ(f->LastDir() + "/", dir_.Path());
    EXPECT_EQ(f->ImageSrc()->GetPXBitmap()->Width(), 64);
    ASSERT_EQ(View()->LayersCount(), 2);
    EXPECT_EQ(f->ReflectLayer(), 1);
    EXPECT_TRUE(View()->Layers(1)->Locked());
    // Bottom, spacing 0: the canvas holds the picture and its reflection below it.
    EXPECT_EQ(View()->Layers(0)->GetBitmap()->Height(), 96);
    EXPECT_EQ(View()->Layers(1)->GetPosY(), 48);
    // Smaller than the view: shown at 100 %.
    EXPECT_EQ(View()->Zoom(), 100);
  }
  // The next open starts in the file's folder with the last name in its name box; the filter
  // that name preselects is still the one of all pictures.
  std::string name;
  int32_t filter = -1;
  cancel.WhileOpen = [&](TCommonDialog* d) {
    auto* open = static_cast<TOpenDialog*>(d);
    initial = open->InitialDir();
    name = open->FileName();
    filter = open->FilterIndex();
  };
  for (const char* last : {"rgba.png", "photo.jpg", "palette.bmp"}) {
    OpenFile(dir_.File(last));
    TDialogScript::Push(cancel);
    f->M_OpenClick(f->BtnOpen);
    EXPECT_EQ(initial + "/", dir_.Path());
    EXPECT_EQ(name, dir_.File(last));
    EXPECT_EQ(filter, 1) << last;
  }
  // A PNG named .jpg opens by its content.
  std::filesystem::copy_file(dir_.File("rgba.png"), dir_.File("named.jpg"));
  OpenFile(dir_.File("named.jpg"));
  EXPECT_TRUE(f->ImageLoaded());
  EXPECT_TRUE(View()->Layers(0)->GetBitmap()->HasAlphaChannel());
}

TEST_F(QuillaneFile, ZoomAndFit) {
  Python("d = sys.argv[0].rsplit('/', 1)[0] + '/'\n"
         "Image.new('RGB', (1200, 300), (10, 20, 30)).save(d + 'wide.png')\n"
         "Image.new('RGB', (40, 30), (10, 20, 30)).save(d + 'small.png')\n");
  TFrmQuillane* f = Open();
  OpenFile(dir_.File("wide.png"));
  // Wider than the view: fitted.
  EXPECT_LT(View()->Zoom(), 100);
  const double fitted = View()->Zoom();
  f->BtnZoomOutClick(f->BtnZoomOut);
  EXPECT_NEAR(View()->Zoom(), fitted * 1.2, 1e-9);
  f->BtnZoomInClick(f->BtnZoomIn);
  EXPECT_NEAR(View()->Zoom(), fitted * 0.96, 1e-9);
  f->BtnRealClick(f->BtnReal);
  EXPECT_EQ(View()->Zoom(), 100);
  f->BtnFitClick(f->BtnFit);
  EXPECT_NEAR(View()->Zoom(), fitted, 1e-9);
  // A position change does not refit.
  f->BtnRealClick(f->BtnReal);
  f->BtnRight->SetDown(true);
  f->BtnLeftClick(f->BtnRight);
  EXPECT_EQ(View()->Zoom(), 100);
  OpenFile(dir_.File("small.png"));
  EXPECT_EQ(View()->Zoom(), 100);
}

TEST_F(QuillaneFile, FailedOpensShowTheBoxAndKeepTheOldReflection) {
  MakeFixtures();
  TFrmQuillane* f = Open();
  {
    std::ifstream in(dir_.File("rgba.png"), std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::ofstream(dir_.File("truncated.png"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  }
  std::ofstream(dir_.File("empty.png"));
  std::ofstream(dir_.File("text.png")) << "this is not a picture\n";
  std::ofstream(dir_.File("movie.avi")) << "RIFF....AVI LIST";
  for (const char* name : {"missing.png", "empty.png", "truncated.png", "text.png", "movie.avi"}) {
    SCOPED_TRACE(name);
    OpenFile(dir_.File("rgba.png"));
    ASSERT_TRUE(f->ImageLoaded());
    const int32_t height = View()->Layers(0)->GetBitmap()->Height();
    TDialogScript::Stop();
    TDialogScript::Start();
    OpenFile(dir_.File(name), true);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: Can not open file"});
    EXPECT_EQ(TDialogScript::Shown().back().Flags & MB_ICONMASK, static_cast<uint32_t>(MB_ICONERROR));
    EXPECT_FALSE(f->ImageLoaded());
    EXPECT_FALSE(f->BtnSaveAs->Enabled());
    EXPECT_EQ(View()->LayersCount(), 2);
    EXPECT_EQ(View()->Layers(0)->GetBitmap()->Height(), height);
    // The option handlers are inert.
    f->SpinEditSpc->SetIntValue(50);
    EXPECT_EQ(View()->Layers(0)->GetBitmap()->Height(), height);
    f->SpinEditSpc->SetIntValue(0);
  }
  // The language file's texts.
  WriteLanguage("English.isl", "[Messages]\nMs_Error=Fehler\nMs_OpenError=Kaputt#13#10Zeile\n");
  f->ApplyLanguage(0);
  TDialogScript::Stop();
  TDialogScript::Start();
  OpenFile(dir_.File("missing.png"), true);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Fehler: Kaputt\r\nZeile"});
}

// Every format saved from the view's layers, read back by Pillow and compared with Pillow's
// composition of the same layers: TIFF and PNG keep the alpha channel, the others are flattened
// onto the swatch colour, GIF and icon make exactly the swatch-coloured pixels transparent; with
// remove-alpha every pixel is the colour of the topmost layer covering it.
TEST_F(QuillaneFile, SavesTheMergedLayersInEveryWritableFormat) {
  MakeFixtures();
  TFrmQuillane* f = Open();
  const struct {
    const char* Ext;
    int32_t Tolerance;  // largest difference; JPEG: mean difference
    bool KeepsAlpha;
    bool Transparent;  // the swatch colour becomes transparent
    bool Grey;         // the format stores shades of grey (or black and white) only
  } formats[] = {
      {"png", 1, true, false, false}, {"bmp", 1, false, false, false}, {"pcx", 1, false, false, false},
      {"tga", 1, false, false, false}, {"ppm", 1, false, false, false}, {"ico", 1, false, true, false},
      {"jpg", 3, false, false, false}, {"tif", 1, true, false, false}, {"gif", 8, false, true, false},
  };
  struct Options {
    const char* Name;
    const char* Source;
    bool RemoveAlpha;
    TColor Background;
  } options[] = {
      {"alpha kept", "rgba.png", false, clWhite},
      {"remove-alpha on green", "rgba.png", true, static_cast<TColor>(0x00FF00)},
      {"palette picture", "palette.bmp", false, static_cast<TColor>(0x102030)},
  };
  for (const Options& o : options) {
    OpenFile(dir_.File(o.Source));
    ASSERT_TRUE(f->ImageLoaded());
    f->PanelBkColor->SetColor(o.Background);
    f->CheckBoxRemoveAlpa->SetChecked(o.RemoveAlpha);
    DumpLayer(0, dir_.File("layer0.txt"));
    DumpLayer(1, dir_.File("layer1.txt"));
    for (const auto& fmt : formats) {
      SCOPED_TRACE(std::string(o.Name) + " as " + fmt.Ext);
      const std::string file = dir_.File(std::string("out.") + fmt.Ext);
      std::remove(file.c_str());
      TDialogScript::Stop();
      TDialogScript::Start();
      const bool writable = FormatCanWrite(FileTypeForSaving(file, false));
      SaveFile(file, !writable);
      if (!writable) {
        EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: Can not save file: the format is not available"});
        struct stat st;
        EXPECT_NE(stat(file.c_str(), &st), 0);
        continue;
      }
      ASSERT_TRUE(Boxes().empty()) << Boxes().front();
      const TRGB bg = TColorToRGB(o.Background);
      const std::string result = Python(
          std::string(kReadLayer) + "d = sys.argv[0].rsplit('/', 1)[0] + '/'\n" +
          "bg = np.array([" + std::to_string(bg.r) + "," + std::to_string(bg.g) + "," + std::to_string(bg.b) + "])\n" +
          "remove = " + (o.RemoveAlpha ? "True" : "False") + "\n" +
          "keep = " + (fmt.KeepsAlpha && !o.RemoveAlpha ? "True" : "False") + "\n" +
          "transparent = " + (fmt.Transparent ? "True" : "False") + "\n" +
          "a, ax, ay = layer(d + 'layer0.txt')\n"
          "b, bx, by = layer(d + 'layer1.txt')\n"
          "x0, y0 = min(ax, bx), min(ay, by)\n"
          "x1, y1 = max(ax + a.shape[1], bx + b.shape[1]), max(ay + a.shape[0], by + b.shape[0])\n"
          "if remove:\n"
          "  out = np.zeros((y1 - y0, x1 - x0, 4), np.int64); out[:, :, :3] = bg; out[:, :, 3] = 0\n"
          "  for p, px, py in ((a, ax, ay), (b, bx, by)):\n"
          "    out[py - y0:py - y0 + p.shape[0], px - x0:px - x0 + p.shape[1], :3] = p[:, :, :3]\n"
          "    out[py - y0:py - y0 + p.shape[0], px - x0:px - x0 + p.shape[1], 3] = 255\n"
          "  ref = out[:, :, :3]; alpha = np.full(ref.shape[:2], 255)\n"
          "else:\n"
          "  ca = Image.new('RGBA', (x1 - x0, y1 - y0), (0, 0, 0, 0))\n"
          "  ca.paste(Image.fromarray(a.astype(np.uint8), 'RGBA'), (ax - x0, ay - y0))\n"
          "  cb = Image.new('RGBA', (x1 - x0, y1 - y0), (0, 0, 0, 0))\n"
          "  cb.paste(Image.fromarray(b.astype(np.uint8), 'RGBA'), (bx - x0, by - y0))\n"
          "  m = np.array(Image.alpha_composite(ca, cb)).astype(np.int64)\n"
          "  if keep:\n"
          "    ref = m[:, :, :3]; alpha = m[:, :, 3]\n"
          "  else:\n"
          "    ref = bg + np.floor_divide((m[:, :, :3] - bg) * m[:, :, 3:4], 256); alpha = np.full(ref.shape[:2], 255)\n"
          "if transparent:\n"
          "  alpha = np.where((ref == bg).all(axis=2), 0, 255)\n"
          "if " + (std::string(fmt.Ext) == "jpg" ? "True" : "False") + ":\n"
          "  # JPEG: against the reference through libjpeg at the writer's quality, so both lose alike.\n"
          "  Image.fromarray(ref.astype(np.uint8), 'RGB').save(d + 'ref.jpg', quality=80)\n"
          "  ref = np.array(Image.open(d + 'ref.jpg').convert('RGB')).astype(np.int64)\n"
          "im = Image.open(d + 'out." + fmt.Ext + "')\n"
          "got = np.array(im.convert('RGBA')).astype(np.int64)\n"
          "if got.shape[:2] != ref.shape[:2]:\n"
          "  print('size', got.shape, ref.shape); sys.exit(0)\n"
          "seen = alpha > 0\n"
          "diff = np.abs(got[:, :, :3] - ref)[seen]\n"
          "print('alpha', int(np.abs(got[:, :, 3] - alpha).max()) if (keep or transparent) else 0)\n"
          "print('max', int(diff.max()) if diff.size else 0)\n"
          "print('mean', float(diff.mean()) if diff.size else 0.0)\n");
      SCOPED_TRACE(result);
      ASSERT_EQ(result.rfind("size", 0), std::string::npos);
      int alphaDiff = -1, maxDiff = -1;
      double meanDiff = -1;
      ASSERT_EQ(std::sscanf(result.c_str(), "alpha %d\nmax %d\nmean %lf", &alphaDiff, &maxDiff, &meanDiff), 3);
      if (std::string(fmt.Ext) == "jpg") {
        EXPECT_LE(meanDiff, fmt.Tolerance);
      } else if (std::string(fmt.Ext) == "gif") {
        // Reduced to a palette of 256 colours from many more: close on average, the transparency
        // exact.
        EXPECT_LE(meanDiff, fmt.Tolerance);
        EXPECT_EQ(alphaDiff, 0);
      } else {
        EXPECT_LE(maxDiff, fmt.Tolerance);
        EXPECT_LE(alphaDiff, 1);
      }
    }
    // The window's state is unchanged by the saves.
    EXPECT_EQ(View()->LayersCount(), 2);
    EXPECT_TRUE(f->ImageLoaded());
  }
}

TEST_F(QuillaneFile, SaveFailuresLeaveNoFileAndKeepAnOldOne) {
  MakeFixtures();
  TFrmQuillane* f = Open();
  OpenFile(dir_.File("rgba.png"));
  // The save dialog preselects the loaded file's filter in its folder.
  int32_t index = -1;
  std::string initial;
  TDialogAnswer cancel = TDialogAnswer::Cancelled();
  cancel.WhileOpen = [&](TCommonDialog* d) {
    index = static_cast<TOpenDialog*>(d)->FilterIndex();
    initial = static_cast<TOpenDialog*>(d)->InitialDir();
  };
  TDialogScript::Push(cancel);
  f->M_SaveAsClick(f->BtnSaveAs);
  EXPECT_EQ(index, 7);
  EXPECT_EQ(initial + "/", dir_.Path());
  // A format no writer in the table can write.
  for (const char* ext : {"pdf", "psd", "jp2", "eps"}) {
    const std::string file = dir_.File(std::string("out.") + ext);
    if (FormatCanWrite(FileTypeForSaving(file, false))) continue;
    TDialogScript::Stop();
    TDialogScript::Start();
    SaveFile(file, true);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: Can not save file: the format is not available"}) << ext;
    struct stat st;
    EXPECT_NE(stat(file.c_str(), &st), 0);
  }
  // A writer that gives up without raising (an icon holds at most 256 x 256 pixels): the box, no
  // file.
  Python("d = sys.argv[0].rsplit('/', 1)[0] + '/'\n"
         "Image.new('RGB', (300, 40), (10, 200, 30)).save(d + 'wide.png')\n");
  OpenFile(dir_.File("wide.png"));
  TDialogScript::Stop();
  TDialogScript::Start();
  SaveFile(dir_.File("wide.ico"), true);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: Can not save file"});
  EXPECT_FALSE(std::filesystem::exists(dir_.File("wide.ico")));
  // A writer that cannot create its file raises: the application's report, no file.
  TDialogScript::Stop();
  TDialogScript::Start();
  TDialogScript::Push(TDialogAnswer::ChooseFiles({dir_.File("nofolder/out.png")}));
  Click(f->BtnSaveAs, 10, 10);
  Pump();
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_NE(Reports()[0].find("nofolder/out.png"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("nofolder")));
  // An existing file keeps its content when the save fails.
  std::ofstream(dir_.File("keep.pdf")) << "old";
  if (!FormatCanWrite(FileTypeForSaving(dir_.File("keep.pdf"), false))) {
    TDialogScript::Stop();
    TDialogScript::Start();
    TDialogScript::Push(TDialogAnswer::ChooseFiles({dir_.File("keep.pdf")}));
    TDialogScript::Push(TDialogAnswer::PressButton(IDYES));  // replace it?
    TDialogScript::Push(TDialogAnswer::Accepted());
    f->M_SaveAsClick(f->BtnSaveAs);
    std::ifstream in(dir_.File("keep.pdf"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  }
}

}  // namespace
