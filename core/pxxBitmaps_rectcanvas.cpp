// Rectangle bitmaps written back into their parent, the canvases over them, and the antialiased
// canvas over the pixels.
#include <algorithm>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"

std::unique_ptr<TPXBitmap> TPXBitmap::CreateRectBitmap(TPXBitmap* Parent, const TRect& Rect,
                                                       TPXPixelFormat PixelFormat, bool Transparent) {
  if (!Parent) throw EPXException("Invalid parent bitmap");
  TRect r = Rect;
  OrderRectCoords(r.Left, r.Top, r.Right, r.Bottom);
  std::unique_ptr<TPXBitmap> bmp;
  if (Transparent) {
    bmp = std::make_unique<TPXBitmap>();
    bmp->Allocate(r.Right - r.Left + 1, r.Bottom - r.Top + 1, px32RGB);
    bmp->Fill(0);
    bmp->FModified = 0;
  } else {
    bmp = CreateCrop(Parent, r);
    if (PixelFormat != pxNoFormat && bmp->PixelFormat() != PixelFormat) bmp->SetPixelFormat(PixelFormat);
  }
  bmp->FParentBitmap = Parent;
  bmp->FParentRect = r;
  Parent->FRectBitmaps.push_back(bmp.get());
  return bmp;
}

std::unique_ptr<TPXCanvas> TPXBitmap::CreateRectCanvas(TPXBitmap* Parent, const TRect& Rect, bool AntiAlias,
                                                       bool UseGDIPlus, bool Transparent) {
  TRect r = Rect;
  OrderRectCoords(r.Left, r.Top, r.Right, r.Bottom);
  std::unique_ptr<TPXBitmap> bmp = CreateRectBitmap(Parent, r, px24RGB, Transparent);
  TPXBitmap* raw = bmp.get();
  auto canvas = std::make_unique<TPXCanvas>(raw->GetCanvas(), AntiAlias, UseGDIPlus);
  // The canvas owns the bitmap from here: freeing it frees the bitmap, which writes back.
  auto holder = std::make_shared<std::unique_ptr<TPXBitmap>>(std::move(bmp));
  canvas->SetOnDestroy([holder](TPXCanvas* c) { FreeRectCanvasBitmap(std::move(*holder), c); }, raw);
  canvas->TranslateTransform(-r.Left, -r.Top);
  if (Transparent) canvas->SetCompositing(1, 2);
  return canvas;
}

void TPXBitmap::FreeRectCanvasBitmap(std::unique_ptr<TPXBitmap> Bitmap, TPXCanvas* Canvas) {
  if (Canvas) Canvas->ResetTransform();
  Bitmap.reset();
}

void TPXBitmap::CommitToParent() {
  TPXBitmap* parent = FParentBitmap;
  if (!parent || IsEmpty()) return;
  const int32_t w = Width(), h = Height();
  if (PixelFormat() == px32RGB) {
    parent->MergeWithAlpha(this, FParentRect.Left, FParentRect.Top, w, h, 255, rfNone, 0, false, 0, 0, 1.0);
  } else {
    if (parent->PixelFormat() != PixelFormat()) SetPixelFormat(parent->PixelFormat());
    CopyRectTo(parent, 0, 0, FParentRect.Left, FParentRect.Top, w, h, true);
  }
}

// A rectangle bitmap whose parent went first has no parent any more and writes nothing; one that
// goes first leaves its parent's list.
void TPXBitmap::EndRectBitmaps() noexcept {
  if (FParentBitmap) {
    try {
      CommitToParent();
    } catch (...) {
      // Nothing may leave a destructor; the parent keeps what it had.
    }
    auto& list = FParentBitmap->FRectBitmaps;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    FParentBitmap = nullptr;
  }
  for (TPXBitmap* child : FRectBitmaps) child->FParentBitmap = nullptr;
  FRectBitmaps.clear();
}

TPXCanvas* TPXBitmap::GetPXCanvas() {
  if (!FPXCanvas) {
    if (TCanvas* canvas = GetCanvas()) FPXCanvas = std::make_unique<TPXCanvas>(canvas, true, true);
  }
  return static_cast<TPXCanvas*>(FPXCanvas.get());
}

void TPXBitmap::DrawRectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor PenColor, int32_t PenWidth,
                              int32_t PenTransparency, TColor BrushColor, int32_t BrushTransparency) {
  TPXCanvas* c = GetPXCanvas();
  if (!c) return;
  TPXPen* pen = c->Pen();
  pen->SetColor(PenColor);
  pen->SetStyle(PenColor == clNone ? psClear : psSolid);
  pen->SetWidth(static_cast<float>(PenWidth));
  pen->SetTransparency(PenTransparency);
  TPXBrush* brush = c->Brush();
  brush->SetColor(BrushColor);
  brush->SetStyle(BrushColor == clNone ? bsClear : bsSolid);
  brush->SetTransparency(BrushTransparency);
  c->Rectangle(X1, Y1, X2, Y2);
  DoChange();
}
