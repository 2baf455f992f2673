// The panel's dock manager.
#include "controls/CvPanel.h"

#include "platform/gdi/WinGdi_text.h"

TCvPanelDockManager::TCvPanelDockManager(TCvCustomPanel* Panel)
    : TDockTree(Panel), panel_(Panel), caption_font_(std::make_unique<TFont>()), close_font_(std::make_unique<TFont>()) {
  SetGrabberSize(14);
  caption_font_->SetName("Verdana");
  caption_font_->SetSize(8);
  close_font_->SetName("Marlett");
  close_font_->SetSize(8);
}

TCvPanelDockManager::~TCvPanelDockManager() = default;

void TCvPanelDockManager::WindowProc(TMessage& Message) {
  if (Message.Msg == WM_COMMAND || Message.Msg == WM_MOUSEACTIVATE) panel_->Invalidate();
  TDockTree::WindowProc(Message);
}

void TCvPanelDockManager::PaintDockFrame(TCanvas* Canvas, TControl* Control, const TRect& ARect) {
  if (!panel_->ShowDockClientCaptions()) {
    TDockTree::PaintDockFrame(Canvas, Control, ARect);
    return;
  }
  Canvas->Font()->Assign(caption_font_.get());
  auto* windowed = dynamic_cast<TWinControl*>(Control);
  const bool active = !windowed || windowed->Focused();
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(active ? clActiveCaption : clInactiveCaption);
  Canvas->Font()->SetColor(active ? clCaptionText : clInactiveCaptionText);
  const int32_t g = GrabberSize();
  if (GrabbersAtLeft()) {
    PaintVerticalCaption(Canvas, Control, TRect(ARect.Left, ARect.Top, ARect.Left + g, ARect.Bottom));
  } else {
    Canvas->TextRect(TRect(ARect.Left, ARect.Top, ARect.Right, ARect.Top + g), ARect.Left + 2, ARect.Top,
                     Control->Caption());
  }
  // The close cross where the tree takes a click on it.
  Canvas->Font()->Assign(close_font_.get());
  const TRect close = CloseRect(ARect);
  Canvas->TextRect(close, close.Left, close.Top, "r");
}

void TCvPanelDockManager::PaintVerticalCaption(TCanvas* Canvas, TControl* Control, const TRect& R) {
  HDC dc = Canvas->Handle();
  const UINT align = SetTextAlign(dc, TA_BASELINE);
  Canvas->Font()->SetHandle(CreateRotatedFontHandle(caption_font_.get(), 90));  // the font owns it
  Canvas->Font()->SetColor(clCaptionText);
  Canvas->TextRect(R, R.Right - 2, R.Bottom - 3, Control->Caption());
  SetTextAlign(dc, align);
}
