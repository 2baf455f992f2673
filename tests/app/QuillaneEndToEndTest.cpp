// The main window end to end, driven as a user drives it: pictures opened through the Open
// button, every option set through its control (position buttons clicked, numbers typed into
// the spin edits, track bars dragged and nudged with the arrow keys, the check boxes, radio
// buttons, tabs and colour swatch clicked), the result saved through Save As in every format,
// and each file read back by Pillow (netpbm for WBMP) and compared with the independent
// reference tests/app/reflect_reference.py computes from the same control values.
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTabs.h"
#include "controls/CvTrkBar.h"
#include "core/hypxutils.h"
#include "io/pixoranio.h"
#include "tests/app/QuillaneTestSupport.h"
#include "tests/app/ReflectFixtures.h"
#include "view/pixoran.h"

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// Reads each saved file of the manifest and compares it with what the reference picture becomes
// in that format. Manifest lines: saved-file reference.png format remove-alpha(0/1) RRGGBB.
// Output, one line each: "largest-difference mean-difference alpha-difference" (of the colour
// channels of the pixels not transparent; a GIF's line begins with "gif" and the mean difference
// before the mapping to its palette) or
// "size WxH against WxH".
const char* kCompare = R"PY(
import subprocess
import sys
import numpy as np
from PIL import Image

def grey(c):
    return (21 * c[..., 0] + 71 * c[..., 1] + 8 * c[..., 2]) // 100

def black_and_white(c):
    # Two levels at the grey of the average colour (each row's channel sums over the width,
    # summed over the rows, over the height).
    h, w = c.shape[:2]
    average = (c.sum(axis=1) // w).sum(axis=0) // h
    v = np.where(grey(c) >= grey(average), 255, 0)
    return np.repeat(v[:, :, None], 3, axis=2)

def read(name, fmt, d):
    if fmt == 'wbmp':
        pbm = d + 'read.pbm'
        with open(name, 'rb') as src, open(pbm, 'wb') as dst:
            subprocess.run(['wbmptopbm'], stdin=src, stdout=dst, check=True)
        name = pbm
    return np.array(Image.open(name).convert('RGBA')).astype(np.int64)

d = sys.argv[2]
out = open(sys.argv[3], 'w')
for line in open(sys.argv[1]):
    saved, ref_name, fmt, remove, bg = line.split()
    bg = np.array([int(bg[0:2], 16), int(bg[2:4], 16), int(bg[4:6], 16)], np.int64)
    ref = np.array(Image.open(ref_name).convert('RGBA')).astype(np.int64)
    colour, alpha = ref[..., :3], ref[..., 3]
    keeps_alpha = fmt in ('png', 'tif') and remove == '0'
    if remove == '1':
        alpha = np.full(alpha.shape, 255)
    elif not keeps_alpha:
        # The merged picture flattened onto the swatch colour: bg + floor((c - bg) * A / 256).
        colour = bg + np.floor_divide((colour - bg) * alpha[..., None], 256)
        alpha = np.full(alpha.shape, 255)
    if fmt in ('gif', 'ico'):
        alpha = np.where((colour == bg).all(axis=2), 0, 255)
    if fmt == 'wbmp':
        colour = black_and_white(colour)
    if fmt == 'jpg':
        # Through libjpeg at the writer's quality, so that both lose alike.
        Image.fromarray(colour.astype(np.uint8), 'RGB').save(d + 'expected.jpg', quality=80)
        colour = np.array(Image.open(d + 'expected.jpg').convert('RGB')).astype(np.int64)
    got = read(saved, fmt, d)
    if got.shape[:2] != colour.shape[:2]:
        out.write('size %dx%d against %dx%d\n' % (got.shape[1], got.shape[0], colour.shape[1], colour.shape[0]))
        continue
    seen = alpha > 0
    if fmt == 'gif':
        # The palette is the colour reducer's choice: the expected colours are mapped to the
        # nearest entry of the file's own palette, so that what is left is the picture itself.
        pal = np.array(Image.open(saved).getpalette(), np.int64).reshape(-1, 3)
        flat = colour.reshape(-1, 3)
        near = np.argmin(((flat[:, None, :] - pal[None, :, :]) ** 2).sum(axis=2), axis=1)
        mapped = pal[near].reshape(colour.shape)
        gdiff = np.abs(got[..., :3] - colour)[seen]
        out.write('gif %.3f ' % (float(gdiff.mean()) if gdiff.size else 0.0))
        colour = mapped
    diff = np.abs(got[..., :3] - colour)[seen]
    alpha_diff = int(np.abs(got[..., 3] - alpha).max()) if (keeps_alpha or fmt in ('gif', 'ico')) else 0
    out.write('%d %.3f %d\n' % (int(diff.max()) if diff.size else 0, float(diff.mean()) if diff.size else 0.0, alpha_diff))
)PY";

// One option set, as the controls hold it.
struct Row {
  const char* Name;
  TCvBmpButton* TFrmQuillane::*Position = &TFrmQuillane::BtnBottom;
  int32_t Spacing = 0;
  int32_t SpacingInWidths = 0;  // added: that many times the picture's width
  int32_t SizeBar = 0;          // the size track bar's position (the size is 100 minus it)
  int32_t TranBegin = 0, TranEnd = 0;
  bool Grey = false;
  bool Wave = false;
  int32_t Amplitude = 10, WaveLength = 30, Phase = 0;
  bool RemoveAlpha = false;
  uint32_t Background = 0xFFFFFF;  // RRGGBB
  bool EveryFixture = false;       // else the RGBA picture only
};

// Black and white is reached only through the settings file: those rows run in a window started
// with "Color=2".
const Row kColourRows[] = {
    {.Name = "left", .Position = &TFrmQuillane::BtnLeft, .EveryFixture = true},
    {.Name = "top", .Position = &TFrmQuillane::BtnTop},
    {.Name = "right", .Position = &TFrmQuillane::BtnRight},
    {.Name = "bottom"},
    {.Name = "spacing 7", .Spacing = 7},
    {.Name = "right spacing -W", .Position = &TFrmQuillane::BtnRight, .SpacingInWidths = -1},
    {.Name = "left spacing -2W", .Position = &TFrmQuillane::BtnLeft, .SpacingInWidths = -2},
    {.Name = "bottom spacing -W", .SpacingInWidths = -1},
    {.Name = "size and transparencies", .Position = &TFrmQuillane::BtnTop, .SizeBar = 40, .TranBegin = 30, .TranEnd = 90},
    {.Name = "size 0 right", .Position = &TFrmQuillane::BtnRight, .SizeBar = 100, .TranBegin = 22},
    {.Name = "grey", .Grey = true},
    {.Name = "wave", .Position = &TFrmQuillane::BtnRight, .Wave = true, .Amplitude = 4, .WaveLength = 7, .Phase = 90},
    {.Name = "wave default", .Position = &TFrmQuillane::BtnTop, .Wave = true},
    {.Name = "remove alpha", .Spacing = 3, .RemoveAlpha = true, .Background = 0x204080, .EveryFixture = true},
    {.Name = "remove alpha grey waved", .Position = &TFrmQuillane::BtnTop, .SizeBar = 20, .Grey = true, .Wave = true,
     .Amplitude = 3, .WaveLength = 11, .Phase = 200, .RemoveAlpha = true, .Background = 0x000000},
    {.Name = "alpha kept over a chosen colour", .Position = &TFrmQuillane::BtnLeft, .Background = 0xFFFF00,
     .EveryFixture = true},
};
const Row kBlackAndWhiteRows[] = {
    {.Name = "black and white left", .Position = &TFrmQuillane::BtnLeft},
    {.Name = "black and white waved", .Wave = true},
    {.Name = "black and white remove alpha", .Position = &TFrmQuillane::BtnRight, .RemoveAlpha = true,
     .Background = 0xFFFF00, .EveryFixture = true},
};

struct Fixture {
  const char* File;
  int32_t Width;
  int32_t Tolerance;  // colour levels our decoder may differ from Pillow's
};
const Fixture kFixtures[] = {
    {"hole.png", 40, 0}, {"photo.jpg", 37, 2}, {"palette.bmp", 21, 0}, {"mono.png", 35, 0}};

// One extension of each filter of the save dialog, as a user types it.
const char* const kFormats[] = {"png", "tif",  "bmp", "pcx", "tga", "ppm", "ico", "jpg",
                                "gif", "wbmp", "dcx", "jp2", "j2k", "eps", "pdf", "psd"};

// A file to check against the reference.
struct Saved {
  std::string Trace;
  std::string File, Reference, Format;
  bool RemoveAlpha = false;
  uint32_t Background = 0;
  bool Wave = false, BlackAndWhite = false;
  int32_t Tolerance = 0;
};

class QuillaneEndToEnd : public QuillaneTest {
 protected:
  void SetUp() override {
    QuillaneTest::SetUp();
    if (!ToolExists(kPython)) GTEST_SKIP() << "no python3";
    ASSERT_EQ(RunTool({kPython, "-c", kMakeReflectFixtures, dir_.Path()}, dir_.File("fixtures.log")), 0);
  }

  TCvPageControl* Pages() { return form_->CvPageControl1; }
  void ShowPage(int32_t Index) {
    const TRect r = Pages()->TabClientRect(Index);
    Click(Pages(), (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    Pump();
    ASSERT_EQ(Pages()->ActivePageIndex(), Index);
  }

  // Tabs into the spin edit (which selects its text) and types Value.
  void TypeInto(TCvSpinEdit* Edit, int32_t Value) {
    if (Edit->IntValue() == Value && Edit->Text() == std::to_string(Value)) return;
    Edit->SetFocus();
    Pump();
    for (const char c : std::to_string(Value)) {
      if (c == '-') Press(VK_OEM_MINUS, "-");
      else Press(static_cast<uint16_t>(c), std::string(1, c));
    }
    Pump();
    ASSERT_EQ(Edit->Text(), std::to_string(Value));
  }

  // Drags the thumb to about Position, then steps with the arrow keys to it exactly.
  void MoveTrackBar(TCvTrackBar* Bar, int32_t Position) {
    if (Bar->Position() == Position) return;
    const TRect thumb = Bar->ThumbRect(), track = Bar->TrackRect();
    const int32_t y = (thumb.Top + thumb.Bottom) / 2;
    const int32_t from = (thumb.Left + thumb.Right) / 2;
    const int32_t to = from + (track.Right - track.Left) * (Position - Bar->Position()) / 100;
    MouseDown(Bar, from, y);
    MouseMove(Bar, (from + to) / 2, y, {ssLeft});
    MouseMove(Bar, to, y, {ssLeft});
    MouseUp(Bar, to, y);
    for (int32_t i = 0; i < 100 && Bar->Position() != Position; ++i)
      Press(Bar->Position() < Position ? VK_RIGHT : VK_LEFT);
    Pump();
    ASSERT_EQ(Bar->Position(), Position);
  }

  // Sets the row's options through the controls, as a user would.
  void SetOptions(const Row& R, int32_t Spacing) {
    TFrmQuillane* f = form_;
    ShowPage(0);
    TCvBmpButton* position = f->*R.Position;
    if (!position->Down()) Click(position, position->Width() / 2, position->Height() / 2);
    ASSERT_TRUE(position->Down());
    TypeInto(f->SpinEditSpc, Spacing);
    MoveTrackBar(f->TrackBarSize, R.SizeBar);
    MoveTrackBar(f->TrackBarTranBegin, R.TranBegin);
    MoveTrackBar(f->TrackBarTranEnd, R.TranEnd);
    if (!f->RadioButtonBW->Checked()) {
      TCvRadioButton* mode = R.Grey ? f->RadioButtonH : f->RadioButtonColor;
      if (!mode->Checked()) Click(mode, 6, mode->Height() / 2);
      ASSERT_TRUE(mode->Checked());
    }
    ShowPage(1);
    if (f->CheckBoxWave->Checked() != R.Wave) Click(f->CheckBoxWave, 6, f->CheckBoxWave->Height() / 2);
    ASSERT_EQ(f->CheckBoxWave->Checked(), R.Wave);
    TypeInto(f->SpinEditZF, R.Amplitude);
    TypeInto(f->SpinEditBC, R.WaveLength);
    TypeInto(f->SpinEditXW, R.Phase);
    const uint32_t bg = R.Background;
    const auto colour = static_cast<TColor>(((bg & 0xFF) << 16) | (bg & 0xFF00) | ((bg >> 16) & 0xFF));
    if (f->PanelBkColor->Color() != colour) {
      TDialogScript::Push(TDialogAnswer::ChooseColor(colour));
      Click(f->PanelBkColor, 20, 8);
    }
    ASSERT_EQ(f->PanelBkColor->Color(), colour);
    if (f->CheckBoxRemoveAlpa->Checked() != R.RemoveAlpha)
      Click(f->CheckBoxRemoveAlpa, 6, f->CheckBoxRemoveAlpa->Height() / 2);
    ASSERT_EQ(f->CheckBoxRemoveAlpa->Checked(), R.RemoveAlpha);
    Pump();
  }

  // The reference's arguments for the controls' values now.
  std::string ReferenceJob(const std::string& Input, const std::string& Output) {
    TFrmQuillane* f = form_;
    const TRGB bg = TColorToRGB(f->PanelBkColor->Color());
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", bg.r, bg.g, bg.b);
    std::ostringstream job;
    job << "'" << Input << "' '" << Output << "' --position " << f->GetReflectPosition() << " --spacing "
        << f->SpinEditSpc->IntValue() << " --size " << 100 - f->TrackBarSize->Position() << " --tran-begin "
        << f->TrackBarTranBegin->Position() << " --tran-end " << f->TrackBarTranEnd->Position() << " --colour-mode "
        << (f->RadioButtonH->Checked() ? 1 : f->RadioButtonBW->Checked() ? 2 : 0) << " --amplitude "
        << f->SpinEditZF->IntValue() << " --wave-length " << f->SpinEditBC->IntValue() << " --phase "
        << f->SpinEditXW->IntValue() << " --background " << hex;
    if (f->CheckBoxWave->Checked()) job << " --wave";
    if (f->CheckBoxRemoveAlpa->Checked()) job << " --remove-alpha";
    return job.str();
  }

  // Runs the rows over the fixtures in a window started with Options (already written): each
  // result saved in every format; the formats no writer can write show the box and leave no
  // file.
  template <size_t N>
  void RunRows(const Row (&Rows)[N], const char* Pass, std::ofstream& Jobs, std::vector<Saved>& Files) {
    TFrmQuillane* f = Open();
    for (const Fixture& fx : kFixtures) {
      TDialogScript::Push(TDialogAnswer::ChooseFiles({dir_.File(fx.File)}));
      Click(f->BtnOpen, 20, 20);
      Pump();
      ASSERT_TRUE(f->ImageLoaded()) << fx.File;
      const bool first = &fx == &kFixtures[0];
      for (const Row& r : Rows) {
        if (!first && !r.EveryFixture) continue;
        const std::string trace = std::string(fx.File) + ": " + r.Name;
        SCOPED_TRACE(trace);
        SetOptions(r, r.Spacing + r.SpacingInWidths * fx.Width);
        if (HasFatalFailure()) return;
        const std::string stem = dir_.File(std::string(Pass) + std::to_string(Files.size()));
        Jobs << ReferenceJob(dir_.File(fx.File), stem + "_ref.png") << "\n";
        for (const char* ext : kFormats) {
          const std::string file = stem + "." + ext;
          const bool writable = FormatCanWrite(FileTypeForSaving(file, false));
          TDialogScript::Stop();
          TDialogScript::Start();
          TDialogScript::Push(TDialogAnswer::ChooseFiles({file}));
          if (!writable) TDialogScript::Push(TDialogAnswer::Accepted());
          Click(f->BtnSaveAs, 20, 20);
          Pump();
          if (!writable) {
            EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: Can not save file: the format is not available"}) << ext;
            EXPECT_FALSE(std::filesystem::exists(file)) << ext;
            continue;
          }
          ASSERT_TRUE(Boxes().empty()) << ext << ": " << Boxes().front();
          ASSERT_TRUE(std::filesystem::exists(file)) << ext;
          Saved s;
          s.Trace = trace + " as " + ext;
          s.File = file;
          s.Reference = stem + "_ref.png";
          s.Format = ext;
          s.RemoveAlpha = r.RemoveAlpha;
          s.Background = r.Background;
          s.Wave = r.Wave;
          s.BlackAndWhite = f->RadioButtonBW->Checked();
          s.Tolerance = fx.Tolerance;
          Files.push_back(s);
        }
        // Saving changes nothing of the window.
        EXPECT_EQ(f->PixoranDis->LayersCount(), 2);
        EXPECT_TRUE(f->ImageLoaded());
      }
    }
    EXPECT_TRUE(Reports().empty()) << Reports().front();
    Close();
  }
};

TEST_F(QuillaneEndToEnd, EveryOptionSetThroughTheControlsSavesWhatTheReferenceComputes) {
  std::ofstream jobs(dir_.File("jobs.txt"));
  std::vector<Saved> files;
  WriteOptions("[LANGUAGE]\nDefault=7\n");
  RunRows(kColourRows, "c", jobs, files);
  if (HasFatalFailure()) return;
  WriteOptions("[OPTIONS]\nColor=2\n[LANGUAGE]\nDefault=7\n");
  RunRows(kBlackAndWhiteRows, "bw", jobs, files);
  if (HasFatalFailure()) return;
  jobs.close();

  // The reference once for every row, then one comparison of every file.
  ASSERT_EQ(RunTool({kPython, TestDataPath("../app/reflect_reference.py"), "--batch", dir_.File("jobs.txt")},
                    dir_.File("reference.log")),
            0);
  {
    std::ofstream manifest(dir_.File("manifest.txt"));
    for (const Saved& s : files) {
      char bg[8];
      std::snprintf(bg, sizeof bg, "%06X", s.Background & 0xFFFFFF);
      manifest << s.File << " " << s.Reference << " " << s.Format << " " << (s.RemoveAlpha ? 1 : 0) << " " << bg << "\n";
    }
  }
  ASSERT_EQ(RunTool({kPython, "-c", kCompare, dir_.File("manifest.txt"), dir_.Path(), dir_.File("results.txt")},
                    dir_.File("compare.log")),
            0);
  std::ifstream results(dir_.File("results.txt"));
  std::string line;
  for (const Saved& s : files) {
    SCOPED_TRACE(s.Trace);
    ASSERT_TRUE(std::getline(results, line));
    int maxDiff = -1, alphaDiff = -1;
    double meanDiff = -1, reductionDiff = 0;
    if (s.Format == "gif") {
      ASSERT_EQ(std::sscanf(line.c_str(), "gif %lf %d %lf %d", &reductionDiff, &maxDiff, &meanDiff, &alphaDiff), 4) << line;
    } else {
      ASSERT_EQ(std::sscanf(line.c_str(), "%d %lf %d", &maxDiff, &meanDiff, &alphaDiff), 3) << line;
    }
    // The wave samples between pixels: sines and their rounding may differ by one level; the
    // JPEG fixture's decoders by two. In a two-level picture such a difference may flip a pixel.
    const int32_t slack = s.Tolerance + (s.Wave ? 1 : 0);
    const bool twoLevels = s.Format == "wbmp" || s.BlackAndWhite;
    if (s.Format == "jpg") {
      EXPECT_LE(meanDiff, 3.0);
    } else if (s.Format == "jp2" || s.Format == "j2k") {
      // Written at the default rate 0.95, just short of lossless: a few levels here and there.
      EXPECT_LE(meanDiff, 1.0);
      EXPECT_LE(maxDiff, slack + 8);
      EXPECT_LE(alphaDiff, s.Wave ? 1 : 0);
    } else if (s.Format == "gif") {
      // Against the expected colours mapped to the file's palette: close (the reducer maps to its
      // boxes' averages, not always to the nearest entry); against the colours themselves within
      // what reducing some 2000 colours to 256 costs. The transparency exact.
      EXPECT_LE(meanDiff, 3.0);
      EXPECT_LE(reductionDiff, 12.0);
      EXPECT_EQ(alphaDiff, 0);
    } else if (twoLevels && slack > 0) {
      EXPECT_LE(meanDiff, 5.0);  // at most about 2 % of the pixels flipped
      EXPECT_LE(alphaDiff, s.Wave ? 1 : 0);
    } else {
      EXPECT_LE(maxDiff, slack);
      EXPECT_LE(alphaDiff, s.Wave ? 1 : 0);
    }
  }
}

// Black and white through the change handler (a check box, the size, grey and back as the
// settings file sets it) gives the open path's 1-bit reflection, byte for byte.
TEST_F(QuillaneEndToEnd, BlackAndWhiteThroughTheChangeHandlerEqualsTheOpenPath) {
  WriteOptions("[OPTIONS]\nColor=2\n[LANGUAGE]\nDefault=7\n");
  TFrmQuillane* f = Open();
  ASSERT_TRUE(f->RadioButtonBW->Checked());
  TDialogScript::Push(TDialogAnswer::ChooseFiles({dir_.File("hole.png")}));
  Click(f->BtnOpen, 20, 20);
  Pump();
  ASSERT_TRUE(f->ImageLoaded());
  auto rows = [&] {
    TPXBitmap* b = f->PixoranDis->Layers(1)->GetBitmap();
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < b->Height(); ++y) {
      const auto* row = static_cast<const uint8_t*>(b->GetScanline(y));
      bytes.insert(bytes.end(), row, row + (b->Width() + 7) / 8);
      TPXBitmap* a = b->GetAlphaChannel();
      const auto* alpha = static_cast<const uint8_t*>(a->GetScanline(y));
      bytes.insert(bytes.end(), alpha, alpha + b->Width());
    }
    return bytes;
  };
  ASSERT_EQ(f->PixoranDis->Layers(1)->GetBitmap()->PixelFormat(), px1g);
  const std::vector<uint8_t> opened = rows();
  const struct {
    const char* Name;
    std::function<void()> Change;
  } changes[] = {
      {"wave on and off",
       [&] {
         ShowPage(1);
         Click(f->CheckBoxWave, 6, 6);
         Click(f->CheckBoxWave, 6, 6);
         ShowPage(0);
       }},
      {"size there and back", [&] { MoveTrackBar(f->TrackBarSize, 30); MoveTrackBar(f->TrackBarSize, 0); }},
      {"grey, then the settings' black and white", [&] {
         Click(f->RadioButtonH, 6, f->RadioButtonH->Height() / 2);
         EXPECT_EQ(f->PixoranDis->Layers(1)->GetBitmap()->PixelFormat(), px24RGB);
         f->RadioButtonBW->SetChecked(true);
       }},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.Name);
    c.Change();
    Pump();
    ASSERT_EQ(f->PixoranDis->Layers(1)->GetBitmap()->PixelFormat(), px1g);
    EXPECT_TRUE(rows() == opened);
  }
}

}  // namespace
