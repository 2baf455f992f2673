// The processing component's attachment states and the operation frame, on a fake host.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/rtl/TypInfo.h"
#include "proc/pixoranproc.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"

namespace {

constexpr const char* kNoBitmap = "Active layer does not contain bitmap";

// A framed operation: inverts the bytes of the work rectangle of a px24RGB picture.
void FramedInvert(TPixoranProc& P, bool UseSelection = true) {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work = nullptr;
  TPXMask* mask = nullptr;
  if (!P.BeginOperation({px24RGB}, x1, y1, x2, y2, "Invert", work, mask, 77, UseSelection)) return;
  for (int32_t y = y1; y < y2; ++y) {
    uint8_t* row = work->Scanline(y);
    for (int32_t i = x1 * 3; i < x2 * 3; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  }
  P.EndOperation(work, mask);
  P.DoFinishWork();
}

void Paint(TPXBitmap* B) {
  for (int32_t y = 0; y < B->Height(); ++y)
    for (int32_t x = 0; x < B->Width(); ++x)
      B->SetPixel24(x, y, {static_cast<uint8_t>(x * 10), static_cast<uint8_t>(y * 10), 7});
}

bool Inverted(TPXBitmap* B, int32_t X, int32_t Y) {
  const TRGB c = B->GetPixelRGB(X, Y);
  return c.b == static_cast<uint8_t>(~(X * 10)) && c.g == static_cast<uint8_t>(~(Y * 10)) && c.r == 248;
}

TEST(FrameAttachTest, CreateDefaults) {
  TComponent owner(nullptr);
  auto* owned = new TPixoranProc(&owner);  // freed by its owner
  EXPECT_TRUE(owned->AutoUndo());
  TPixoranProc free(nullptr);
  EXPECT_FALSE(free.AutoUndo());
  for (TPixoranProc* p : {owned, &free}) {
    EXPECT_EQ(p->UndoLimit(), 1);
    EXPECT_EQ(p->UndoLocation(), pxFile);
    EXPECT_TRUE(p->AutoConvertFormat());
    EXPECT_EQ(p->UndoImageIndex(), -1);
    EXPECT_TRUE(p->OwnsTargetBitmap());
    EXPECT_TRUE(p->PreviewsParams().Contains(prppHardReset));
  }
  // Published properties are reached by name.
  SetOrdProp(&free, "UndoLimit", 3);
  EXPECT_EQ(free.UndoLimit(), 3);
  SetOrdProp(&free, "Background", 0x00FF00);
  EXPECT_EQ(GetOrdProp(&free, "Background"), 0x00FF00);
  EXPECT_FALSE(GetStrProp(&free, "PixoranVersion").empty());

  TPXBitmap bmp;
  bmp.Allocate(4, 4, px24RGB);
  auto forBitmap = TPixoranProc::CreateForBitmap(&bmp);
  EXPECT_FALSE(forBitmap->AutoUndo());
  EXPECT_EQ(forBitmap->TargetBitmap(), &bmp);
  EXPECT_FALSE(forBitmap->OwnsTargetBitmap());
}

TEST(FrameAttachTest, NoPictureRaisesBeforeAnythingChanges) {
  TFakeHost host;
  host.AddLayer(4, 4, px24RGB);
  host.AddLayer(4, 4, px24RGB, false);  // a text or shape layer
  host.Current = 1;
  TComponent owner(nullptr);
  auto* p = new TPixoranProc(&owner);
  p->SetAttachedPixoran(&host);
  const std::vector<std::function<void()>> ops = {
      [&] { FramedInvert(*p); },
      [&] { p->Crop(1, 1, 2, 2); },
      [&] { p->CheckBitmap(); },
      [&] { p->ConvertToGray(); },
      [&] { p->ConvertToMonochrome(); },
      [&] { p->ConvertTo(16, 0); },
      [&] { p->Fill(0xFF0000); },
      [&] { p->Flip(0); },
      [&] { p->ResizeCanvas(8, 4, 0, 0, 255); },
      [&] { p->Wave(3, 10, 0, false); },
  };
  for (const auto& op : ops) EXPECT_EQ(MessageOf<EPXException>(op), kNoBitmap);
  EXPECT_EQ(p->UndoCount(), 0);
  EXPECT_TRUE(host.ImageChanges.empty());

  TPixoranProc alone(nullptr);
  alone.SetAttachedBitmap(nullptr);
  EXPECT_EQ(MessageOf<EPXException>([&] { alone.CheckBitmap(); }), kNoBitmap);
}

TEST(FrameAttachTest, RectangularSelectionChangesOnlySelectedPixels) {
  TFakeHost host;
  Paint(host.AddLayer(8, 8, px24RGB).Bitmap.get());
  host.Mask.AllocateBits(8, 8, 1);
  for (int32_t y = 3; y <= 5; ++y) host.Mask.FillSpan(1, 2, 4, y);
  host.SelActive = true;
  TPixoranProc p(nullptr);
  p.SetAttachedPixoran(&host);
  FramedInvert(p);
  TPXBitmap* b = host.Layers[0].Bitmap.get();
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x <= 4 && y >= 3 && y <= 5;
      EXPECT_EQ(Inverted(b, x, y), inside) << x << "," << y;
    }
  // The host is told: update reason 5, Update, ImageChange(1).
  EXPECT_EQ(host.UpdateReason, 5);
  EXPECT_EQ(host.Updates, 1);
  EXPECT_EQ(host.ImageChanges, std::vector<int32_t>{1});
}

TEST(FrameAttachTest, OperationsHonourARectangularSelection) {
  for (int op = 0; op < 2; ++op) {
    TFakeHost host;
    TPXBitmap* b = host.AddLayer(6, 5, px24RGB).Bitmap.get();
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 6; ++x) b->SetPixel24(x, y, {0, 0, 255});  // pure red
    host.Mask.AllocateBits(6, 5, 1);
    for (int32_t y = 1; y <= 2; ++y) host.Mask.FillSpan(1, 3, 4, y);
    host.SelActive = true;
    TPixoranProc p(nullptr);
    p.SetAttachedPixoran(&host);
    if (op == 0) p.ConvertToGray();
    else p.Fill(0x00FF00);
    const TRGB changed = op == 0 ? TRGB{53, 53, 53} : TRGB{0, 255, 0};
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 6; ++x) {
        const TRGB c = b->GetPixelRGB(x, y);
        const TRGB want = x >= 3 && x <= 4 && y >= 1 && y <= 2 ? changed : TRGB{0, 0, 255};
        EXPECT_TRUE(c.b == want.b && c.g == want.g && c.r == want.r) << op << ": " << x << "," << y;
      }
  }
}

TEST(FrameAttachTest, EllipticalSelectionKeepsBoxCorners) {
  TFakeHost host;
  Paint(host.AddLayer(12, 12, px24RGB).Bitmap.get());
  host.Mask.AllocateBits(12, 12, 1);
  // An ellipse inside the box (1, 1)-(10, 10).
  for (int32_t y = 1; y <= 10; ++y)
    for (int32_t x = 1; x <= 10; ++x) {
      const double dx = (x - 5.5) / 5, dy = (y - 5.5) / 5;
      if (dx * dx + dy * dy <= 1) host.Mask.SetPixel(x, y, 1);
    }
  host.SelActive = true;
  TPixoranProc p(nullptr);
  p.SetAttachedPixoran(&host);
  FramedInvert(p);
  TPXBitmap* b = host.Layers[0].Bitmap.get();
  for (auto [x, y] : {std::pair{1, 1}, {10, 1}, {1, 10}, {10, 10}, {0, 5}}) EXPECT_FALSE(Inverted(b, x, y));
  for (auto [x, y] : {std::pair{5, 5}, {1, 5}, {5, 1}, {10, 6}}) EXPECT_TRUE(Inverted(b, x, y)) << x << "," << y;
}

TEST(FrameAttachTest, WorkCopyAlphaMergesOnlyWhenNotOpaque) {
  TFakeHost host;
  TPXBitmap* b = host.AddLayer(6, 6, px24RGB).Bitmap.get();
  TPXBitmap* alpha = b->GetAlphaChannel();
  alpha->FillRect(0, 0, 5, 0, 40);  // the top row partly transparent, outside the selection
  alpha->FFull = 0;
  host.Mask.AllocateBits(6, 6, 1);
  for (int32_t y = 2; y <= 4; ++y) host.Mask.FillSpan(1, 2, 4, y);
  host.SelActive = true;
  TPixoranProc p(nullptr);
  p.SetAttachedPixoran(&host);

  // An operation that leaves the copy opaque: the picture's alpha stays as it was.
  FramedInvert(p);
  EXPECT_EQ(alpha->GetPixel8(3, 0), 40);
  EXPECT_EQ(alpha->GetPixel8(3, 3), 255);

  // An operation that makes the copy partly transparent merges it through the mask only.
  int32_t x1, y1, x2, y2;
  TPXBitmap* work = nullptr;
  TPXMask* mask = nullptr;
  ASSERT_TRUE(p.BeginOperation({px24RGB}, x1, y1, x2, y2, "", work, mask, 0, true));
  ASSERT_NE(work, b);
  EXPECT_EQ(x2 - x1, 3);
  EXPECT_EQ(y2 - y1, 3);
  work->GetAlphaChannel()->Fill(9);
  work->GetAlphaChannel()->FFull = 0;
  p.EndOperation(work, mask);
  EXPECT_EQ(alpha->GetPixel8(2, 2), 9);
  EXPECT_EQ(alpha->GetPixel8(4, 4), 9);
  EXPECT_EQ(alpha->GetPixel8(1, 3), 255);
  EXPECT_EQ(alpha->GetPixel8(3, 0), 40);
  EXPECT_FALSE(alpha->FFull);
}

TEST(FrameAttachTest, HostCallbacksFollowTheHost) {
  auto host = std::make_unique<TFakeHost>();
  Paint(host->AddLayer(4, 4, px24RGB).Bitmap.get());
  Paint(host->AddLayer(4, 4, px24RGB).Bitmap.get());
  TPixoranProc p(nullptr);
  p.SetAttachedPixoran(host.get());
  EXPECT_EQ(p.TargetBitmap(), host->Layers[0].Bitmap.get());

  // Code 0: the host replaced its bitmap (another current layer).
  host->Current = 1;
  host->Fire(0);
  FramedInvert(p);
  EXPECT_TRUE(Inverted(host->Layers[1].Bitmap.get(), 0, 0));
  EXPECT_FALSE(Inverted(host->Layers[0].Bitmap.get(), 0, 0));
  // Code 2 changes nothing.
  host->Fire(2);
  EXPECT_EQ(p.AttachedPixoran(), host.get());

  // Code 1: the host is going away.
  host.reset();
  EXPECT_EQ(p.AttachedPixoran(), nullptr);
  EXPECT_TRUE(p.OwnsTargetBitmap());
  EXPECT_TRUE(p.TargetBitmap()->IsEmpty());
}

TEST(FrameAttachTest, DetachingGivesAnOwnBitmap) {
  TFakeHost host;
  Paint(host.AddLayer(4, 4, px24RGB).Bitmap.get());
  TPixoranProc p(nullptr);
  p.SetAttachedPixoran(&host);
  ASSERT_EQ(host.Handlers.size(), 1u);
  p.SetAttachedPixoran(nullptr);
  EXPECT_TRUE(host.Handlers.empty());
  EXPECT_TRUE(p.OwnsTargetBitmap());
  EXPECT_TRUE(p.TargetBitmap()->IsEmpty());
  p.TargetBitmap()->Allocate(4, 4, px24RGB);
  FramedInvert(p);
  EXPECT_FALSE(Inverted(host.Layers[0].Bitmap.get(), 1, 1));

  // A given bitmap: nil while the host is attached changes nothing.
  p.SetAttachedPixoran(&host);
  p.SetAttachedBitmap(nullptr);
  EXPECT_EQ(p.AttachedPixoran(), &host);
  TPXBitmap given;
  given.Allocate(2, 2, px24RGB);
  p.SetAttachedBitmap(&given);
  EXPECT_EQ(p.AttachedPixoran(), nullptr);
  EXPECT_TRUE(host.Handlers.empty());
  EXPECT_EQ(p.TargetBitmap(), &given);
}

TEST(FrameAttachTest, TImageWhileHostAttachedLeavesHostPicture) {
  TFakeHost host;
  TPXBitmap* layer = host.AddLayer(5, 3, px24RGB).Bitmap.get();
  Paint(layer);
  TImage image(nullptr);
  image.Picture()->Bitmap()->SetPixelFormat(pf24bit);
  image.Picture()->Bitmap()->SetSize(2, 2);
  TPixoranProc p(nullptr);
  p.SetAttachedPixoran(&host);
  p.SetAttachedTImage(&image);
  EXPECT_EQ(p.AttachedPixoran(), nullptr);
  EXPECT_EQ(layer->Width(), 5);
  EXPECT_FALSE(layer->IsEmpty());
  EXPECT_EQ(layer->GetPixelRGB(4, 2).b, 40);
  EXPECT_EQ(p.TargetBitmap()->Width(), 2);
  EXPECT_NE(p.TargetBitmap(), layer);
  // Operations reach the image's own bitmap.
  TBitmap* shown = image.Picture()->Bitmap();
  shown->Canvas()->SetPixels(1, 1, 0x000000);
  shown->SetModified(false);
  FramedInvert(p, false);
  EXPECT_EQ(shown->Canvas()->Pixels(1, 1), 0xFFFFFF);
  EXPECT_TRUE(shown->Modified());
  // Detaching the image never frees a caller's picture.
  p.SetAttachedTImage(nullptr);
  EXPECT_EQ(p.AttachedTImage(), nullptr);
  EXPECT_EQ(image.Picture()->Bitmap()->Width(), 2);
}

TEST(FrameAttachTest, FinishWorkReportsHundredFirst) {
  TPixoranProc p(nullptr);
  std::vector<std::string> calls;
  p.SetOnProgress(TPXProgressEvent([&](TObject* s, int32_t v) {
    EXPECT_EQ(s, &p);
    calls.push_back("progress " + std::to_string(v));
  }));
  p.SetOnFinishWork(TNotifyEvent([&](TObject*) { calls.push_back("finish"); }));
  p.DoFinishWork();
  EXPECT_EQ(calls, (std::vector<std::string>{"progress 100", "finish"}));
}

TEST(FrameAttachTest, BackgroundAndDpiComeFromTheHost) {
  TFakeHost host;
  host.AddLayer(2, 2, px24RGB);
  TPixoranProc p(nullptr);
  p.SetBackground(0x123456);
  EXPECT_EQ(p.Background(), 0x123456);
  p.SetAttachedPixoran(&host);
  p.SetBackground(0x654321);
  EXPECT_EQ(host.Bg, 0x654321);
  EXPECT_EQ(p.GetImageDpiX(), 300);
}

TEST(FrameAttachTest, CropKeepsRectangleAndPadsWhite) {
  TPXBitmap b;
  b.Allocate(4, 4, px24RGB);
  Paint(&b);
  TComponent owner(nullptr);
  auto* p = new TPixoranProc(&owner);
  p->SetAttachedBitmap(&b);
  p->Crop(0, 0, 3, 3);  // the whole picture
  EXPECT_EQ(p->UndoCount(), 0);
  p->Crop(2, 2, 3, 1);  // Bottom < Top
  p->Crop(3, 1, 2, 2);  // Right < Left
  EXPECT_EQ(p->UndoCount(), 0);
  p->CropToRect(TRect(2, 1, 4, 2));
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(b.GetPixelRGB(0, 0).b, 20);
  EXPECT_EQ(b.GetPixelRGB(0, 0).g, 10);
  EXPECT_EQ(b.GetPixelRGB(2, 1).r, 255);  // outside the old picture: white
  EXPECT_EQ(b.GetPixelRGB(2, 1).b, 255);
  TPXUndoSource source;
  int32_t code = 0, item = 0;
  std::string caption;
  p->GetUndoInfo(0, source, code, caption, item);
  EXPECT_EQ(caption, "Crop Image");
  EXPECT_EQ(code, 38);
}

TEST(FrameAttachTest, ProcessingUnitStartUp) {
  ASSERT_EQ(PXFilterPresets().size(), 9u);
  EXPECT_EQ(PXFilterPresetNames()[8], "Low Pass 2");
  EXPECT_EQ(PXFilterPresets()[8].Divisor, 16);
  EXPECT_EQ(PXFilterPresets()[3].Values[3], -1);
  EXPECT_GE(PixoranRawClipboardFormat(), 0xC000u);
  EXPECT_NE(PixoranRawClipboardFormat(), PixoranLayerClipboardFormat());
  TIPDialogParams params;
  params.Stream()->WriteBuffer("x", 1);
  params.SetHsvS(3);
  EXPECT_EQ(params.Stream()->Size(), 0);
  EXPECT_EQ(params.FUserFilter[1][1], 1);
}

}  // namespace
