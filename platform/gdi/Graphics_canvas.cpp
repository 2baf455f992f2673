// TCanvas: lazy selection of pen, brush and font into a device context, and the drawing calls.
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Graphics_internal.h"
#include "platform/gdi/WinGdi_text.h"

PX_CLASS_INFO(TCanvas, TPersistent)

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  font_->SetOnChange(TNotifyEvent(this, &TCanvas::FontChanged));
  pen_->SetOnChange(TNotifyEvent(this, &TCanvas::PenChanged));
  brush_->SetOnChange(TNotifyEvent(this, &TCanvas::BrushChanged));
}

TCanvas::~TCanvas() {
  // Pen, brush and font must leave the device context before they are freed.
  DeselectHandles();
  font_->SetOnChange(nullptr);
  pen_->SetOnChange(nullptr);
  brush_->SetOnChange(nullptr);
}

HDC TCanvas::Handle() {
  // The handle comes with the canvas's font, pen and brush selected, so that calls made on it
  // directly (DrawText, LineTo...) use them, as the class library's canvas hands it out.
  RequiredState(csAllValid);
  return handle_;
}

void TCanvas::SetHandle(HDC Value) {
  if (Value == handle_) return;
  if (handle_) DeselectHandles();
  handle_ = Value;
  state_ = {};
  if (handle_) {
    state_ += csHandleValid;
    SetStretchBltMode(handle_, COLORONCOLOR);
  }
}

void TCanvas::RequiredState(TCanvasState ReqState) {
  const TCanvasState needed = ReqState - state_;
  if (needed.Empty()) return;
  if (needed.Contains(csHandleValid)) {
    CreateHandle();
    if (!handle_) throw EInvalidOperation("Canvas does not allow drawing");
    state_ += csHandleValid;
  }
  if (needed.Contains(csFontValid)) SelectFont();
  if (needed.Contains(csPenValid)) SelectPen();
  if (needed.Contains(csBrushValid)) SelectBrush();
}

void TCanvas::SelectFont() {
  SelectObject(handle_, font_->Handle());
  SetTextColor(handle_, static_cast<COLORREF>(ColorToRGB(font_->Color())) & 0x00FFFFFF);
  state_ += csFontValid;
}

void TCanvas::SelectPen() {
  SelectObject(handle_, pen_->Handle());
  SetROP2(handle_, PenModeToROP2(pen_->Mode()));
  state_ += csPenValid;
}

void TCanvas::SelectBrush() {
  SelectObject(handle_, brush_->Handle());
  const COLORREF color = static_cast<COLORREF>(ColorToRGB(brush_->Color())) & 0x00FFFFFF;
  if (brush_->Style() == bsSolid) {
    SetBkColor(handle_, color);
    SetBkMode(handle_, OPAQUE);
  } else {
    // Hatches keep the background between their lines; the background colour is made to differ
    // from the brush's, as the class library does.
    SetBkColor(handle_, ~color & 0x00FFFFFF);
    SetBkMode(handle_, TRANSPARENT);
  }
  state_ += csBrushValid;
}

void TCanvas::DeselectHandles() {
  if (!handle_) return;
  if (state_.Contains(csPenValid)) SelectObject(handle_, GetStockObject(BLACK_PEN));
  if (state_.Contains(csBrushValid)) SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
  if (state_.Contains(csFontValid)) SelectObject(handle_, GetStockObject(SYSTEM_FONT));
  state_ -= TCanvasState{csPenValid, csBrushValid, csFontValid};
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::FontChanged(TObject*) {
  if (handle_ && state_.Contains(csFontValid)) {
    SelectObject(handle_, GetStockObject(SYSTEM_FONT));
    state_ -= csFontValid;
  }
}

void TCanvas::PenChanged(TObject*) {
  if (handle_ && state_.Contains(csPenValid)) {
    SelectObject(handle_, GetStockObject(BLACK_PEN));
    state_ -= csPenValid;
  }
}

void TCanvas::BrushChanged(TObject*) {
  if (handle_ && state_.Contains(csBrushValid)) {
    SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
    state_ -= csBrushValid;
  }
}

void TCanvas::Changed() {
  if (on_change_) on_change_(this);
}

void TCanvas::Changing() {
  if (on_changing_) on_changing_(this);
}

// ---------------------------------------------------------------------------------------------
// Locking

void TCanvas::Lock() {
  lock_.lock();
  lock_count_.fetch_add(1);
}

void TCanvas::Unlock() {
  if (lock_count_.load() <= 0) return;
  lock_count_.fetch_sub(1);
  lock_.unlock();
}

bool TCanvas::TryLock() {
  if (!lock_.try_lock()) return false;
  if (lock_count_.load() != 0) {  // held already by this thread
    lock_.unlock();
    return false;
  }
  lock_count_.fetch_add(1);
  return true;
}

int32_t TCanvas::LockCount() const { return lock_count_.load(); }

// ---------------------------------------------------------------------------------------------
// Properties

TPoint TCanvas::PenPos() {
  RequiredState({csHandleValid});
  TPoint p;
  GetCurrentPositionEx(handle_, &p);
  return p;
}

TColor TCanvas::Pixels(int32_t X, int32_t Y) {
  RequiredState({csHandleValid});
  return static_cast<TColor>(GetPixel(handle_, X, Y));
}

void TCanvas::SetPixels(int32_t X, int32_t Y, TColor Value) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  SetPixel(handle_, X, Y, static_cast<COLORREF>(ColorToRGB(Value)));
  Changed();
}

TRect TCanvas::ClipRect() {
  RequiredState({csHandleValid});
  TRect r;
  GetClipBox(handle_, &r);
  return r;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TCanvas::Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  ::Arc(handle_, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::Chord(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Chord(handle_, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::Pie(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Pie(handle_, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Ellipse(handle_, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Rectangle(handle_, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::RoundRect(handle_, X1, Y1, X2, Y2, X3, Y3);
  Changed();
}

void TCanvas::FillRect(const TRect& Rect) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ::FillRect(handle_, Rect, brush_->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& Rect) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ::FrameRect(handle_, Rect, brush_->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& Rect) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ::DrawFocusRect(handle_, Rect);
  Changed();
}

void TCanvas::FloodFill(int32_t X, int32_t Y, TColor Color, TFillStyle FillStyle) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ExtFloodFill(handle_, X, Y, static_cast<COLORREF>(ColorToRGB(Color)) & 0x00FFFFFF,
               FillStyle == fsSurface ? FLOODFILLSURFACE : FLOODFILLBORDER);
  Changed();
}

void TCanvas::MoveTo(int32_t X, int32_t Y) {
  RequiredState({csHandleValid});
  MoveToEx(handle_, X, Y, nullptr);
}

void TCanvas::LineTo(int32_t X, int32_t Y) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::LineTo(handle_, X, Y);
  Changed();
}

void TCanvas::Polygon(std::span<const TPoint> Points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polygon(handle_, Points.data(), static_cast<int32_t>(Points.size()));
  Changed();
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polyline(handle_, Points.data(), static_cast<int32_t>(Points.size()));
  Changed();
}

void TCanvas::PolyBezier(std::span<const TPoint> Points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::PolyBezier(handle_, Points.data(), static_cast<DWORD>(Points.size()));
  Changed();
}

void TCanvas::PolyBezierTo(std::span<const TPoint> Points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::PolyBezierTo(handle_, Points.data(), static_cast<DWORD>(Points.size()));
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  if (!Canvas) return;
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  Canvas->RequiredState({csHandleValid, csBrushValid});
  StretchBlt(handle_, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), Canvas->handle_, Source.Left, Source.Top,
             Source.Width(), Source.Height(), static_cast<DWORD>(copy_mode_));
  Changed();
}

void TCanvas::Draw(int32_t X, int32_t Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState({csHandleValid});
  SetBkColor(handle_, static_cast<COLORREF>(ColorToRGB(brush_->Color())) & 0x00FFFFFF);
  SetTextColor(handle_, static_cast<COLORREF>(ColorToRGB(font_->Color())) & 0x00FFFFFF);
  Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
  Changed();
}

void TCanvas::Draw(int32_t X, int32_t Y, TGraphic* Graphic, uint8_t Opacity) {
  if (!Graphic || Graphic->Empty()) return;
  if (Opacity == 255) {
    Draw(X, Y, Graphic);
    return;
  }
  Changing();
  RequiredState({csHandleValid});
  Graphic->DrawTransparent(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()), Opacity);
  Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState({csAllValid});
  Graphic->Draw(this, Rect);
  Changed();
}

void TCanvas::BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color) {
  if (!Bitmap || Bitmap->Empty()) return;
  // D xor (P and (S xor D)): the brush where the mask is 1, the destination elsewhere.
  constexpr DWORD kRopDSPDxax = 0x00E20746;
  Lock();
  try {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    // A mask with 1 where the bitmap has the colour.
    TBitmap mask;
    mask.Assign(Bitmap);
    mask.Mask(Color);
    HDC maskDC = mask.Canvas()->Handle();
    HDC srcDC = Bitmap->Canvas()->Handle();
    const int32_t dw = Dest.Width(), dh = Dest.Height(), sw = Source.Width(), sh = Source.Height();
    if (brush_->Style() == bsClear) {
      TransparentStretchBlt(handle_, Dest.Left, Dest.Top, dw, dh, srcDC, Source.Left, Source.Top, sw, sh, maskDC,
                            Source.Left, Source.Top);
    } else {
      StretchBlt(handle_, Dest.Left, Dest.Top, dw, dh, srcDC, Source.Left, Source.Top, sw, sh, SRCCOPY);
      const COLORREF text = ::SetTextColor(handle_, 0);
      const COLORREF back = ::SetBkColor(handle_, 0xFFFFFF);
      StretchBlt(handle_, Dest.Left, Dest.Top, dw, dh, maskDC, Source.Left, Source.Top, sw, sh, kRopDSPDxax);
      ::SetTextColor(handle_, text);
      ::SetBkColor(handle_, back);
    }
    Changed();
  } catch (...) {
    Unlock();
    throw;
  }
  Unlock();
}

TSize TCanvas::TextExtent(std::string_view Text) {
  RequiredState({csHandleValid, csFontValid});
  TSize size;
  GetTextExtentPoint32(handle_, Text, &size);
  return size;
}

void TCanvas::TextOut(int32_t X, int32_t Y, std::string_view Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  ExtTextOut(handle_, X, Y, static_cast<UINT>(text_flags_), nullptr, Text);
  MoveTo(X + TextWidth(Text), Y);
  Changed();
}

void TCanvas::TextRect(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT options = ETO_CLIPPED | static_cast<UINT>(text_flags_);
  if (brush_->Style() != bsClear) options |= ETO_OPAQUE;
  ExtTextOut(handle_, X, Y, options, &Rect, Text);
  Changed();
}

void TCanvas::TextRect(TRect& Rect, std::string& Text, TTextFormat TextFormat) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  // DT_MODIFYSTRING has no buffer to write into here: the text is drawn as given.
  const UINT flags = TextFormatToFlags(TextFormat) & ~static_cast<UINT>(DT_MODIFYSTRING);
  DrawText(handle_, Text, &Rect, flags);
  Changed();
}
